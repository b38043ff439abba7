#pragma once

#include "app/AlbumForm.h"
#include "ui/OrderTabPage.h"

#include <QList>
#include <QPointer>
#include <QStringList>
#include <functional>

class QCheckBox;
class QComboBox;
class QDialog;
class QGridLayout;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QPlainTextEdit;

// The album tab: presents the album form (AlbumForm) and forwards the user's choices to it; the
// form's cascade, limits and record live there. Album sets (named snapshots of the form) are
// picked and kept here. Tags: 170 catalogue page, 171 folder, 172 Send, 173 cancel, 201-206 album
// sets; the form's own controls only refresh.
class AlbumTabPage : public OrderTabPage {
    Q_OBJECT
public:
    static constexpr int kOptionBoxes = 12; // the form always has at least these option boxes

    explicit AlbumTabPage(AppCtrl& ctrl, QWidget* parent = nullptr);

    void uiInit() override { albumUIInit(); }
    void viewRefresh() override { albumViewRefresh(); }

    AlbumForm& form() const { return *form_; }

    void albumUIInit() { form_->albumUIInit(); }
    void albumViewRefresh();
    void albumAction(int tag);
    // The Kinelo button: hidden for the run when the lab switched Kinelo off.
    void setKineloButtonAllowed(bool allowed);
    bool isAlbumKineloMovFileOnly() const { return form_->isAlbumKineloMovFileOnly(); }

    // --- Album sets ---
    void loadAlbumSetPop();
    void albumSetPopSelect();
    void selectAlbumSetToUi();
    void addAlbumSetButtonJob();
    void editAlbumSetButtonJob();
    void delAlbumSetButtonJob();
    // The name sheet open now, or null.
    QDialog* albumSetNameEditWindow() const { return nameSheet_.data(); }

    // Kinelo's sheet is opened by the owner of this page.
    std::function<void()> albumKineloAction;

    QComboBox* pop(const QString& objectName) const;
    QCheckBox* optionBox(int number) const; // 1-based; null beyond the boxes made so far
    int optionBoxCount() const { return static_cast<int>(optionBoxes_.size()); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct PopRow {
        QString key; // the form's record key
        QComboBox* pop = nullptr;
        QLabel* label = nullptr;
    };
    QComboBox* makePop(const QString& name, const QString& accessibleName, int tag);
    QLabel* makeLabel(const QString& name, const QString& text);
    QComboBox* makeCountBox(const QString& name, const QString& accessibleName, int tag,
                            AlbumForm::CountField field);

    // The form's state onto the controls.
    void present();
    // Counts typed but not yet left are the user's choice too.
    void forwardTypedCounts();
    void setFormEnabled(bool enabled);
    QHBoxLayout* makeAlbumSetRow(); // the set pop-up and its buttons, wired
    void openCatalogPage();
    void sendAction();
    void showAlbumSetSheet(const QString& msg1, const QString& msg2, const QString& okTitle,
                           const QString& name, bool editable);
    void albumSetSheetDidEnd(bool ok);

    AlbumForm* form_ = nullptr;
    QList<PopRow> pops_;
    QComboBox* pageComBox_ = nullptr;
    QComboBox* orderNum_ = nullptr;
    QLineEdit* orderNum2_ = nullptr;
    QLabel* orderNumLabel_ = nullptr;
    QLabel* orderUnitLabel_ = nullptr;
    QComboBox* orderBoxNum_ = nullptr;
    QLabel* orderUnitBoxLabel_ = nullptr;
    QComboBox* orderMiniNum_ = nullptr;
    QLabel* orderUnitMiniLabel_ = nullptr;
    QLabel* orderBoxNumLabel_ = nullptr;  // "数量" before the box count
    QLabel* orderMiniNumLabel_ = nullptr; // "数量" before the mini count
    QLabel* boxColLabel_ = nullptr;
    QLabel* miniColLabel_ = nullptr;
    QList<QCheckBox*> optionBoxes_;
    QGridLayout* optionGrid_ = nullptr;
    QPlainTextEdit* orderMemo_ = nullptr;
    QLineEdit* imageFolderPath_ = nullptr;
    QPlainTextEdit* fileInfoTextView_ = nullptr;
    QPushButton* imageFolderSelectButton_ = nullptr;
    QPushButton* catalogButton_ = nullptr;
    QPushButton* kineloButton_ = nullptr;
    QComboBox* setPop_ = nullptr;
    QPushButton* setAddButton_ = nullptr;
    QPushButton* setEditButton_ = nullptr;
    QPushButton* setDelButton_ = nullptr;
    QPointer<QDialog> nameSheet_;
    bool kineloAllowed_ = true;
    bool refreshing_ = false;
};

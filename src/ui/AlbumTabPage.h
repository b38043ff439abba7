#pragma once

#include "ui/OrderTabPage.h"

#include <QHash>
#include <QList>
#include <QPointer>
#include <QStringList>
#include <QVariantMap>
#include <functional>
#include <memory>

class ProductAlbumData;
class QCheckBox;
class QComboBox;
class QDialog;
class QGridLayout;
class QLabel;
class QLineEdit;
class QPlainTextEdit;

// The album tab: one bound album made from the selection, chosen through a cascade of pop-ups that
// the album catalogue fills according to the choices above them. The form is written to
// "AlbumDic" at every refresh; album sets (named snapshots of the form) are picked and kept here
// too. Tags: 170 catalogue page, 171 folder, 172 Send, 173 cancel, 201-206 album sets; the form's
// own controls only refresh.
class AlbumTabPage : public OrderTabPage {
    Q_OBJECT
public:
    static constexpr int kOptionBoxes = 12; // the form always has at least these option boxes

    explicit AlbumTabPage(AppCtrl& ctrl, QWidget* parent = nullptr);

    void uiInit() override { albumUIInit(); }
    void viewRefresh() override { albumViewRefresh(); }

    void albumUIInit();
    void albumViewRefresh();
    void albumUiRefresh();
    void albumAction(int tag);
    // The form as the album record ("AlbumDic").
    QVariantMap nowAlbumUiDic() const;
    void saveAlbumUiInfo();
    void loadAlbumUiInfo();
    void albumUiSetupFromDic(const QVariantMap& dic);
    // A count above the album's non-zero order limit.
    bool isOrderLimitCheck(const QString& count) const;
    // The album choices need a name and date on the plate or foil stamp.
    bool isCharInputProduct() const;
    void albumDirectOrderNumClear();
    // The Kinelo button: hidden for the run when the lab switched Kinelo off.
    void setKineloButtonAllowed(bool allowed);
    // The album product is one of the video-only products of Kinelo.
    bool isAlbumKineloMovFileOnly() const;

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
        QComboBox* pop = nullptr;
        QLabel* label = nullptr;
    };
    std::shared_ptr<ProductAlbumData> album() const;
    QComboBox* makePop(const QString& name, const QString& accessibleName, int tag);
    QLabel* makeLabel(const QString& name, const QString& text);
    QComboBox* makeCountBox(const QString& name, const QString& accessibleName, int tag);
    void connectAction(QComboBox* box, int tag);

    // Choices as the lookups read them.
    static QString popChoice(const QComboBox* pop);
    QString albumChoice() const;
    QString sizeChoice() const; // catalogue form
    QString pageChoice() const;
    QString optionText() const;
    static QString noTitle(const QString& choice);
    QStringList checkedOptionTitles() const;
    QString caption(const QString& section, QStringList keys, int zeros,
                    const QString& defaultCaption) const;

    void popChange(QComboBox* pop, const QStringList& titles, QLabel* label,
                   const QString& labelTitle);
    void comBoxChange(QComboBox* box, const QStringList& titles, QLabel* label,
                      const QString& labelTitle);
    void refillPop(const QString& popName);
    void refreshPages();
    void refreshCount();
    void refreshSideCount(QComboBox* owner, QComboBox* count, QLabel* unit);
    void refreshOptions(const QStringList& keepTicked);
    // Alerts and resets a count above the album's order limit; true when it reset one.
    bool orderLimitChecks();
    void normaliseCounts();
    void setFormEnabled(bool enabled);
    void openCatalogPage();
    void sendAction();
    void showAlbumSetSheet(const QString& msg1, const QString& msg2, const QString& okTitle,
                           const QString& name, bool editable);
    void albumSetSheetDidEnd(bool ok);

    QHash<QString, PopRow> pops_;
    QComboBox* pageComBox_ = nullptr;
    QComboBox* orderNum_ = nullptr;
    QLineEdit* orderNum2_ = nullptr;
    QLabel* orderNumLabel_ = nullptr;
    QLabel* orderUnitLabel_ = nullptr;
    QComboBox* orderBoxNum_ = nullptr;
    QLabel* orderUnitBoxLabel_ = nullptr;
    QComboBox* orderMiniNum_ = nullptr;
    QLabel* orderUnitMiniLabel_ = nullptr;
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
    bool initialised_ = false;
    int pageTypeShown_ = 1;
    int countTypeShown_ = 1;
};

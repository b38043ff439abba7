#pragma once

#include "app/FileIntake.h"
#include "app/FileListForm.h"
#include "ui/OrderTabPage.h"

#include <QVariantMap>
#include <functional>
#include <optional>

class PrintFileListCtrl;
class ProductPopUpComboBox;
class QComboBox;
class QDialog;
class QLabel;
class QPlainTextEdit;
class QPushButton;

// The print and school tabs: a per-file order list and the product chain (category, size,
// surface, laminate) with a count that is stamped onto the selected rows. The chain, the count
// and the memo are the tab's form (FileListForm), which this page presents and forwards the
// user's choices to. Both tabs are this one page; PrintTabPage and SchoolTabPage give it their
// names and the Kinelo button. Tags: base + 1..4 pop-ups, +21 order set, +22 file
// memo, +23 send, +24 cancel or delete, +25 another size, +26 order memo, +30 count (base 300 for
// print, 600 for school).
class FileListTabPage : public OrderTabPage {
    Q_OBJECT
public:
    static const QString kPleaseSelect; // "選択してください..."

    PrintFileListCtrl* fileListCtrl() const { return list_; }
    ProductPopUpComboBox* categoryPop() const { return categoryPop_; }
    ProductPopUpComboBox* sizePop() const { return sizePop_; }
    ProductPopUpComboBox* surfacePop() const { return surfacePop_; }
    ProductPopUpComboBox* laminatePop() const { return laminatePop_; }
    QLabel* sizeLabel() const { return sizeLabel_; }
    QLabel* surfaceLabel() const { return surfaceLabel_; }
    QLabel* laminateLabel() const { return laminateLabel_; }
    QComboBox* orderNum() const { return orderNum_; }
    QPushButton* orderSetButton() const { return orderSetButton_; }
    QPushButton* anotherSizeButton() const { return anotherSizeButton_; }
    QPushButton* addMemoOneFileButton() const { return addMemoOneFileButton_; }
    QPushButton* addMemoAllButton() const { return addMemoAllButton_; }
    QPushButton* kineloButton() const { return kineloButton_; }
    // The order memo (for the whole order): none, or its text.
    const std::optional<QString>& memo() const { return form_->memo(); }
    // The open memo sheet, or null.
    QDialog* memoInputWindow() const;

    void uiInit() override;
    void viewRefresh() override;

    FileListForm& form() const { return *form_; }

    // --- The tab's operations (PrintTabPage and SchoolTabPage name them) ---
    void categoryPopRebuild() { form_->categoryPopRebuild(); }
    void sizePopRebuild() { form_->sizePopRebuild(); }
    void surfacePopRebuild() { form_->surfacePopRebuild(); }
    void laminatePopRebuild() { form_->laminatePopRebuild(); }
    // The four rebuilds, the last state of the form from the settings, the refresh.
    void tabUIInit();
    void tabViewRefresh();
    void selectFilesRefrash();
    void filesNumInfoRefrash();
    QVariantMap nowUiDic() const { return form_->nowUiDic(); }
    void saveUiInfo() { form_->saveUiInfo(); }
    // The stored form ("PrintDic" / "SchoolDic") back into the pop-ups and the count.
    void loadUiInfo() { form_->loadUiInfo(); }
    void orderSet();
    void memoOneFileEditJob();
    void memoAllEditJob();
    void fileClear();
    void fileAllClear();
    void anotherSize();
    void tableViewSelectChange();
    void tabAction(int tag);
    // After the order was packed: the memo is dropped and its button says so.
    void orderMemoClear() { form_->orderMemoClear(); }

protected:
    struct Names {
        QString prefix;      // "Print" / "School": row and settings keys
        QString uiLogFormat; // "PrintUI Tag（%1）" / "SchoolUI Tag（%1）"
        int tagBase;         // 300 / 600
        FileListKind list;
    };
    FileListTabPage(OrderTab tab, AppCtrl& ctrl, const Names& names, QWidget* parent);

    // Order set found rows that ask for the Kinelo button (print only).
    virtual void orderSetDone() {}
    virtual void kineloRefresh(bool listHasRows) = 0;
    virtual void kineloAction() = 0;

    QString rowKey(const char* suffix) const { return names_.prefix + QLatin1String(suffix); }
    const Names& names() const { return names_; }

private:
    // The form onto the controls.
    void present();
    // A count typed but not yet left is the user's choice too.
    void forwardTypedCount();
    void openMemoSheet(const QString& message, const QString& text,
                       std::function<void(const QString&)> onOk);

    Names names_;
    FileListForm* form_ = nullptr;
    PrintFileListCtrl* list_ = nullptr;
    ProductPopUpComboBox* categoryPop_ = nullptr;
    ProductPopUpComboBox* sizePop_ = nullptr;
    ProductPopUpComboBox* surfacePop_ = nullptr;
    ProductPopUpComboBox* laminatePop_ = nullptr;
    QLabel* sizeLabel_ = nullptr;
    QLabel* surfaceLabel_ = nullptr;
    QLabel* laminateLabel_ = nullptr;
    QComboBox* orderNum_ = nullptr;
    QPushButton* orderSetButton_ = nullptr;
    QPushButton* anotherSizeButton_ = nullptr;
    QPushButton* addMemoOneFileButton_ = nullptr;
    QPushButton* addMemoAllButton_ = nullptr;
    QPushButton* kineloButton_ = nullptr;
    QDialog* memoSheet_ = nullptr;
};

// The print tab ("プリント"): the print form, and the Kinelo button shown once a postcard or
// welcome-board row is ordered.
class PrintTabPage : public FileListTabPage {
    Q_OBJECT
public:
    explicit PrintTabPage(AppCtrl& ctrl, QWidget* parent = nullptr);

    // The hand-over to the Kinelo order sheet.
    std::function<void()> kineloOpener;
    // The lab can switch Kinelo off: then order set never shows the button.
    void setKineloButtonAllowed(bool allowed);

    void printUIInit() { tabUIInit(); }
    void printCategoryPopRebuild() { categoryPopRebuild(); }
    void printSizePopRebuild() { sizePopRebuild(); }
    void printSurfacePopRebuild() { surfacePopRebuild(); }
    void printLaminatePopRebuild() { laminatePopRebuild(); }
    void printViewRefresh() { tabViewRefresh(); }
    void printSelectFilesRefrash() { selectFilesRefrash(); }
    void printFilesNumInfoRefrash() { filesNumInfoRefrash(); }
    QVariantMap nowPrintUiDic() const { return nowUiDic(); }
    void savePrintUiInfo() { saveUiInfo(); }
    void printOrderSet() { orderSet(); }
    void printMemoOneFileEditJob() { memoOneFileEditJob(); }
    void printMemoAllEditJob() { memoAllEditJob(); }
    void printFileClear() { fileClear(); }
    void printFileAllClear() { fileAllClear(); }
    void printAnotherSize() { anotherSize(); }
    void printTableViewSelectChange() { tableViewSelectChange(); }
    void printAction(int tag) { tabAction(tag); }
    // The category pop-up shows "ポストカード" (the count rule of the special customer group).
    bool isSizePopPostcard() const { return form().isSizePopPostcard(); }
    // Some row's category is "ポストカード" or "ウェルカムボードおよび販促グッズ".
    bool isKineroOrder() const;

protected:
    void orderSetDone() override;
    void kineloRefresh(bool listHasRows) override;
    void kineloAction() override;

private:
    bool kineloAllowed_ = true;
};

// The school tab ("スクール"): the school form, the Kinelo button hidden for the whole run.
class SchoolTabPage : public FileListTabPage {
    Q_OBJECT
public:
    explicit SchoolTabPage(AppCtrl& ctrl, QWidget* parent = nullptr);

    void schoolUIInit() { tabUIInit(); }
    void schoolCategoryPopRebuild() { categoryPopRebuild(); }
    void schoolSizePopRebuild() { sizePopRebuild(); }
    void schoolSurfacePopRebuild() { surfacePopRebuild(); }
    void schoolLaminatePopRebuild() { laminatePopRebuild(); }
    void schoolViewRefresh() { tabViewRefresh(); }
    void schoolSelectFilesRefrash() { selectFilesRefrash(); }
    void schoolFilesNumInfoRefrash() { filesNumInfoRefrash(); }
    QVariantMap nowSchoolUiDic() const { return nowUiDic(); }
    void saveSchoolUiInfo() { saveUiInfo(); }
    void schoolOrderSet() { orderSet(); }
    void schoolMemoOneFileEditJob() { memoOneFileEditJob(); }
    void schoolMemoAllEditJob() { memoAllEditJob(); }
    void schoolFileClear() { fileClear(); }
    void schoolFileAllClear() { fileAllClear(); }
    void schoolAnotherSize() { anotherSize(); }
    void schoolTableViewSelectChange() { tableViewSelectChange(); }
    void schoolAction(int tag) { tabAction(tag); }

protected:
    void kineloRefresh(bool listHasRows) override;
    void kineloAction() override {}
};

#pragma once

#include "app/ResizeForm.h"
#include "ui/OrderTabPage.h"

#include <QVariantMap>

class ProductPopUpComboBox;
class QCheckBox;
class QComboBox;
class QPlainTextEdit;

// The resize tab: presents the resize form (ResizeForm: one product of the resize catalogue for
// all images of one folder, one count, one memo, and the box "適切なサイズにリサイズする" for a
// resize product) and forwards the user's choices to it. Tags: 401-405 pop-ups, 421 folder, 422
// send, 423 cancel, 430 count, 431 the box.
class ResizeTabPage : public OrderTabPage {
    Q_OBJECT
public:
    explicit ResizeTabPage(AppCtrl& ctrl, QWidget* parent = nullptr);

    void uiInit() override { resizeUIInit(); }
    void viewRefresh() override { resizeViewRefresh(); }

    ResizeForm& form() const { return *form_; }

    void resizeUIInit();
    void resizeCategoryPopRebuild() { form_->resizeCategoryPopRebuild(); }
    void resizeSizePopRebuild() { form_->resizeSizePopRebuild(); }
    void resizeSurfacePopRebuild() { form_->resizeSurfacePopRebuild(); }
    void resizeGoodsPopRebuild() { form_->resizeGoodsPopRebuild(); }
    void resizeGoodsOptionPopRebuild() { form_->resizeGoodsOptionPopRebuild(); }
    void resizeViewRefresh();
    void saveResizetUiInfo() { form_->saveResizetUiInfo(); }
    QVariantMap nowResizeUiDic() const { return form_->nowResizeUiDic(); }
    void resizeAction(int tag);
    bool isResizeProduct() const { return form_->isResizeProduct(); }
    bool isResizeMode() const { return form_->isResizeMode(); }
    bool isNotOrderCategoryPop() const { return form_->isNotOrderCategoryPop(); }
    // After the order was packed: the memo is emptied.
    void orderMemoClear() { form_->orderMemoClear(); }

    ProductPopUpComboBox* resizeCategoryPop() const { return pops_[0]; }
    ProductPopUpComboBox* resizeSizePop() const { return pops_[1]; }
    ProductPopUpComboBox* resizeSurfacePop() const { return pops_[2]; }
    ProductPopUpComboBox* resizeGoodsPop() const { return pops_[3]; }
    ProductPopUpComboBox* resizeGoodsOptionPop() const { return pops_[4]; }
    QComboBox* resizeOrderNum() const { return orderNum_; }
    QPlainTextEdit* resizeOrderMemo() const { return orderMemo_; }
    QCheckBox* resizeResizeExeCheck() const { return resizeExeCheck_; }
    QLineEdit* resizeImageFolderPath() const { return imageFolderPath_; }
    QPlainTextEdit* resizeFileInfoTextView() const { return fileInfoTextView_; }

    static bool isResizeProductRecord(const QVariantMap& sizeRecord) {
        return ResizeForm::isResizeProductRecord(sizeRecord);
    }

private:
    // The form onto the controls.
    void present();
    // A count typed but not yet left is the user's choice too.
    void forwardTypedCount();

    ResizeForm* form_ = nullptr;
    ProductPopUpComboBox* pops_[5] = {};
    QComboBox* orderNum_ = nullptr;
    QPlainTextEdit* orderMemo_ = nullptr;
    QCheckBox* resizeExeCheck_ = nullptr;
    QLineEdit* imageFolderPath_ = nullptr;
    QPushButton* imageFolderSelectButton_ = nullptr;
    QPlainTextEdit* fileInfoTextView_ = nullptr;
    bool refreshing_ = false;
};

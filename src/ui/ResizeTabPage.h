#pragma once

#include "ui/OrderTabPage.h"

#include <QVariantMap>

class ProductPopUpComboBox;
class QCheckBox;
class QComboBox;
class QPlainTextEdit;

// The resize tab: one product of the resize catalogue (category, size, surface, goods, goods
// option) for all images of one folder, with one count and one memo. A size with a "resize_pix"
// between 101 and 4999 is a resize product: the box "適切なサイズにリサイズする" then lets the job
// scale the JPEGs first. Tags: 401-405 pop-ups, 421 folder, 422 send, 423 cancel, 430 count,
// 431 the box.
class ResizeTabPage : public OrderTabPage {
    Q_OBJECT
public:
    explicit ResizeTabPage(AppCtrl& ctrl, QWidget* parent = nullptr);

    void uiInit() override { resizeUIInit(); }
    void viewRefresh() override { resizeViewRefresh(); }

    void resizeUIInit();
    void resizeCategoryPopRebuild();
    void resizeSizePopRebuild();
    void resizeSurfacePopRebuild();
    void resizeGoodsPopRebuild();
    void resizeGoodsOptionPopRebuild();
    void resizeViewRefresh();
    void saveResizetUiInfo();
    QVariantMap nowResizeUiDic() const;
    void resizeAction(int tag);
    // The chosen size is a resize product.
    bool isResizeProduct() const;
    // The resize box is ticked.
    bool isResizeMode() const;
    // The category shows the please-select item.
    bool isNotOrderCategoryPop() const;
    // After the order was packed: the memo is emptied.
    void orderMemoClear();

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

    // The size's "resize_pix" read as an integer lies between 101 and 4999.
    static bool isResizeProductRecord(const QVariantMap& sizeRecord);

private:
    void rebuild(int index);

    ProductPopUpComboBox* pops_[5] = {};
    QComboBox* orderNum_ = nullptr;
    QPlainTextEdit* orderMemo_ = nullptr;
    QCheckBox* resizeExeCheck_ = nullptr;
    QLineEdit* imageFolderPath_ = nullptr;
    QPushButton* imageFolderSelectButton_ = nullptr;
    QPlainTextEdit* fileInfoTextView_ = nullptr;
    // Whether the size shown at the last refresh was a resize product: the box is ticked by itself
    // only when that changes from no to yes, so a box the user unticked stays so.
    bool lastSizeWasResizeProduct_ = false;
    bool initialised_ = false;
};

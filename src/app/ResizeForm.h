#pragma once

#include "product/ProductPopUpList.h"

#include <QObject>
#include <QString>
#include <QVariantMap>
#include <array>
#include <functional>

class ProductData;

// The resize form: one product of the resize catalogue (category, size, surface, goods, goods
// option) for all images of one folder, with one count, one memo and whether the job scales the
// JPEGs first. A size with a "resize_pix" between 101 and 4999 is a resize product. It writes
// "ResizeDic", which the report and the job read. The resize tab presents it and forwards the
// user's choices; formChanged() tells it to present again.
class ResizeForm : public QObject {
    Q_OBJECT
public:
    enum Pop { Category, Size, Surface, Goods, GoodsOption, PopCount };
    // The catalogues in use now; null before they are read.
    using ProductsSource = std::function<ProductData*()>;

    explicit ResizeForm(ProductsSource products, QObject* parent = nullptr);

    const ProductPopUpButton& pop(Pop which) const { return pops_[which]; }
    const QString& orderNum() const { return orderNum_; }
    const QString& memo() const { return memo_; }

    // --- The user's choices ---
    // Picks an item; the pop-ups that depend on it follow.
    void choose(Pop which, int index);
    void setOrderNum(const QString& text);
    // The count as it is kept once the user leaves the field (1 to 9999).
    void normaliseOrderNum();
    // The count shown at a refresh: at least 1.
    void settleOrderNum();
    void setMemo(const QString& text);
    // After the order was packed: the memo is emptied.
    void orderMemoClear();
    void setResizeMode(bool on);

    // --- The cascade ---
    void resizeCategoryPopRebuild() { rebuild(Category); }
    void resizeSizePopRebuild() { rebuild(Size); }
    void resizeSurfacePopRebuild() { rebuild(Surface); }
    void resizeGoodsPopRebuild() { rebuild(Goods); }
    void resizeGoodsOptionPopRebuild() { rebuild(GoodsOption); }
    void resizeUIInit();
    // The resize box at a refresh while the form is usable: ticked by itself when the size has
    // just become a resize product (so a box the user unticked stays so), unticked when it is not
    // one. Every refresh notes what the size was.
    void resizeViewRefresh(bool formUsable);

    // --- Rules and the record ---
    // The size's "resize_pix" read as an integer lies between 101 and 4999.
    static bool isResizeProductRecord(const QVariantMap& sizeRecord);
    bool isResizeProduct() const;
    // The resize box is ticked.
    bool isResizeMode() const { return resizeMode_; }
    // The category shows the please-select item.
    bool isNotOrderCategoryPop() const { return pops_[Category].isPleaseSelect(); }
    // Why Send is off for the form as it is (files dropped or not), or "" when it may go.
    QString resizeSendBlock(bool hasFiles) const;
    QVariantMap nowResizeUiDic() const;
    void saveResizetUiInfo() const;

Q_SIGNALS:
    void formChanged();

private:
    void rebuild(Pop which);

    ProductsSource products_;
    std::array<ProductPopUpList, PopCount> pops_;
    QString orderNum_ = QStringLiteral("1");
    QString memo_;
    bool resizeMode_ = false;
    bool lastSizeWasResizeProduct_ = false;
    bool initialised_ = false;
};

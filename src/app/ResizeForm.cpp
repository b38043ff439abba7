#include "app/ResizeForm.h"

#include "app/AppCtrl.h"
#include "app/OrderCount.h"
#include "product/ProductData.h"
#include "product/ProductResizeData.h"
#include "settings/UserDef.h"

namespace {

const char* const kDicKeys[ResizeForm::PopCount] = {"ResizeCateoryPopKey", "ResizeSizePopKey",
                                                    "ResizeSurfacePopKey", "ResizeGoodsPopKey",
                                                    "ResizeGoodsOptionPopKey"};

} // namespace

ResizeForm::ResizeForm(ProductsSource products, QObject* parent)
    : QObject(parent),
      products_(std::move(products)), pops_{{ProductPopUpList(401), ProductPopUpList(402),
                                             ProductPopUpList(403), ProductPopUpList(404),
                                             ProductPopUpList(405)}} {}

// --- The cascade ---

void ResizeForm::rebuild(Pop which) {
    ProductPopUpList& pop = pops_[which];
    ProductData* products = products_ ? products_() : nullptr;
    const auto catalogue = products != nullptr ? products->resizeData() : nullptr;
    std::optional<QVariantMap> query;
    switch (which) {
    case Size:
        query = QVariantMap{
            {QStringLiteral("list_id"), pops_[Category].selectedRecordId().value_or(QString())}};
        break;
    case Surface:
    case Goods:
        query = QVariantMap{{QStringLiteral("size_id"),
                             pops_[Size].selectedRecordId().value_or(QStringLiteral("-1"))}};
        break;
    case GoodsOption:
        query = QVariantMap{{QStringLiteral("goods_id"),
                             pops_[Goods].selectedRecordId().value_or(QStringLiteral("-1"))}};
        break;
    default:
        break;
    }
    if (catalogue) {
        catalogue->makePopup(pop, query);
    } else {
        pop.removeAllItems();
    }
    if (which == Category) {
        pop.addPleaseSelect();
        pop.setEnabled(true);
    }
    if (pop.numberOfItems() > 0 && pop.indexOfSelectedItem() != 0) {
        pop.selectItemAtIndex(0);
    }
    Q_EMIT formChanged();
}

void ResizeForm::choose(Pop which, int index) {
    pops_[which].selectItemAtIndex(index);
    // The category refills everything below it, the size its surface and goods, the goods their
    // options.
    const int firstDependent = which == Category ? Size
                               : which == Size   ? Surface
                               : which == Goods  ? GoodsOption
                                                 : PopCount;
    for (int i = firstDependent; i < PopCount; ++i) {
        rebuild(static_cast<Pop>(i));
    }
    Q_EMIT formChanged();
}

void ResizeForm::resizeUIInit() {
    for (int i = 0; i < PopCount; ++i) {
        rebuild(static_cast<Pop>(i));
    }
    initialised_ = true;
}

void ResizeForm::resizeViewRefresh(bool formUsable) {
    const bool resizeProduct = isResizeProduct();
    const bool becameResizeProduct = resizeProduct && !lastSizeWasResizeProduct_;
    lastSizeWasResizeProduct_ = resizeProduct;
    if (!formUsable) {
        return;
    }
    const bool ticked = resizeProduct && (becameResizeProduct || resizeMode_);
    if (ticked != resizeMode_) {
        resizeMode_ = ticked;
        Q_EMIT formChanged();
    }
}

// --- Count, memo and box ---

void ResizeForm::setOrderNum(const QString& text) {
    orderNum_ = text;
}

void ResizeForm::normaliseOrderNum() {
    const QString count = AppCtrl::orderNumCheckAndConvert(orderNum_);
    if (count != orderNum_) {
        orderNum_ = count;
        Q_EMIT formChanged();
    }
}

void ResizeForm::settleOrderNum() {
    const QString count = orderCountAtLeastOne(orderNum_);
    if (count != orderNum_) {
        orderNum_ = count;
        Q_EMIT formChanged();
    }
}

void ResizeForm::setMemo(const QString& text) {
    memo_ = text;
}

void ResizeForm::orderMemoClear() {
    memo_.clear();
    saveResizetUiInfo();
    Q_EMIT formChanged();
}

void ResizeForm::setResizeMode(bool on) {
    resizeMode_ = on;
}

// --- Rules and the record ---

bool ResizeForm::isResizeProductRecord(const QVariantMap& sizeRecord) {
    bool ok = false;
    const qint64 pix =
        sizeRecord.value(QStringLiteral("resize_pix")).toString().trimmed().toLongLong(&ok);
    return ok && pix >= 101 && pix <= 4999;
}

bool ResizeForm::isResizeProduct() const {
    const std::optional<ProductRecord> size = pops_[Size].selectedRecordDic();
    return size && isResizeProductRecord(*size);
}

QString ResizeForm::resizeSendBlock(bool hasFiles) const {
    if (!hasFiles) {
        return QStringLiteral("送信するファイルまたはフォルダをドロップしてください");
    }
    return isNotOrderCategoryPop() ? QStringLiteral("商品を選択してください") : QString();
}

QVariantMap ResizeForm::nowResizeUiDic() const {
    QVariantMap dic;
    for (int i = 0; i < PopCount; ++i) {
        if (const std::optional<ProductRecord> record = pops_[i].selectedRecordDic()) {
            dic.insert(QString::fromLatin1(kDicKeys[i]), *record);
        }
    }
    dic.insert(QStringLiteral("ResizeOrderNumKey"), orderNum_);
    dic.insert(QStringLiteral("ResizeOrderMemoKey"), memo_);
    if (resizeMode_) {
        dic.insert(QStringLiteral("ResizeResizeCbKey"), QStringLiteral("On"));
    }
    return dic;
}

void ResizeForm::saveResizetUiInfo() const {
    if (initialised_) {
        UserDef::setResizeDic(nowResizeUiDic());
    }
}

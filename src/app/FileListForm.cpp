#include "app/FileListForm.h"

#include "app/AppCtrl.h"
#include "app/OrderCount.h"
#include "product/ProductData.h"
#include "product/ProductPrintData.h"
#include "product/ProductSchoolData.h"
#include "settings/UserDef.h"

namespace {

// The record keys of the pop-ups, after the prefix ("PrintCateoryPopKey", ...).
const char* const kPopKeys[FileListForm::PopCount] = {"CateoryPopKey", "SizePopKey",
                                                      "SurfacePopKey", "LaminatePopKey"};

QStringList oneToTen() {
    QStringList choices;
    for (int i = 1; i <= 10; ++i) {
        choices.append(QString::number(i));
    }
    return choices;
}

int tagBase(FileListForm::Kind kind) {
    return kind == FileListForm::Kind::Print ? 300 : 600;
}

QString idOf(const QVariantMap& dic, const QString& key) {
    return dic.value(key).toMap().value(QStringLiteral("id")).toString();
}

} // namespace

FileListForm::FileListForm(Kind kind, ProductsSource products, QObject* parent)
    : QObject(parent), kind_(kind), products_(std::move(products)),
      prefix_(kind == Kind::Print ? QStringLiteral("Print") : QStringLiteral("School")),
      pops_{{ProductPopUpList(tagBase(kind) + 1), ProductPopUpList(tagBase(kind) + 2),
             ProductPopUpList(tagBase(kind) + 3), ProductPopUpList(tagBase(kind) + 4)}},
      orderNumChoices_(oneToTen()) {}

const ProductXmlCatalog* FileListForm::catalog() const {
    ProductData* products = products_ ? products_() : nullptr;
    if (products == nullptr) {
        return nullptr;
    }
    return kind_ == Kind::Print ? static_cast<const ProductXmlCatalog*>(products->printData().get())
                                : products->schoolData().get();
}

QString FileListForm::caption(Pop which) const {
    static const char* const kDefaults[PopCount] = {"カテゴリ", "サイズ", "面質", "ラミネート"};
    const QString label = AppCtrl::labelFromPop(&pops_[which]).value_or(QString());
    return label.isEmpty() ? QString::fromUtf8(kDefaults[which]) : label;
}

// --- The cascade ---

void FileListForm::categoryPopRebuild() {
    ProductPopUpList& category = pops_[Category];
    if (const ProductXmlCatalog* c = catalog()) {
        c->makePopup(category, std::nullopt);
    } else {
        category.removeAllItems();
    }
    category.addPleaseSelect();
    category.setEnabled(true);
    Q_EMIT formChanged();
}

void FileListForm::rebuildLower(Pop which) {
    ProductPopUpList& pop = pops_[which];
    std::optional<QVariantMap> query;
    if (which == Size) {
        query = QVariantMap{
            {QStringLiteral("list_id"), pops_[Category].selectedRecordId().value_or(QString())}};
    } else {
        query = QVariantMap{{QStringLiteral("size_id"),
                             pops_[Size].selectedRecordId().value_or(QStringLiteral("-1"))}};
    }
    ProductData* products = products_ ? products_() : nullptr;
    if (products != nullptr && kind_ == Kind::Print && products->printData()) {
        products->printData()->makePopupSelectKeep(pop, query);
    } else if (products != nullptr && kind_ == Kind::School && products->schoolData()) {
        products->schoolData()->makePopupSelectKeep(pop, query);
    } else {
        pop.removeAllItems();
    }
    pop.setEnabled(!pop.isNoItem());
    Q_EMIT formChanged();
}

void FileListForm::sizePopRebuild() {
    rebuildLower(Size);
}

void FileListForm::surfacePopRebuild() {
    rebuildLower(Surface);
}

void FileListForm::laminatePopRebuild() {
    rebuildLower(Laminate);
}

void FileListForm::choose(Pop which, int index) {
    pops_[which].selectItemAtIndex(index);
    if (which == Category) {
        sizePopRebuild();
    }
    if (which == Category || which == Size) {
        surfacePopRebuild();
        laminatePopRebuild();
    }
    Q_EMIT formChanged();
}

QStringList FileListForm::wantedOrderNumChoices() const {
    if (kind_ == Kind::Print && UserDef::isCustomCustomer3465() && isSizePopPostcard()) {
        return {QStringLiteral("10"), QStringLiteral("50")};
    }
    return oneToTen();
}

void FileListForm::refreshOrderNumChoices() {
    const QStringList wanted = wantedOrderNumChoices();
    if (orderNumChoices_.size() != wanted.size()) {
        orderNumChoices_ = wanted;
        orderNum_ = wanted.value(0);
        Q_EMIT formChanged();
    }
}

void FileListForm::tabUIInit() {
    categoryPopRebuild();
    sizePopRebuild();
    surfacePopRebuild();
    laminatePopRebuild();
    loadUiInfo();
    initialised_ = true;
}

// --- Count and memo ---

void FileListForm::setOrderNum(const QString& text) {
    orderNum_ = text;
}

void FileListForm::normaliseOrderNum() {
    const QString count = AppCtrl::orderNumCheckAndConvert(orderNum_);
    if (count != orderNum_) {
        orderNum_ = count;
        Q_EMIT formChanged();
    }
}

void FileListForm::settleOrderNum() {
    const QString count = orderCountAtLeastOne(orderNum_);
    if (count != orderNum_) {
        orderNum_ = count;
        Q_EMIT formChanged();
    }
}

void FileListForm::setMemo(const QString& text) {
    if (text.isEmpty()) {
        memo_.reset();
    } else {
        memo_ = text;
    }
    Q_EMIT formChanged();
}

void FileListForm::orderMemoClear() {
    memo_.reset();
    Q_EMIT formChanged();
}

// --- Records ---

QVariantMap FileListForm::nowUiDic() const {
    QVariantMap dic;
    for (int i = 0; i < PopCount; ++i) {
        if (const std::optional<ProductRecord> record = pops_[i].selectedRecordDic()) {
            dic.insert(rowKey(kPopKeys[i]), *record);
        }
    }
    dic.insert(rowKey("OrderNumKey"), orderNum_);
    dic.insert(rowKey("OrderMasterMemoKey"), memo_.value_or(QString()));
    return dic;
}

void FileListForm::saveUiInfo() const {
    if (initialised_) {
        UserDef::setObject(nowUiDic(), dicKey());
    }
}

void FileListForm::loadUiInfo() {
    const std::optional<QVariantMap> dic = UserDef::dictionaryForKey(dicKey());
    if (!dic) {
        return;
    }
    const QString category = idOf(*dic, rowKey("CateoryPopKey"));
    if (!category.isEmpty() && pops_[Category].selectItemFromRecordId(category)) {
        sizePopRebuild();
        const QString size = idOf(*dic, rowKey("SizePopKey"));
        if (!size.isEmpty()) {
            pops_[Size].selectItemFromRecordId(size);
        }
        surfacePopRebuild();
        laminatePopRebuild();
        pops_[Surface].selectItemFromRecordId(idOf(*dic, rowKey("SurfacePopKey")));
        pops_[Laminate].selectItemFromRecordId(idOf(*dic, rowKey("LaminatePopKey")));
    }
    const QString count = dic->value(rowKey("OrderNumKey")).toString();
    if (!count.isEmpty()) {
        refreshOrderNumChoices();
        orderNum_ = AppCtrl::orderNumCheckAndConvert(count);
    }
    Q_EMIT formChanged();
}

QVariantMap FileListForm::orderSetRow(QVariantMap row) const {
    row.insert(rowKey("OrderNumKey"), orderNum_);
    for (int i = 0; i < PopCount; ++i) {
        if (const std::optional<ProductRecord> chosen = pops_[i].selectedRecordDic()) {
            row.insert(rowKey(kPopKeys[i]), *chosen);
        } else {
            row.remove(rowKey(kPopKeys[i]));
        }
    }
    return row;
}

void FileListForm::tableViewSelectChange(const std::optional<QVariantMap>& top) {
    if (!top || !top->contains(rowKey("OrderNumKey"))) {
        return;
    }
    orderNum_ = top->value(rowKey("OrderNumKey")).toString();
    if (top->contains(rowKey("CateoryPopKey")) &&
        pops_[Category].selectItemFromRecordId(idOf(*top, rowKey("CateoryPopKey")))) {
        sizePopRebuild();
        surfacePopRebuild();
        laminatePopRebuild();
        if (top->contains(rowKey("SizePopKey")) &&
            pops_[Size].selectItemFromRecordId(idOf(*top, rowKey("SizePopKey")))) {
            surfacePopRebuild();
            laminatePopRebuild();
            pops_[Surface].selectItemFromRecordId(idOf(*top, rowKey("SurfacePopKey")));
            pops_[Laminate].selectItemFromRecordId(idOf(*top, rowKey("LaminatePopKey")));
        }
    }
    Q_EMIT formChanged();
}

QString FileListForm::sendBlock(bool hasRows, bool everyRowOrdered) {
    if (!hasRows) {
        return QStringLiteral("ファイルをドロップしてください");
    }
    return everyRowOrdered ? QString() : QStringLiteral("すべての行に注文内容を設定してください");
}

void FileListForm::storeOrderArray(const QVariantList& rows) const {
    UserDef::setObject(rows, orderArrayKey());
}

// --- Print's own rules ---

bool FileListForm::isSizePopPostcard() const {
    return pops_[Category].titleOfSelectedItem() == QStringLiteral("ポストカード");
}

bool FileListForm::isKineroOrder(const QList<QVariantMap>& rows) const {
    const QString key = rowKey("CateoryPopKey");
    for (const QVariantMap& row : rows) {
        const QString name = row.value(key).toMap().value(QStringLiteral("name")).toString();
        if (name == QStringLiteral("ポストカード") ||
            name == QStringLiteral("ウェルカムボードおよび販促グッズ")) {
            return true;
        }
    }
    return false;
}

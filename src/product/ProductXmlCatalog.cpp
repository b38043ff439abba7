#include "product/ProductXmlCatalog.h"

#include "product/ProductPopUpButton.h"
#include "product/ProductXmlReader.h"

#include <QHash>

ProductXmlCatalog::ProductXmlCatalog(const QString& xmlData, const QStringList& tableNames,
                                     QList<TagRule> tagRules)
    : xmlData_(xmlData), tagRules_(std::move(tagRules)) {
    // One parse for all tables; a refused text leaves every table empty.
    QHash<QString, QList<ProductRecord>> recordsByTable;
    if (const auto elements = ProductXmlReader::rootChildElements(xmlData)) {
        for (const ProductXmlReader::Element& element : *elements) {
            if (tableNames.contains(element.name)) {
                recordsByTable[element.name].append(element.record);
            }
        }
    }
    for (const QString& name : tableNames) {
        tableInfoDic_.insert(name, ProductOneTableInfo(name, recordsByTable.value(name)));
    }
}

const ProductXmlCatalog::TagRule* ProductXmlCatalog::ruleForTag(int tag) const {
    for (const TagRule& rule : tagRules_) {
        if (rule.tag == tag) {
            return &rule;
        }
    }
    return nullptr;
}

const ProductOneTableInfo* ProductXmlCatalog::tableInfoForName(const QString& tableName) const {
    const auto it = tableInfoDic_.constFind(tableName);
    return it == tableInfoDic_.cend() ? nullptr : &it.value();
}

const ProductOneTableInfo* ProductXmlCatalog::tableInfoDicForTagNo(int tag) const {
    const TagRule* rule = ruleForTag(tag);
    return rule ? tableInfoForName(rule->tableName) : nullptr;
}

void ProductXmlCatalog::makePopup(ProductPopUpButton& popup,
                                  const std::optional<QVariantMap>& queryDic) const {
    const TagRule* rule = ruleForTag(popup.tag());
    if (!rule) {
        return;
    }
    const ProductOneTableInfo* table = tableInfoForName(rule->tableName);
    if (!table) {
        return;
    }
    if (rule->linkTableName.isEmpty()) {
        table->makePopup(popup, queryDic);
        return;
    }
    const ProductOneTableInfo* link = tableInfoForName(rule->linkTableName);
    if (!link) {
        return;
    }
    table->makePopupForLinkTableInfo(popup, *link, queryDic, rule->idKey);
}

void ProductXmlCatalog::makePopupSelectKeepImpl(ProductPopUpButton& popup,
                                                const std::optional<QVariantMap>& queryDic) const {
    const std::optional<QString> keptTitle = popup.titleOfSelectedItem();
    makePopup(popup, queryDic);
    if (popup.numberOfItems() == 0 || !keptTitle) {
        return;
    }
    const int index = popup.indexOfItemWithTitle(*keptTitle);
    popup.selectItemAtIndex(index >= 0 ? index : 0);
}

#pragma once

#include "product/ProductOneTableInfo.h"

#include <QList>
#include <QMap>
#include <QString>
#include <optional>

class ProductPopUpButton;

// What the print, school and resize catalogues share: the named tables read from one XML text,
// the table each pop-up tag shows and whether it is reached through a link table.
class ProductXmlCatalog {
public:
    virtual ~ProductXmlCatalog() = default;

    // The complete source text (compared by the catalogue owner to decide about rebuilding).
    const QString& xmlData() const { return xmlData_; }
    const QMap<QString, ProductOneTableInfo>& tableInfoDic() const { return tableInfoDic_; }
    // The table a pop-up tag shows; none for a tag outside this catalogue.
    const ProductOneTableInfo* tableInfoDicForTagNo(int tag) const;
    const ProductOneTableInfo* tableInfoForName(const QString& tableName) const;

    // Fills the pop-up from the table its tag names, through the link table where there is one
    // (the query then applies to the link table). A tag of no table leaves the pop-up as it was.
    void makePopup(ProductPopUpButton& popup, const std::optional<QVariantMap>& queryDic) const;

protected:
    struct TagRule {
        int tag;
        QString tableName;
        QString linkTableName; // "" when the table is queried directly
        QString idKey;         // column of the link table holding this table's id
    };

    ProductXmlCatalog(const QString& xmlData, const QStringList& tableNames,
                      QList<TagRule> tagRules);
    ProductXmlCatalog(const ProductXmlCatalog&) = default;
    ProductXmlCatalog& operator=(const ProductXmlCatalog&) = default;

    // makePopup, then the item with the previously selected title again, else the first item.
    void makePopupSelectKeepImpl(ProductPopUpButton& popup,
                                 const std::optional<QVariantMap>& queryDic) const;

private:
    const TagRule* ruleForTag(int tag) const;

    QMap<QString, ProductOneTableInfo> tableInfoDic_;
    QString xmlData_;
    QList<TagRule> tagRules_;
};

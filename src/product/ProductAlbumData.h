#pragma once

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <optional>

// The album catalogue: one text of named CSV sections ("<!--NAME\n" ... "\nNAME-->") that lists
// every album product, every choice the album tab offers for it and the lab's codes for each
// combination. One matching rule answers both which values a pop-up may offer given the choices
// so far, and which code the chosen combination has.
//
// Matching: a row matches a key list when, for every key position the row has a field for, the
// field is "0" (any value), the key is "0" (any field), or the field - a single value or a comma
// list - contains the key; a list of "!"-prefixed values instead matches every key it does not
// name. The row's item is the field right after the keys.
//
// The code lookups read the album tab's current choices, the settings record "AlbumDic", unless
// a record is passed explicitly.
class ProductAlbumData {
public:
    using Row = QStringList;
    using Rows = QList<Row>;

    // Section names.
    static const QString kAlbum;     // album
    static const QString kSize;      // album, size, label
    static const QString kPage;      // album, size, page, page entry type, label
    static const QString kBaseCol;   // album, variation, base-paper colour, code, label
    static const QString kInMen;     // album, size, cover, inner paper, code, label
    static const QString kInUvMen;   // album, size, inner paper, cover, inner laminate, code, label
    static const QString kBbStyle;   // album, size, inner paper, options, binding, code, label
    static const QString kHyou;      // album, size, page, cover, code, label
    static const QString kHyouCol;   // album, size, cover, variation, code, label
    static const QString kHyouTemp;  // album, size, cover, template, code, label
    static const QString kHyouSeCol; // album, size, cover, template, spine colour, code, label
    static const QString kHyouAutoAdd; // album, size, cover, added item, code, label
    static const QString kHyouId;      // cover code, cover, variation, template, spine, id code
    static const QString kBox;         // album, size, box, code, label
    static const QString kBoxCol;      // album, size, box, box colour, code, label
    static const QString kMini;        // album, size, page, laminate, mini, code, code 2, label
    static const QString kMiniCol;     // album, size, mini, mini colour, code, label
    static const QString kOpt; // album, size, page, cover, template, base colour, option, code
    static const QString kOptPageQu;   // options counted per page (times copies)
    static const QString kOptPageQua;  // options counted per page, absolute
    static const QString kOptOrderQu;  // options counted per ordered copy
    static const QString kOrderNum;    // album, quantity entry type, quantity label, unit label
    static const QString kOrderLimit;  // album, largest quantity (0 = no limit)
    static const QString kPutNameDate; // items that need a name and date
    static const QString kAlbumCode;   // album, size, page, paper, laminate, cover, code, code 2
    static const QString kSalon3465;   // wedding-group salons, read whole
    static const QString kVenue3465;   // wedding-group venues, read whole
    static const QString kMasSize;     // size, view size
    static const QString kMasCatalog;  // album or "CATALOG_TOP", catalogue URL

    // The 27 sections that are kept as tables, in build order.
    static const QStringList& lookupSectionNames();
    // The content of one section; "" when either marker is missing or out of order.
    static QString sectionText(const QString& csvs, const QString& sectionName);

    explicit ProductAlbumData(const QString& productData);

    const QString& productCsvs() const { return productCsvs_; }
    const QHash<QString, Rows>& productArrayDic() const { return productArrayDic_; }
    const QHash<QString, QString>& masSizeDic() const { return masSizeDic_; }
    const QHash<QString, QString>& masSizeViewDic() const { return masSizeViewDic_; }
    const QHash<QString, QString>& masCatalogDic() const { return masCatalogDic_; }

    // Distinct item values of the matching rows, in row order. No keys: the first column.
    QStringList itemsWithKey(const QString& key,
                             const std::optional<QStringList>& keyItems = std::nullopt) const;
    // The only value, or "" when there is not exactly one.
    QString codeWithKey(const QString& key, const std::optional<QStringList>& keyItems) const;
    // The first value, or "".
    QString labelWithKey(const QString& key, const std::optional<QStringList>& keyItems) const;
    QStringList itemsAlbum() const;

    // Size as written in the catalogue <-> size as shown; unchanged without an entry.
    QString viewSizeFromSize(const QString& size) const;
    QString sizeFromViewSize(const QString& viewSize) const;

    // --- Code lookups for the album choices ---
    static QVariantMap currentAlbumDic(); // "AlbumDic" of the settings, empty when absent
    QString productCodePure(const QVariantMap& albumDic = currentAlbumDic()) const;
    QString productCode2Pure(const QVariantMap& albumDic = currentAlbumDic()) const;
    // The product codes with a leading "9999" replaced from the cover's code.
    QString productCode(const QVariantMap& albumDic = currentAlbumDic()) const;
    QString productCode2(const QVariantMap& albumDic = currentAlbumDic()) const;
    static bool isCodeTop9999(const QString& code); // 12 characters starting with "9999"
    bool isProductCodeTop9999(const QVariantMap& albumDic = currentAlbumDic()) const;
    QString hyouCodeTop4(const QVariantMap& albumDic = currentAlbumDic()) const;
    QString hyouCodeSecond4(const QVariantMap& albumDic = currentAlbumDic()) const;
    QString inMenCode(const QVariantMap& albumDic = currentAlbumDic()) const;
    QString inUVMenCode(const QVariantMap& albumDic = currentAlbumDic()) const;
    QString bBStyleCode(const QVariantMap& albumDic = currentAlbumDic()) const;
    QString baseColOptCode(const QVariantMap& albumDic = currentAlbumDic()) const;
    QString hyouCode(const QVariantMap& albumDic = currentAlbumDic()) const;
    QString hyouOpt1Code(const QVariantMap& albumDic = currentAlbumDic()) const;
    QString hyouOpt2Code(const QVariantMap& albumDic = currentAlbumDic()) const;
    QString hyouOpt21Code(const QVariantMap& albumDic = currentAlbumDic()) const;
    QString hyouAutoAddValue(const QVariantMap& albumDic = currentAlbumDic()) const;
    QString hyouAutoAddCode(const QVariantMap& albumDic = currentAlbumDic()) const;
    QString hyouAutoAddLabel(const QVariantMap& albumDic = currentAlbumDic()) const;
    QString hyouIdCode(const QVariantMap& albumDic = currentAlbumDic()) const;
    QString boxCode(const QVariantMap& albumDic = currentAlbumDic()) const;
    QString boxOpt1Code(const QVariantMap& albumDic = currentAlbumDic()) const;
    QString miniCode(const QVariantMap& albumDic = currentAlbumDic()) const;
    QString miniCode2(const QVariantMap& albumDic = currentAlbumDic()) const;
    QString miniOpt1Code(const QVariantMap& albumDic = currentAlbumDic()) const;
    QString optCodeForOptName(const QString& optName,
                              const QVariantMap& albumDic = currentAlbumDic()) const;
    QString kineloCodeForOptName(const QString& optName,
                                 const QVariantMap& albumDic = currentAlbumDic()) const;

    // --- Memberships: the name is among the first-column values of the section ---
    bool isOptionPageQuantity(const QString& name) const;
    bool isOptionPageQuantityAbs(const QString& name) const;
    bool isOptionOrderQuantity(const QString& name) const;
    bool isPutNameDateProduct(const QString& name) const;

    // The album's order limit; 0 (no limit) unless exactly one value matches.
    qint64 orderLimit(const QString& album) const;
    Rows salonArray3465() const;
    Rows venueArray3465() const;
    // The album's catalogue page, else the "CATALOG_TOP" page, else the lab's web site.
    QString catalogURLFromKey(const QString& album) const;

private:
    void makeProductArrayDic();
    void makeSizeMasterDic();
    void makeCatalogMasterDic();
    Rows sectionRows(const QString& sectionName) const;
    bool isFirstColumnValue(const QString& section, const QString& name) const;
    // The choice under a control name of the record; the size converted to catalogue form.
    QString choice(const QVariantMap& albumDic, const QString& control) const;
    QString hyouLookup(const QVariantMap& albumDic) const; // the cover's own code

    QString productCsvs_;
    QHash<QString, Rows> productArrayDic_;
    QHash<QString, QString> masSizeDic_;
    QHash<QString, QString> masSizeViewDic_;
    QHash<QString, QString> masCatalogDic_;
};

#pragma once

#include "product/ProductPopUpList.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <QVariantMap>
#include <array>
#include <functional>
#include <optional>

class ProductData;
class ProductXmlCatalog;

// The print and school form: the product chain (category, size, surface, laminate) filled from
// the tab's catalogue, the count stamped with it onto the selected rows, and the memo for the
// whole order. It writes the saved form ("PrintDic" / "SchoolDic"), the stamped rows and the
// rows handed to the report ("PrintOrderArray" / "SchoolOrderArray"). The tab page presents it
// and forwards the user's choices; formChanged() tells it to present again.
class FileListForm : public QObject {
    Q_OBJECT
public:
    enum class Kind { Print, School };
    enum Pop { Category, Size, Surface, Laminate, PopCount };
    // The catalogues in use now; null before they are read.
    using ProductsSource = std::function<ProductData*()>;

    FileListForm(Kind kind, ProductsSource products, QObject* parent = nullptr);

    Kind kind() const { return kind_; }
    // "Print" / "School": the row and settings keys start with it.
    const QString& prefix() const { return prefix_; }
    QString rowKey(const char* suffix) const { return prefix_ + QLatin1String(suffix); }
    QString dicKey() const { return prefix_ + QStringLiteral("Dic"); }
    QString orderArrayKey() const { return prefix_ + QStringLiteral("OrderArray"); }

    const ProductPopUpButton& pop(Pop which) const { return pops_[which]; }
    // A pop-up's caption: the chosen record's "label", else the default caption.
    QString caption(Pop which) const;
    const QString& orderNum() const { return orderNum_; }
    const QStringList& orderNumChoices() const { return orderNumChoices_; }
    // The order memo (for the whole order): none, or its text.
    const std::optional<QString>& memo() const { return memo_; }

    // --- The user's choices ---
    // Picks an item; the pop-ups below it follow.
    void choose(Pop which, int index);
    void setOrderNum(const QString& text);
    // The count as it is kept once the user leaves the field (1 to 9999).
    void normaliseOrderNum();
    // The count shown at a refresh: at least 1.
    void settleOrderNum();
    // Empty text drops the memo.
    void setMemo(const QString& text);
    void orderMemoClear();

    // --- The cascade ---
    void categoryPopRebuild();
    void sizePopRebuild();
    void surfacePopRebuild();
    void laminatePopRebuild();
    // The count choices for the category now; a change of them starts the count at the first.
    void refreshOrderNumChoices();
    // The four rebuilds and the last saved form.
    void tabUIInit();

    // --- Records ---
    QVariantMap nowUiDic() const;
    void saveUiInfo() const;
    // The saved form back into the pop-ups and the count.
    void loadUiInfo();
    // A category is chosen: the choices can be stamped onto rows.
    bool canOrderSet() const { return !pops_[Category].isPleaseSelect(); }
    // The row stamped with the count and the chosen records (a record not chosen is removed).
    QVariantMap orderSetRow(QVariantMap row) const;
    // The choices of a row the user selected come back into the form.
    void tableViewSelectChange(const std::optional<QVariantMap>& topRow);
    // Why Send is off for the list as it is, or "" when it may go.
    static QString sendBlock(bool hasRows, bool everyRowOrdered);
    // The rows handed to the report at Send.
    void storeOrderArray(const QVariantList& rows) const;

    // --- Print's own rules ---
    // The category shows "ポストカード" (the count rule of the special customer group).
    bool isSizePopPostcard() const;
    // Some row's category is "ポストカード" or "ウェルカムボードおよび販促グッズ".
    bool isKineroOrder(const QList<QVariantMap>& rows) const;

Q_SIGNALS:
    void formChanged();

private:
    const ProductXmlCatalog* catalog() const;
    void rebuildLower(Pop which);
    QStringList wantedOrderNumChoices() const;

    Kind kind_;
    ProductsSource products_;
    QString prefix_;
    std::array<ProductPopUpList, PopCount> pops_;
    QString orderNum_ = QStringLiteral("1");
    QStringList orderNumChoices_;
    std::optional<QString> memo_;
    bool initialised_ = false; // nothing is saved before the saved form was read back
};

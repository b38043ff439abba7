#pragma once

#include "settings/SettingsKeys.h"

#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantMap>

class ProductAlbumData;

// The album choices as the album tab saved them ("AlbumDic"), with the tests and numbers the album
// report builds its single unit from.
class AlbumReportChoices {
public:
    explicit AlbumReportChoices(QVariantMap albumDic);

    const QVariantMap& albumDic() const { return albumDic_; }
    QString text(const QString& key) const; // "" when absent

    // A choice has a value when it is present, not empty, not "0" and not "-".
    bool isValueCom(const QString& key) const;
    bool isSizeValue() const { return isValueCom(SettingsKey::AlSizePop); }
    bool isPageValue() const { return isValueCom(SettingsKey::AlPagePop); }
    bool isBaseColValue() const { return isValueCom(SettingsKey::AlBaseColPop); }
    bool isInpMenValue() const { return isValueCom(SettingsKey::AlInpMenPop); }
    bool isInpRamiValue() const { return isValueCom(SettingsKey::AlInpRamiPop); }
    bool isBBStyleValue() const { return isValueCom(SettingsKey::AlBBStylePop); }
    bool isHyouValue() const { return isValueCom(SettingsKey::AlHyouPop); }
    bool isHyouColValue() const { return isValueCom(SettingsKey::AlHyouColPop); }
    bool isHyouTempValue() const { return isValueCom(SettingsKey::AlHyouTempPop); }
    bool isHyouSeColValue() const { return isValueCom(SettingsKey::AlHyouSeColPop); }
    bool isBoxValue() const { return isValueCom(SettingsKey::AlBoxPop); }
    bool isBoxColValue() const { return isValueCom(SettingsKey::AlBoxColPop); }
    bool isMiniValue() const { return isValueCom(SettingsKey::AlMiniPop); }
    bool isMiniColValue() const { return isValueCom(SettingsKey::AlMiniColPop); }
    // Albums that add inner pages to an existing album carry "中ページ" in their title.
    bool isInPageType() const;
    // A size that is a set of pictures rather than a book size.
    bool isFiftySet() const;
    bool isTenSet() const;

    // A pop-up title counts unless it is empty, "-" or "0".
    static bool isCheckPopTitle(const QString& title);
    // A check box value: a number text equal to 1.
    static bool isCheckBoxOn(const QVariant& value);

    qint64 copies() const; // integer of "AlOrderNum"
    qint64 pages() const;  // integer of "AlPagePop" when the page has a value, else 1
    qint64 sheets() const; // copies × pages
    qint64 units() const;  // copies, × 50 or × 10 for the picture sets
    qint64 boxCount() const;
    qint64 miniCount() const;
    QStringList optionTitles() const; // "AlOptoinArray"

    // Copies for options counted per ordered copy, pages for those counted per page (absolute),
    // sheets for those counted per page; else 1. No catalogue: 1.
    qint64 optionQuantity(const ProductAlbumData* album, const QString& name) const;

private:
    QVariantMap albumDic_;
};

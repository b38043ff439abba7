#include "report/JobInfoAlbumReport.h"

#include "job/JobInfo.h"
#include "product/ProductAlbumData.h"
#include "product/ProductData.h"
#include "report/ReportLines.h"
#include "report/TabReports.h"
#include "settings/SettingsKeys.h"
#include "settings/UserDef.h"

#include <functional>
#include <memory>
#include <utility>

namespace {

const QString kNoCodeId = QStringLiteral("9999,9999,11");
const QString kCrLf = QStringLiteral("\r\n");
const QString kNameLabel = QStringLiteral("プレート&箔押し用ネーム");
const QString kDateLabel = QStringLiteral("プレート&箔押し用日付");

} // namespace

AlbumReportChoices::AlbumReportChoices(QVariantMap albumDic) : albumDic_(std::move(albumDic)) {}

QString AlbumReportChoices::text(const QString& key) const {
    return albumDic_.value(key).toString();
}

bool AlbumReportChoices::isValueCom(const QString& key) const {
    return albumDic_.contains(key) && isCheckPopTitle(text(key));
}

bool AlbumReportChoices::isInPageType() const {
    return text(SettingsKey::AlAlbumPop).contains(QStringLiteral("中ページ"));
}

bool AlbumReportChoices::isFiftySet() const {
    return text(SettingsKey::AlSizePop) == QStringLiteral("50枚セット");
}

bool AlbumReportChoices::isTenSet() const {
    return text(SettingsKey::AlSizePop) == QStringLiteral("追加10枚セット");
}

bool AlbumReportChoices::isCheckPopTitle(const QString& title) {
    return !title.isEmpty() && title != QStringLiteral("-") && title != QStringLiteral("0");
}

bool AlbumReportChoices::isCheckBoxOn(const QVariant& value) {
    bool ok = false;
    const qint64 number = value.toString().trimmed().toLongLong(&ok);
    return ok && number == 1;
}

qint64 AlbumReportChoices::copies() const {
    return reportInteger(text(QStringLiteral("AlOrderNum")));
}

qint64 AlbumReportChoices::pages() const {
    return isPageValue() ? reportInteger(text(SettingsKey::AlPagePop)) : 1;
}

qint64 AlbumReportChoices::sheets() const {
    return copies() * pages();
}

qint64 AlbumReportChoices::units() const {
    if (isFiftySet()) {
        return copies() * 50;
    }
    if (isTenSet()) {
        return copies() * 10;
    }
    return copies();
}

qint64 AlbumReportChoices::boxCount() const {
    return reportInteger(text(QStringLiteral("AlOrderBoxNum")));
}

qint64 AlbumReportChoices::miniCount() const {
    return reportInteger(text(QStringLiteral("AlOrderMiniNum")));
}

QStringList AlbumReportChoices::optionTitles() const {
    QStringList titles;
    for (const QVariant& title : albumDic_.value(SettingsKey::AlOptoinArray).toList()) {
        titles.append(title.toString());
    }
    return titles;
}

qint64 AlbumReportChoices::optionQuantity(const ProductAlbumData* album,
                                          const QString& name) const {
    if (album == nullptr) {
        return 1;
    }
    if (album->isOptionOrderQuantity(name)) {
        return copies();
    }
    if (album->isOptionPageQuantityAbs(name)) {
        return pages();
    }
    if (album->isOptionPageQuantity(name)) {
        return sheets();
    }
    return 1;
}

QString printReportAlbumTab(const JobInfo& info) {
    const AlbumReportChoices choices(UserDef::albumDic().value_or(QVariantMap()));
    const QVariantMap& dic = choices.albumDic();
    const std::shared_ptr<ProductAlbumData> catalogue =
        info.productData() != nullptr ? info.productData()->albumData() : nullptr;
    const ProductAlbumData* album = catalogue.get();
    // Every code comes from the catalogue's lookups over the saved choices; no catalogue, no code.
    const auto code = [&](QString (ProductAlbumData::*lookup)(const QVariantMap&) const) {
        return album != nullptr ? std::invoke(lookup, album, dic) : QString();
    };
    const auto choice = [&](const char* key) {
        return reportSingleLine(choices.text(QString::fromLatin1(key)));
    };
    const auto label = choice;

    // 1. The memo, headed by the album set it belongs to.
    QString memo = choices.text(QStringLiteral("AlOrderMemo"));
    const QString setName = UserDef::stringForKey(SettingsKey::AlbumSetName).value_or(QString());
    if (!setName.isEmpty() && setName != QStringLiteral("-")) {
        memo = memo.isEmpty() ? setName : setName + kCrLf + memo;
    }

    // 2. Product code and unit quantity.
    const qint64 copies = choices.copies();
    const qint64 pages = choices.pages();
    const qint64 sheets = choices.sheets();
    const qint64 units = choices.units();
    const QString productCode2 = code(&ProductAlbumData::productCode2);
    QString productCode = code(&ProductAlbumData::productCode);
    qint64 quantity = units;
    if (choices.isInPageType()) {
        quantity = pages * units;
        if (quantity > 9) {
            productCode = productCode2;
        }
    } else if (units >= 2 && productCode2.size() > 1) {
        quantity = 1; // the further copies go into the "2冊目以上" option
    }

    // 3. The unit and its images.
    QString text = info.reportHead();
    text += reportLine(QStringLiteral("UNIT_INDEX=1"));
    text += reportLine(QStringLiteral("UNIT_PRODUCT_DESCRIPTION=%1各%2%3")
                           .arg(reportSingleLine(choices.text(SettingsKey::AlAlbumPop)),
                                QString::number(units), label("AlOrderUnitLabel")));
    text += reportLine(QStringLiteral("UNIT_PRODUCT_CODE=") + reportSingleLine(productCode));
    text += reportLine(QStringLiteral("UNIT_QUANTITY=%1").arg(quantity));
    for (const QString& path : info.orderFilePassArray()) {
        text += reportLine(QStringLiteral("PRODUCT_IMAGE_FILE_NAME=") +
                           reportSingleLine(reportFileName(path)));
        text += reportLine(QStringLiteral("ROES_OriginalFileName=") + reportSingleLine(path));
    }

    // 4. The album's parts as unit options; the number advances only for a written block.
    int index = 1;
    const auto add = [&](const QString& block) {
        if (block.isEmpty()) {
            return false;
        }
        text += block;
        ++index;
        return true;
    };
    const auto option = [&](const QString& optLabel, const QString& labelData, const QString& id,
                            qint64 optQuantity) {
        return add(JobInfo::unitOptionWithOptIndex(index, optLabel, reportSingleLine(labelData), id,
                                                   QString(), optQuantity));
    };
    const auto quantityOf = [&](const QString& name) {
        return choices.optionQuantity(album, name);
    };

    if (choices.isSizeValue() && !choices.isFiftySet() && !choices.isTenSet()) {
        option(QString(), choices.text(SettingsKey::AlSizePop), kNoCodeId, 1);
    }
    if (choices.isPageValue()) {
        option(QString(),
               choices.text(QStringLiteral("AlPageLabel")) + u' ' +
                   choices.text(SettingsKey::AlPagePop),
               kNoCodeId, 1);
    }
    if (choices.isBaseColValue()) {
        option(label("AlBaseColLabel"), choices.text(SettingsKey::AlBaseColPop),
               code(&ProductAlbumData::baseColOptCode), 1);
    }
    if (choices.isInpMenValue()) {
        option(label("AlInpMenLabel"), choices.text(SettingsKey::AlInpMenPop),
               code(&ProductAlbumData::inMenCode), 1);
    }
    if (choices.isInpRamiValue()) {
        option(label("AlInpRamiLabel"), choices.text(SettingsKey::AlInpRamiPop),
               code(&ProductAlbumData::inUVMenCode), sheets);
    }
    if (choices.isBBStyleValue()) {
        option(label("AlBBStyleLabel"), choices.text(SettingsKey::AlBBStylePop),
               code(&ProductAlbumData::bBStyleCode), 1);
    }

    // A cover without a code of its own is priced through its variation or its template.
    QString coverCode = code(&ProductAlbumData::hyouCode);
    QString variationCode = code(&ProductAlbumData::hyouOpt1Code);
    QString templateCode = code(&ProductAlbumData::hyouOpt2Code);
    if (coverCode == QStringLiteral("0")) {
        if (variationCode.size() > 1) {
            coverCode = std::exchange(variationCode, kNoCodeId);
        } else if (templateCode.size() > 1) {
            coverCode = std::exchange(templateCode, kNoCodeId);
        }
    }
    if (choices.isHyouValue()) {
        const QString cover = choices.text(SettingsKey::AlHyouPop);
        const bool perCopy = album != nullptr && album->isOptionOrderQuantity(cover);
        if (option(label("AlHyouLabel"), cover, coverCode, perCopy ? copies : 1)) {
            const QString autoAdd = code(&ProductAlbumData::hyouAutoAddValue);
            option(reportSingleLine(code(&ProductAlbumData::hyouAutoAddLabel)), autoAdd,
                   code(&ProductAlbumData::hyouAutoAddCode), quantityOf(autoAdd));
        }
        if (choices.isHyouColValue()) {
            const QString variation = choices.text(SettingsKey::AlHyouColPop);
            option(label("AlHyouColLabel"), variation, variationCode, quantityOf(variation));
        }
        if (choices.isHyouTempValue()) {
            const QString templ = choices.text(SettingsKey::AlHyouTempPop);
            option(label("AlHyouTempLabel"), templ, templateCode, quantityOf(templ));
        }
        if (choices.isHyouSeColValue()) {
            const QString spine = choices.text(SettingsKey::AlHyouSeColPop);
            option(label("AlHyouSeColLabel"), spine, code(&ProductAlbumData::hyouOpt21Code),
                   quantityOf(spine));
        }
    }

    if (choices.isBoxValue()) {
        const qint64 boxes = choices.boxCount();
        option(label("AlBoxLabel"),
               QStringLiteral("%1 %2個").arg(choices.text(SettingsKey::AlBoxPop),
                                             QString::number(boxes)),
               code(&ProductAlbumData::boxCode), boxes);
        if (choices.isBoxColValue()) {
            option(label("AlBoxColLabel"), choices.text(SettingsKey::AlBoxColPop),
                   code(&ProductAlbumData::boxOpt1Code), 1);
        }
    }

    if (choices.isMiniValue()) {
        const qint64 minis = choices.miniCount();
        const QString miniCode2 = code(&ProductAlbumData::miniCode2);
        option(label("AlMiniLabel"),
               QStringLiteral("%1 %2冊").arg(choices.text(SettingsKey::AlMiniPop),
                                             QString::number(minis)),
               minis > 1 && miniCode2.size() == 12 ? miniCode2 : code(&ProductAlbumData::miniCode),
               minis);
        if (choices.isMiniColValue()) {
            option(label("AlMiniColLabel"), choices.text(SettingsKey::AlMiniColPop),
                   code(&ProductAlbumData::miniOpt1Code), 1);
        }
    }

    for (const QString& title : choices.optionTitles()) {
        option(QString(), title,
               album != nullptr ? album->optCodeForOptName(title, dic) : QString(),
               quantityOf(title));
    }

    if (!choices.isInPageType() && units > 1 && productCode2.size() > 1) {
        option(QString(), QStringLiteral("2冊目以上"), productCode2, units - 1);
    }

    // 5. The name and date for the plate or foil stamp.
    if (UserDef::isCharInputDic()) {
        const QString name = UserDef::charInputName();
        const QString date = UserDef::charInputDate();
        add(JobInfo::unitOptionWithOptIndexOptText(index, kNameLabel, reportSingleLine(name)));
        add(JobInfo::unitOptionWithOptIndexOptText(index, kDateLabel, reportSingleLine(date)));
        const QString lettering = kNameLabel + QStringLiteral(" : ") + name + kCrLf + kDateLabel +
                                  QStringLiteral(" : ") + date + kCrLf;
        memo = memo.isEmpty() ? lettering : memo + kCrLf + kCrLf + lettering;
    }

    // 6. Footer.
    text += reportLine(kReportSeparator);
    text += reportLine(kReportSeparator);
    text += reportLine(QStringLiteral("Special_Instraction=") + reportMemo(memo));
    text += reportLine(QStringLiteral("(^^)"));
    return text;
}

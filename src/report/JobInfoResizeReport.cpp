#include "report/JobInfoResizeReport.h"

#include "job/JobInfo.h"
#include "report/ReportLines.h"
#include "report/TabReports.h"
#include "settings/SettingsKeys.h"
#include "settings/UserDef.h"
#include "util/PathUtil.h"

namespace {

const QString kName = QStringLiteral("name");
const QString kCode = QStringLiteral("code");
const QString kCut = QStringLiteral("cut");

} // namespace

QVariantMap currentResizeDic() {
    return UserDef::resizeDic().value_or(QVariantMap());
}

QString resizeUnitProductDescription(const QVariantMap& resizeDic) {
    QString text = reportRecordText(resizeDic, SettingsKey::ResizeSizePopKey, kName);
    if (hasReportRecord(resizeDic, SettingsKey::ResizeGoodsPopKey)) {
        text += u'(' + reportRecordText(resizeDic, SettingsKey::ResizeGoodsPopKey, kName) + u')';
    }
    if (hasReportRecord(resizeDic, SettingsKey::ResizeGoodsOptionPopKey)) {
        text +=
            u'(' + reportRecordText(resizeDic, SettingsKey::ResizeGoodsOptionPopKey, kName) + u')';
    }
    return text;
}

QString resizeProductCode(const QVariantMap& resizeDic) {
    const QString size = reportRecordText(resizeDic, SettingsKey::ResizeSizePopKey, kCode);
    const QString goods = reportRecordText(resizeDic, SettingsKey::ResizeGoodsPopKey, kCode);
    const QString goodsOption =
        reportRecordText(resizeDic, SettingsKey::ResizeGoodsOptionPopKey, kCode);
    const QString none = QStringLiteral("---");
    switch (size.size()) {
    case 0:
        return none;
    case 12:
        return size;
    case 9:
        return size + u',' + reportRecordText(resizeDic, SettingsKey::ResizeSurfacePopKey, kCode);
    case 4:
        if (goods.size() == 4) {
            return size + u',' + goods + QStringLiteral(",11");
        }
        if (goods.size() == 7) {
            return size + u',' + goods;
        }
        if (goodsOption.size() == 7) {
            return size + u',' + goodsOption;
        }
        return none;
    default:
        if (goods.size() == 4 && goodsOption.size() == 7) {
            return goods + u',' + goodsOption;
        }
        return none;
    }
}

QString resizeProductQuality(const QVariantMap& resizeDic) {
    return reportRecordText(resizeDic, SettingsKey::ResizeSurfacePopKey, kName);
}

qint64 resizeProdocutSheetsCalcInfo(const QVariantMap& resizeDic) {
    const qint64 goodsCut =
        reportInteger(reportRecordText(resizeDic, SettingsKey::ResizeGoodsPopKey, kCut));
    if (goodsCut != 0) {
        return goodsCut;
    }
    return reportInteger(reportRecordText(resizeDic, SettingsKey::ResizeGoodsOptionPopKey, kCut));
}

QStringList jpgOnlyOrderFilePassArray(const JobInfo& info) {
    QStringList files;
    for (const QString& path : info.orderFilePassArray()) {
        if (orbel::isJpegFile(path)) {
            files.append(path);
        }
    }
    return files;
}

QStringList notJpgFilePassArray(const JobInfo& info) {
    QStringList files;
    for (const QString& path : info.orderFilePassArray()) {
        if (!orbel::isJpegFile(path)) {
            files.append(path);
        }
    }
    return files;
}

QString notJpgFileListText(const JobInfo& info) {
    const QStringList attachments = notJpgFilePassArray(info);
    if (attachments.isEmpty()) {
        return {};
    }
    QString text = QStringLiteral("[添付ファイル]");
    for (const QString& path : attachments) {
        text += QStringLiteral("\r\n") + reportSingleLine(reportFileName(path));
    }
    return text;
}

QString printReportResizeTab(const JobInfo& info) {
    const QVariantMap dic = currentResizeDic();
    const qint64 count = reportInteger(dic.value(SettingsKey::ResizeOrderNumKey).toString());
    const QStringList jpegs = jpgOnlyOrderFilePassArray(info);
    const qint64 perSheet = resizeProdocutSheetsCalcInfo(dic);
    const QString description = reportSingleLine(resizeUnitProductDescription(dic));
    const QString surface = reportSingleLine(resizeProductQuality(dic));
    const qint64 jpegCount = jpegs.size();

    QString text = info.reportHead();
    text += reportLine(QStringLiteral("UNIT_INDEX=1"));
    if (perSheet != 0 && perSheet != 999) {
        // Goods that hold several images on one sheet are counted in sheets.
        const qint64 sheets = perSheet == 1 ? 1 : (jpegCount + perSheet - 1) / perSheet;
        text += reportLine(QStringLiteral("UNIT_PRODUCT_DESCRIPTION=") + description);
        text += reportLine(QStringLiteral("UNIT_PRODUCT_CODE=") + resizeProductCode(dic));
        text += reportLine(QStringLiteral("UNIT_QUANTITY=%1").arg(count * sheets));
        for (const QString& path : jpegs) {
            text += reportLine(QStringLiteral("PRODUCT_IMAGE_FILE_NAME=") +
                               reportSingleLine(reportFileName(path)));
        }
        if (perSheet != 1) {
            if (!surface.isEmpty()) {
                text += reportLine(QStringLiteral("UNIT_OPTION_INDEX=1"));
                text += reportLine(QStringLiteral("UNIT_OPTION_LABEL=面質 ") + surface);
                text += reportLine(QStringLiteral("UNIT_OPTION_ID=9999,9999,11"));
                text += reportLine(QStringLiteral("UNIT_OPTION_TEXT="));
            }
            text += reportLine(QStringLiteral("UNIT_QUANTITY=1"));
        }
    } else {
        text += reportLine(QStringLiteral("UNIT_PRODUCT_DESCRIPTION=%1 各%2枚")
                               .arg(description, QString::number(count)));
        text += reportLine(QStringLiteral("UNIT_PRODUCT_CODE=") + resizeProductCode(dic));
        text += reportLine(QStringLiteral("UNIT_QUANTITY=%1").arg(count * jpegCount));
        for (const QString& path : jpegs) {
            text += reportLine(QStringLiteral("PRODUCT_IMAGE_FILE_NAME=") +
                               reportSingleLine(reportFileName(path)));
        }
        text += reportLine(QStringLiteral("UNIT_OPTION_INDEX=1"));
        if (!surface.isEmpty()) {
            text += reportLine(QStringLiteral("UNIT_OPTION_LABEL=面質 ") + surface);
            text += reportLine(QStringLiteral("UNIT_OPTION_ID=9999,9999,11"));
            text += reportLine(QStringLiteral("UNIT_OPTION_TEXT="));
        }
        text += reportLine(QStringLiteral("UNIT_QUANTITY=1"));
    }

    text += reportLine(kReportSeparator);
    text += reportLine(kReportSeparator);
    text += reportLine(QStringLiteral("Special_Instraction=") +
                       reportMemo(dic.value(SettingsKey::ResizeOrderMemoKey).toString()));
    const QString attachments = notJpgFileListText(info);
    if (!attachments.isEmpty()) {
        text += reportLine(QString());
        text += reportLine(attachments);
    }
    text += reportLine(QStringLiteral("(^^)"));
    return text;
}

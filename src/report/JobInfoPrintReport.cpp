#include "report/JobInfoPrintReport.h"

#include "job/JobInfo.h"
#include "report/ReportLines.h"
#include "report/TabReports.h"
#include "settings/SettingsKeys.h"
#include "settings/UserDef.h"

#include <optional>

namespace {

const QString kNoCodeId = QStringLiteral("9999,9999,11");
const QString kName = QStringLiteral("name");
const QString kCode = QStringLiteral("code");

PerFileOrderKeys keysWithPrefix(const QString& prefix) {
    return {prefix + QStringLiteral("FilePathKey"),   prefix + QStringLiteral("OrderNumKey"),
            prefix + QStringLiteral("CateoryPopKey"), prefix + QStringLiteral("SizePopKey"),
            prefix + QStringLiteral("SurfacePopKey"), prefix + QStringLiteral("LaminatePopKey"),
            prefix + QStringLiteral("OrderMemoKey")};
}

QString unitProductDescription(const QVariantMap& row, const PerFileOrderKeys& keys) {
    return reportRecordText(row, keys.category, kName) + u' ' +
           row.value(keys.orderNum).toString() + QStringLiteral("枚");
}

// A surface or laminate code names a product of its own only when it is a full code (12
// characters) that the unit does not already carry.
QString optionId(const QString& code, const QString& productCode) {
    return code.size() == 12 && code != productCode ? code : kNoCodeId;
}

QString unitOption(int index, const QString& label, const QString& id, const QString& quantity) {
    QString text;
    text += reportLine(QStringLiteral("UNIT_OPTION_INDEX=%1").arg(index));
    text += reportLine(QStringLiteral("UNIT_OPTION_LABEL=") + reportSingleLine(label));
    text += reportLine(QStringLiteral("UNIT_OPTION_ID=") + id);
    text += reportLine(QStringLiteral("UNIT_OPTION_TEXT="));
    text += reportLine(QStringLiteral("UNIT_QUANTITY=") + quantity);
    return text;
}

// The code of the record under key, or none when the record or its code is missing.
std::optional<QString> presentCode(const QVariantMap& row, const QString& key) {
    if (!hasReportRecord(row, key)) {
        return std::nullopt;
    }
    const QVariantMap record = row.value(key).toMap();
    const auto it = record.constFind(kCode);
    if (it == record.constEnd()) {
        return std::nullopt;
    }
    return it->toString();
}

} // namespace

PerFileOrderKeys PerFileOrderKeys::print() {
    return keysWithPrefix(QStringLiteral("Print"));
}

PerFileOrderKeys PerFileOrderKeys::school() {
    return keysWithPrefix(QStringLiteral("School"));
}

QString printUnitProductDescription(const QVariantMap& row) {
    return unitProductDescription(row, PerFileOrderKeys::print());
}

QString schoolUnitProductDescription(const QVariantMap& row) {
    return unitProductDescription(row, PerFileOrderKeys::school());
}

QString printProductCode(const QVariantMap& row) {
    const PerFileOrderKeys keys = PerFileOrderKeys::print();
    const QString size = reportRecordText(row, keys.size, kCode);
    const QString surface = reportRecordText(row, keys.surface, kCode);
    const QString laminate = reportRecordText(row, keys.laminate, kCode);
    const qsizetype s = size.size();
    const qsizetype f = surface.size();
    if (s >= 10 && s <= 12) {
        return size;
    }
    if ((s >= 7 && s <= 9 && f == 2) || (s >= 1 && s <= 4 && (f == 6 || f == 7))) {
        return size + u',' + surface;
    }
    if ((s == 0 || (s >= 7 && s <= 9)) && f >= 10 && f <= 12) {
        return surface;
    }
    return laminate;
}

QString schoolProductCode(const QVariantMap& row) {
    const PerFileOrderKeys keys = PerFileOrderKeys::school();
    const QString size = presentCode(row, keys.size).value_or(QString());
    const std::optional<QString> surface = presentCode(row, keys.surface);
    const std::optional<QString> laminate = presentCode(row, keys.laminate);
    if (!surface) {
        return size;
    }
    if (laminate) {
        return size + u',' + *laminate + u',' + *surface;
    }
    if (surface->size() == 2 || surface->size() == 7) {
        return size + u',' + *surface;
    }
    if (surface->size() == 12) {
        return *surface;
    }
    return size;
}

QString perFileOrderReport(const JobInfo& info, const PerFileOrderKeys& keys,
                           const QVariantList& rows, const QString& orderMemo,
                           QString (*productCode)(const QVariantMap&)) {
    const QString memo = reportMemo(orderMemo);
    QString text = info.reportHead();
    int unitIndex = 0;
    for (const QVariant& value : rows) {
        if (value.typeId() != QMetaType::QVariantMap) {
            continue;
        }
        const QVariantMap row = value.toMap();
        const QString path = row.value(keys.filePath).toString();
        const QString count = reportSingleLine(row.value(keys.orderNum).toString());
        const QString code = productCode(row);
        ++unitIndex;
        text += reportLine(QStringLiteral("UNIT_INDEX=%1").arg(unitIndex));
        text += reportLine(QStringLiteral("UNIT_PRODUCT_DESCRIPTION=") +
                           reportSingleLine(unitProductDescription(row, keys)));
        text += reportLine(QStringLiteral("UNIT_PRODUCT_CODE=") + code);
        text += reportLine(QStringLiteral("UNIT_QUANTITY=") + count);
        text += reportLine(QStringLiteral("PRODUCT_IMAGE_FILE_NAME=") +
                           reportSingleLine(reportFileName(path)));
        text += reportLine(QStringLiteral("ROES_OriginalFileName=") + reportSingleLine(path));
        text += reportLine(QStringLiteral("UNIT_Instraction=") +
                           reportMemo(row.value(keys.memo).toString()));

        int optionIndex = 0;
        if (hasReportRecord(row, keys.size)) {
            text += unitOption(++optionIndex,
                               QStringLiteral("サイズ: ") + reportRecordText(row, keys.size, kName),
                               kNoCodeId, count);
        }
        if (hasReportRecord(row, keys.surface)) {
            text +=
                unitOption(++optionIndex,
                           QStringLiteral("面質: ") + reportRecordText(row, keys.surface, kName),
                           optionId(reportRecordText(row, keys.surface, kCode), code), count);
        }
        if (hasReportRecord(row, keys.laminate)) {
            text += unitOption(++optionIndex,
                               QStringLiteral("ラミネート: ") +
                                   reportRecordText(row, keys.laminate, kName),
                               optionId(reportRecordText(row, keys.laminate, kCode), code), count);
        }
    }
    text += reportLine(kReportSeparator);
    text += reportLine(kReportSeparator);
    text += reportLine(QStringLiteral("Special_Instraction=") + memo);
    text += reportLine(QStringLiteral("(^^)"));
    return text;
}

QString printReportPrintTab(const JobInfo& info) {
    return perFileOrderReport(
        info, PerFileOrderKeys::print(), UserDef::printOrderArray().value_or(QVariantList()),
        UserDef::objectForKeyFromPrintDic(SettingsKey::PrintOrderMasterMemoKey).toString(),
        &printProductCode);
}

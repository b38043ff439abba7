#include "job/JobInfo.h"
#include "product/ProductAlbumData.h"
#include "product/ProductData.h"
#include "report/ReportLines.h"
#include "report/TabReports.h"
#include "settings/SettingsKeys.h"
#include "settings/UserDef.h"
#include "util/StringUtil.h"
#include "util/Tool.h"

#include <QFileInfo>
#include <array>

namespace {

const QString kNoCodeId = QStringLiteral("9999,9999,11");

QString orderInfoValue(const QString& key) {
    return UserDef::objectForKeyFromOrderInfoDic(key).toString();
}

struct OrderOptionRow {
    const char* key;
    const char* label;
    const char* id;
};

} // namespace

bool JobInfo::createPrintReportFile(const QString& folder) const {
    const QString path = folder + QStringLiteral("/PrintReport4.txt");
    return Tool::createTextFileWithPath(path, printReport(), TextEncoding::ShiftJis);
}

QString JobInfo::printReport() const {
    if (isTab(OrderTab::Print)) {
        return printReportPrintTab(*this);
    }
    if (isTab(OrderTab::School)) {
        return printReportSchoolTab(*this);
    }
    if (isTab(OrderTab::Album)) {
        return printReportAlbumTab(*this);
    }
    if (isTab(OrderTab::Resize)) {
        return printReportResizeTab(*this);
    }
    if (isTab(OrderTab::Etc)) {
        return printReportEtcTab(*this);
    }
    return {};
}

QString JobInfo::reportHead() const {
    QString text;
    const QString customerNumber =
        UserDef::stringForKey(SettingsKey::CustomerCode).value_or(QString());
    text += reportLine(QStringLiteral("CUSTOMER_NUMBER=") + reportSingleLine(customerNumber));
    text += reportLine(QString::asprintf("LAB_ORDER_ID=%07lld", static_cast<long long>(_bagNo)));
    text += reportLine(QStringLiteral("CUSTOMER_EMAIL=") + reportSingleLine(_customerEmail));
    text += reportLine(QStringLiteral("CURRENT_DATE=") + reportSingleLine(_dateStr));
    text += reportLine(QStringLiteral("CURRENT_TIME=") + reportSingleLine(_timeStr));
    text += reportLine(QStringLiteral("CUSTOMER_ORDER_ID=") + reportSingleLine(zipName()));
    text += reportLine(QStringLiteral("ORDER_TYPE=") + reportSingleLine(tabLabel()));
    text += sysInfo();
    const QString workApp = UserDef::stringForKey(SettingsKey::WorkApp).value_or(QString());
    if (!workApp.isEmpty()) {
        text += reportLine(QStringLiteral("WORK_APP=") + reportSingleLine(workApp));
    }
    text += reportLine(kReportSeparator);
    text += orderOptions();
    text += reportLine(kReportSeparator);
    return text;
}

QString JobInfo::sysInfo() const {
    QString text;
    text += reportLine(QStringLiteral("PRG_VER=HALVIX 2:Ver") +
                       reportSingleLine(Tool::applicationVersion()));
    text += reportLine(QStringLiteral("MACOS_VERSION=") +
                       reportSingleLine(Tool::operatingSystemVersionString()));
    text += reportLine(QStringLiteral("PROCESSOR_TYPE=") + reportSingleLine(Tool::processorType()));
    text += reportLine(QStringLiteral("PRIMARY_MEMORY=") + reportSingleLine(Tool::primaryMemory()));
    return text;
}

QString JobInfo::orderOptions() const {
    QString text;
    int index = 0;
    const auto add = [&](const QString& label, const QString& id, const QString& value) {
        if (value.isEmpty()) {
            return; // absent values take no number
        }
        text += makeOrderOptionStrFromOptIndex(++index, label, id, value);
    };

    if (UserDef::isCustomCustomer3465Group()) {
        add(QStringLiteral("システムNo."), QStringLiteral("spec_NUMBER"),
            reportSingleLine(orderInfoValue(QStringLiteral("OrderInfoSystemNo"))));
        add(QStringLiteral("挙式日・会場名"), kNoCodeId,
            reportSingleLine(orderInfoValue(QStringLiteral("OrderInfoWeddingDateAndVenue"))));
        QString couple = orderInfoValue(QStringLiteral("OrderInfoBrideAndGroom"));
        couple.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        couple.replace(u'\r', u'\n');
        couple.replace(QChar(0x2028), u'\n');
        couple.replace(u'\n', QStringLiteral("<br>"));
        add(QStringLiteral("新郎・新婦名"), QStringLiteral("spec_NAME"), couple);
        add(QStringLiteral("ご担当者名"), kNoCodeId,
            reportSingleLine(orderInfoValue(QStringLiteral("OrderInfoStaffName"))));
        add(QStringLiteral("サロン名"), kNoCodeId,
            reportSingleLine(orderInfoValue(QStringLiteral("OrderInfoSalon"))));
        add(QStringLiteral("最終お客様お渡し日"), kNoCodeId,
            reportSingleLine(orderInfoValue(QStringLiteral("OrderInfoDeliveryDate"))));
    } else {
        add(QStringLiteral("撮影日"), QStringLiteral("spec_DATE"),
            reportSingleLine(orderInfoValue(QStringLiteral("OrderInfoDate"))));
        add(QStringLiteral("貴社お客様名など"), QStringLiteral("spec_NAME"),
            reportSingleLine(orderInfoValue(QStringLiteral("OrderInfoName"))));
        add(QStringLiteral("貴社管理番号など"), QStringLiteral("spec_NUMBER"),
            reportSingleLine(orderInfoValue(QStringLiteral("OrderInfoNo"))));
        if (isTab(OrderTab::Album) && _productData != nullptr && _productData->albumData()) {
            add(QStringLiteral("標準表紙種別"), QStringLiteral("stndrd_Cvr_in"),
                _productData->albumData()->hyouIdCode());
        }
    }

    const auto kineloCode = [this](const QString& label) {
        if (_productData == nullptr || !_productData->albumData()) {
            return QString();
        }
        return _productData->albumData()->kineloCodeForOptName(label);
    };
    const auto fileNames = [](const std::optional<QString>& mov,
                              const std::optional<QString>& pic) {
        return QStringLiteral("%1,%2").arg(QFileInfo(mov.value_or(QString())).fileName(),
                                           QFileInfo(pic.value_or(QString())).fileName());
    };
    if (isTab(OrderTab::Album) && UserDef::isAlbumKineloFile()) {
        QString label = QStringLiteral("キネロデータの作成");
        QString value;
        switch (UserDef::albumKinloOrderType()) {
        case 1:
            value = QStringLiteral("アルバム用データ+追加カットを使用する");
            break;
        case 2:
            label = QStringLiteral("キネロのお申し込み");
            value = fileNames(UserDef::albumKineloMovFilePath(), UserDef::albumKineloPicFilePath());
            break;
        default:
            value = QStringLiteral("アルバムデーターのみを使用する");
            break;
        }
        add(label, kineloCode(label), value);
    } else if (isTab(OrderTab::Print) && UserDef::isPrintKineloFile()) {
        const QString label = QStringLiteral("キネロのお申し込み");
        add(label, kineloCode(label),
            fileNames(UserDef::printKineloMovFilePath(), UserDef::printKineloPicFilePath()));
    }
    return text;
}

QStringList JobInfo::orderFilePassArray() const {
    return _selectWorkFiles.isEmpty() ? _selectFiles : _selectWorkFiles;
}

QString JobInfo::makeOrderOptionStrFromOptIndex(int optIndex, const QString& optLabel,
                                                const QString& optId, const QString& optText) {
    QString text;
    text += reportLine(QStringLiteral("ORDER_OPTION_INDEX=%1").arg(optIndex));
    text += reportLine(QStringLiteral("ORDER_OPTION_LABEL=") + reportSingleLine(optLabel));
    text += reportLine(QStringLiteral("ORDER_OPTION_ID=") + reportSingleLine(optId));
    text += reportLine(QStringLiteral("ORDER_OPTION_TEXT=") + reportSingleLine(optText));
    text += reportLine(QStringLiteral("ORDER_OPTION_QUANTITY=1"));
    return text;
}

QString JobInfo::unitOptionWithOptIndex(int optIndex, const QString& optLabel,
                                        const QString& optLabelData, const QString& optId,
                                        const QString& optText, qint64 optQuantity) {
    if ((optLabelData.isEmpty() && optText.isEmpty()) || optLabelData == QStringLiteral("0") ||
        optLabelData == QStringLiteral("-")) {
        return {};
    }
    QString label;
    if (optLabelData.isEmpty()) {
        label = optLabel;
    } else if (optLabel.isEmpty()) {
        label = optLabelData;
    } else {
        label = optLabel + u' ' + optLabelData;
    }
    QString text;
    text += reportLine(QStringLiteral("UNIT_OPTION_INDEX=%1").arg(optIndex));
    text += reportLine(QStringLiteral("UNIT_OPTION_LABEL=") + reportSingleLine(label));
    text += reportLine(QStringLiteral("UNIT_OPTION_ID=") + reportSingleLine(optId));
    text += reportLine(QStringLiteral("UNIT_OPTION_TEXT=") + reportSingleLine(optText));
    text += reportLine(QStringLiteral("UNIT_QUANTITY=%1").arg(optQuantity));
    return text;
}

QString JobInfo::unitOptionWithOptIndex(int optIndex, const QString& optLabel,
                                        const QString& optLabelData, const QString& optId) {
    return unitOptionWithOptIndex(optIndex, optLabel, optLabelData, optId, QString(), 1);
}

QString JobInfo::unitOptionWithOptIndex(int optIndex, const QString& optLabel,
                                        const QString& optLabelData, const QString& optId,
                                        qint64 optQuantity) {
    return unitOptionWithOptIndex(optIndex, optLabel, optLabelData, optId, QString(), optQuantity);
}

QString JobInfo::unitOptionWithOptIndexOptLabelData(int optIndex, const QString& optLabelData,
                                                    const QString& optId, qint64 optQuantity) {
    return unitOptionWithOptIndex(optIndex, QString(), optLabelData, optId, QString(), optQuantity);
}

QString JobInfo::unitOptionWithOptIndexOptLabelData(int optIndex, const QString& optLabelData,
                                                    const QString& optId) {
    return unitOptionWithOptIndex(optIndex, QString(), optLabelData, optId, QString(), 1);
}

QString JobInfo::unitOptionWithOptIndexOptLabelData(int optIndex, const QString& optLabelData) {
    return unitOptionWithOptIndex(optIndex, QString(), optLabelData, kNoCodeId, QString(), 1);
}

QString JobInfo::unitOptionWithOptIndexOptText(int optIndex, const QString& optLabel,
                                               const QString& optText) {
    return unitOptionWithOptIndex(optIndex, optLabel, QString(), kNoCodeId, optText, 1);
}

#include "job/JobInfo.h"
#include "report/ReportLines.h"
#include "report/TabReports.h"
#include "settings/UserDef.h"

// Every file of the etc tab is one unit of the lab's "other" product. File names and paths are
// the user's own: they go through the single-line rule like every other value.
QString printReportEtcTab(const JobInfo& info) {
    QString text = info.reportHead();
    int index = 0;
    for (const QString& path : info.orderFilePassArray()) {
        ++index;
        text += reportLine(QStringLiteral("UNIT_INDEX=%1").arg(index));
        text += reportLine(QStringLiteral("UNIT_PRODUCT_DESCRIPTION=その他"));
        text += reportLine(QStringLiteral("UNIT_PRODUCT_CODE=8814,1089,11"));
        text += reportLine(QStringLiteral("UNIT_QUANTITY=1"));
        text += reportLine(QStringLiteral("PRODUCT_IMAGE_FILE_NAME=") +
                           reportSingleLine(reportFileName(path)));
        text += reportLine(QStringLiteral("ROES_OriginalFileName=") + reportSingleLine(path));
        text += reportLine(QStringLiteral("UNIT_OPTION_INDEX=1"));
        text += reportLine(QStringLiteral("UNIT_OPTION_LABEL=面質 "));
        text += reportLine(QStringLiteral("UNIT_OPTION_ID=9999,9999,11"));
        text += reportLine(QStringLiteral("UNIT_OPTION_TEXT="));
        text += reportLine(QStringLiteral("UNIT_QUANTITY=1"));
    }
    const QString memo =
        UserDef::objectForKeyFromEtcDic(QStringLiteral("EtcOrderMemoKey")).toString();
    text += reportLine(kReportSeparator);
    text += reportLine(kReportSeparator);
    text += reportLine(QStringLiteral("Special_Instraction=") + reportMemo(memo));
    text += reportLine(QStringLiteral("(^^)"));
    return text;
}

#include "job/JobInfo.h"
#include "report/ReportLines.h"
#include "report/TabReports.h"
#include "settings/UserDef.h"
#include "util/StringUtil.h"

#include <QFileInfo>

// Every file of the etc tab is one unit of the lab's "other" product.
QString printReportEtcTab(const JobInfo& info) {
    const QString crLf = QStringLiteral("\r\n");
    QString text = info.reportHead();
    int index = 0;
    for (const QString& path : info.orderFilePassArray()) {
        ++index;
        text += QStringLiteral("UNIT_INDEX=%1").arg(index) + crLf;
        text += QStringLiteral("UNIT_PRODUCT_DESCRIPTION=その他") + crLf;
        text += QStringLiteral("UNIT_PRODUCT_CODE=8814,1089,11") + crLf;
        text += QStringLiteral("UNIT_QUANTITY=1") + crLf;
        text += QStringLiteral("PRODUCT_IMAGE_FILE_NAME=") + QFileInfo(path).fileName() + crLf;
        text += QStringLiteral("ROES_OriginalFileName=") + path + crLf;
        text += QStringLiteral("UNIT_OPTION_INDEX=1") + crLf;
        text += QStringLiteral("UNIT_OPTION_LABEL=面質 ") + crLf;
        text += QStringLiteral("UNIT_OPTION_ID=9999,9999,11") + crLf;
        text += QStringLiteral("UNIT_OPTION_TEXT=") + crLf;
        text += QStringLiteral("UNIT_QUANTITY=1") + crLf;
    }
    const QString memo =
        UserDef::objectForKeyFromEtcDic(QStringLiteral("EtcOrderMemoKey")).toString();
    text += kReportSeparator + crLf;
    text += kReportSeparator + crLf;
    text += QStringLiteral("Special_Instraction=") + orbel::convertLineFeedCodeToCRLF(memo) + crLf;
    text += QStringLiteral("(^^)") + crLf;
    return text;
}

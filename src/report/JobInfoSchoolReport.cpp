#include "job/JobInfo.h"
#include "report/JobInfoPrintReport.h"
#include "report/TabReports.h"
#include "settings/SettingsKeys.h"
#include "settings/UserDef.h"

// The school tab orders like the print tab; only its keys and its product code differ.
QString printReportSchoolTab(const JobInfo& info) {
    return perFileOrderReport(
        info, PerFileOrderKeys::school(), UserDef::schoolOrderArray().value_or(QVariantList()),
        UserDef::objectForKeyFromSchoolDic(SettingsKey::SchoolOrderMasterMemoKey).toString(),
        &schoolProductCode);
}

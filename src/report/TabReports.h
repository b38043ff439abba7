#pragma once

#include <QString>

class JobInfo;

// The report body of each tab: the report head followed by the tab's units and the footer, every
// line ending in CR LF. JobInfo::printReport() picks the one of the current tab.
QString printReportPrintTab(const JobInfo& info);
QString printReportSchoolTab(const JobInfo& info);
QString printReportAlbumTab(const JobInfo& info);
QString printReportResizeTab(const JobInfo& info);
QString printReportEtcTab(const JobInfo& info);

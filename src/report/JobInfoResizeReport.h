#pragma once

#include <QString>
#include <QStringList>
#include <QVariantMap>

class JobInfo;

// The resize tab orders one product for all JPEG images of the order; any other file travels with
// it as an attachment listed in the memo. These read the resize tab's saved records ("ResizeDic").

QVariantMap currentResizeDic(); // "ResizeDic" of the settings, empty when absent

// The size record's name, then "(goods)" and "(goods option)" for the records that are there.
QString resizeUnitProductDescription(const QVariantMap& resizeDic = currentResizeDic());
// The lab's product code composed from the size, surface, goods and goods option codes; "---" when
// the codes fit no rule.
QString resizeProductCode(const QVariantMap& resizeDic = currentResizeDic());
// The surface record's name, or "".
QString resizeProductQuality(const QVariantMap& resizeDic = currentResizeDic());
// Images per sheet: the goods' "cut", else the goods option's, else 0 (one print per image).
qint64 resizeProdocutSheetsCalcInfo(const QVariantMap& resizeDic = currentResizeDic());

QStringList jpgOnlyOrderFilePassArray(const JobInfo& info);
QStringList notJpgFilePassArray(const JobInfo& info);
// "" without attachments, else "[添付ファイル]" and, for each attachment, CR LF and its name.
QString notJpgFileListText(const JobInfo& info);

#pragma once

// Shared by the report body tests: the hand-written expected reports and their byte comparison.
//
// An expected report lives in tests/report/expected/ as UTF-8 text with LF line ends, one report
// line per line. "@NAME@" marks the few values that depend on the moment, the machine and the
// test's home. To compare, the test fills those in, turns every LF into CR LF and converts the text
// to Windows-31J with the system's iconv (CP932): an encoder independent of the program's own. The
// resulting bytes must equal the written file exactly.

#include "TestHome.h"
#include "job/JobInfo.h"
#include "product/ProductOneTableInfo.h"
#include "settings/UserDef.h"
#include "util/ProcessRunner.h"
#include "util/Tool.h"

#include <QDir>
#include <QFile>
#include <QList>
#include <QPair>
#include <QtTest>

namespace reportexpect {

inline QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The customer, machine and bag number every report test starts from: the report head then reads
// CUSTOMER_NUMBER=1234, LAB_ORDER_ID=0000042 and the archive name 1234_001122AABBCC_0000042.
inline void standardSettings(const QString& tabLabel) {
    UserDef::setObject(QStringLiteral("1234"), QStringLiteral("CustomerCode"));
    UserDef::setObject(QStringLiteral("studio@example.jp"), QStringLiteral("CustomerEmail"));
    UserDef::setObject(QStringLiteral("001122AABBCC"), QStringLiteral("MacAddr"));
    UserDef::setObject(qint64(41), QStringLiteral("BagNo"));
    UserDef::setObject(tabLabel, QStringLiteral("MainTabLabel"));
}

// Writes the report of the current tab through the program's own writer and answers its bytes.
inline QByteArray writtenReport(const TestHome& home, const JobInfo& info) {
    const QString folder = home.filePath(QStringLiteral("report_out"));
    if (!QDir().mkpath(folder) || !info.createPrintReportFile(folder)) {
        return {};
    }
    return readFile(folder + QStringLiteral("/PrintReport4.txt"));
}

inline QByteArray toWindows31J(const QString& text) {
    ProcessOptions options;
    options.stdinData = text.toUtf8();
    const ProcessResult result = runProcess(QStringLiteral("/usr/bin/iconv"),
                                            {QStringLiteral("-f"), QStringLiteral("UTF-8"),
                                             QStringLiteral("-t"), QStringLiteral("CP932")},
                                            options);
    return result.succeeded() ? result.stdoutData : QByteArray();
}

// The expected bytes of tests/report/expected/<name>.
inline QByteArray expectedReport(const QString& name, const TestHome& home, const JobInfo& info) {
    const QByteArray source =
        readFile(QStringLiteral(HALVIX_SOURCE_DIR "/tests/report/expected/") + name);
    if (source.isEmpty()) {
        return {};
    }
    QString text = QString::fromUtf8(source);
    const QList<QPair<QString, QString>> fills{
        {QStringLiteral("@DATE@"), info.dateStr()},
        {QStringLiteral("@TIME@"), info.timeStr()},
        {QStringLiteral("@VERSION@"), Tool::applicationVersion()},
        {QStringLiteral("@OS@"), Tool::operatingSystemVersionString()},
        {QStringLiteral("@CPU@"), Tool::processorType()},
        {QStringLiteral("@MEMORY@"), Tool::primaryMemory()},
        {QStringLiteral("@HOME@"), home.path()}};
    for (const auto& [mark, value] : fills) {
        text.replace(mark, value);
    }
    text.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
    return toWindows31J(text);
}

// Line by line first, so that a failure names the first differing line; then every byte.
inline void compareBytes(const QByteArray& actual, const QByteArray& expected) {
    QVERIFY(!expected.isEmpty());
    QVERIFY(actual.endsWith("(^^)\r\n"));
    const QList<QByteArray> actualLines = actual.split('\n');
    const QList<QByteArray> expectedLines = expected.split('\n');
    for (qsizetype i = 0; i < std::min(actualLines.size(), expectedLines.size()); ++i) {
        if (actualLines[i] != expectedLines[i]) {
            qWarning("first difference in report line %lld", static_cast<long long>(i + 1));
        }
        QCOMPARE(actualLines[i], expectedLines[i]);
    }
    QCOMPARE(actualLines.size(), expectedLines.size());
    QCOMPARE(actual, expected);
}

// The record with the given id of a table of a shipped catalogue ("tbl_print_new", ...), as the
// tabs store it; empty when the catalogue or the record is missing.
inline QVariantMap shippedRecord(const QString& catalogue, const QString& table, int id) {
    const QString xml =
        QString::fromUtf8(readFile(Tool::resourcePath(catalogue, QStringLiteral("xml"))));
    const ProductOneTableInfo info(table, xml);
    for (const ProductRecord& record : info.allRecords()) {
        if (record.value(QStringLiteral("id")).toString() == QString::number(id)) {
            return record;
        }
    }
    return {};
}

// The body lines of a report text: everything after the head's closing separator.
inline QStringList bodyLines(const QString& report) {
    QStringList lines = report.split(QStringLiteral("\r\n"));
    const QString separator = QStringLiteral("---------------------------------------");
    const qsizetype first = lines.indexOf(separator);
    const qsizetype second = lines.indexOf(separator, first + 1);
    return second < 0 ? QStringList() : lines.mid(second + 1);
}

} // namespace reportexpect

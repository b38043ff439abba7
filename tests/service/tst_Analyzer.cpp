#include "LabSim.h"
#include "TestHome.h"
#include "service/Analyzer.h"
#include "settings/Log.h"
#include "settings/UserDef.h"
#include "util/Tool.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonArray>
#include <QTest>
#include <memory>

namespace {

QString expectedHead(const QString& code) {
    return QStringLiteral("Code<-#->%1<-##->Ver<-#->%2<-##->MacAddr<-#->%3")
        .arg(code, Tool::applicationVersion(), Tool::getMacAddressUpperStr());
}

QList<QPair<QString, QString>> fieldsOf(const QJsonObject& report) {
    QList<QPair<QString, QString>> fields;
    const QJsonArray array = report.value(QStringLiteral("fields")).toArray();
    for (const QJsonValue& value : array) {
        const QJsonArray pair = value.toArray();
        fields.append({pair.at(0).toString(), pair.at(1).toString()});
    }
    return fields;
}

} // namespace

class TestAnalyzer : public QObject {
    Q_OBJECT

    std::unique_ptr<LabSim> lab;
    std::unique_ptr<TestHome> home;

    // The report that arrived last, after checking that exactly `count` have arrived.
    QJsonObject lastReport(qsizetype count) {
        const QList<QJsonObject> reports = lab->reports();
        if (reports.size() != count)
            return {};
        return reports.last();
    }

private Q_SLOTS:
    void initTestCase() {
        lab = std::make_unique<LabSim>();
        QVERIFY2(lab->isRunning(), qPrintable(lab->errorText()));
    }
    void cleanupTestCase() { lab.reset(); }

    void init() {
        home = std::make_unique<TestHome>();
        lab->clearFaults();
        UserDef::setObject(QStringLiteral("1234-02"), QStringLiteral("CustomerCode"));
    }
    void cleanup() { home.reset(); }

    void eventWithoutEntriesEndsWithAction() {
        const QString text = Analyzer::eventReportText(QStringLiteral("Quit"), std::nullopt);
        QCOMPARE(text,
                 expectedHead(QStringLiteral("1234")) + QStringLiteral("<-##->Action<-#->Quit"));

        const qsizetype before = lab->reports().size();
        Analyzer::analyzerPost(QStringLiteral("Quit"));
        const QJsonObject report = lastReport(before + 1);
        QCOMPARE(report.value(QStringLiteral("method")).toString(), QStringLiteral("GET"));
        QCOMPARE(report.value(QStringLiteral("text")).toString(), text);
        QCOMPARE(report.value(QStringLiteral("action")).toString(), QStringLiteral("Quit"));
        const auto fields = fieldsOf(report);
        QCOMPARE(fields.size(), 4);
        QCOMPARE(fields.last().first, QStringLiteral("Action"));
    }

    void entriesFollowInMapOrder() {
        const qsizetype before = lab->reports().size();
        Analyzer::analyzerPost(QStringLiteral("FTP"),
                               QVariantMap{{QStringLiteral("JobTime"), QStringLiteral("12")},
                                           {QStringLiteral("FileName"), QStringLiteral("a b.zip")},
                                           {QStringLiteral("FileSize"), qint64(2048)}});
        const auto fields = fieldsOf(lastReport(before + 1));
        const QList<QPair<QString, QString>> expected = {
            {QStringLiteral("Code"), QStringLiteral("1234")},
            {QStringLiteral("Ver"), Tool::applicationVersion()},
            {QStringLiteral("MacAddr"), Tool::getMacAddressUpperStr()},
            {QStringLiteral("Action"), QStringLiteral("FTP")},
            {QStringLiteral("FileName"), QStringLiteral("a b.zip")},
            {QStringLiteral("FileSize"), QStringLiteral("2048")},
            {QStringLiteral("JobTime"), QStringLiteral("12")}};
        QCOMPARE(fields, expected);
    }

    void separatorsAndUrlCharactersArriveUnchanged() {
        const QString value = QStringLiteral("a<-##->b<-#->c #1 & x=y + 50% /?: \"<>\" {|}");
        const qsizetype before = lab->reports().size();
        Analyzer::analyzerPost(QStringLiteral("ZIP-NG"),
                               QVariantMap{{QStringLiteral("ErrorInfo"), value}});
        const QJsonObject report = lastReport(before + 1);
        QCOMPARE(report.value(QStringLiteral("text")).toString(),
                 expectedHead(QStringLiteral("1234")) +
                     QStringLiteral("<-##->Action<-#->ZIP-NG<-##->ErrorInfo<-#->") + value);
    }

    void japaneseArrivesIntact() {
        const qsizetype before = lab->reports().size();
        Analyzer::analyzerPost(
            QStringLiteral("Boot-NG"),
            QVariantMap{{QStringLiteral("ErrorInfo"), QStringLiteral("多重起動")}});
        const QJsonObject report = lastReport(before + 1);
        QCOMPARE(fieldsOf(report).last(),
                 qMakePair(QStringLiteral("ErrorInfo"), QStringLiteral("多重起動")));
        // It travelled percent-encoded as UTF-8.
        QVERIFY(report.value(QStringLiteral("raw"))
                    .toString()
                    .contains(QLatin1String("%E5%A4%9A%E9%87%8D%E8%B5%B7%E5%8B%95")));
    }

    void escapingKeepsUrlSyntaxCharacters() {
        QCOMPARE(Analyzer::escapeReportText(QStringLiteral("a&b=c+d/e?f:g")),
                 QByteArray("a&b=c+d/e?f:g"));
        QCOMPARE(Analyzer::escapeReportText(QStringLiteral("<-#-> %\"")),
                 QByteArray("%3C-%23-%3E%20%25%22"));
    }

    void postAndGetCarryTheSameText() {
        const QString text = Analyzer::eventReportText(
            QStringLiteral("Order"),
            QVariantMap{{QStringLiteral("MainTab"), QStringLiteral("プリント")},
                        {QStringLiteral("Memo"), QStringLiteral("1+1=2 & 3#")}});
        const qsizetype before = lab->reports().size();
        Analyzer::httpRequest(text);
        Analyzer::httpPostRequest(text);
        const QList<QJsonObject> reports = lab->reports();
        QCOMPARE(reports.size(), before + 2);
        QCOMPARE(reports.at(before).value(QStringLiteral("method")).toString(),
                 QStringLiteral("GET"));
        QCOMPARE(reports.at(before + 1).value(QStringLiteral("method")).toString(),
                 QStringLiteral("POST"));
        QCOMPARE(reports.at(before).value(QStringLiteral("text")).toString(), text);
        QCOMPARE(reports.at(before + 1).value(QStringLiteral("text")).toString(), text);
    }

    void customInfoReportUsesCodeTopAndHasNoAction() {
        UserDef::setObject(QStringLiteral("1234-02"), QStringLiteral("CustomerCode"));
        UserDef::setObject(qint64(1), QStringLiteral("MultiCustomerCheck"));
        UserDef::setObject(
            QVariantList{QVariantMap{{QStringLiteral("CustomerCode"), QStringLiteral("777")}}},
            QStringLiteral("Customers"));
        const qsizetype before = lab->reports().size();
        Analyzer::analyzerCustomInfoPost(
            QVariantMap{{QStringLiteral("CustomerInfo"), QStringLiteral("<plist>\n</plist>")}});
        const QJsonObject report = lastReport(before + 1);
        QCOMPARE(report.value(QStringLiteral("method")).toString(), QStringLiteral("POST"));
        QVERIFY(report.value(QStringLiteral("action")).isNull());
        QCOMPARE(report.value(QStringLiteral("text")).toString(),
                 expectedHead(QStringLiteral("777")) +
                     QStringLiteral("<-##->CustomerInfo<-#-><plist>\n</plist>"));
    }

    void unsetCustomerCodeIsSentEmpty() {
        UserDef::removeObjectForKey(QStringLiteral("CustomerCode"));
        QVERIFY(Analyzer::eventReportText(QStringLiteral("Boot"), std::nullopt)
                    .startsWith(QStringLiteral("Code<-#-><-##->Ver<-#->")));
    }

    void silentServerCostsAtMostTheTimeout() {
        // The server takes the request and never answers in time.
        QVERIFY(lab->setFaults(
            QJsonObject{{QStringLiteral("http_delay"),
                         QJsonObject{{QStringLiteral("value"), 60},
                                     {QStringLiteral("path"), QStringLiteral("/cgi-bin/")}}}}));
        const qsizetype before = lab->reports().size();
        QElapsedTimer timer;
        timer.start();
        Analyzer::analyzerPost(QStringLiteral("Boot"));
        QVERIFY2(timer.elapsed() < 2000 + 2000, qPrintable(QString::number(timer.elapsed())));
        timer.restart();
        Analyzer::analyzerCustomInfoPost(std::nullopt);
        QVERIFY2(timer.elapsed() < 3000 + 2000, qPrintable(QString::number(timer.elapsed())));
        QCOMPARE(lab->reports().size(), before);
        QVERIFY(!QFileInfo::exists(Log::logFilePath())); // nothing logged
    }

    void stoppedServerIsIgnored() {
        LabSim stopped;
        QVERIFY2(stopped.isRunning(), qPrintable(stopped.errorText()));
        stopped.stop();
        QElapsedTimer timer;
        timer.start();
        Analyzer::analyzerPost(QStringLiteral("Quit"),
                               QVariantMap{{QStringLiteral("AppRunTime"), QStringLiteral("65")}});
        Analyzer::analyzerCustomInfoPost(std::nullopt);
        QVERIFY2(timer.elapsed() < 2000 + 3000 + 2000,
                 qPrintable(QString::number(timer.elapsed())));
        QVERIFY(stopped.reports().isEmpty());
        QVERIFY(!QFileInfo::exists(Log::logFilePath()));
    }
};

QTEST_GUILESS_MAIN(TestAnalyzer)
#include "tst_Analyzer.moc"

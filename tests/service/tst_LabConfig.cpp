#include "../job/PipelineTestKit.h"
#include "AlertRecorder.h"
#include "LabSim.h"
#include "TestHome.h"
#include "job/JobThread.h"
#include "service/LabConfig.h"
#include "settings/Log.h"
#include "settings/UserDef.h"
#include "util/WorkFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QTest>
#include <QtConcurrent>

namespace {

bool writeText(const QString& path, const QByteArray& text) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return file.write(text) == text.size();
}

QString readLog() {
    QFile file(Log::logFilePath());
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

// Sets or clears HALVIX_LAB_CONF for one test and restores it (and LabConfig) afterwards.
class LabConfEnv {
public:
    explicit LabConfEnv(const std::optional<QString>& path)
        : had(qEnvironmentVariableIsSet("HALVIX_LAB_CONF")), old(qgetenv("HALVIX_LAB_CONF")) {
        if (path)
            qputenv("HALVIX_LAB_CONF", path->toLocal8Bit());
        else
            qunsetenv("HALVIX_LAB_CONF");
        LabConfig::reload();
    }
    ~LabConfEnv() {
        if (had)
            qputenv("HALVIX_LAB_CONF", old);
        else
            qunsetenv("HALVIX_LAB_CONF");
        LabConfig::reload();
    }
    LabConfEnv(const LabConfEnv&) = delete;
    LabConfEnv& operator=(const LabConfEnv&) = delete;

private:
    bool had;
    QByteArray old;
};

// A lab.conf beside the program would take part in the lookup; tests that expect the defaults
// must know about it.
QString besideProgramConf() {
    const QString dir = QCoreApplication::applicationDirPath();
    for (const QString& candidate :
         {dir + QStringLiteral("/lab.conf"),
          QDir::cleanPath(dir + QStringLiteral("/../share/halvix2/lab.conf"))}) {
        if (QFileInfo(candidate).isFile())
            return candidate;
    }
    return {};
}

} // namespace

class TestLabConfig : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void defaultsWithoutAnyFile() {
        TestHome home;
        LabConfEnv env(std::nullopt);
        if (!besideProgramConf().isEmpty())
            QSKIP("a lab.conf is installed beside the test program");
        QCOMPARE(LabConfig::configPath(), QString());
        QCOMPARE(LabConfig::infoServer(), QStringLiteral("http://127.0.0.1:8380"));
        QCOMPARE(LabConfig::webServer(), QStringLiteral("http://127.0.0.1:8380"));
        QCOMPARE(LabConfig::analysisServer(), QStringLiteral("http://127.0.0.1:8380"));
        QCOMPARE(LabConfig::authServer(), QStringLiteral("http://127.0.0.1:8380"));
        QCOMPARE(LabConfig::orderFtpHost(), QStringLiteral("127.0.0.1:8321"));
        QCOMPARE(LabConfig::ftp2Host(), QStringLiteral("127.0.0.1:8321"));
        QCOMPARE(LabConfig::testFtpHost(), QStringLiteral("127.0.0.1:8321"));
        QCOMPARE(LabConfig::orderFtpUser(), QStringLiteral("ntorder"));
    }

    void lookupOrder() {
        TestHome home;
        const QString xdgConf = home.filePath(QStringLiteral(".config/halvix2/lab.conf"));
        QVERIFY(writeText(xdgConf, "info_server=http://xdg.example:81\n"));
        {
            LabConfEnv env(std::nullopt);
            QCOMPARE(LabConfig::configPath(), xdgConf);
            QCOMPARE(LabConfig::infoServer(), QStringLiteral("http://xdg.example:81"));
            // Keys the file leaves out keep their defaults.
            QCOMPARE(LabConfig::webServer(), QStringLiteral("http://127.0.0.1:8380"));
        }
        const QString explicitConf = home.filePath(QStringLiteral("lab/explicit.conf"));
        QVERIFY(writeText(explicitConf, "info_server=http://explicit.example:82\n"));
        {
            LabConfEnv env(explicitConf);
            QCOMPARE(LabConfig::configPath(), explicitConf);
            QCOMPARE(LabConfig::infoServer(), QStringLiteral("http://explicit.example:82"));
        }
        {
            // A named file that is missing never silently falls back to another file.
            LabConfEnv env(home.filePath(QStringLiteral("missing.conf")));
            QCOMPARE(LabConfig::configPath(), QString());
            QCOMPARE(LabConfig::infoServer(), QStringLiteral("http://127.0.0.1:8380"));
            QVERIFY(readLog().contains(QStringLiteral("ラボ接続設定ファイルが見つからない")));
        }
    }

    void readsEveryValue() {
        TestHome home;
        const QString conf = home.filePath(QStringLiteral("lab.conf"));
        QVERIFY(writeText(conf, "\xEF\xBB\xBF# the lab, saved with a byte order mark\r\n"
                                "\r\n"
                                "  info_server =  http://info.example:8000/  \r\n"
                                "web_server=http://web.example\n"
                                "analysis_server=HTTPS://an.example:8443//\n"
                                "order_ftp_host=ftp.example:2121\n"
                                "order_ftp_user=studio_01\n"
                                "ftp2_host=10.0.0.2\n"
                                "test_ftp_host=[::1]:2100\n"
                                "future_key=whatever #?/@\n"));
        LabConfEnv env(conf);
        QCOMPARE(LabConfig::refusal(), std::nullopt);
        QCOMPARE(LabConfig::configPath(), conf);
        QCOMPARE(LabConfig::infoServer(), QStringLiteral("http://info.example:8000"));
        QCOMPARE(LabConfig::webServer(), QStringLiteral("http://web.example"));
        QCOMPARE(LabConfig::analysisServer(), QStringLiteral("https://an.example:8443"));
        QCOMPARE(LabConfig::authServer(), QStringLiteral("http://127.0.0.1:8380"));
        QCOMPARE(LabConfig::orderFtpHost(), QStringLiteral("ftp.example:2121"));
        QCOMPARE(LabConfig::orderFtpUser(), QStringLiteral("studio_01"));
        QCOMPARE(LabConfig::ftp2Host(), QStringLiteral("10.0.0.2"));
        QCOMPARE(LabConfig::testFtpHost(), QStringLiteral("[::1]:2100"));
        const QString log = readLog();
        QVERIFY2(!log.contains(QStringLiteral("誤り")), qPrintable(log));
        QVERIFY(log.contains(
            QStringLiteral("ラボ接続設定の不明な項目を無視（%1 10行目：future_key）").arg(conf)));
    }

    // TLS per FTP server and the CA files: off unless the file says so; a relative CA file is
    // found beside the file; and what curl is then told (on its standard input).
    void readsTlsPerServer() {
        TestHome home;
        const QString conf = home.filePath(QStringLiteral("lab/lab.conf"));
        QVERIFY(writeText(home.filePath(QStringLiteral("lab/certs/lab-ca.pem")), "pem"));
        QVERIFY(writeText(home.filePath(QStringLiteral("other.pem")), "pem"));
        QVERIFY(writeText(conf, "order_ftp_tls=require\n"
                                "order_ftp_ca=certs/lab-ca.pem\n"
                                "ftp2_tls=Try\n"
                                "ftp2_ca=" +
                                    home.filePath(QStringLiteral("other.pem")).toUtf8() + "\n"));
        {
            LabConfEnv env(conf);
            QCOMPARE(LabConfig::refusal(), std::nullopt);
            QCOMPARE(LabConfig::orderFtpTls(), orbel::FtpTlsMode::Require);
            QCOMPARE(LabConfig::orderFtpCa(),
                     home.filePath(QStringLiteral("lab/certs/lab-ca.pem")));
            QCOMPARE(LabConfig::ftp2Tls(), orbel::FtpTlsMode::Try);
            QCOMPARE(LabConfig::ftp2Ca(), home.filePath(QStringLiteral("other.pem")));
            QCOMPARE(LabConfig::testFtpTls(), orbel::FtpTlsMode::Off);
            QCOMPARE(LabConfig::testFtpCa(), QString());
        }
        QCOMPARE(orbel::curlTlsConfig(orbel::FtpTlsMode::Off, QStringLiteral("/ca.pem")),
                 QByteArray());
        QCOMPARE(orbel::curlTlsConfig(orbel::FtpTlsMode::Try), QByteArray("ssl\n"));
        QCOMPARE(orbel::curlTlsConfig(orbel::FtpTlsMode::Require, QStringLiteral("/a \"b\".pem")),
                 QByteArray("ssl-reqd\ncacert = \"/a \\\"b\\\".pem\"\n"));
    }

    // One line that cannot be trusted refuses the whole file: no host of it, and none of the
    // defaults either, is used; the log says which line and why.
    void badLineRefusesTheWholeFile_data() {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QString>("why");
        QTest::newRow("# in an FTP host")
            << QByteArray("order_ftp_host=ftp.example#lab") << QStringLiteral("「#」は使えない");
        QTest::newRow("? in an FTP host")
            << QByteArray("order_ftp_host=ftp.example:21?x") << QStringLiteral("「?」は使えない");
        QTest::newRow("folder after an FTP host")
            << QByteArray("ftp2_host=ftp2.example:21/evil") << QStringLiteral("「/」は使えない");
        QTest::newRow("account in an FTP host")
            << QByteArray("test_ftp_host=user@ftp.example") << QStringLiteral("「@」は使えない");
        QTest::newRow("trailing comment") << QByteArray("order_ftp_host=ftp.example:21 # the lab")
                                          << QStringLiteral("空白は使えない");
        QTest::newRow("DEL") << QByteArray("order_ftp_host=ftp\x7f.example")
                             << QStringLiteral("制御文字は使えない");
        QTest::newRow("port 0") << QByteArray("order_ftp_host=ftp.example:0")
                                << QStringLiteral("ポート番号は1〜65535");
        QTest::newRow("port 65536") << QByteArray("order_ftp_host=ftp.example:65536")
                                    << QStringLiteral("ポート番号は1〜65535");
        QTest::newRow("no port after :")
            << QByteArray("order_ftp_host=ftp.example:") << QStringLiteral("ポート番号は1〜65535");
        QTest::newRow("bad host name")
            << QByteArray("order_ftp_host=-ftp..example") << QStringLiteral("ホスト名が正しくない");
        QTest::newRow("IPv6 without brackets")
            << QByteArray("order_ftp_host=::1") << QStringLiteral("ホスト名が正しくない");
        QTest::newRow("unclosed IPv6")
            << QByteArray("test_ftp_host=[::1") << QStringLiteral("IPv6アドレスが正しくない");
        QTest::newRow("not IPv6") << QByteArray("test_ftp_host=[zz::1]:21")
                                  << QStringLiteral("IPv6アドレスが正しくない");
        QTest::newRow("# in an HTTP server")
            << QByteArray("web_server=http://web.example/#x") << QStringLiteral("「#」は使えない");
        QTest::newRow("query on an HTTP server")
            << QByteArray("web_server=http://web.example:8000/?a=b")
            << QStringLiteral("「?」は使えない");
        QTest::newRow("path on an HTTP server")
            << QByteArray("web_server=http://web.example/lab")
            << QStringLiteral("ホスト名の後ろにパス（/lab）は書けない");
        QTest::newRow("other scheme") << QByteArray("auth_server=ftp://wrong.example")
                                      << QStringLiteral("http:// または https:// で始まっていない");
        QTest::newRow("HTTP port") << QByteArray("analysis_server=http://an.example:99999")
                                   << QStringLiteral("ポート番号は1〜65535");
        QTest::newRow("empty value")
            << QByteArray("order_ftp_host=") << QStringLiteral("ホスト名がない");
        QTest::newRow("no =") << QByteArray("order_ftp_host ftp.example")
                              << QStringLiteral("「項目名=値」の形になっていない");
        QTest::newRow("unsafe account") << QByteArray("order_ftp_user=a b;rm -rf ~")
                                        << QStringLiteral("アカウント名に使えるのは");
        QTest::newRow("key given twice") << QByteArray("info_server=http://b.example")
                                         << QStringLiteral("info_server は1行目にもある");
        QTest::newRow("TLS word") << QByteArray("order_ftp_tls=yes")
                                  << QStringLiteral("off・try・require のいずれか");
        QTest::newRow("missing CA file")
            << QByteArray("test_ftp_ca=/nowhere/ca.pem")
            << QStringLiteral("CAファイル（/nowhere/ca.pem）を読み込めない");
    }

    void badLineRefusesTheWholeFile() {
        QFETCH(QByteArray, line);
        QFETCH(QString, why);
        TestHome home;
        const QString conf = home.filePath(QStringLiteral("lab.conf"));
        QVERIFY(writeText(conf, "info_server=http://info.example\n" + line + "\n"));
        LabConfEnv env(conf);
        const std::optional<QString> refusal = LabConfig::refusal();
        QVERIFY(refusal.has_value());
        QVERIFY2(refusal->startsWith(conf + QStringLiteral(" 2行目：")), qPrintable(*refusal));
        QVERIFY2(refusal->contains(why), qPrintable(*refusal));
        QCOMPARE(LabConfig::configPath(), conf);
        for (const QString& value :
             {LabConfig::infoServer(), LabConfig::webServer(), LabConfig::analysisServer(),
              LabConfig::authServer(), LabConfig::orderFtpHost(), LabConfig::orderFtpUser(),
              LabConfig::ftp2Host(), LabConfig::testFtpHost(), LabConfig::appInfoUrl(),
              LabConfig::albumInfoUrl(), LabConfig::analyzerUrl(),
              LabConfig::authConvertMd5Url(QStringLiteral("pw"))})
            QCOMPARE(value, QString());
        QVERIFY(readLog().contains(
            QStringLiteral("ラボ接続設定ファイルに誤りがあるため使用しない（%1）").arg(*refusal)));
        QVERIFY(LabConfig::refusalAlertText().startsWith(*refusal));
    }

    // A file that is there but cannot be read is refused too, not replaced by the defaults.
    void unreadableFileIsRefused() {
        TestHome home;
        const QString conf = home.filePath(QStringLiteral("lab.conf"));
        QVERIFY(QDir().mkpath(conf));
        {
            LabConfEnv env(conf);
            QCOMPARE(LabConfig::refusal(),
                     std::optional<QString>(conf + QStringLiteral("：ファイルを読み込めない")));
            QCOMPARE(LabConfig::orderFtpHost(), QString());
        }
        const QString big = home.filePath(QStringLiteral("big.conf"));
        QVERIFY(writeText(big, QByteArray(70000, '#')));
        LabConfEnv env(big);
        QCOMPARE(LabConfig::refusal(),
                 std::optional<QString>(big + QStringLiteral("：ファイルが大きすぎる")));
    }

    // A host cut short at "#" sent orders to the account's root folder and called them sent. The
    // file is refused now: the order waits in the pool, nothing reaches the lab, the studio is
    // told why.
    void refusedFileKeepsTheOrderInThePool() {
        TestHome home;
        LabSim lab;
        QVERIFY2(lab.isRunning(), qPrintable(lab.errorText()));
        QByteArray text = kit::readAll(lab.labConfPath());
        const QByteArray host = "order_ftp_host=" + lab.ftpHost().toLatin1();
        QVERIFY(text.contains(host + '\n'));
        text.replace(host + '\n', host + "#lab\n");
        const QString conf = home.filePath(QStringLiteral("lab.conf"));
        QVERIFY(writeText(conf, text));
        LabConfEnv env(conf);
        QVERIFY(LabConfig::refusal().has_value());

        AlertRecorder alerts;
        UserDef::setObject(QStringLiteral("1234"), QStringLiteral("CustomerCode"));
        UserDef::setObject(QStringLiteral("001122AABBCC"), QStringLiteral("MacAddr"));
        UserDef::setObject(QStringLiteral("その他"), QStringLiteral("MainTabLabel"));
        UserDef::setObject(QStringLiteral("BtSend"), QStringLiteral("ExecuteBt"));
        UserDef::setObject(QStringLiteral("AcNowSend"), QStringLiteral("OrderActionType"));
        const QString photo = home.filePath(QStringLiteral("shoot/a.jpg"));
        QVERIFY(kit::writeFile(photo, 5000));
        DirectActions actions;
        RecordingProgress progress;
        JobThreadRunner runner(actions);
        QVERIFY(!runner.jobThread({OrderTab::Etc, {photo}, QString(), nullptr, &progress, false}));

        const QString archive = QStringLiteral("1234_001122AABBCC_0000001.zip");
        QCOMPARE(QDir(WorkFolder::orderZipPoolFolderPath()).entryList(QDir::Files),
                 QStringList{archive});
        QCOMPARE(alerts.messages(),
                 QStringList{QStringLiteral("ラボ接続設定ファイルに誤りがあります")});
        QVERIFY(alerts.last().information.startsWith(*LabConfig::refusal()));
        QVERIFY(alerts.last().information.contains(QStringLiteral("未送信オーダーとして残って")));
        QVERIFY(
            readLog().contains(QStringLiteral("ラボ接続設定ファイルに誤りがあるため送信しない")));
        QCOMPARE(progress.messages().constLast(),
                 QStringLiteral("ラボ接続設定ファイルの誤りのため送信していません。"
                                "オーダーは未送信オーダーに残っています"));
        // Nothing at the lab: no upload anywhere, not even a usage report.
        QVERIFY(lab.ftpLog().isEmpty());
        QVERIFY(lab.ftpFolderFiles(QStringLiteral("/")).filter(QStringLiteral(".zip")).isEmpty());
        QVERIFY(lab.ftpFolderFiles(QStringLiteral("/ntordrsm2/")).isEmpty());
        QVERIFY(lab.reports().isEmpty());
    }

    void requestUrls() {
        TestHome home;
        const QString conf = home.filePath(QStringLiteral("lab.conf"));
        QVERIFY(writeText(conf, "info_server=http://info:1\nweb_server=http://web:2\n"
                                "analysis_server=http://an:3\nauth_server=http://auth:4\n"));
        LabConfEnv env(conf);
        QCOMPARE(LabConfig::appInfoUrl(), QStringLiteral("http://info:1/halv_ix2/appinfo.html"));
        QCOMPARE(LabConfig::albumInfoUrl(), QStringLiteral("http://web:2/album_info_8.html"));
        QCOMPARE(
            LabConfig::analyzerUrl(),
            QStringLiteral("http://an:3/cgi-bin/WebObjects/HalvixAnalyzer.woa/wa/MacApp?data="));
        QCOMPARE(
            LabConfig::authConvertMd5Url(QStringLiteral("pw")),
            QStringLiteral("http://auth:4/cgi-bin/WebObjects/MVLAuth.woa/wa/ConvertMD5?str=pw"));
        QCOMPARE(
            LabConfig::authCheckUrl(QStringLiteral("12"), QStringLiteral("ab")),
            QStringLiteral("http://auth:4/cgi-bin/WebObjects/MVLAuth.woa/wa/Auth?code=12&pass=ab"));
        QCOMPARE(LabConfig::authDataUrl(QStringLiteral("12"), QStringLiteral("ab"),
                                        QStringLiteral("CustomShcool")),
                 QStringLiteral("http://auth:4/cgi-bin/WebObjects/MVLAuth.woa/wa/"
                                "Auth?code=12&pass=ab&key=CustomShcool"));
    }

    void ftpOpenHost() {
        QCOMPARE(LabConfig::ftpOpenHost(QStringLiteral("127.0.0.1:8321")),
                 QStringLiteral("127.0.0.1 8321"));
        QCOMPARE(LabConfig::ftpOpenHost(QStringLiteral("ftp.example")),
                 QStringLiteral("ftp.example"));
        QCOMPARE(LabConfig::ftpOpenHost(QStringLiteral("[::1]:2100")), QStringLiteral("::1 2100"));
        QCOMPARE(LabConfig::ftpOpenHost(QStringLiteral("[::1]")), QStringLiteral("::1"));
    }

    void readsDuringReloadSeeWholeValues() {
        TestHome home;
        const QString a = home.filePath(QStringLiteral("a.conf"));
        const QString b = home.filePath(QStringLiteral("b.conf"));
        QVERIFY(writeText(a, "info_server=http://a.example\n"));
        QVERIFY(writeText(b, "info_server=http://b.example\n"));
        LabConfEnv env(a);
        QFuture<QSet<QString>> reader = QtConcurrent::run([] {
            QSet<QString> seen;
            for (int i = 0; i < 20000; ++i)
                seen.insert(LabConfig::infoServer());
            return seen;
        });
        // Reload back and forth for as long as the reader runs.
        for (int i = 0; !reader.isFinished(); ++i) {
            qputenv("HALVIX_LAB_CONF", (i % 2 == 0 ? b : a).toLocal8Bit());
            LabConfig::reload();
        }
        const QSet<QString> seen = reader.result();
        for (const QString& value : seen)
            QVERIFY2(value == QLatin1String("http://a.example") ||
                         value == QLatin1String("http://b.example"),
                     qPrintable(value));
    }
};

QTEST_GUILESS_MAIN(TestLabConfig)
#include "tst_LabConfig.moc"

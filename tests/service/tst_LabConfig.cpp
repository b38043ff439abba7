#include "TestHome.h"
#include "service/LabConfig.h"
#include "settings/Log.h"

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

    void parsesValuesAndSkipsBadLines() {
        TestHome home;
        const QString conf = home.filePath(QStringLiteral("lab.conf"));
        QVERIFY(writeText(conf, "# the lab\r\n"
                                "\r\n"
                                "  info_server =  http://info.example:8000/  \r\n"
                                "web_server=http://web.example\n"
                                "analysis_server=https://an.example:8443//\n"
                                "auth_server=ftp://wrong.example\n"
                                "order_ftp_host=ftp.example:2121\n"
                                "order_ftp_user=studio_01\n"
                                "ftp2_host=ftp2.example:21/evil\n"
                                "test_ftp_host=[::1]:2100\n"
                                "no equals sign here\n"
                                "future_key=whatever\n"));
        LabConfEnv env(conf);
        QCOMPARE(LabConfig::infoServer(), QStringLiteral("http://info.example:8000"));
        QCOMPARE(LabConfig::webServer(), QStringLiteral("http://web.example"));
        QCOMPARE(LabConfig::analysisServer(), QStringLiteral("https://an.example:8443"));
        QCOMPARE(LabConfig::authServer(), QStringLiteral("http://127.0.0.1:8380"));
        QCOMPARE(LabConfig::orderFtpHost(), QStringLiteral("ftp.example:2121"));
        QCOMPARE(LabConfig::orderFtpUser(), QStringLiteral("studio_01"));
        QCOMPARE(LabConfig::ftp2Host(), QStringLiteral("127.0.0.1:8321"));
        QCOMPARE(LabConfig::testFtpHost(), QStringLiteral("[::1]:2100"));

        const QString log = readLog();
        QVERIFY2(log.contains(QStringLiteral("6行目")), qPrintable(log)); // auth_server
        QVERIFY(log.contains(QStringLiteral("9行目")));                   // ftp2_host
        QVERIFY(log.contains(QStringLiteral("11行目")));                  // no "="
        QVERIFY(!log.contains(QStringLiteral("12行目")));                 // unknown key: ignored
        QVERIFY(!log.contains(QStringLiteral("3行目")));
    }

    void unsafeAccountNameIsRefused() {
        TestHome home;
        const QString conf = home.filePath(QStringLiteral("lab.conf"));
        QVERIFY(writeText(conf, "order_ftp_user=a b;rm -rf ~\n"));
        LabConfEnv env(conf);
        QCOMPARE(LabConfig::orderFtpUser(), QStringLiteral("ntorder"));
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

// Orders over TLS: the send, the connection test, the download window's listing and the
// version-up's download against Debian's vsftpd with a certificate made by the test, as lab.conf
// asks (order_ftp_tls, order_ftp_ca); a certificate of another CA and a server without TLS fail
// with a clear message and nothing in the clear; "off" stays what it always was.
#include "AlertRecorder.h"
#include "LabSim.h"
#include "PoolArchives.h"
#include "TestHome.h"
#include "VsftpdServer.h"
#include "job/JobInfo.h"
#include "job/ProgressTarget.h"
#include "job/SendJob.h"
#include "service/ConnectionTest.h"
#include "service/FileDownLoader.h"
#include "service/LabConfig.h"
#include "service/LabFtpExchange.h"
#include "util/Tool.h"
#include "util/WorkFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QTest>

namespace {

class SilentTarget : public ProgressTarget {
public:
    void setJobMsg(const QString&) override {}
    void jobMsgClear() override {}
    void indicatorIndeterminate() override {}
    void indicatorClear() override {}
    void indicatorProgressWitMin(double, double) override {}
    void indicatorUpdate(double) override {}
};

const QString kOrderFolder = QStringLiteral("/ntordrsm2/");
const QString kArchiveName = QStringLiteral("1234_001122AABBCC_0000042.zip");

QByteArray fileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// An order archive in the pool with the record the zip stage writes beside it: without one the
// send refuses bytes it cannot check.
QString poolArchive(qsizetype size) {
    if (!WorkFolder::checkWorkFolder())
        return QString();
    return poolkit::poolWithRecord(kArchiveName,
                                   poolkit::orderZip(size, QRandomGenerator::global()->generate()));
}

// The lab substitute's lab.conf (its HTTP servers for pages and reports) with the order server
// replaced by the one given and the TLS lines added; in force until the home goes.
bool useOrderServer(const TestHome& home, const LabSim& lab, const QString& host,
                    const QString& user, const QStringList& tlsLines) {
    QStringList lines;
    for (const QString& line : QString::fromUtf8(fileBytes(lab.labConfPath())).split(u'\n')) {
        if (!line.startsWith(QStringLiteral("order_ftp_")))
            lines.append(line);
    }
    lines << QStringLiteral("order_ftp_host=") + host << QStringLiteral("order_ftp_user=") + user
          << tlsLines;
    const QString path = home.filePath(QStringLiteral("lab.conf"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(lines.join(u'\n').toUtf8() + '\n') < 0)
        return false;
    file.close();
    qputenv("HALVIX_LAB_CONF", path.toLocal8Bit());
    LabConfig::reload();
    return !LabConfig::refusal() && LabConfig::orderFtpHost() == host;
}

struct SendOutcome {
    bool sent = false;
    QStringList alerts;
    QString information;
};

SendOutcome sendPooledArchive(const QString& path) {
    AlertRecorder alerts;
    SilentTarget target;
    JobInfo info({}, QString(), nullptr, &target);
    SendJob job(info);
    SendOutcome outcome;
    outcome.sent = job.start(path);
    outcome.alerts = alerts.messages();
    outcome.information = alerts.last().information;
    return outcome;
}

QString failureText(int code) {
    return QStringLiteral("(%1)エラーが発生（%2）")
        .arg(QString::number(code), LabFtpExchange::errorMessageForCode(code));
}

#define START_VSFTPD(server)                                                                       \
    if (!(server).skipReason().isEmpty())                                                          \
        QSKIP(qPrintable((server).skipReason()));                                                  \
    QVERIFY2((server).isRunning(), qPrintable((server).errorText()))

} // namespace

class TestTlsSend : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void requiredTlsCarriesEveryTransfer();
    void certificateOfAnotherCaFailsClearly_data();
    void certificateOfAnotherCaFailsClearly();
    void serverWithoutTlsIsNeverUsedInTheClearWhenRequired();
    void tryGoesOnInTheClearOnlyWhereTlsIsNotOffered();
    void offSpeaksInTheClearAsBefore();
};

// TLS required, the server's own CA given: the order arrives under its name, the connection test
// says the line is private, the download window lists its folder and the version-up fetches its
// archive, all over TLS (the server refuses anything in the clear).
void TestTlsSend::requiredTlsCarriesEveryTransfer() {
    TestHome home;
    VsftpdServer ftp;
    START_VSFTPD(ftp);
    LabSim lab;
    QVERIFY2(lab.isRunning(), qPrintable(lab.errorText()));
    QVERIFY(useOrderServer(
        home, lab, ftp.host(), VsftpdServer::user(),
        {QStringLiteral("order_ftp_tls=require"), QStringLiteral("order_ftp_ca=") + ftp.caFile()}));

    const QString path = poolArchive(300'000);
    QVERIFY(!path.isEmpty());
    const QByteArray bytes = fileBytes(path);
    const SendOutcome outcome = sendPooledArchive(path);
    QVERIFY2(outcome.sent, qPrintable(outcome.alerts.join(u'|') + u' ' + outcome.information));
    QCOMPARE(outcome.alerts, QStringList{QStringLiteral("データを送信しました")});
    QCOMPARE(ftp.folderFiles(kOrderFolder), QStringList{kArchiveName});
    QCOMPARE(fileBytes(ftp.localPath(kOrderFolder) + u'/' + kArchiveName), bytes);
    QVERIFY(!QFileInfo::exists(path));

    const ConnectionCheckResult privacy = ConnectionTest::checkFtpPrivacy();
    QCOMPARE(privacy.state, ConnectionCheckResult::State::Ok);
    QVERIFY2(privacy.detail.startsWith(QStringLiteral("暗号化あり（TLS")),
             qPrintable(privacy.detail));
    QCOMPARE(ConnectionTest::checkFtpLogin().state, ConnectionCheckResult::State::Ok);
    QCOMPARE(ConnectionTest::checkFtpUpload().state, ConnectionCheckResult::State::Ok);

    QVERIFY(ftp.putFile(QStringLiteral("/dwnld/1234/"), QStringLiteral("template.zip"), "x"));
    const std::optional<QString> listing = FileDownLoader::fileListStr(QStringLiteral("1234"));
    QVERIFY(listing);
    QVERIFY2(listing->contains(QStringLiteral("template.zip")), qPrintable(*listing));

    // The version-up's archive: fetched over TLS and unpacked into the work area.
    const QString source = home.filePath(QStringLiteral("upver"));
    QVERIFY(QDir().mkpath(source + QStringLiteral("/Halvix2_v999")));
    QVERIFY(QFile(source + QStringLiteral("/Halvix2_v999/notes.txt")).open(QIODevice::WriteOnly));
    const QString zip = home.filePath(QStringLiteral("Halvix2_v999.zip"));
    QVERIFY(Tool::zipWithOption(QStringLiteral("-r"), zip, QStringLiteral("Halvix2_v999"), source));
    QVERIFY(ftp.putFile(QStringLiteral("/upver/m/"), QStringLiteral("Halvix2_v999.zip"),
                        fileBytes(zip)));
    QVERIFY(Tool::ftpFileDownLoadAndUnzipWithHost(
        LabConfig::orderFtpHost(), QStringLiteral("/upver/m/Halvix2_v999.zip"),
        LabConfig::orderFtpUser(), QStringLiteral("47kdw9R5"), WorkFolder::workFolderPath(),
        LabConfig::orderFtpTls(), LabConfig::orderFtpCa()));
    QVERIFY(QFileInfo(WorkFolder::workFolderPath() + QStringLiteral("/Halvix2_v999/notes.txt"))
                .isFile());
}

// A certificate that the CA named in lab.conf did not sign: nothing is sent, neither with TLS
// required nor with TLS tried (a TLS that is offered and fails is no reason to go on in the
// clear), and the studio reads why.
void TestTlsSend::certificateOfAnotherCaFailsClearly_data() {
    QTest::addColumn<QString>("mode");
    QTest::newRow("require") << QStringLiteral("require");
    QTest::newRow("try") << QStringLiteral("try");
}
void TestTlsSend::certificateOfAnotherCaFailsClearly() {
    QFETCH(QString, mode);
    TestHome home;
    VsftpdServer ftp(false); // the server would even take the order in the clear
    START_VSFTPD(ftp);
    LabSim lab;
    QVERIFY2(lab.isRunning(), qPrintable(lab.errorText()));
    QVERIFY(useOrderServer(home, lab, ftp.host(), VsftpdServer::user(),
                           {QStringLiteral("order_ftp_tls=") + mode,
                            QStringLiteral("order_ftp_ca=") + ftp.otherCaFile()}));

    const QString path = poolArchive(100'000);
    QVERIFY(!path.isEmpty());
    const SendOutcome outcome = sendPooledArchive(path);
    QVERIFY(!outcome.sent);
    QCOMPARE(outcome.alerts, QStringList{QStringLiteral("エラーが発生しました")});
    QCOMPARE(outcome.information, failureText(60));
    QVERIFY(outcome.information.contains(QStringLiteral("証明書を確認できない")));
    QVERIFY(QFileInfo::exists(path)); // it waits in the pool for the next send
    QVERIFY(ftp.folderFiles(kOrderFolder).isEmpty());

    const ConnectionCheckResult privacy = ConnectionTest::checkFtpPrivacy();
    QCOMPARE(privacy.state, ConnectionCheckResult::State::Failed);
    QVERIFY2(privacy.detail.contains(QStringLiteral("証明書を確認できませんでした")),
             qPrintable(privacy.detail));
    QVERIFY(!FileDownLoader::fileListStr(QStringLiteral("1234")));
}

// The lab substitute speaks no TLS: with TLS required nothing reaches it, not even the login.
void TestTlsSend::serverWithoutTlsIsNeverUsedInTheClearWhenRequired() {
    TestHome home;
    LabSim lab;
    QVERIFY2(lab.isRunning(), qPrintable(lab.errorText()));
    QVERIFY(useOrderServer(home, lab, lab.ftpHost(), QStringLiteral("ntorder"),
                           {QStringLiteral("order_ftp_tls=require")}));
    const QString path = poolArchive(100'000);
    QVERIFY(!path.isEmpty());
    const SendOutcome outcome = sendPooledArchive(path);
    QVERIFY(!outcome.sent);
    QCOMPARE(outcome.information, failureText(64));
    QVERIFY(
        outcome.information.contains(QStringLiteral("暗号化通信（TLS）がサーバーで使えません")));
    QVERIFY(QFileInfo::exists(path));
    for (const QJsonObject& entry : lab.ftpLog()) {
        const QString cmd = entry.value(QStringLiteral("cmd")).toString();
        QVERIFY2(cmd != QStringLiteral("STOR") && cmd != QStringLiteral("APPE"), qPrintable(cmd));
    }
    QVERIFY(lab.ftpFolderFiles(kOrderFolder).isEmpty());
    const ConnectionCheckResult privacy = ConnectionTest::checkFtpPrivacy();
    QCOMPARE(privacy.state, ConnectionCheckResult::State::Failed);
    QVERIFY(privacy.detail.contains(QStringLiteral("暗号化なしでは送信しません")));
}

// "try" against a server without TLS: the order goes as before, and the connection test says the
// line is not private.
void TestTlsSend::tryGoesOnInTheClearOnlyWhereTlsIsNotOffered() {
    TestHome home;
    LabSim lab;
    QVERIFY2(lab.isRunning(), qPrintable(lab.errorText()));
    QVERIFY(useOrderServer(home, lab, lab.ftpHost(), QStringLiteral("ntorder"),
                           {QStringLiteral("order_ftp_tls=try")}));
    const QString path = poolArchive(100'000);
    QVERIFY(!path.isEmpty());
    QVERIFY(sendPooledArchive(path).sent);
    QCOMPARE(lab.ftpFolderFiles(kOrderFolder), QStringList{kArchiveName});
    const ConnectionCheckResult privacy = ConnectionTest::checkFtpPrivacy();
    QCOMPARE(privacy.state, ConnectionCheckResult::State::Warning);
    QVERIFY(privacy.detail.startsWith(QStringLiteral("暗号化なし")));
}

// Without a TLS line the program speaks in the clear as it always did: a server that insists on
// TLS refuses the login (the program never turns TLS on by itself), the substitute takes the
// order, and the connection test says the line is not private.
void TestTlsSend::offSpeaksInTheClearAsBefore() {
    TestHome home;
    VsftpdServer ftp;
    START_VSFTPD(ftp);
    LabSim lab;
    QVERIFY2(lab.isRunning(), qPrintable(lab.errorText()));
    QVERIFY(useOrderServer(home, lab, ftp.host(), VsftpdServer::user(), {}));
    QCOMPARE(LabConfig::orderFtpTls(), orbel::FtpTlsMode::Off);
    const QString path = poolArchive(100'000);
    QVERIFY(!path.isEmpty());
    const SendOutcome refused = sendPooledArchive(path);
    QVERIFY(!refused.sent);
    QCOMPARE(refused.information, failureText(67));

    QVERIFY(useOrderServer(home, lab, lab.ftpHost(), QStringLiteral("ntorder"), {}));
    QVERIFY(sendPooledArchive(path).sent);
    QCOMPARE(lab.ftpFolderFiles(kOrderFolder), QStringList{kArchiveName});
    const ConnectionCheckResult privacy = ConnectionTest::checkFtpPrivacy();
    QCOMPARE(privacy.state, ConnectionCheckResult::State::Ok);
    QVERIFY(privacy.detail.startsWith(QStringLiteral("暗号化なし")));
}

QTEST_GUILESS_MAIN(TestTlsSend)
#include "tst_TlsSend.moc"

#include "LabSim.h"
#include "TestHome.h"
#include "service/LabConfig.h"
#include "service/LabEndpoints.h"
#include "util/ProcessRunner.h"
#include "util/ToolPaths.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

// The lab's FTP accounts driven with the same curl and ftp command lines the program runs: upload
// under the temporary name, rename, name listing, clean-up of a failed upload, the version-up
// download and the download window's listing.
namespace {

QString s(const char* text) {
    return QString::fromLatin1(text);
}

struct Account {
    QString host;
    QString user;
    QString password;
    QString folder;
};

Account production() {
    return {LabConfig::orderFtpHost(), LabConfig::orderFtpUser(),
            s(LabEndpoints::kProductionPassword), s(LabEndpoints::kProductionFolder)};
}
Account ftp2() {
    return {LabConfig::ftp2Host(), s(LabEndpoints::kFtp2User), s(LabEndpoints::kFtp2Password),
            s(LabEndpoints::kFtp2Folder)};
}
Account testAccount() {
    return {LabConfig::testFtpHost(), s(LabEndpoints::kTestUser), s(LabEndpoints::kTestPassword),
            s(LabEndpoints::kTestFolder)};
}

QByteArray archiveBytes(int size) {
    QByteArray data;
    data.reserve(size);
    for (int i = 0; i < size; ++i)
        data.append(static_cast<char>((i * 131 + 7) % 251));
    return data;
}

bool writeFile(const QString& path, const QByteArray& data) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The upload: curl in "~" with the trace on standard output, standard error not captured.
ProcessResult uploadWithCurl(const Account& a, const QString& archivePath,
                             const QString& uploadName) {
    ProcessOptions options;
    options.workingDirectory = QStringLiteral("~");
    options.captureStderr = false;
    return runProcess(ToolPaths::curl(),
                      {QStringLiteral("--trace-ascii"), QStringLiteral("-"), QStringLiteral("-T"),
                       archivePath, QStringLiteral("-u"), a.user + QLatin1Char(':') + a.password,
                       s(LabEndpoints::kFtpUrlFormat).arg(a.host, a.folder, uploadName),
                       QStringLiteral("--retry"), s(LabEndpoints::kCurlRetryCount),
                       QStringLiteral("-m"), s(LabEndpoints::kCurlMaxSeconds)},
                      options);
}

ProcessResult shell(const QString& command) {
    return runProcess(ToolPaths::sh(), {QStringLiteral("-c"), command});
}

ProcessResult renameWithCurl(const Account& a, const QString& uploadName, const QString& name) {
    return shell(s(LabEndpoints::kRenameCommandFormat)
                     .arg(a.host, a.folder, uploadName, a.folder, name, a.user, a.password));
}

ProcessResult listWithCurl(const Account& a) {
    return shell(s(LabEndpoints::kListCommandFormat).arg(a.user, a.password, a.host, a.folder));
}

// The clean-up: "/bin/echo <script>" piped into "/usr/bin/ftp -i -n".
ProcessResult deleteWithFtp(const Account& a, const QString& uploadName) {
    const QString script =
        s(LabEndpoints::kFtpDeleteScriptFormat)
            .arg(LabConfig::ftpOpenHost(a.host), a.user, a.password, a.folder, uploadName);
    const ProcessResult echo = runProcess(ToolPaths::echo(), {script});
    if (!echo.succeeded())
        return echo;
    ProcessOptions options;
    options.stdinData = echo.stdoutData;
    return runProcess(ToolPaths::ftp(), {QStringLiteral("-i"), QStringLiteral("-n")}, options);
}

QStringList listedNames(const ProcessResult& listing) {
    QStringList names;
    const QList<QByteArray> lines = listing.stdoutData.split('\n');
    for (const QByteArray& line : lines) {
        const QString name = QString::fromUtf8(line).trimmed();
        if (!name.isEmpty())
            names.append(name);
    }
    return names;
}

// One row of the download window, read from a listing line the way the window reads it: blanks
// collapsed, split at single blanks, at least four fields, the third the size, the fourth the name.
struct ListingRow {
    QString size;
    QString name;
};

QList<ListingRow> downloadRows(QString listing) {
    while (listing.contains(QLatin1String("  ")))
        listing.replace(QLatin1String("  "), QLatin1String(" "));
    QList<ListingRow> rows;
    const QStringList lines = listing.split(QRegularExpression(QStringLiteral("\r\n|\r|\n")));
    for (const QString& line : lines) {
        const QStringList fields = line.split(QLatin1Char(' '));
        if (fields.size() < 4)
            continue;
        rows.append({fields.at(2), fields.at(3)});
    }
    return rows;
}

} // namespace

class TestLabFtpAccounts : public QObject {
    Q_OBJECT

    std::unique_ptr<LabSim> lab;
    std::unique_ptr<TestHome> home;
    QString archive; // a local archive in the fresh home

private Q_SLOTS:
    void initTestCase() {
        lab = std::make_unique<LabSim>();
        QVERIFY2(lab->isRunning(), qPrintable(lab->errorText()));
    }
    void cleanupTestCase() { lab.reset(); }

    void init() {
        home = std::make_unique<TestHome>();
        lab->clearFaults();
        archive = home->filePath(QStringLiteral("1234_001122AABBCC_0000042.zip"));
        QVERIFY(writeFile(archive, archiveBytes(300000)));
    }
    void cleanup() { home.reset(); }

    void configPointsAtTheSubstitute() {
        QCOMPARE(LabConfig::configPath(), lab->labConfPath());
        QCOMPARE(LabConfig::orderFtpHost(), lab->ftpHost());
        QCOMPARE(LabConfig::appInfoUrl(),
                 lab->httpBase() + QStringLiteral("/halv_ix2/appinfo.html"));
    }

    void uploadRenameListAndDelete_data() {
        QTest::addColumn<int>("profile");
        QTest::newRow("production") << 0;
        QTest::newRow("FTP2") << 1;
        QTest::newRow("test") << 2;
    }

    void uploadRenameListAndDelete() {
        QFETCH(int, profile);
        const Account a = profile == 0 ? production() : profile == 1 ? ftp2() : testAccount();
        const QString name = QStringLiteral("1234_001122AABBCC_0000042.zip");
        const QString uploadName = s(LabEndpoints::kUploadPrefix) + name;

        const ProcessResult upload = uploadWithCurl(a, archive, uploadName);
        QVERIFY(upload.succeeded());
        QVERIFY(upload.stdoutData.size() > 200000); // the trace the progress is estimated from
        QCOMPARE(lab->ftpFolderFiles(a.folder), QStringList{uploadName});

        QVERIFY(renameWithCurl(a, uploadName, name).succeeded());
        const ProcessResult listing = listWithCurl(a);
        QVERIFY(listing.succeeded());
        QCOMPARE(listedNames(listing), QStringList{name});
        QCOMPARE(readFile(lab->ftpLocalPath(a.folder) + QLatin1Char('/') + name),
                 readFile(archive));

        // The clean-up of a failed upload removes the temporary name on the server.
        QVERIFY(uploadWithCurl(a, archive, uploadName).succeeded());
        QVERIFY(deleteWithFtp(a, uploadName).succeeded());
        QCOMPARE(lab->ftpFolderFiles(a.folder), QStringList{name});
        QFile::remove(lab->ftpLocalPath(a.folder) + QLatin1Char('/') + name);
    }

    void faultsAsCurlSeesThem() {
        const Account a = production();
        const QString uploadName = QStringLiteral("upload_1234_001122AABBCC_0000002.zip");

        QVERIFY(lab->setFaults({{QStringLiteral("refuse_login"), true}}));
        QCOMPARE(uploadWithCurl(a, archive, uploadName).exitStatus, 67); // login error

        QVERIFY(lab->setFaults(
            {{QStringLiteral("refuse_upload"), QStringLiteral("upload_*0000002*")}}));
        const ProcessResult refused = uploadWithCurl(a, archive, uploadName);
        QVERIFY(refused.started && refused.exitStatus > 0);
        QVERIFY(!lab->ftpFolderFiles(a.folder).contains(uploadName));

        QVERIFY(
            lab->setFaults({{QStringLiteral("drop_upload_after"), 50000},
                            {QStringLiteral("drop_upload_match"), QStringLiteral("upload_*")}}));
        const ProcessResult dropped = uploadWithCurl(a, archive, uploadName);
        QVERIFY(dropped.started && dropped.exitStatus > 0);
        QCOMPARE(QFileInfo(lab->ftpLocalPath(a.folder) + QLatin1Char('/') + uploadName).size(),
                 50000);
        lab->clearFaults();
        QVERIFY(deleteWithFtp(a, uploadName).succeeded());
        QVERIFY(!lab->ftpFolderFiles(a.folder).contains(uploadName));

        QVERIFY(uploadWithCurl(a, archive, uploadName).succeeded());
        QVERIFY(lab->setFaults({{QStringLiteral("rename_keeps_temp"), true}}));
        QVERIFY(renameWithCurl(a, uploadName, QStringLiteral("final.zip")).succeeded());
        QVERIFY(listedNames(listWithCurl(a)).contains(uploadName)); // the rename check sees 901

        QVERIFY(lab->setFaults({{QStringLiteral("fail_nlst"), true}}));
        const ProcessResult noListing = listWithCurl(a);
        QVERIFY(noListing.exitStatus > 0);
        QVERIFY(noListing.stdoutData.isEmpty()); // the rename check sees 903
        lab->clearFaults();
        QVERIFY(deleteWithFtp(a, uploadName).succeeded());
    }

    void versionUpDownloadUnpacksToItsFolder() {
        const Account a = production();
        const QString fileName = s(LabEndpoints::kVersionUpFileFormat).arg(QStringLiteral("215"));
        const QString remotePath =
            s(LabEndpoints::kVersionUpPathFormat).arg(s(LabEndpoints::kVersionUpFolder), fileName);
        QTemporaryDir work(home->filePath(QStringLiteral("work-XXXXXX")));
        QVERIFY(work.isValid());
        ProcessOptions options;
        options.workingDirectory = work.path();
        const ProcessResult download =
            runProcess(ToolPaths::curl(),
                       {QStringLiteral("-O"), QStringLiteral("ftp://") + a.host + remotePath,
                        QStringLiteral("-u"), a.user + QLatin1Char(':') + a.password},
                       options);
        QVERIFY(download.succeeded());
        QVERIFY(
            runProcess(ToolPaths::unzip(), {QStringLiteral("-q"), fileName}, options).succeeded());
        QVERIFY(QFileInfo(work.filePath(QStringLiteral("Halvix2_v215/") +
                                        s(LabEndpoints::kVersionUpInstaller)))
                    .isFile());
    }

    void downloadFolderListingReadsAsRows() {
        const Account a = production();
        const QString code = QStringLiteral("1234");
        const QString folder = s(LabEndpoints::kDownloadFolder) + code + QLatin1Char('/');
        QVERIFY(
            lab->putFtpFile(folder, QStringLiteral("1234.txt"), QByteArrayLiteral("お知らせです")));
        QVERIFY(lab->putFtpFile(folder, QStringLiteral("template.zip"), archiveBytes(1234567)));
        QVERIFY(lab->putFtpFile(folder, QStringLiteral("two words.pdf"), QByteArrayLiteral("pdf")));

        ProcessOptions options;
        options.workingDirectory = QStringLiteral("~");
        const ProcessResult listing =
            runProcess(ToolPaths::curl(),
                       {QStringLiteral("-u"), a.user + QLatin1Char(':') + a.password,
                        s(LabEndpoints::kDownloadFolderUrlFormat)
                            .arg(a.host, s(LabEndpoints::kDownloadFolder), code)},
                       options);
        QVERIFY(listing.succeeded());
        const QString text = QString::fromUtf8(listing.stdoutData);
        static const QRegularExpression dosLine(
            QStringLiteral("^\\d\\d-\\d\\d-\\d\\d +\\d\\d:\\d\\d(AM|PM) +(\\d+|<DIR>) .+$"));
        const QStringList lines =
            text.split(QRegularExpression(QStringLiteral("\r?\n")), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 3);
        for (const QString& line : lines)
            QVERIFY2(dosLine.match(line).hasMatch(), qPrintable(line));

        const QList<ListingRow> rows = downloadRows(text);
        QCOMPARE(rows.size(), 3);
        QCOMPARE(rows.at(0).name, QStringLiteral("1234.txt"));
        QCOMPARE(rows.at(1).name, QStringLiteral("template.zip"));
        QCOMPARE(rows.at(1).size, QStringLiteral("1234567"));
        QCOMPARE(rows.at(2).name, QStringLiteral("two")); // a blank cuts the name

        const ProcessResult info =
            runProcess(ToolPaths::curl(),
                       {QStringLiteral("-u"), a.user + QLatin1Char(':') + a.password,
                        s(LabEndpoints::kDownloadInfoUrlFormat)
                            .arg(a.host, s(LabEndpoints::kDownloadFolder), code, code)},
                       options);
        QVERIFY(info.succeeded());
        QCOMPARE(QString::fromUtf8(info.stdoutData), QStringLiteral("お知らせです"));

        // Each marked file by its own transfer (no URL globbing), saved under its own name.
        QTemporaryDir save(home->filePath(QStringLiteral("save-XXXXXX")));
        QVERIFY(save.isValid());
        for (const QString& name : {QStringLiteral("template.zip"), QStringLiteral("1234.txt")}) {
            const ProcessResult download =
                runProcess(ToolPaths::curl(),
                           {QStringLiteral("--globoff"), QStringLiteral("-s"), QStringLiteral("-u"),
                            a.user + QLatin1Char(':') + a.password,
                            s(LabEndpoints::kDownloadFileUrlFormat)
                                .arg(a.host, s(LabEndpoints::kDownloadFolder), code, name),
                            QStringLiteral("-o"), save.filePath(name), QStringLiteral("-m"),
                            s(LabEndpoints::kCurlMaxSeconds)},
                           options);
            QVERIFY(download.succeeded());
        }
        QCOMPARE(readFile(save.filePath(QStringLiteral("template.zip"))), archiveBytes(1234567));
        QCOMPARE(readFile(save.filePath(QStringLiteral("1234.txt"))),
                 QByteArrayLiteral("お知らせです"));
    }
};

QTEST_GUILESS_MAIN(TestLabFtpAccounts)
#include "tst_LabFtpAccounts.moc"

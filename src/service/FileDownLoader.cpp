#include "service/FileDownLoader.h"

#include "job/NotificationCenter.h"
#include "job/SendJobProgressReader.h"
#include "job/StopWatch.h"
#include "service/Analyzer.h"
#include "service/FileDownListDataSource.h"
#include "service/LabConfig.h"
#include "service/LabEndpoints.h"
#include "settings/Log.h"
#include "settings/UserDef.h"
#include "util/CurlAccount.h"
#include "util/FileMove.h"
#include "util/ProcessRunner.h"
#include "util/Tool.h"
#include "util/ToolPaths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <QUrl>
#include <QVariantMap>
#include <cerrno>
#include <cstdio>

namespace {

// The bar and its text move on after this many more bytes received.
constexpr double kProgressStepBytes = 200000;
// Reading a listing or the information file is a short exchange; a silent server must not
// freeze the window that waits for it.
constexpr char kShortReadSeconds[] = "30";
constexpr char kConnectSeconds[] = "15";
constexpr char kDownloadMaxSeconds[] = "21600";
// curl's code when it was ended by a signal that nobody here sent.
constexpr int kCodeTerminated = 15;

QString s(const char* text) {
    return QString::fromUtf8(text);
}

// The permissions a file created in the usual way gets (0666 less the process's umask): the
// temporary file starts private, the downloaded file must not. The umask is read, not set, so no
// other thread's files are touched.
QFileDevice::Permissions newFilePermissions() {
    unsigned mask = 022;
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : status.readAll().split('\n')) {
            if (line.startsWith("Umask:")) {
                bool ok = false;
                const unsigned value = line.mid(6).trimmed().toUInt(&ok, 8);
                if (ok) {
                    mask = value;
                }
            }
        }
    }
    const unsigned mode = 0666U & ~mask;
    QFileDevice::Permissions permissions;
    const struct {
        unsigned bit;
        QFileDevice::Permissions flags;
    } bits[] = {{0400, QFileDevice::ReadOwner | QFileDevice::ReadUser},
                {0200, QFileDevice::WriteOwner | QFileDevice::WriteUser},
                {0040, QFileDevice::ReadGroup},
                {0020, QFileDevice::WriteGroup},
                {0004, QFileDevice::ReadOther},
                {0002, QFileDevice::WriteOther}};
    for (const auto& bit : bits) {
        if ((mode & bit.bit) != 0) {
            permissions |= bit.flags;
        }
    }
    return permissions;
}

// The account reaches curl on its standard input ("-K -"), never in the process list; so does
// the order server's TLS.
QByteArray accountConfig() {
    return orbel::curlAccountConfig(LabConfig::orderFtpUser(),
                                    s(LabEndpoints::kProductionPassword)) +
           orbel::curlTlsConfig(LabConfig::orderFtpTls(), LabConfig::orderFtpCa());
}

QString pathPart(const QString& text) {
    return QString::fromLatin1(QUrl::toPercentEncoding(text));
}

QString folderUrl(const QString& code) {
    return s(LabEndpoints::kDownloadFolderUrlFormat)
        .arg(LabConfig::orderFtpHost(), s(LabEndpoints::kDownloadFolder), pathPart(code));
}

std::optional<QString> curlRead(const QString& url) {
    // No host (a refused lab.conf): curl would take "dwnld" for one. Without the listing nothing
    // is downloaded either.
    if (LabConfig::orderFtpHost().isEmpty())
        return std::nullopt;
    ProcessOptions options;
    options.workingDirectory = QStringLiteral("~");
    options.stdinData = accountConfig();
    const ProcessResult result =
        runProcess(ToolPaths::curl(),
                   {QStringLiteral("--globoff"), QStringLiteral("-s"),
                    QStringLiteral("--connect-timeout"), s(kConnectSeconds), QStringLiteral("-m"),
                    s(kShortReadSeconds), QStringLiteral("-K"), QStringLiteral("-"), url},
                   options);
    if (!result.succeeded())
        return std::nullopt;
    return QString::fromUtf8(result.stdoutData);
}

QString wholeSeconds(double seconds) {
    return QString::number(static_cast<qint64>(seconds));
}

} // namespace

FileDownLoader::FileDownLoader(QObject* parent) : QObject(parent) {}

FileDownLoader::~FileDownLoader() {
    cancel();
    join();
}

void FileDownLoader::join() {
    if (thread_.joinable())
        thread_.join();
}

std::optional<QString> FileDownLoader::fileListStr(const QString& customerCode) {
    return curlRead(folderUrl(customerCode));
}

QString FileDownLoader::infoFileRead(const QString& customerCode) {
    const QString url = s(LabEndpoints::kDownloadInfoUrlFormat)
                            .arg(LabConfig::orderFtpHost(), s(LabEndpoints::kDownloadFolder),
                                 pathPart(customerCode), pathPart(customerCode));
    return curlRead(url).value_or(QString());
}

QString FileDownLoader::errorMessageForCode(int code) {
    switch (code) {
    case 15:
        return QStringLiteral("処理がキャンセルされました");
    case 9:
        return QStringLiteral("サーバーへの転送エラーが発生しました");
    case 26:
        return QStringLiteral("ファイルの読み込みエラーが発生しました");
    case 67:
        return QStringLiteral("サーバーへのログインエラーが発生しました");
    case 35:
        return QStringLiteral("暗号化通信（TLS）の接続に失敗しました");
    case 60:
        return QStringLiteral(
            "サーバーの証明書を確認できませんでした（なりすましの恐れがあります）");
    case 64:
        return QStringLiteral("要求された暗号化通信（TLS）がサーバーで使えません");
    case 77:
        return QStringLiteral("証明書（CAファイル）を読み込めませんでした");
    default:
        return QStringLiteral("(%1)エラーが発生しました").arg(code);
    }
}

QString FileDownLoader::temporaryNameTemplate() {
    return QStringLiteral(".halvix-download-XXXXXX.part");
}

bool FileDownLoader::start(const FileDownRequest& request) {
    if (running_.exchange(true))
        return false;
    join(); // the previous thread has ended its work; reap it
    thread_ = std::thread([this, request] {
        const FileDownResult result = downloadExecute(request);
        running_.store(false);
        Q_EMIT finished(result.success, result.cancelled, result.errorMessage);
    });
    return true;
}

FileDownResult FileDownLoader::downloadExecute(const FileDownRequest& request) {
    cancel_.store(false);
    const auto observer = NotificationCenter::defaultCenter().addObserver(
        QStringLiteral("fileDownLoadCancel"), [this](const QVariant&) { cancel(); });
    struct ObserverGuard {
        NotificationCenter::Token token;
        ~ObserverGuard() { NotificationCenter::defaultCenter().removeObserver(token); }
    } guard{observer};

    Q_EMIT statusChanged(QStringLiteral("接続中..."));
    Q_EMIT progressChanged(0, 0);

    double total = 0;
    for (const double size : request.fileSizes)
        total += size;
    const QString totalText = Tool::autoDataByteStringWithByte(total);
    StopWatch stopWatch;
    stopWatch.start();

    QVariantMap postDic;
    postDic.insert(QStringLiteral("FileName"), request.fileNames.join(u','));
    postDic.insert(QStringLiteral("FileSize"), totalText);
    Log::outputLn(QStringLiteral("ダウンロードファイル -- %1").arg(request.fileNames.join(u',')));
    Log::outputLn(QStringLiteral("FTP処理開始（%1）").arg(totalText));

    bool error = false;
    QString message;
    double doneBytes = 0;  // the files already complete
    double shownBytes = 0; // what the bar last showed
    bool first200kb = false;
    const QDir folder(request.saveFolder);

    for (qsizetype i = 0; i < request.fileNames.size() && !error && !isCancel(); ++i) {
        const QString name = request.fileNames.at(i);
        const double size = i < request.fileSizes.size() ? request.fileSizes.at(i) : 0;
        if (!FileDownListDataSource::isSafeFileName(name)) {
            error = true;
            message = QStringLiteral("ダウンロードできないファイル名です（%1）").arg(name);
            break;
        }
        // The file grows under a temporary name; it takes its real name only when complete.
        QTemporaryFile part(folder.filePath(temporaryNameTemplate()));
        if (!part.open()) {
            error = true;
            message =
                QStringLiteral("保存先のフォルダに書き込めません（%1）").arg(request.saveFolder);
            break;
        }
        part.close();

        SendJobProgressReader meter(size);
        ProcessOptions options;
        options.workingDirectory = QStringLiteral("~");
        options.stdinData = accountConfig();
        options.shouldCancel = [this] { return isCancel(); };
        options.onStderr = [&](const QByteArray& chunk) {
            if (!meter.feed(chunk))
                return;
            const double received = doneBytes + meter.bytesSent();
            shownBytes = std::min(shownBytes, received);
            if (received - shownBytes <= kProgressStepBytes)
                return;
            if (!first200kb) {
                first200kb = true;
                Log::outputLn(QStringLiteral("最初の200KB成功"));
                postDic.insert(QStringLiteral("First200kbTime"), wholeSeconds(stopWatch.lap()));
            }
            Q_EMIT statusChanged(QStringLiteral("%1 / %2").arg(
                Tool::autoDataByteStringWithByte(received), totalText));
            // A total of 0 bytes has no scale: the bar stays indeterminate.
            if (total > 0)
                Q_EMIT progressChanged(received / (total / 100), 100);
            shownBytes = received;
        };
        const QString url = s(LabEndpoints::kDownloadFileUrlFormat)
                                .arg(LabConfig::orderFtpHost(), s(LabEndpoints::kDownloadFolder),
                                     pathPart(request.customerCode), pathPart(name));
        const ProcessResult fetch =
            runProcess(ToolPaths::curl(),
                       {QStringLiteral("--globoff"), QStringLiteral("--progress-bar"),
                        QStringLiteral("--connect-timeout"), s(kConnectSeconds),
                        QStringLiteral("-K"), QStringLiteral("-"), url, QStringLiteral("-o"),
                        part.fileName(), QStringLiteral("-m"), s(kDownloadMaxSeconds)},
                       options);
        if (isCancel())
            break;
        int code = 0;
        if (!fetch.started)
            code = 2;
        else if (fetch.crashed)
            code = kCodeTerminated;
        else if (fetch.exitStatus != 0)
            code = fetch.exitStatus;
        if (code != 0) {
            error = true;
            message = errorMessageForCode(code);
            break;
        }

        // Complete: give it its name, its bytes and the name on the disk first. An existing file
        // is replaced only when the user agreed; otherwise one that appeared meanwhile is kept and
        // this download counts as failed.
        const QString target = folder.filePath(name);
        const bool renamed = request.overwriteNames.contains(name)
                                 ? orbel::moveFileReplacing(part.fileName(), target)
                                 : orbel::moveFileNoReplace(part.fileName(), target);
        if (!renamed) {
            error = true;
            message = QStringLiteral("ファイルを保存できませんでした（%1）").arg(name);
            break;
        }
        part.setAutoRemove(false);
        // A download is a file like any other, also in a private folder.
        QFile::setPermissions(target, newFilePermissions());
        doneBytes += size;
    }

    postDic.insert(QStringLiteral("JobTime"), wholeSeconds(stopWatch.lap()));

    FileDownResult result;
    if (isCancel()) {
        result.cancelled = true;
        postDic.insert(QStringLiteral("ErrorInfo"),
                       QStringLiteral("キャンセルボタンによって処理が中止"));
        Log::outputLn(QStringLiteral("ダウンロードがキャンセルされた"));
        Analyzer::analyzerPost(QStringLiteral("FTP-D-NG"), postDic);
        return result;
    }
    if (error) {
        const QString errorText = QStringLiteral("エラー発生（%1）").arg(message);
        postDic.insert(QStringLiteral("ErrorInfo"), errorText);
        Log::outputLn(errorText);
        Analyzer::analyzerPost(QStringLiteral("FTP-D-NG"), postDic);
        result.errorMessage = message;
        return result;
    }

    Log::outputLn(QStringLiteral("FTPダウンロード成功"));
    Analyzer::analyzerPost(QStringLiteral("FTP-D"), postDic);
    QVariantMap history = UserDef::fileDownHistoryDic().value_or(QVariantMap());
    QVariantMap mine = history.value(request.customerCode).toMap();
    const QString now = Tool::nowDateTimeNomal();
    for (const QString& name : request.fileNames)
        mine.insert(name, now);
    history.insert(request.customerCode, mine);
    UserDef::setFileDownHistoryDic(history);
    result.success = true;
    return result;
}

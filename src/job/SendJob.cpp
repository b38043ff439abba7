#include "job/SendJob.h"

#include "job/SendJobProgressReader.h"
#include "job/StopWatch.h"
#include "service/Analyzer.h"
#include "service/LabConfig.h"
#include "service/LabEndpoints.h"
#include "settings/Log.h"
#include "settings/UserDef.h"
#include "util/MiravellPath.h"
#include "util/PathUtil.h"
#include "util/ProcessRunner.h"
#include "util/Tool.h"
#include "util/ToolPaths.h"
#include "util/WorkFolder.h"

#include <QFileInfo>
#include <QVariantMap>
#include <chrono>
#include <thread>

namespace {

// Code of a curl that could not be started at all (curl's own "failed to initialize").
constexpr int kCodeNotStarted = 2;
constexpr int kCodeRenameFailed = 901;
constexpr int kCodeListingFailed = 903;

// The progress bar and its text move on after this many more bytes sent.
constexpr double kProgressStepBytes = 200000;

// The rename, the listing and the server-side delete are short exchanges; a server that stops
// answering must not hold the job thread (and with it the whole window) for ever.
constexpr std::chrono::seconds kShortCommandLimit{120};

QString s(const char* text) {
    return QString::fromUtf8(text);
}

std::function<bool()> deadlineAfter(std::chrono::seconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    return [deadline] { return std::chrono::steady_clock::now() >= deadline; };
}

QString wholeSeconds(double seconds) {
    return QString::number(static_cast<qint64>(seconds));
}

} // namespace

SendJob::SendJob(JobInfo& info) : Job(info) {}

bool SendJob::start() {
    return start(std::nullopt);
}

bool SendJob::start(const std::optional<QString>& zipPath) {
    const QStringList zipPaths =
        zipPath ? QStringList{*zipPath}
                : orbel::directoryZipPathArray(WorkFolder::orderZipPoolFolderPath());
    const auto count = zipPaths.size();
    Log::outputLn(QStringLiteral("送信ファイル数 = %1").arg(count));
    if (count == 0)
        return false;

    for (qsizetype k = 1; k <= count; ++k) {
        const QString prefix = QStringLiteral("全%1ファイル中の%2つ目").arg(count).arg(k);
        if (!oneZipSend(zipPaths.at(k - 1), prefix))
            return false;
    }

    progressViewUpdateWithMsg(
        QStringLiteral("データを送信しました。完了メールが届いた時点で受付完了となります。"));
    Tool::alertWithMsg(QStringLiteral("データを送信しました"),
                       QStringLiteral("完了メールが届いた時点で受付完了となります。\n"
                                      "メールが届かない場合は当社営業へご連絡下さい。"));
    return true;
}

bool SendJob::oneZipSend(const QString& zipPath, const QString& msg) {
    StopWatch stopWatch;
    stopWatch.start();
    const QString zipName = QFileInfo(zipPath).fileName();
    const QString uploadName = s(LabEndpoints::kUploadPrefix) + zipName;
    const double zipSize = static_cast<double>(orbel::fileSize(zipPath));
    const QString zipSizeText = Tool::autoDataByteStringWithByte(zipSize);

    QVariantMap postDic;
    postDic.insert(QStringLiteral("FileName"), zipName);
    postDic.insert(QStringLiteral("FileSize"), zipSizeText);
    Log::outputLn(QStringLiteral("送信ファイル -- %1").arg(zipPath));
    errClear();
    addCancelObserver();
    progressViewInitWithMsg(QStringLiteral("%1 :ファイル送信先へ接続中...").arg(msg));

    const SendServerProfile profile = serverProfile();
    if (profile.kind == SendServerProfile::Kind::Test)
        Log::outputLn(QStringLiteral("テストモードで送信"));
    if (profile.kind == SendServerProfile::Kind::Ftp2)
        postDic.insert(QStringLiteral("Send"), s(LabEndpoints::kFtp2SendValue));
    const QString account = profile.user + QLatin1Char(':') + profile.password;

    Log::outputLn(QStringLiteral("FTP処理開始（%1）").arg(zipSizeText));

    // The upload. Progress comes from curl's own meter on standard error, read while it runs.
    SendJobProgressReader meter(zipSize);
    bool transferring = false;
    bool barReady = false;
    bool first200kb = false;
    double shownBytes = 0;
    ProcessOptions options;
    options.workingDirectory = QStringLiteral("~");
    options.shouldCancel = [this] { return isCancel(); };
    options.onStderr = [&](const QByteArray& chunk) {
        if (!meter.feed(chunk))
            return;
        if (!transferring) {
            transferring = true;
            progressViewInitWithMsg(
                QStringLiteral("%1 : 送信中(%2) しばらくお待ちください...").arg(msg, zipSizeText));
        }
        const double sent = meter.bytesSent();
        shownBytes = std::min(shownBytes, sent); // curl's retry starts the file again
        const bool complete = meter.percent() >= 100.0 && sent > shownBytes;
        if (sent - shownBytes <= kProgressStepBytes && !complete)
            return;
        if (!barReady) {
            barReady = true;
            progressViewSetupWithMax(100);
        }
        if (!first200kb && sent >= kProgressStepBytes) {
            first200kb = true;
            Log::outputLn(QStringLiteral("最初の200KB成功"));
            postDic.insert(QStringLiteral("First200kbTime"), wholeSeconds(stopWatch.lap()));
        }
        progressViewUpdateWithValue(
            meter.percent(), QStringLiteral("%1 : %2 / %3  送信中")
                                 .arg(msg, Tool::autoDataByteStringWithByte(sent), zipSizeText));
        shownBytes = sent;
    };
    const QStringList uploadArgs{
        QStringLiteral("--progress-bar"),
        QStringLiteral("-T"),
        zipPath,
        QStringLiteral("-u"),
        account,
        s(LabEndpoints::kFtpUrlFormat).arg(profile.host, profile.folder, uploadName),
        QStringLiteral("--retry"),
        s(LabEndpoints::kCurlRetryCount),
        QStringLiteral("-m"),
        s(LabEndpoints::kCurlMaxSeconds)};
    const ProcessResult upload = runProcess(ToolPaths::curl(), uploadArgs, options);

    // An exit status above 0 is curl's error code; a curl killed by a signal keeps -1.
    int errorCode = 0;
    if (!upload.started)
        errorCode = kCodeNotStarted;
    else if (!upload.cancelled && (upload.crashed || upload.exitStatus > 0))
        errorCode = upload.exitStatus;
    if (errorCode != 0)
        setErr(true);

    // Rename to the final name and confirm it: the temporary name must have left the folder.
    if (!isErr() && !isCancel()) {
        const QString host = QStringLiteral("ftp://") + profile.host;
        const QStringList renameArgs{host,
                                     QStringLiteral("-Q"),
                                     QStringLiteral("RNFR ") + profile.folder + uploadName,
                                     QStringLiteral("-Q"),
                                     QStringLiteral("RNTO ") + profile.folder + zipName,
                                     QStringLiteral("-u"),
                                     account};
        const QStringList listArgs{QStringLiteral("-l"), QStringLiteral("-u"), account,
                                   host + profile.folder};
        int checkCode = 0;
        for (int attempt = 0; attempt < LabEndpoints::kRenameAttempts; ++attempt) {
            ProcessOptions renameOptions;
            renameOptions.shouldCancel = deadlineAfter(kShortCommandLimit);
            runProcess(ToolPaths::curl(), renameArgs, renameOptions); // checked by the listing

            ProcessOptions listOptions;
            listOptions.shouldCancel = deadlineAfter(kShortCommandLimit);
            const ProcessResult listing = runProcess(ToolPaths::curl(), listArgs, listOptions);
            // A listing curl could not fetch proves nothing, even when its output is empty.
            if (!listing.succeeded())
                checkCode = kCodeListingFailed;
            else if (QString::fromUtf8(listing.stdoutData).contains(uploadName))
                checkCode = kCodeRenameFailed;
            else {
                checkCode = 0;
                break;
            }
            if (attempt + 1 < LabEndpoints::kRenameAttempts)
                std::this_thread::sleep_for(std::chrono::seconds(1));
            postDic.insert(
                QStringLiteral("WarningInfo"),
                QStringLiteral("Rename retry %1　: err(%2)").arg(attempt).arg(checkCode));
        }
        if (checkCode != 0) {
            setErr(true);
            postDic.remove(QStringLiteral("WarningInfo"));
            errorCode = checkCode;
        }
    }

    postDic.insert(QStringLiteral("JobTime"), wholeSeconds(stopWatch.lap()));

    if (isFailure()) {
        ftpCmdExecute(s(LabEndpoints::kFtpDeleteScriptFormat)
                          .arg(LabConfig::ftpOpenHost(profile.host), profile.user, profile.password,
                               profile.folder, uploadName));
        if (isCancel()) {
            postDic.insert(QStringLiteral("ErrorInfo"),
                           QStringLiteral("キャンセルボタンによって処理が中止"));
            Log::outputLn(QStringLiteral("送信処理がキャンセルされた"));
            Tool::alertWithMsg(QStringLiteral("処理を中止しました"),
                               QStringLiteral("キャンセルボタンによって送信処理が中止されました"));
        } else {
            const QString message = errorMessageForCode(errorCode);
            const QString errorText =
                QStringLiteral("(%1)エラーが発生（%2）").arg(QString::number(errorCode), message);
            postDic.insert(QStringLiteral("ErrorInfo"), errorText);
            Log::outputLn(QStringLiteral("エラー発生（%1）").arg(message));
            Tool::alertWithMsg(QStringLiteral("エラーが発生しました"), errorText);
        }
    }

    progressViewClear();
    removeCancelObserver();

    if (isSucsess()) {
        Log::outputLn(QStringLiteral("FTP送信成功"));
        orbel::limitDeleteFileOrFolder(zipPath);
        Analyzer::analyzerPost(QStringLiteral("FTP"), postDic);
    } else {
        Analyzer::analyzerPost(QStringLiteral("FTP-NG"), postDic);
    }
    return isSucsess();
}

std::optional<QString> SendJob::simpleShell(const QString& command) {
    const ProcessResult result =
        runProcess(ToolPaths::sh(), {QStringLiteral("-c"), command}, ProcessOptions{});
    if (!result.started)
        return std::nullopt;
    return QString::fromUtf8(result.stdoutData);
}

void SendJob::ftpCmdExecute(const QString& script) {
    // The same bytes "/bin/echo script | ftp -i -n" would feed: the script and a line feed.
    ProcessOptions options;
    options.stdinData = script.toUtf8() + '\n';
    options.shouldCancel = deadlineAfter(kShortCommandLimit);
    runProcess(ToolPaths::ftp(), {QStringLiteral("-i"), QStringLiteral("-n")}, options);
}

SendServerProfile SendJob::serverProfile() {
    SendServerProfile profile;
    if (UserDef::isFtp2SendMode()) {
        profile.kind = SendServerProfile::Kind::Ftp2;
        profile.host = LabConfig::ftp2Host();
        profile.user = s(LabEndpoints::kFtp2User);
        profile.password = s(LabEndpoints::kFtp2Password);
        profile.folder = s(LabEndpoints::kFtp2Folder);
    } else if (UserDef::isTestSendMode()) {
        profile.kind = SendServerProfile::Kind::Test;
        profile.host = LabConfig::testFtpHost();
        profile.user = s(LabEndpoints::kTestUser);
        profile.password = s(LabEndpoints::kTestPassword);
        profile.folder = s(LabEndpoints::kTestFolder);
    } else {
        profile.kind = SendServerProfile::Kind::Production;
        profile.host = LabConfig::orderFtpHost();
        profile.user = LabConfig::orderFtpUser();
        profile.password = s(LabEndpoints::kProductionPassword);
        profile.folder = s(LabEndpoints::kProductionFolder);
    }
    return profile;
}

QString SendJob::errorMessageForCode(int code) {
    switch (code) {
    case 1:
        return QStringLiteral("未サポートのプロトコル");
    case 2:
        return QStringLiteral("初期化に失敗");
    case 7:
        return QStringLiteral("ホストへの接続に失敗");
    case 8:
        return QStringLiteral("FTP サーバの意味不明な応答");
    case 9:
        return QStringLiteral("FTP アクセスが拒否された");
    case 15:
        return QStringLiteral("FTP ホスト取得不能");
    case 18:
        return QStringLiteral("ファイルの一部分しか転送できなかった");
    case 26:
        return QStringLiteral("ファイルの読み込みエラー");
    case 55:
        return QStringLiteral("ネットワークデータ送信失敗");
    case 56:
        return QStringLiteral("ネットワークデータ受信失敗");
    case 67:
        return QStringLiteral("サーバーへのログインエラー");
    case 901:
        return QStringLiteral("ファイルリネーム失敗");
    case 902:
        return QStringLiteral("リネーム済みファイルが見つからない");
    case 903:
        return QStringLiteral("リネーム確認に失敗");
    default:
        return QString();
    }
}

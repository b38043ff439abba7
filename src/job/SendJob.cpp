#include "job/SendJob.h"

#include "job/ArchiveSend.h"
#include "job/KeptOrders.h"
#include "job/OrderHistory.h"
#include "service/Analyzer.h"
#include "service/LabEndpoints.h"
#include "settings/Log.h"
#include "util/MiravellPath.h"
#include "util/PathUtil.h"
#include "util/ProcessRunner.h"
#include "util/Tool.h"
#include "util/ToolPaths.h"
#include "util/WorkFolder.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>

namespace {

using Ftp = LabFtpExchange;

QString s(const char* text) {
    return QString::fromUtf8(text);
}

QString kErrorTitle() {
    return QStringLiteral("エラーが発生しました");
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
    if (!zipPath) {
        // Records of archives that left the pool some other way; an upload they began at the
        // lab would stay there for good.
        for (const QString& gone :
             PoolArchiveRecord::orphanArchivePaths(WorkFolder::orderZipPoolFolderPath()))
            removeLabLeftover(gone);
        for (const QString& name :
             PoolArchiveRecord::removeOrphans(WorkFolder::orderZipPoolFolderPath()))
            Log::outputLn(QStringLiteral("注文ファイルのない送信の記録を削除 -- %1").arg(name));
    }
    if (count == 0)
        return false;

    // A name the zip stage did not make never reaches the server: it is reported and stays.
    QStringList sendable;
    QStringList refused;
    for (const QString& path : zipPaths) {
        const QString name = QFileInfo(path).fileName();
        if (isOrderArchiveName(name)) {
            sendable.append(path);
            continue;
        }
        refused.append(name);
        Log::outputLn(QStringLiteral("送信できないファイル名のため送信しない -- %1").arg(path));
        OrderHistory::append(OrderHistory::recordForArchive(
            path, OrderHistoryRecord::Outcome::Failed, 0, s("送信できないファイル名")));
    }

    const auto sendCount = sendable.size();
    for (qsizetype k = 1; k <= sendCount; ++k) {
        const QString prefix = QStringLiteral("全%1ファイル中の%2つ目").arg(sendCount).arg(k);
        if (!oneZipSend(sendable.at(k - 1), prefix))
            return false;
    }

    if (!refused.isEmpty()) {
        Tool::alertWithMsg(kErrorTitle(),
                           QStringLiteral("送信できない名前のファイルがあります。\n%1\n"
                                          "送信せずにオーダープールに残しました。")
                               .arg(refused.join(u'\n')));
        return false;
    }

    progressViewUpdateWithMsg(
        QStringLiteral("データを送信しました。完了メールが届いた時点で受付完了となります。"));
    Tool::doneAlertWithMsg(QStringLiteral("データを送信しました"),
                           QStringLiteral("完了メールが届いた時点で受付完了となります。\n"
                                          "メールが届かない場合は当社営業へご連絡下さい。"));
    return true;
}

bool SendJob::oneZipSend(const QString& zipPath, const QString& msg) {
    ArchiveSend a;
    a.zipPath = zipPath;
    a.msg = msg;
    beginSend(a);
    if (proceed(a))
        checkPacked(a);
    if (proceed(a))
        readLabState(a);
    if (proceed(a))
        uploadArchive(a);
    if (proceed(a))
        verifyUpload(a);
    if (proceed(a))
        renameAtLab(a);
    proceed(a);
    a.check.reset();
    if (a.outcome == ArchiveSend::Outcome::Killed) {
        // As if the program died here: what the lab and the pool hold stays as it is.
        progressViewClear();
        removeCancelObserver();
        return false;
    }
    a.postDic.insert(QStringLiteral("JobTime"),
                     QString::number(static_cast<qint64>(a.stopWatch.lap())));
    return a.delivered() ? concludeDelivered(a) : concludeFailed(a);
}

void SendJob::beginSend(ArchiveSend& a) {
    a.stopWatch.start();
    a.zipName = QFileInfo(a.zipPath).fileName();
    a.uploadName = s(LabEndpoints::kUploadPrefix) + a.zipName;
    a.localSize = static_cast<qint64>(orbel::fileSize(a.zipPath));
    a.zipSizeText = Tool::autoDataByteStringWithByte(static_cast<double>(a.localSize));
    a.postDic.insert(QStringLiteral("FileName"), a.zipName);
    a.postDic.insert(QStringLiteral("FileSize"), a.zipSizeText);
    Log::outputLn(QStringLiteral("送信ファイル -- %1").arg(a.zipPath));
    errClear();
    addCancelObserver();
    progressViewInitWithMsg(QStringLiteral("%1 :ファイル送信先へ接続中...").arg(a.msg));

    a.profile = Ftp::serverProfile();
    a.server = Ftp::serverIdentity(a.profile);
    a.lab = std::make_unique<FtpSession>(a.profile);
    if (a.profile.kind == SendServerProfile::Kind::Test)
        Log::outputLn(QStringLiteral("テストモードで送信"));
    if (a.profile.kind == SendServerProfile::Kind::Ftp2)
        a.postDic.insert(QStringLiteral("Send"), s(LabEndpoints::kFtp2SendValue));
    Log::outputLn(QStringLiteral("FTP処理開始（%1）").arg(a.zipSizeText));

    // A name that could carry a second server command is never handed to the server.
    if (std::any_of(a.zipName.cbegin(), a.zipName.cend(),
                    [](QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7f; }))
        a.fail(0, s("送信できないファイル名"));
}

bool SendJob::proceed(ArchiveSend& a) {
    if (a.undecided() && isCancel())
        a.outcome = ArchiveSend::Outcome::Cancel;
    return a.undecided();
}

bool SendJob::killedAt(ArchiveSend& a, JobTestHook::Point point) {
    JobTestHook::reach(point);
    if (!JobTestHook::isKilledAt(point))
        return false;
    a.outcome = ArchiveSend::Outcome::Killed;
    return true;
}

bool SendJob::writeRecord(ArchiveSend& a) {
    if (a.record->write(a.zipPath))
        return true;
    Log::outputLn(QStringLiteral("送信の記録を書き込めない -- %1")
                      .arg(PoolArchiveRecord::recordPathFor(a.zipPath)));
    return false;
}

void SendJob::failReading(ArchiveSend& a) {
    if (proceed(a))
        a.fail(Ftp::kCodeReadError);
}

void SendJob::refuseChanged(ArchiveSend& a) {
    Log::outputLn(QStringLiteral("作成時から内容が変わっているため送信しない -- %1（%2バイト、"
                                 "作成時 %3バイト）")
                      .arg(a.zipName)
                      .arg(a.localSize)
                      .arg(a.record->size));
    a.refused = true;
    a.fail(0, s("作成時から内容が変わっている"),
           QStringLiteral("注文ファイル %1 は作成した時から内容が変わっています"
                          "（壊れたか、別のファイルに置き換えられました）。\n"
                          "送信せずにオーダープールに残しました。"
                          "お手数ですが注文を作り直してください。")
               .arg(a.zipName));
}

bool SendJob::checkNow(ArchiveSend& a) {
    if (!a.checkDeferred)
        return a.undecided();
    a.checkDeferred = false;
    const std::optional<QString> now =
        PoolArchiveRecord::sha256OfFile(a.zipPath, [this] { return isCancel(); });
    if (!now)
        failReading(a);
    else if (*now != a.record->sha256)
        refuseChanged(a);
    return proceed(a);
}

bool SendJob::concludeDelivered(ArchiveSend& a) {
    using Outcome = ArchiveSend::Outcome;
    decideSucsess();
    progressViewClear();
    removeCancelObserver();
    switch (a.outcome) {
    case Outcome::Sent:
        Log::outputLn(QStringLiteral("FTP送信成功"));
        break;
    case Outcome::Duplicate:
        Log::outputLn(
            QStringLiteral("送信先に同じファイルがあるため送信済みとする -- %1").arg(a.zipName));
        a.postDic.insert(QStringLiteral("WarningInfo"), s("送信済み（送信先に同じファイルあり）"));
        break;
    case Outcome::Delivered:
        Log::outputLn(
            QStringLiteral("前回の送信でラボに届いていたため送信済みとする -- %1").arg(a.zipName));
        a.postDic.insert(QStringLiteral("WarningInfo"), s("送信済み（前回のリネームの記録あり）"));
        break;
    default:
        Log::outputLn(QStringLiteral("スタジオの判断で送信済みとする -- %1").arg(a.zipName));
        a.postDic.insert(QStringLiteral("WarningInfo"), s("送信済み（スタジオの判断）"));
        break;
    }
    OrderHistory::append(OrderHistory::recordForArchive(
        a.zipPath,
        a.outcome == Outcome::Duplicate ? OrderHistoryRecord::Outcome::DuplicateSkipped
                                        : OrderHistoryRecord::Outcome::Sent,
        0, a.historyNote));
    // A copy left in the pool would go out again with the next pool send.
    if (!disposeDeliveredArchive(a.zipPath)) {
        Log::outputLn(QStringLiteral("送信済みのファイルを削除できない -- %1").arg(a.zipPath));
        Tool::alertWithMsg(QStringLiteral("送信済みのファイルを削除できませんでした"),
                           QStringLiteral("%1\nはラボに届いています。二重に送信しないよう、"
                                          "このファイルを削除してください。")
                               .arg(a.zipPath));
    }
    Analyzer::analyzerPost(QStringLiteral("FTP"), a.postDic);
    return true;
}

bool SendJob::concludeFailed(ArchiveSend& a) {
    a.postDic.remove(QStringLiteral("WarningInfo"));
    // The lab's temporary file goes unless the next send may continue it, or it is known gone.
    const bool begunBefore = a.record && a.record->upload;
    if (!a.keepForResume && !a.tempGone && (a.uploadTried || (a.refused && begunBefore))) {
        Ftp::deleteRemoteFile(*a.lab, a.uploadName);
        if (a.record && a.record->upload) {
            a.record->upload.reset();
            if (!a.record->write(a.zipPath))
                PoolArchiveRecord::remove(a.zipPath);
        }
    } else if (a.keepForResume && a.uploadTried) {
        Log::outputLn(QStringLiteral("次の送信で続きから送るため送信先の一時ファイルを残す -- %1")
                          .arg(a.uploadName));
    }
    const bool cancelled = a.outcome == ArchiveSend::Outcome::Cancel;
    // The tab stops saying "…接続中…" before the alert tells what happened.
    progressViewClear();
    QString historyText;
    if (cancelled) {
        historyText = QStringLiteral("キャンセルボタンによって処理が中止");
        a.postDic.insert(QStringLiteral("ErrorInfo"), historyText);
        Log::outputLn(QStringLiteral("送信処理がキャンセルされた"));
        Tool::doneAlertWithMsg(QStringLiteral("処理を中止しました"),
                               QStringLiteral("キャンセルボタンによって送信処理が中止されました"));
    } else {
        setErr(true);
        const QString message =
            a.errorMessage.isEmpty() ? Ftp::errorMessageForCode(a.errorCode) : a.errorMessage;
        const QString codedText =
            QStringLiteral("(%1)エラーが発生（%2）").arg(QString::number(a.errorCode), message);
        historyText = a.plainText.isEmpty() ? codedText : a.plainText;
        a.postDic.insert(QStringLiteral("ErrorInfo"), codedText);
        Log::outputLn(QStringLiteral("エラー発生（%1）").arg(message));
        if (!a.studioTold)
            Tool::alertWithMsg(kErrorTitle(), historyText);
    }
    OrderHistory::append(OrderHistory::recordForArchive(
        a.zipPath, OrderHistoryRecord::Outcome::Failed, cancelled ? 0 : a.errorCode, historyText));
    progressViewClear();
    removeCancelObserver();
    Analyzer::analyzerPost(QStringLiteral("FTP-NG"), a.postDic);
    return false;
}

bool SendJob::disposeDeliveredArchive(const QString& zipPath) {
    // Kept for a re-send where the studio keeps sent orders; deleted otherwise.
    if (!KeptOrders::keepDelivered(zipPath) && QFileInfo::exists(zipPath))
        return false;
    PoolArchiveRecord::remove(zipPath);
    return true;
}

void SendJob::removeLabLeftover(const QString& zipPath) {
    const std::optional<PoolArchiveRecord> record = PoolArchiveRecord::read(zipPath);
    if (!record || !record->upload)
        return;
    const SendServerProfile profile = Ftp::serverProfile();
    if (Ftp::serverIdentity(profile) != record->upload->server) {
        Log::outputLn(QStringLiteral("送信先が変わったため一時ファイルを削除できない -- %1（%2）")
                          .arg(record->upload->temporaryName, record->upload->server));
        return;
    }
    FtpSession lab(profile);
    if (Ftp::deleteRemoteFile(lab, record->upload->temporaryName))
        Log::outputLn(QStringLiteral("送信しない注文の一時ファイルを送信先から削除 -- %1")
                          .arg(record->upload->temporaryName));
    else
        Log::outputLn(QStringLiteral("送信しない注文の一時ファイルを送信先から削除できない -- %1")
                          .arg(record->upload->temporaryName));
}

bool SendJob::isOrderArchiveName(const QString& fileName) {
    static const QRegularExpression pattern(
        QRegularExpression::anchoredPattern(QStringLiteral("[0-9]+_[0-9A-F]{12}_[0-9]{7,}\\.zip")));
    return pattern.match(fileName).hasMatch();
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
    options.shouldCancel = Ftp::shortCommandDeadline();
    runProcess(ToolPaths::ftp(), {QStringLiteral("-i"), QStringLiteral("-n")}, options);
}

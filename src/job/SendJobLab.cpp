// The send stage's transitions that weigh evidence: whether the archive is what was packed, what
// the lab and the archive's record say before an upload, and the rename with its proof.
#include "job/ArchiveSend.h"
#include "job/SendJob.h"
#include "job/ZipJob.h"
#include "service/LabEndpoints.h"
#include "settings/Log.h"
#include "util/ProcessRunner.h"
#include "util/Tool.h"
#include "util/ToolPaths.h"

#include <QDateTime>
#include <QFileInfo>
#include <thread>
#include <utility>

namespace {

using Ftp = LabFtpExchange;
using Probe = RemoteFileProbe;

// An archive above this size is hashed while it uploads instead of before: the hash would
// otherwise delay the upload by about a second per 2 GB. A smaller one is refused before a byte
// of it reaches the lab.
constexpr qint64 kCheckBeforeUploadBytes = 16 * 1024 * 1024;

QString s(const char* text) {
    return QString::fromUtf8(text);
}

// The archive opens as a zip and every entry's CRC matches with the order's password.
bool isWholeZip(const QString& path, const std::function<bool()>& shouldStop) {
    ProcessOptions options;
    options.shouldCancel = shouldStop;
    const ProcessResult result = runProcess(
        ToolPaths::unzip(),
        {QStringLiteral("-tqq"), QStringLiteral("-P"), ZipJob::zipPassword(), path}, options);
    return result.succeeded();
}

} // namespace

void SendJob::checkPacked(ArchiveSend& a) {
    const auto shouldStop = [this] { return isCancel(); };
    a.record = PoolArchiveRecord::read(a.zipPath);
    if (a.record) {
        if (a.localSize != a.record->size) {
            refuseChanged(a);
        } else if (a.localSize > kCheckBeforeUploadBytes) {
            a.checkDeferred = true;
        } else if (!a.takeIdentity()) {
            failReading(a);
        } else {
            a.checkDeferred = true;
            checkNow(a);
        }
        return;
    }
    // No record, or one that cannot be read (pooled by an older version, lost in a move, a full
    // disk): nothing says what was packed, so the archive must prove itself a whole order zip.
    if (!a.takeIdentity()) {
        failReading(a);
        return;
    }
    Log::outputLn(QStringLiteral("作成時の記録がないため注文ファイルを確認 -- %1").arg(a.zipName));
    if (!isWholeZip(a.zipPath, shouldStop)) {
        if (!proceed(a))
            return;
        Log::outputLn(
            QStringLiteral("注文ファイルがzipとして読めないため送信しない -- %1").arg(a.zipName));
        a.refused = true;
        a.fail(0, s("注文ファイルが壊れている"),
               QStringLiteral("注文ファイル %1 は、送信の記録がなく、zipファイルとしても正しく読め"
                              "ません（壊れているか、注文ファイルではありません）。\n"
                              "送信せずにオーダープールに残しました。"
                              "お手数ですが注文を作り直してください。")
                   .arg(a.zipName));
        return;
    }
    a.record =
        PoolArchiveRecord::forArchive(a.zipPath, s(PoolArchiveRecord::kHashBeforeSend), shouldStop);
    if (!a.record) {
        failReading(a);
        return;
    }
    Log::outputLn(QStringLiteral("作成時の記録がないため送信前のハッシュを記録 -- %1（SHA-256 %2）")
                      .arg(a.zipName, a.record->sha256));
    writeRecord(a);
}

void SendJob::readLabState(ArchiveSend& a) {
    const std::optional<RenameIntent>& intent = a.record->rename;
    const bool ours = intent && intent->server == a.server && intent->finalName == a.zipName &&
                      intent->sha256 == a.record->sha256;
    if (ours && intent->confirmed) {
        // An earlier run proved its rename and was stopped before the archive left the pool.
        a.historyNote = s("前回の送信でラボに届いていたことを確認（リネーム確認済みの記録）");
        a.outcome = ArchiveSend::Outcome::Delivered;
        return;
    }
    // The temporary name's size matters only to an earlier run's upload or rename; otherwise
    // the listing alone says whether it is there.
    QStringList sized{a.zipName};
    if (a.record->upload || intent)
        sized.append(a.uploadName);
    const RemoteNames names = Ftp::surveyRemoteNames(*a.lab, sized);
    const Probe final = names.where(a.zipName);
    a.tempAtLab = names.where(a.uploadName);
    if (final.state == Probe::State::Unknown)
        a.fail(final.code);
    else if (final.state == Probe::State::Present)
        compareFinalName(a, final);
    else if (ours)
        resolveRenameIntent(a, a.tempAtLab);
}

void SendJob::resolveRenameIntent(ArchiveSend& a, const RemoteFileProbe& temp) {
    if (temp.state == Probe::State::Present) {
        // The temporary name is still there: the recorded rename never happened. The intent
        // goes now, so that no later failure leaves it standing for a file that is not there.
        Log::outputLn(
            QStringLiteral("前回のリネームは行われていないため送信しなおす -- %1").arg(a.zipName));
        a.record->rename.reset();
        if (!writeRecord(a))
            a.fail(0, s("送信の記録を書き込めない"));
    } else if (temp.state == Probe::State::Unknown) {
        a.fail(temp.code); // neither proof nor disproof: better wait than deliver twice
    } else {
        askStudioAmbiguous(a);
    }
}

void SendJob::askStudioAmbiguous(ArchiveSend& a) {
    Log::outputLn(QStringLiteral("ラボへの到着を確認できない -- %1（前回のリネームの結果が不明で、"
                                 "送信先に一時ファイルも注文ファイルもない）")
                      .arg(a.zipName));
    const int choice = Tool::alertThreeButtonWithMsg(
        QStringLiteral("ラボに届いたか確認できない注文があります"),
        QStringLiteral(
            "注文ファイル %1 は、前回の送信の最後の手順（ラボでの名前の変更）の途中で送信が"
            "止まり、届いたかどうかを確かめられませんでした。いまラボには、この注文の"
            "ファイルが見当たりません。ラボがすでに受け取った可能性と、届いていない可能性が"
            "あります。\n\n"
            "当社営業に、この注文（%1）が届いているかをお問い合わせください。\n"
            "・届いている：「送信済みにする」（注文ファイルはオーダープールから消えます）\n"
            "・届いていない：「もう一度送信する」\n"
            "・まだわからない：「オーダープールに残す」（次の送信でもう一度お尋ねします）")
            .arg(a.zipName),
        QStringLiteral("オーダープールに残す"), QStringLiteral("もう一度送信する"),
        QStringLiteral("送信済みにする"), 1);
    a.studioTold = true;
    if (choice == 2) {
        Log::outputLn(QStringLiteral("スタジオの判断でもう一度送信 -- %1").arg(a.zipName));
        a.historyNote = s("ラボへの到着を確認できず、スタジオの判断でもう一度送信");
        a.record->rename.reset();
        if (!writeRecord(a))
            a.fail(0, s("送信の記録を書き込めない"));
    } else if (choice == 3) {
        a.historyNote = s("ラボへの到着を確認できず、スタジオの判断で送信済みとした");
        a.outcome = ArchiveSend::Outcome::MarkedDelivered;
    } else {
        Log::outputLn(QStringLiteral("スタジオの判断でオーダープールに残す -- %1").arg(a.zipName));
        a.fail(0, s("ラボへの到着を確認できない"),
               QStringLiteral("ラボへの到着を確認できないため、スタジオの判断でオーダープールに"
                              "残した（%1）")
                   .arg(a.zipName));
    }
}

void SendJob::compareFinalName(ArchiveSend& a, const RemoteFileProbe& final) {
    bool same = false;
    if (final.size < 0 || final.size == a.localSize) {
        progressViewInitWithMsg(
            QStringLiteral("%1 :送信先にある同じ名前のファイルを確認中...").arg(a.msg));
        const RemoteHashResult remote =
            Ftp::remoteFileSha256(*a.lab, a.zipName, [this] { return isCancel(); });
        if (remote.cancelled || !proceed(a))
            return;
        if (!remote.sha256) {
            Log::outputLn(QStringLiteral("送信先の同じ名前のファイルを確認できない -- %1（%2）")
                              .arg(a.zipName)
                              .arg(remote.code));
            a.fail(remote.code, s("送信先の同じ名前のファイルを確認できない"),
                   QStringLiteral("ラボに同じ名前のファイル（%1）がありますが、内容を確認"
                                  "できませんでした。\n注文は送信せずにオーダープールに"
                                  "残しました。しばらくしてからもう一度送信してください。")
                       .arg(a.zipName));
            return;
        }
        same = *remote.sha256 == a.record->sha256;
        Log::outputLn(QStringLiteral("送信先の同じ名前のファイルを確認（%1）-- %2：%3")
                          .arg(remote.method, a.zipName,
                               same ? QStringLiteral("同じ内容") : QStringLiteral("別の内容")));
    }
    if (same && checkNow(a)) {
        a.outcome = ArchiveSend::Outcome::Duplicate;
    } else if (proceed(a)) {
        // Another order under the same name: replacing it would lose that one.
        Log::outputLn(QStringLiteral("送信先に同じ名前の別のファイルがある -- %1").arg(a.zipName));
        a.fail(0, s("送信先に同じ名前の別のファイルがある"),
               QStringLiteral("ラボに同じ名前の別のファイルがあります（%1）。\n"
                              "上書きしないよう、この注文は送信せずにオーダープールに残しました。\n"
                              "当社営業へご連絡ください。")
                   .arg(a.zipName));
    }
}

void SendJob::renameAtLab(ArchiveSend& a) {
    // What is about to happen at the lab, on disk before it happens: a run killed between the
    // rename and the local delete must not make the next send deliver it again.
    a.record->rename = RenameIntent{a.uploadName, a.zipName,        a.server,
                                    a.localSize,  a.record->sha256, QDateTime::currentDateTime(),
                                    false};
    const std::optional<UploadIntent> upload = std::exchange(a.record->upload, std::nullopt);
    if (!writeRecord(a)) {
        a.record->rename.reset();
        a.record->upload = upload;
        a.fail(0, s("送信の記録を書き込めない"),
               QStringLiteral("オーダープールに送信の記録を書き込めませんでした。\n"
                              "ディスクの空きと作業フォルダを確認してから、"
                              "もう一度送信してください。"));
        return;
    }
    if (killedAt(a, JobTestHook::Point::RenameIntentWritten))
        return;
    // Confirmed: the final name is listed, or the server answered the rename and the temporary
    // name is gone (or the folder cannot be listed: then the server's answer is the evidence).
    int code = 0;
    for (int attempt = 0; attempt < LabEndpoints::kRenameAttempts; ++attempt) {
        const RenameReply reply = Ftp::renameAndList(*a.lab, a.uploadName, a.zipName, a.localSize);
        if (killedAt(a, JobTestHook::Point::AfterRename))
            return;
        // The final name holding the archive's size right after an accepted rename is proof
        // enough; otherwise the listing decides.
        const bool finalListed = (reply.listing && reply.listing->contains(a.zipName)) ||
                                 (reply.renamed && reply.finalSize == a.localSize);
        const bool tempListed = reply.listing && reply.listing->contains(a.uploadName);
        if (finalListed || (reply.renamed && !tempListed)) {
            a.record->rename->confirmed = true;
            writeRecord(a);
            if (killedAt(a, JobTestHook::Point::RenameConfirmed))
                return;
            a.outcome = ArchiveSend::Outcome::Sent;
            decideSucsess();
            return;
        }
        code = !reply.listing ? Ftp::kCodeListingFailed
               : tempListed   ? Ftp::kCodeRenameFailed
                              : Ftp::kCodeRenamedNotFound;
        if (isCancel())
            break;
        a.postDic.insert(QStringLiteral("WarningInfo"),
                         QStringLiteral("Rename retry %1　: err(%2)").arg(attempt).arg(code));
        if (attempt + 1 < LabEndpoints::kRenameAttempts)
            std::this_thread::sleep_for(JobTestHook::renameRetryPause());
    }
    settleUnconfirmedRename(a, code);
}

void SendJob::settleUnconfirmedRename(ArchiveSend& a, int code) {
    a.postDic.remove(QStringLiteral("WarningInfo"));
    // The intent goes only on proof that the rename did not happen: the temporary name still
    // listed, or its deletion accepted now. Otherwise the next send decides from the lab.
    bool notRenamed = code == Ftp::kCodeRenameFailed;
    if (!notRenamed && Ftp::deleteRemoteFile(*a.lab, a.uploadName)) {
        notRenamed = true;
        a.tempGone = true;
    }
    if (notRenamed) {
        a.record->rename.reset();
        if (!a.record->write(a.zipPath))
            PoolArchiveRecord::remove(a.zipPath);
    } else {
        Log::outputLn(
            QStringLiteral("リネームが行われたか確認できないため記録を残す -- %1").arg(a.zipName));
        a.tempGone = true; // the temporary name is not there to delete
    }
    if (isCancel())
        a.outcome = ArchiveSend::Outcome::Cancel;
    else
        a.fail(code);
}

#include "job/SendJob.h"

#include "job/JobTestHook.h"
#include "job/LabFtpExchange.h"
#include "job/OrderHistory.h"
#include "job/PoolArchiveCheck.h"
#include "job/PoolArchiveRecord.h"
#include "job/SendJobProgressReader.h"
#include "job/StopWatch.h"
#include "service/Analyzer.h"
#include "service/LabEndpoints.h"
#include "settings/Log.h"
#include "util/CurlAccount.h"
#include "util/FileIdentity.h"
#include "util/MiravellPath.h"
#include "util/PathUtil.h"
#include "util/ProcessRunner.h"
#include "util/Tool.h"
#include "util/ToolPaths.h"
#include "util/WorkFolder.h"

#include <QDateTime>
#include <QFileInfo>
#include <QRegularExpression>
#include <QVariantMap>
#include <algorithm>
#include <array>
#include <chrono>
#include <thread>
#include <utility>

namespace {

using Ftp = LabFtpExchange;

// A broken upload is tried again this often, after 5, 15 and 45 pause units (seconds).
constexpr int kUploadRetries = 3;
constexpr std::array<int, kUploadRetries> kUploadRetryFactors{5, 15, 45};

// The line broke: lost connection, time-out, a partial transfer. On a retry a lab not reachable
// yet (a router or the server restarting) counts too.
bool isBrokenLineCode(int code, bool retrying) {
    return code == Ftp::kCodePartialFile || code == Ftp::kCodeTimedOut ||
           code == Ftp::kCodeSendError || code == Ftp::kCodeRecvError ||
           (retrying && code == Ftp::kCodeCouldNotConnect);
}

// An archive above this size is hashed while it uploads instead of before: the hash would
// otherwise delay the upload by about a second per 2 GB. A smaller one is refused before a byte
// of it reaches the lab.
constexpr qint64 kCheckBeforeUploadBytes = 16 * 1024 * 1024;
// At most this long the send waits for an archive written a moment ago, so that any later
// change shows in its change time.
constexpr std::chrono::milliseconds kSettleWait{100};

// The progress bar and its text move on after this many more bytes sent.
constexpr double kProgressStepBytes = 200000;

QString s(const char* text) {
    return QString::fromUtf8(text);
}

QString wholeSeconds(double seconds) {
    return QString::number(static_cast<qint64>(seconds));
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
        // Records of archives that left the pool some other way.
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
    StopWatch stopWatch;
    stopWatch.start();
    const QString zipName = QFileInfo(zipPath).fileName();
    const QString uploadName = s(LabEndpoints::kUploadPrefix) + zipName;
    const qint64 localSize = static_cast<qint64>(orbel::fileSize(zipPath));
    const double zipSize = static_cast<double>(localSize);
    const QString zipSizeText = Tool::autoDataByteStringWithByte(zipSize);

    QVariantMap postDic;
    postDic.insert(QStringLiteral("FileName"), zipName);
    postDic.insert(QStringLiteral("FileSize"), zipSizeText);
    Log::outputLn(QStringLiteral("送信ファイル -- %1").arg(zipPath));
    errClear();
    addCancelObserver();
    progressViewInitWithMsg(QStringLiteral("%1 :ファイル送信先へ接続中...").arg(msg));

    const SendServerProfile profile = Ftp::serverProfile();
    if (profile.kind == SendServerProfile::Kind::Test)
        Log::outputLn(QStringLiteral("テストモードで送信"));
    if (profile.kind == SendServerProfile::Kind::Ftp2)
        postDic.insert(QStringLiteral("Send"), s(LabEndpoints::kFtp2SendValue));

    Log::outputLn(QStringLiteral("FTP処理開始（%1）").arg(zipSizeText));

    // The outcome is decided once; everything after follows it. Delivered: an earlier run's
    // rename of these bytes is recorded and the lab has since taken the file away.
    enum class Outcome { Undecided, Sent, Duplicate, Delivered, Error, Cancel };
    Outcome outcome = Outcome::Undecided;
    int errorCode = 0;
    QString errorMessage; // for errors without a code of their own
    QString plainText;    // what the studio reads instead of the coded error text
    const auto fail = [&](int code, const QString& message = QString(),
                          const QString& plain = QString()) {
        outcome = Outcome::Error;
        errorCode = code;
        errorMessage = message;
        plainText = plain;
        setErr(true);
    };
    const auto cancelled = [&] {
        if (outcome == Outcome::Undecided && isCancel())
            outcome = Outcome::Cancel;
        return outcome == Outcome::Cancel;
    };
    const auto undecided = [&] { return outcome == Outcome::Undecided && !cancelled(); };
    const auto shouldStop = [this] { return isCancel(); };
    const auto failReading = [&] {
        if (!cancelled())
            fail(Ftp::kCodeReadError);
    };

    // A name that could carry a second server command is never handed to the server.
    if (std::any_of(zipName.cbegin(), zipName.cend(),
                    [](QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7f; }))
        fail(0, s("送信できないファイル名"));

    // The archive must be the one that was packed: a damaged or replaced file is not an order.
    // A large archive is hashed while it uploads, and the rename waits for that check. Its
    // identity (stat), taken before anything reads it for this send and again after the upload,
    // proves that curl read the bytes the check read.
    std::optional<PoolArchiveRecord> record;
    std::optional<orbel::SettledFileIdentity> before;
    const auto takeIdentity = [&] {
        before = orbel::settledFileIdentity(zipPath, kSettleWait);
        return before.has_value();
    };
    const auto refuseChanged = [&] {
        Log::outputLn(QStringLiteral("作成時から内容が変わっているため送信しない -- %1（%2バイト、"
                                     "作成時 %3バイト）")
                          .arg(zipName)
                          .arg(localSize)
                          .arg(record->size));
        fail(0, s("作成時から内容が変わっている"),
             QStringLiteral("注文ファイル %1 は作成した時から内容が変わっています"
                            "（壊れたか、別のファイルに置き換えられました）。\n"
                            "送信せずにオーダープールに残しました。"
                            "お手数ですが注文を作り直してください。")
                 .arg(zipName));
    };
    bool checkDeferred = false; // to be hashed beside the upload
    // The deferred check done at once, before an outcome without an upload: false when refused.
    const auto checkNow = [&] {
        if (!checkDeferred)
            return true;
        checkDeferred = false;
        const std::optional<QString> now = PoolArchiveRecord::sha256OfFile(zipPath, shouldStop);
        if (!now)
            failReading();
        else if (*now != record->sha256)
            refuseChanged();
        return undecided();
    };
    if (undecided()) {
        record = PoolArchiveRecord::read(zipPath);
        if (!record) {
            // Pooled by an older version: what it holds now stands for what was packed.
            if (takeIdentity())
                record = PoolArchiveRecord::forArchive(
                    zipPath, s(PoolArchiveRecord::kHashBeforeSend), shouldStop);
            if (!record) {
                failReading();
            } else {
                Log::outputLn(QStringLiteral("作成時の記録がないため送信前のハッシュを記録 -- "
                                             "%1（SHA-256 %2）")
                                  .arg(zipName, record->sha256));
                if (!record->write(zipPath))
                    Log::outputLn(QStringLiteral("送信の記録を書き込めない -- %1")
                                      .arg(PoolArchiveRecord::recordPathFor(zipPath)));
            }
        } else if (localSize != record->size) {
            refuseChanged();
        } else if (localSize > kCheckBeforeUploadBytes) {
            checkDeferred = true;
        } else if (!takeIdentity()) {
            failReading();
        } else {
            checkDeferred = true;
            checkNow();
        }
    }

    // What the lab holds already. Only proof that it holds these bytes counts: the same content
    // under the final name, or this program's own recorded rename when neither name is left.
    const QString server = Ftp::serverIdentity(profile);
    const bool renameRecorded = record && record->rename && record->rename->server == server &&
                                record->rename->finalName == zipName &&
                                record->rename->sha256 == record->sha256;
    if (undecided()) {
        RemoteFileProbe there = Ftp::probeRemoteFile(profile, zipName);
        if (there.state == RemoteFileProbe::State::Unknown && there.code == 0) {
            // A server that answers SIZE with nothing: its listing decides whether the name is
            // taken.
            const std::optional<QStringList> listing = Ftp::listRemoteFolder(profile);
            if (listing)
                there.state = listing->contains(zipName) ? RemoteFileProbe::State::Present
                                                         : RemoteFileProbe::State::Absent;
            else
                there.code = Ftp::kCodeListingFailed;
        }
        const QString collisionText =
            QStringLiteral("ラボに同じ名前の別のファイルがあります（%1）。\n"
                           "上書きしないよう、この注文は送信せずにオーダープールに残しました。\n"
                           "当社営業へご連絡ください。")
                .arg(zipName);
        if (there.state == RemoteFileProbe::State::Unknown) {
            fail(there.code);
        } else if (there.state == RemoteFileProbe::State::Present) {
            bool same = false;
            if (there.size < 0 || there.size == localSize) {
                progressViewInitWithMsg(
                    QStringLiteral("%1 :送信先にある同じ名前のファイルを確認中...").arg(msg));
                const RemoteHashResult remote = Ftp::remoteFileSha256(profile, zipName, shouldStop);
                if (remote.cancelled || cancelled()) {
                    cancelled();
                } else if (!remote.sha256) {
                    Log::outputLn(
                        QStringLiteral("送信先の同じ名前のファイルを確認できない -- %1（%2）")
                            .arg(zipName)
                            .arg(remote.code));
                    fail(remote.code, s("送信先の同じ名前のファイルを確認できない"),
                         QStringLiteral("ラボに同じ名前のファイル（%1）がありますが、内容を確認"
                                        "できませんでした。\n注文は送信せずにオーダープールに"
                                        "残しました。しばらくしてからもう一度送信してください。")
                             .arg(zipName));
                } else {
                    same = *remote.sha256 == record->sha256;
                    Log::outputLn(
                        QStringLiteral("送信先の同じ名前のファイルを確認（%1）-- %2：%3")
                            .arg(remote.method, zipName,
                                 same ? QStringLiteral("同じ内容") : QStringLiteral("別の内容")));
                }
            }
            if (same && checkNow()) {
                outcome = Outcome::Duplicate;
                decideSucsess();
            } else if (undecided()) {
                // Another order under the same name: replacing it would lose that one.
                Log::outputLn(
                    QStringLiteral("送信先に同じ名前の別のファイルがある -- %1").arg(zipName));
                fail(0, s("送信先に同じ名前の別のファイルがある"), collisionText);
            }
        } else if (renameRecorded) {
            // Killed after an earlier rename? Then the lab has the order and may have taken it
            // away already; sending again would deliver it twice.
            const std::optional<QStringList> listing = Ftp::listRemoteFolder(profile);
            const RemoteFileProbe temp = Ftp::probeRemoteFile(profile, uploadName);
            if (listing && !listing->contains(zipName) && !listing->contains(uploadName) &&
                temp.state == RemoteFileProbe::State::Absent) {
                if (checkNow()) {
                    outcome = Outcome::Delivered;
                    decideSucsess();
                }
            } else if (temp.state == RemoteFileProbe::State::Present) {
                Log::outputLn(QStringLiteral("前回のリネームは行われていないため送信しなおす -- %1")
                                  .arg(zipName));
            } else {
                // Neither proof nor disproof: better wait than deliver twice.
                fail(listing && temp.code != 0 ? temp.code : Ftp::kCodeListingFailed);
            }
        }
    }

    // The upload, continued where an earlier try or run left the temporary file when that file
    // is provably this archive's, and tried again on a broken line. Progress comes from curl's
    // own meter on standard error, read while it runs.
    bool uploadTried = false;
    bool keepForResume = false; // the temporary file stays at the lab for the next send
    std::optional<PoolArchiveCheck> check;
    if (undecided() && checkDeferred) {
        if (takeIdentity())
            check.emplace(zipPath, record->sha256);
        else
            failReading();
    }
    // The check refused the archive: the upload stops, its temporary file goes.
    const auto checkFailed = [&] { return check && check->failed(); };
    if (undecided()) {
        uploadTried = true;
        const QDateTime localModified = QFileInfo(zipPath).lastModified();
        const UploadIntent intent{uploadName, server, localSize, localModified, record->sha256};
        const bool resumable = record->upload && *record->upload == intent;
        if (record->upload && !resumable)
            Log::outputLn(QStringLiteral("前回の送信の途中から続けられないため最初から送信 -- %1")
                              .arg(zipName));
        if (!resumable) {
            record->upload = intent;
            if (!record->write(zipPath))
                Log::outputLn(QStringLiteral("送信の記録を書き込めない -- %1")
                                  .arg(PoolArchiveRecord::recordPathFor(zipPath)));
        }
        bool mayContinue = resumable; // false: the lab's file is not known to be this archive's
        bool firstProgress = true;
        bool first200kb = false;
        bool lineBroke = false; // a part of this archive reached the lab before a break
        for (int retry = 0;; ++retry) {
            const qint64 offset = mayContinue ? Ftp::resumeOffset(profile, uploadName, zipPath) : 0;
            mayContinue = true; // from here on the lab's temporary file is this run's own
            if (offset > 0)
                Log::outputLn(
                    QStringLiteral("送信先の一時ファイルの続きから送信 -- %1（%2 / %3バイト）")
                        .arg(uploadName)
                        .arg(offset)
                        .arg(localSize));
            const double remaining = std::max(1.0, zipSize - static_cast<double>(offset));
            SendJobProgressReader meter(remaining);
            bool transferring = false;
            bool barReady = false;
            double shownBytes = 0;
            ProcessOptions options = Ftp::curlOptions(profile);
            options.workingDirectory = QStringLiteral("~");
            options.shouldCancel = [this, &checkFailed] {
                return isCancel() || checkFailed() ||
                       JobTestHook::isKilledAt(JobTestHook::Point::UploadStarted);
            };
            options.onStderr = [&](const QByteArray& chunk) {
                if (!meter.feed(chunk))
                    return;
                if (!transferring) {
                    transferring = true;
                    progressViewInitWithMsg(
                        QStringLiteral("%1 : 送信中(%2) しばらくお待ちください...")
                            .arg(msg, zipSizeText));
                    if (firstProgress)
                        JobTestHook::reach(JobTestHook::Point::UploadStarted);
                    firstProgress = false;
                }
                const double sent = static_cast<double>(offset) + meter.bytesSent();
                shownBytes = std::min(shownBytes, sent);
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
                    std::min(100.0, sent * 100.0 / std::max(1.0, zipSize)),
                    QStringLiteral("%1 : %2 / %3  送信中")
                        .arg(msg, Tool::autoDataByteStringWithByte(sent), zipSizeText));
                shownBytes = sent;
            };
            QStringList uploadArgs{QStringLiteral("--progress-bar"), QStringLiteral("-T"), zipPath};
            // "-C": curl skips that much of the archive and appends the rest (APPE).
            if (offset > 0)
                uploadArgs << QStringLiteral("-C") << QString::number(offset);
            uploadArgs += orbel::curlAccountArgs();
            uploadArgs << Ftp::remoteUrl(profile, uploadName) << QStringLiteral("-m")
                       << s(LabEndpoints::kCurlMaxSeconds);
            const ProcessResult upload = runProcess(ToolPaths::curl(), uploadArgs, options);
            if (JobTestHook::isKilledAt(JobTestHook::Point::UploadStarted)) {
                // As if the program died here: what the lab and the pool hold stays as it is.
                progressViewClear();
                removeCancelObserver();
                return false;
            }
            if (checkFailed())
                break;

            // An exit status above 0 is curl's error code; a curl killed by a signal keeps -1.
            int code = 0;
            if (!upload.started)
                code = Ftp::kCodeNotStarted;
            else if (upload.cancelled)
                code = -1;
            else if (upload.crashed || upload.exitStatus > 0)
                code = upload.exitStatus;
            if (code == 0)
                break;
            if (code == -1 || cancelled()) {
                cancelled();
                keepForResume = true;
                break;
            }
            // A line that broke (or is not back yet) is tried again; a refused login, a missing
            // folder or a refused file is not.
            if (!isBrokenLineCode(code, retry > 0) || retry >= kUploadRetries) {
                fail(code);
                keepForResume = lineBroke || isBrokenLineCode(code, true);
                break;
            }
            lineBroke = true;
            const auto pause = JobTestHook::renameRetryPause() * kUploadRetryFactors[retry];
            Log::outputLn(
                QStringLiteral("転送が途切れたため再送信を待つ -- %1（%2回目、%3ミリ秒、%4）")
                    .arg(zipName)
                    .arg(retry + 1)
                    .arg(pause.count())
                    .arg(code));
            progressViewInitWithMsg(
                QStringLiteral("再送信を待っています（%1回目）").arg(retry + 1));
            JobTestHook::reach(JobTestHook::Point::RetryPause);
            const auto until = std::chrono::steady_clock::now() + pause;
            while (std::chrono::steady_clock::now() < until && !isCancel() && !checkFailed())
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            if (cancelled()) {
                keepForResume = true;
                break;
            }
            if (checkFailed())
                break;
        }
    }

    // The check beside the upload: the archive read whole and the packed bytes.
    if (check) {
        if (undecided()) {
            switch (check->wait(shouldStop)) {
            case PoolArchiveCheck::Result::Changed:
                refuseChanged();
                break;
            case PoolArchiveCheck::Result::Unreadable:
            case PoolArchiveCheck::Result::Stopped:
                failReading();
                break;
            default:
                break;
            }
        }
        check.reset();
    }

    // What arrived must be all of it: a server that stored less and said nothing is caught here.
    if (undecided()) {
        const RemoteFileProbe arrived = Ftp::probeRemoteFile(profile, uploadName);
        if (arrived.state == RemoteFileProbe::State::Present && arrived.size != localSize) {
            Log::outputLn(QStringLiteral("送信先のファイルサイズが違う（%1 / %2）")
                              .arg(arrived.size)
                              .arg(localSize));
            fail(Ftp::kCodePartialFile);
        }
    }

    // And curl must have read what the check read: a file changed while curl read it may have
    // reached the lab half old, half new. Any write or replacement changes the identity.
    if (undecided()) {
        const std::optional<orbel::FileIdentity> after = orbel::FileIdentity::of(zipPath);
        bool unchanged = before && after && *after == before->identity;
        if (unchanged && !before->changesShow) {
            // Written a moment before on a filesystem that keeps whole seconds: a change during
            // the upload may have kept the same stamps, so only the bytes themselves tell.
            const std::optional<QString> now = PoolArchiveRecord::sha256OfFile(zipPath, shouldStop);
            if (!now)
                failReading();
            unchanged = now && *now == record->sha256;
        }
        if (undecided() && !unchanged) {
            Log::outputLn(
                QStringLiteral("送信中に内容が変わったため送信を取り消す -- %1").arg(zipName));
            fail(0, s("送信中に内容が変わった"),
                 QStringLiteral("注文ファイル %1 の内容が送信中に変わりました。\n"
                                "ラボに正しく届いたとは言えないため送信を取り消し、"
                                "オーダープールに残しました。")
                     .arg(zipName));
        }
    }

    // What is about to happen at the lab, written where the next run reads it: a kill between
    // the rename and the local delete must not make the next pool send deliver it again.
    bool intentWritten = false;
    if (undecided()) {
        record->rename = RenameIntent{uploadName, zipName,        server,
                                      localSize,  record->sha256, QDateTime::currentDateTime(),
                                      false};
        const std::optional<UploadIntent> upload = std::exchange(record->upload, std::nullopt);
        intentWritten = record->write(zipPath);
        if (!intentWritten)
            record->upload = upload;
        if (!intentWritten) {
            record->rename.reset();
            Log::outputLn(QStringLiteral("送信の記録を書き込めない -- %1")
                              .arg(PoolArchiveRecord::recordPathFor(zipPath)));
            fail(0, s("送信の記録を書き込めない"),
                 QStringLiteral("オーダープールに送信の記録を書き込めませんでした。\n"
                                "ディスクの空きと作業フォルダを確認してから、"
                                "もう一度送信してください。"));
        }
    }

    // Rename to the final name and confirm it. Confirmed: the final name is listed, or the server
    // accepted the rename and the temporary name is gone (or the folder cannot be listed: then the
    // server's answer is all the evidence there is, and it suffices).
    if (undecided()) {
        int checkCode = 0;
        for (int attempt = 0; attempt < LabEndpoints::kRenameAttempts; ++attempt) {
            const bool renamed = Ftp::renameRemoteFile(profile, uploadName, zipName);
            JobTestHook::reach(JobTestHook::Point::AfterRename);
            if (JobTestHook::isKilledAt(JobTestHook::Point::AfterRename)) {
                // As if the program died here: nothing more reaches the disk or the lab.
                progressViewClear();
                removeCancelObserver();
                return false;
            }
            const std::optional<QStringList> listing = Ftp::listRemoteFolder(profile);
            const bool finalListed = listing && listing->contains(zipName);
            const bool tempListed = listing && listing->contains(uploadName);
            if (finalListed || (renamed && !tempListed)) {
                outcome = Outcome::Sent;
                decideSucsess();
                break;
            }
            if (!listing)
                checkCode = Ftp::kCodeListingFailed;
            else if (tempListed)
                checkCode = Ftp::kCodeRenameFailed;
            else
                checkCode = Ftp::kCodeRenamedNotFound;
            if (cancelled())
                break;
            postDic.insert(
                QStringLiteral("WarningInfo"),
                QStringLiteral("Rename retry %1　: err(%2)").arg(attempt).arg(checkCode));
            if (attempt + 1 < LabEndpoints::kRenameAttempts)
                std::this_thread::sleep_for(JobTestHook::renameRetryPause());
        }
        if (outcome == Outcome::Undecided) {
            postDic.remove(QStringLiteral("WarningInfo"));
            fail(checkCode);
        }
    }

    postDic.insert(QStringLiteral("JobTime"), wholeSeconds(stopWatch.lap()));

    if (outcome == Outcome::Error || outcome == Outcome::Cancel) {
        postDic.remove(QStringLiteral("WarningInfo"));
        if (uploadTried && !keepForResume) {
            Ftp::deleteRemoteFile(profile, uploadName);
            if (record && record->upload) {
                record->upload.reset();
                if (!record->write(zipPath))
                    PoolArchiveRecord::remove(zipPath);
            }
        } else if (keepForResume) {
            Log::outputLn(
                QStringLiteral("次の送信で続きから送るため送信先の一時ファイルを残す -- %1")
                    .arg(uploadName));
        }
        if (intentWritten) {
            // The rename was not seen and the temporary file is removed: no longer "perhaps at
            // the lab". A record that cannot be rewritten goes whole (the next send hashes again).
            record->rename.reset();
            if (!record->write(zipPath))
                PoolArchiveRecord::remove(zipPath);
        }
        QString historyText;
        // The tab stops saying "…接続中…" before the alert tells what happened.
        progressViewClear();
        if (outcome == Outcome::Cancel) {
            historyText = QStringLiteral("キャンセルボタンによって処理が中止");
            postDic.insert(QStringLiteral("ErrorInfo"), historyText);
            Log::outputLn(QStringLiteral("送信処理がキャンセルされた"));
            Tool::doneAlertWithMsg(
                QStringLiteral("処理を中止しました"),
                QStringLiteral("キャンセルボタンによって送信処理が中止されました"));
        } else {
            const QString message =
                errorMessage.isEmpty() ? Ftp::errorMessageForCode(errorCode) : errorMessage;
            const QString codedText =
                QStringLiteral("(%1)エラーが発生（%2）").arg(QString::number(errorCode), message);
            historyText = plainText.isEmpty() ? codedText : plainText;
            postDic.insert(QStringLiteral("ErrorInfo"), codedText);
            Log::outputLn(QStringLiteral("エラー発生（%1）").arg(message));
            Tool::alertWithMsg(kErrorTitle(), historyText);
        }
        OrderHistory::append(OrderHistory::recordForArchive(
            zipPath, OrderHistoryRecord::Outcome::Failed,
            outcome == Outcome::Cancel ? 0 : errorCode, historyText));
    }

    progressViewClear();
    removeCancelObserver();

    if (outcome == Outcome::Sent || outcome == Outcome::Duplicate ||
        outcome == Outcome::Delivered) {
        QString historyNote;
        if (outcome == Outcome::Sent) {
            Log::outputLn(QStringLiteral("FTP送信成功"));
            // Kept should the archive refuse to go: the next send then knows it was delivered.
            record->rename->confirmed = true;
            record->write(zipPath);
        } else if (outcome == Outcome::Duplicate) {
            Log::outputLn(
                QStringLiteral("送信先に同じファイルがあるため送信済みとする -- %1").arg(zipName));
            postDic.insert(QStringLiteral("WarningInfo"),
                           s("送信済み（送信先に同じファイルあり）"));
        } else {
            Log::outputLn(QStringLiteral("前回の送信でラボに届いていたため送信済みとする -- %1")
                              .arg(zipName));
            historyNote = s("前回の送信でラボに届いていたことを確認（リネームの記録あり）");
            postDic.insert(QStringLiteral("WarningInfo"),
                           s("送信済み（前回のリネームの記録あり）"));
        }
        OrderHistory::append(OrderHistory::recordForArchive(
            zipPath,
            outcome == Outcome::Duplicate ? OrderHistoryRecord::Outcome::DuplicateSkipped
                                          : OrderHistoryRecord::Outcome::Sent,
            0, historyNote));
        // A copy left in the pool would go out again with the next pool send.
        if (!orbel::limitDeleteFileOrFolder(zipPath) && QFileInfo::exists(zipPath)) {
            Log::outputLn(QStringLiteral("送信済みのファイルを削除できない -- %1").arg(zipPath));
            Tool::alertWithMsg(
                QStringLiteral("送信済みのファイルを削除できませんでした"),
                QStringLiteral("%1\nはラボに届いています。二重に送信しないよう、このファイルを"
                               "削除してください。")
                    .arg(zipPath));
        } else {
            PoolArchiveRecord::remove(zipPath);
        }
        Analyzer::analyzerPost(QStringLiteral("FTP"), postDic);
        return true;
    }
    Analyzer::analyzerPost(QStringLiteral("FTP-NG"), postDic);
    return false;
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

// The send stage's upload: under the temporary name, continued where the lab's temporary file is
// provably this archive's and nobody writes it any more, tried again on a broken line, and
// verified at the lab before anything is renamed.
#include "job/ArchiveSend.h"
#include "job/SendJob.h"
#include "service/LabEndpoints.h"
#include "settings/Log.h"
#include "util/Tool.h"

#include <QFileInfo>
#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <thread>

namespace {

using Ftp = LabFtpExchange;
using Probe = RemoteFileProbe;

// A broken upload is tried again this often, after 5, 15 and 45 pause units (seconds).
constexpr int kUploadRetries = 3;
constexpr std::array<int, kUploadRetries> kUploadRetryFactors{5, 15, 45};

// What runUpload answers besides the FTP exchange's own codes.
constexpr int kUploadCancelled = -1; // stopped on request (cancel, a refused check, a kill point)

// The progress bar and its text move on after this many more bytes sent.
constexpr double kProgressStepBytes = 200000;

// The line broke: lost connection, time-out, a partial transfer. On a retry a lab not reachable
// yet (a router or the server restarting) counts too.
bool isBrokenLineCode(int code, bool retrying) {
    return code == Ftp::kCodePartialFile || code == Ftp::kCodeTimedOut ||
           code == Ftp::kCodeSendError || code == Ftp::kCodeRecvError ||
           (retrying && code == Ftp::kCodeCouldNotConnect);
}

QString s(const char* text) {
    return QString::fromUtf8(text);
}

} // namespace

void SendJob::uploadArchive(ArchiveSend& a) {
    if (a.checkDeferred) {
        if (!a.takeIdentity()) {
            failReading(a);
            return;
        }
        a.check = std::make_unique<PoolArchiveCheck>(a.zipPath, a.record->sha256);
    }
    a.uploadTried = true;
    const UploadIntent intent{a.uploadName, a.server, a.localSize,
                              QFileInfo(a.zipPath).lastModified(), a.record->sha256};
    const bool resumable = a.record->upload && *a.record->upload == intent;
    if (a.record->upload && !resumable)
        Log::outputLn(QStringLiteral("前回の送信の途中から続けられないため最初から送信 -- %1")
                          .arg(a.zipName));
    if (!resumable) {
        a.record->upload = intent;
        writeRecord(a);
    }
    if (killedAt(a, JobTestHook::Point::UploadIntentWritten))
        return;
    qint64 offset = resumable ? firstResumeOffset(a) : 0;
    bool lineBroke = false; // a part of this archive reached the lab before a break
    for (int retry = 0; proceed(a);) {
        if (offset > 0)
            Log::outputLn(
                QStringLiteral("送信先の一時ファイルの続きから送信 -- %1（%2 / %3バイト）")
                    .arg(a.uploadName)
                    .arg(offset)
                    .arg(a.localSize));
        const int code = runUpload(a, offset);
        if (!a.undecided() || (a.check && a.check->failed()) || code == 0)
            return; // killed; refused by the check (verifyUpload says so); or uploaded
        if (code == kUploadCancelled) {
            a.keepForResume = true;
            proceed(a);
            return;
        }
        if (code == Ftp::kCodeUploadFailed && offset > 0) {
            // A server that does not allow continuing (APPE refused): from the start, at once.
            Log::outputLn(
                QStringLiteral("送信先が続きからの送信を受け付けないため最初から送信 -- %1")
                    .arg(a.zipName));
            offset = 0;
            continue;
        }
        // A line that broke (or is not back yet) is tried again; a refused login, a missing
        // folder or a refused file is not.
        if (!isBrokenLineCode(code, retry > 0) || retry >= kUploadRetries) {
            a.fail(code);
            a.keepForResume = lineBroke || isBrokenLineCode(code, true);
            return;
        }
        lineBroke = true;
        const auto pause = JobTestHook::renameRetryPause() * kUploadRetryFactors[retry];
        Log::outputLn(QStringLiteral("転送が途切れたため再送信を待つ -- %1（%2回目、%3ミリ秒、%4）")
                          .arg(a.zipName)
                          .arg(retry + 1)
                          .arg(pause.count())
                          .arg(code));
        progressViewInitWithMsg(QStringLiteral("再送信を待っています（%1回目）").arg(retry + 1));
        JobTestHook::reach(JobTestHook::Point::RetryPause);
        const auto until = std::chrono::steady_clock::now() + pause;
        while (std::chrono::steady_clock::now() < until && !isCancel() &&
               !(a.check && a.check->failed()))
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        if (isCancel())
            a.keepForResume = true;
        ++retry;
        // From here on the lab's temporary file is this run's own.
        offset = proceed(a) ? Ftp::resumeOffset(*a.lab, a.uploadName, a.zipPath) : 0;
    }
}

qint64 SendJob::firstResumeOffset(ArchiveSend& a) {
    const Probe first = a.tempAtLab; // as the first look at the lab found it
    if (first.state != Probe::State::Present || first.size <= 0)
        return 0;
    if (killedAt(a, JobTestHook::Point::ResumeProbed))
        return 0;
    // A file still growing is written by someone else (a curl of a program killed mid-upload):
    // continuing it would interleave two writers.
    const auto until = std::chrono::steady_clock::now() + JobTestHook::growthCheckPause();
    while (std::chrono::steady_clock::now() < until && !isCancel())
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    if (!proceed(a))
        return 0;
    const Probe now = Ftp::surveyRemoteNames(*a.lab, {a.uploadName}).where(a.uploadName);
    if (now.state != Probe::State::Present || now.size <= 0)
        return 0;
    if (now.size != first.size) {
        Log::outputLn(
            QStringLiteral("送信先の一時ファイルがまだ書き込まれているため送信しない -- %1"
                           "（%2 → %3バイト）")
                .arg(a.uploadName)
                .arg(first.size)
                .arg(now.size));
        a.keepForResume = true; // not this run's to delete while someone writes it
        a.fail(0, s("送信先の一時ファイルがまだ書き込まれている"),
               QStringLiteral("ラボの一時ファイル（%1）に、まだ書き込みが続いています"
                              "（前回の送信が終わっていない可能性があります）。\n"
                              "注文はオーダープールに残しました。"
                              "しばらく待ってからもう一度送信してください。")
                   .arg(a.uploadName));
        return 0;
    }
    return Ftp::resumeOffsetAt(*a.lab, a.uploadName, a.zipPath, now.size);
}

int SendJob::runUpload(ArchiveSend& a, qint64 offset) {
    const double zipSize = static_cast<double>(a.localSize);
    bool transferring = false;
    bool barReady = false;
    double shownBytes = 0;
    const auto showProgress = [&](qint64 bytes) {
        if (!transferring) {
            transferring = true;
            progressViewInitWithMsg(QStringLiteral("%1 : 送信中(%2) しばらくお待ちください...")
                                        .arg(a.msg, a.zipSizeText));
            if (!a.transferSeen)
                JobTestHook::reach(JobTestHook::Point::UploadStarted);
            a.transferSeen = true;
        }
        const double sent = static_cast<double>(offset + bytes);
        shownBytes = std::min(shownBytes, sent);
        const bool complete = sent >= zipSize && sent > shownBytes;
        if (sent - shownBytes <= kProgressStepBytes && !complete)
            return;
        if (!barReady) {
            barReady = true;
            progressViewSetupWithMax(100);
        }
        if (!a.postDic.contains(QStringLiteral("First200kbTime")) && sent >= kProgressStepBytes) {
            Log::outputLn(QStringLiteral("最初の200KB成功"));
            a.postDic.insert(QStringLiteral("First200kbTime"),
                             QString::number(static_cast<qint64>(a.stopWatch.lap())));
        }
        progressViewUpdateWithValue(
            std::min(100.0, sent * 100.0 / std::max(1.0, zipSize)),
            QStringLiteral("%1 : %2 / %3  送信中")
                .arg(a.msg, Tool::autoDataByteStringWithByte(sent), a.zipSizeText));
        shownBytes = sent;
    };

    // The transfer runs on a thread of its own while this one shows its progress and watches
    // for a cancel or a failed check: nothing here can hold the bytes on their way.
    std::atomic<qint64> sentBytes{0};
    std::atomic<bool> stop{false};
    std::atomic<bool> finished{false};
    FtpRequest request;
    request.url = Ftp::remoteUrl(a.profile, a.uploadName);
    request.uploadPath = a.zipPath;
    // From offset on, the lab's temporary file is continued (APPE).
    request.uploadFrom = offset;
    request.timeLimit = std::chrono::seconds(QByteArray(LabEndpoints::kCurlMaxSeconds).toLong());
    request.shouldCancel = [&stop] { return stop.load(); };
    request.onUploaded = [&sentBytes](qint64 bytes) { sentBytes.store(bytes); };
    FtpResult upload;
    {
        const std::jthread transfer([&] {
            upload = a.lab->run(request);
            finished.store(true);
        });
        while (!finished.load()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            if (const qint64 bytes = sentBytes.load(); bytes > 0)
                showProgress(bytes);
            if (isCancel() || (a.check && a.check->failed()) ||
                JobTestHook::isKilledAt(JobTestHook::Point::UploadStarted))
                stop.store(true);
        }
    }
    if (const qint64 bytes = sentBytes.load(); bytes > 0)
        showProgress(bytes);
    if (JobTestHook::isKilledAt(JobTestHook::Point::UploadStarted)) {
        a.outcome = ArchiveSend::Outcome::Killed;
        return kUploadCancelled;
    }
    if (!upload.started)
        return Ftp::kCodeNotStarted;
    if (upload.cancelled)
        return kUploadCancelled;
    return upload.code;
}

void SendJob::verifyUpload(ArchiveSend& a) {
    const auto shouldStop = [this] { return isCancel(); };
    if (killedAt(a, JobTestHook::Point::UploadFinished))
        return;
    // The check beside the upload: the archive read whole and the packed bytes.
    if (a.check) {
        const PoolArchiveCheck::Result result = a.check->wait(shouldStop);
        a.check.reset();
        if (result == PoolArchiveCheck::Result::Changed)
            refuseChanged(a);
        else if (result != PoolArchiveCheck::Result::Same)
            failReading(a);
        if (!proceed(a))
            return;
    }
    // What arrived must be all of it: a server that stored less and said nothing is caught here,
    // to the byte. Without a size from the lab, its bytes are read back instead.
    // The SIZE alone says it in one round trip; without it the listing joins in.
    Probe arrived = Ftp::sizeOnly(*a.lab, a.uploadName);
    if (arrived.state != Probe::State::Present)
        arrived = Ftp::surveyRemoteNames(*a.lab, {a.uploadName}).where(a.uploadName);
    if (arrived.state == Probe::State::Present && arrived.size >= 0) {
        if (arrived.size != a.localSize) {
            Log::outputLn(QStringLiteral("送信先のファイルサイズが違う（%1 / %2）")
                              .arg(arrived.size)
                              .arg(a.localSize));
            a.fail(Ftp::kCodePartialFile);
            return;
        }
    } else if (arrived.state == Probe::State::Absent) {
        Log::outputLn(QStringLiteral("送信したファイルが送信先にない -- %1").arg(a.uploadName));
        a.fail(0, s("送信したファイルが送信先にない"));
        return;
    } else {
        progressViewInitWithMsg(QStringLiteral("%1 :送信したファイルを確認中...").arg(a.msg));
        const RemoteHashResult remote = Ftp::remoteFileSha256(*a.lab, a.uploadName, shouldStop);
        if (!proceed(a))
            return;
        const bool same = remote.sha256 && *remote.sha256 == a.record->sha256;
        Log::outputLn(QStringLiteral("送信先のファイルを読み戻して確認 -- %1：%2")
                          .arg(a.uploadName, same ? QStringLiteral("同じ内容")
                                                  : QStringLiteral("違う内容か読めない")));
        if (!same) {
            a.fail(remote.sha256 ? Ftp::kCodePartialFile : remote.code);
            return;
        }
    }
    // And curl must have read what the check read: a file changed while curl read it may have
    // reached the lab half old, half new. Any write or replacement changes the identity.
    const std::optional<orbel::FileIdentity> after = orbel::FileIdentity::of(a.zipPath);
    bool unchanged = a.before && after && *after == a.before->identity;
    if (unchanged && !a.before->changesShow) {
        // Written a moment before on a filesystem that keeps whole seconds: a change during the
        // upload may have kept the same stamps, so only the bytes themselves tell.
        const std::optional<QString> now = PoolArchiveRecord::sha256OfFile(a.zipPath, shouldStop);
        if (!now)
            failReading(a);
        unchanged = now && *now == a.record->sha256;
    }
    if (proceed(a) && !unchanged) {
        Log::outputLn(
            QStringLiteral("送信中に内容が変わったため送信を取り消す -- %1").arg(a.zipName));
        a.fail(0, s("送信中に内容が変わった"),
               QStringLiteral("注文ファイル %1 の内容が送信中に変わりました。\n"
                              "ラボに正しく届いたとは言えないため送信を取り消し、"
                              "オーダープールに残しました。")
                   .arg(a.zipName));
    }
}

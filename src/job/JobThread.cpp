#include "job/JobThread.h"

#include "job/JobAwake.h"
#include "job/JobInfo.h"
#include "job/NotificationCenter.h"
#include "job/ResendJob.h"
#include "job/ResizeJob.h"
#include "job/SendJob.h"
#include "job/ZipJob.h"
#include "service/Analyzer.h"
#include "service/LabConfig.h"
#include "settings/Log.h"
#include "settings/SettingsKeys.h"
#include "settings/UserDef.h"
#include "util/PathUtil.h"
#include "util/Tool.h"
#include "util/WorkFolder.h"

#include <QDir>
#include <QMetaObject>
#include <QObject>
#include <QThread>
#include <QVariantMap>
#include <chrono>
#include <optional>
#include <system_error>

namespace {

const QString kAbortLine = QStringLiteral("***処理は完了せずに中止***************");
// Outcomes that end without a message of their own: where the order is and how it is sent.
const QString kPooledMsg = QStringLiteral("オーダーを未送信オーダーとして保管しました。"
                                          "『ファイル』→『オーダーを全て送信』で送信できます。");
const QString kNotSentMsg =
    QStringLiteral("オーダーは送信されていません。未送信オーダーとして保管されています。"
                   "『ファイル』→『オーダーを全て送信』で送信できます。");

bool poolHoldsArchives() {
    return !QDir(WorkFolder::orderZipPoolFolderPath())
                .entryList({QStringLiteral("*.zip")}, QDir::Files)
                .isEmpty();
}

} // namespace

JobThreadRunner::JobThreadRunner(JobMainThreadActions& actions) : _actions(actions) {
    JobDoneNotice::followApplicationActivity();
}

JobThreadRunner::~JobThreadRunner() {
    std::lock_guard lock(_threadMutex);
    if (_thread.joinable()) {
        if (_jobExecuting.load()) {
            NotificationCenter::defaultCenter().postNotification(kJobCancelNotification);
        }
        _thread.join();
    }
}

void JobThreadRunner::postOrderReport() {
    QVariantMap postDic;
    if (!UserDef::isSendOnly()) {
        const auto addSetting = [&postDic](const QString& field, const QString& key) {
            if (const std::optional<QString> value = UserDef::stringForKey(key)) {
                postDic.insert(field, *value);
            }
        };
        addSetting(QStringLiteral("MainTab"), SettingsKey::MainTabLabel);
        addSetting(QStringLiteral("FileInfo"), QStringLiteral("MainTabFileInfo"));
        addSetting(QStringLiteral("OrderAction"), SettingsKey::OrderActionType);
    }
    postDic.insert(
        QStringLiteral("PoolZipCount"),
        QString::number(orbel::directoryZipPathArray(WorkFolder::orderZipPoolFolderPath()).size()));
    if (UserDef::stringForKey(SettingsKey::MainTabLabel) == QStringLiteral("アルバム")) {
        const std::optional<QString> albumSet = UserDef::stringForKey(SettingsKey::AlbumSetName);
        if (albumSet && *albumSet != QStringLiteral("-")) {
            postDic.insert(QStringLiteral("AlbumSet"), *albumSet);
        }
    }
    Analyzer::analyzerPost(QStringLiteral("Order"), postDic);
}

bool JobThreadRunner::executeJobThread(const JobThreadInput& input,
                                       const std::optional<QString>& resendArchive) {
    std::lock_guard lock(_threadMutex);
    if (_jobExecuting.load()) {
        return false;
    }
    if (_thread.joinable()) {
        _thread.join(); // the previous job has ended; only its thread object is left
    }
    _actions.fileDragDropOff();
    jobExecuteingOn();
    _actions.comViewRefresh();
    postOrderReport();
    try {
        _thread = std::thread([this, input, resendArchive] { jobThread(input, resendArchive); });
    } catch (const std::system_error&) {
        Log::outputLn(QStringLiteral("処理スレッドが開始できない"));
        jobExecuteingOff();
        _actions.comViewRefresh();
        _actions.dragDropOn();
        Tool::alertWithMsg(QStringLiteral("エラーが発生しました"),
                           QStringLiteral("処理を開始できませんでした"));
        return false;
    }
    return true;
}

void JobThreadRunner::waitForJob() {
    std::lock_guard lock(_threadMutex);
    if (_thread.joinable()) {
        _thread.join();
    }
}

bool JobThreadRunner::jobThread(const JobThreadInput& input,
                                const std::optional<QString>& resendArchive) {
    UserDef::setAppStatus(QStringLiteral("JOB Thread"));
    jobExecuteingOn();
    const auto jobStarted = std::chrono::steady_clock::now();
    // Held until the job ends, whatever its outcome: a machine asleep breaks the upload.
    std::optional<SleepInhibitor> awake;
    awake.emplace();
    JobInfo info(input.tab, input.selectFiles, input.selectInfo, input.productData, input.progress);
    bool finished = false;
    bool zipped = false;
    bool terminate = false;

    if (!WorkFolder::checkWorkFolder()) {
        // Another copy of the program keeps the work area: saying "cannot be made" would send the
        // studio looking for a disk fault.
        if (const std::optional<LockHolder> other = WorkFolder::otherWorkAreaHolder()) {
            Log::outputLn(
                QStringLiteral("作業フォルダを別のHALVIX 2（PID %1）が使用中のため処理しない")
                    .arg(other->pid));
            Tool::alertWithMsg(
                QStringLiteral("作業フォルダを使用できません"),
                QStringLiteral("別のHALVIX 2（PID %1）が作業フォルダを使用しています。\n"
                               "そちらを終了してから、もう一度送信してください。")
                    .arg(other->pid));
        } else if (const std::optional<int> error = WorkFolder::workAreaLockUnsupported()) {
            // The folder is there; its disk takes no locks. Saying "cannot be made" would send
            // the studio looking for a disk fault.
            Log::outputLn(QStringLiteral("作業フォルダをロックできないため処理しない"));
            Tool::alertWithMsg(QStringLiteral("作業フォルダをロックできません"),
                               WorkFolder::lockUnsupportedText(
                                   QStringLiteral("作業フォルダ"), WorkFolder::workFolderPath(),
                                   *error, QString::fromLatin1(WorkFolder::kWorkAreaVariable)));
        } else {
            Log::outputLn(QStringLiteral("作業フォルダが作成できない"));
            Tool::alertWithMsg(QStringLiteral("作業フォルダが作成できません"),
                               QStringLiteral("作業フォルダが作成できませんでした"));
        }
    } else {
        Log::outputLn(QStringLiteral("***処理開始**************************"));
        const bool sendOnly = UserDef::isSendOnly();
        bool ok = true;

        if (info.isResizeMode() && !sendOnly) {
            UserDef::setAppStatus(QStringLiteral("JOB Thread Resize"));
            Log::outputLn(QStringLiteral("リサイズ処理実行 ===="));
            ResizeJob resizeJob(info);
            ok = resizeJob.start();
            if (!ok) {
                Log::outputLn(kAbortLine);
            }
        }

        std::optional<QString> archive;
        if (ok && !sendOnly) {
            UserDef::setAppStatus(QStringLiteral("JOB Thread Zip"));
            Log::outputLn(QStringLiteral("Zip処理実行 ===="));
            ZipJob zipJob(info);
            if (zipJob.start()) {
                Log::outputLn(QStringLiteral("zip sucsess ZipName[%1]").arg(info.zipName()));
                info.updateBagNo();
                _actions.removeKineloOrder(info.tab());
                _actions.selectFilesAndOrderMemoClear(info.tab());
                archive = info.zipPoolFilePath();
                zipped = true;
                if (input.fotoFusionMode) {
                    UserDef::setObject(QString(), SettingsKey::WorkApp);
                }
            } else {
                Log::outputLn(QStringLiteral("zip error ZipName[%1]").arg(info.zipName()));
                Log::outputLn(kAbortLine);
                ok = false;
            }
        }

        if (ok && sendOnly && resendArchive) {
            UserDef::setAppStatus(QStringLiteral("JOB Thread Resend"));
            ResendJob resendJob(info, *resendArchive);
            ok = resendJob.start();
            if (ok) {
                archive = resendJob.poolArchivePath();
            } else {
                Log::outputLn(kAbortLine);
            }
        }

        if (ok && UserDef::isSend() && LabConfig::refusal()) {
            // No server to send to: the archive waits in the pool until the file is mended.
            Log::outputLn(QStringLiteral("ラボ接続設定ファイルに誤りがあるため送信しない（%1）")
                              .arg(*LabConfig::refusal()));
            Tool::alertWithMsg(QStringLiteral("ラボ接続設定ファイルに誤りがあります"),
                               LabConfig::refusalAlertText(true));
            info.setJobMsg(QStringLiteral("ラボ接続設定ファイルの誤りのため送信していません。"
                                          "オーダーは未送信オーダーに残っています"));
            Log::outputLn(kAbortLine);
            ok = false;
        } else if (ok && UserDef::isSend()) {
            UserDef::setAppStatus(QStringLiteral("JOB Thread Send"));
            SendJob sendJob(info);
            ok = sendJob.start(archive);
            if (!ok) {
                Log::outputLn(kAbortLine);
                if (poolHoldsArchives()) {
                    info.setJobMsg(kNotSentMsg);
                }
            }
        }
        if (ok && zipped && !sendOnly && UserDef::isOrderActionAfterSend()) {
            info.setJobMsg(kPooledMsg);
        }

        if (ok) {
            Log::outputLn(QStringLiteral("***処理終了**************************"));
            finished = true;
            terminate = input.fotoFusionMode;
        }
        if (zipped) {
            _actions.albumDirectOrderNumClear();
        }
    }

    awake.reset();
    jobExecuteingOff();
    JobDoneNotice::jobEnded(
        finished,
        std::chrono::duration<double>(std::chrono::steady_clock::now() - jobStarted).count());
    _actions.comViewRefresh();
    _actions.dragDropOn();
    // Last of all, so that no main-thread call of this thread is pending while the program quits.
    if (terminate) {
        _actions.terminateApplication();
    }
    _actions.jobThreadEnded(finished);
    return finished;
}

void JobThreadRunner::cancelBtJob() {
    if (Tool::alertOkNgWithMsg(
            QStringLiteral("処理を中止してよろしいですか？"),
            QStringLiteral("キャンセルボタンが押されました。\n処理を中止してよろしいですか？"),
            QStringLiteral("はい"), QStringLiteral("いいえ"))) {
        NotificationCenter::defaultCenter().postNotification(kJobCancelNotification);
    }
}

void JobThreadRunner::performOnThreadOf(QObject* context, const std::function<void()>& fn) {
    if (context == nullptr || !fn) {
        return;
    }
    if (QThread::currentThread() == context->thread()) {
        fn();
        return;
    }
    QMetaObject::invokeMethod(context, fn, Qt::BlockingQueuedConnection);
}

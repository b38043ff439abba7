// Quit and the one termination path of every way the program ends.
#include "app/AppCtrl.h"
#include "job/NotificationCenter.h"
#include "service/Analyzer.h"
#include "settings/Log.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"
#include "settings/UserDef.h"
#include "util/Tool.h"

#include <QCoreApplication>

namespace {

const QString kRule = QString(51, u'=');

} // namespace

QuitDecision AppCtrl::QuitAction() {
    if (_terminated) {
        return QuitDecision::Terminate;
    }
    if (isJobExecuting()) {
        // Quitting under a running job would leave a half-written archive: the user decides.
        if (!Tool::alertOkNgWithMsg(QStringLiteral("処理中です。中止して終了しますか？"), QString(),
                                    QStringLiteral("はい"), QStringLiteral("いいえ"))) {
            return QuitDecision::Stay;
        }
        NotificationCenter::defaultCenter().postNotification(kJobCancelNotification);
        waitForJobEnd();
        Log::outputLn(QStringLiteral("QuitAction"));
    } else {
        waitForJobEnd(); // a job that has ended may still be making its last calls
        Log::outputLn(QStringLiteral("QuitAction"));
        const int count = _orderPool.count();
        if (count > 0) {
            Log::outputLn(QStringLiteral("未送信オーダー %1件").arg(count));
            Tool::beep(QStringLiteral("Basso"));
            if (Tool::alertOkNgWithMsg(
                    QStringLiteral("%1件の未送信オーダーがあります。\n送信しますか？").arg(count),
                    QString(), QStringLiteral("はい"), QStringLiteral("いいえ"))) {
                Q_EMIT poolSheetRequested();
                return QuitDecision::Stay;
            }
        }
    }
    Log::outputLn(QStringLiteral("HALVIX 2 (v%1)終了").arg(Tool::applicationVersion()));
    Log::outputLn(kRule);
    SettingsStore::flush();
    applicationShouldTerminate();
    return QuitDecision::Terminate;
}

void AppCtrl::applicationShouldTerminate() {
    if (_terminated) {
        return;
    }
    _terminated = true;
    // What is still asked of the lab at start gives way: the run ends now, not after a time-out.
    _startUpCheck.abandon();
    UserDef::setAppStatus(QString());
    UserDef::setObject(orderTabLabel(_selectedTab), SettingsKey::MainTabLabel);
    SettingsStore::flush();
    UserDef::endAppStatusWriteBehind(); // ended during the set-up: nothing is left behind
    Analyzer::analyzerPost(QStringLiteral("Quit"),
                           QVariantMap{{QStringLiteral("AppRunTime"),
                                        QString::asprintf("%.0f", _appStopWatch.lap())}});
}

void AppCtrl::terminateNow() {
    if (!_terminated) {
        if (isJobExecuting()) {
            NotificationCenter::defaultCenter().postNotification(kJobCancelNotification);
            waitForJobEnd();
        }
        Log::outputLn(QStringLiteral("HALVIX 2 (v%1)終了").arg(Tool::applicationVersion()));
        Log::outputLn(kRule);
        applicationShouldTerminate();
    }
    // Also before the main loop runs (a signal during an alert of the start-up): exit() ends every
    // event loop turning now, where quit() would be ignored; main() then does not start the main
    // loop for a run that has ended.
    QCoreApplication::exit(0);
}

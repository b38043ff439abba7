#include "app/AppCtrl.h"
#include "app/CommandLine.h"
#include "app/DisplayCheck.h"
#include "app/InstanceGuard.h"
#include "app/TerminationSignals.h"
#include "settings/UserDef.h"
#include "ui/MainWindow.h"
#include "ui/MessageBoxResponder.h"
#include "ui/QtJapanese.h"
#include "util/Tool.h"

#include <QApplication>
#include <QFontDatabase>
#include <QIcon>
#include <QSessionManager>
#include <QStyleFactory>
#include <QTimer>
#include <optional>
#include <thread>

int main(int argc, char* argv[]) {
    // --help, --version and a mistaken option are answered before any window, setting or lock.
    if (const std::optional<int> answered = CommandLine::answer(argc, argv)) {
        return *answered;
    }
    // Without a display Qt would abort only after the settings, the work area and the locks were
    // made: refuse first, in one line, writing nothing.
    if (const std::optional<int> refused = DisplayCheck::refuse(argc, argv)) {
        return *refused;
    }
    // The guard takes the lock files of the settings folder and the work area (held until the
    // process ends) and reads only them and the order pool: it runs before the settings are read,
    // so an instance it ends has written its own settings before this one reads them, and a
    // refused instance never writes its stale copy over them.
    const bool alreadyBooted = InstanceGuard::isAlreadyBooted();
    if (!alreadyBooted) {
        UserDef::backupPreviousAppStatus();
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("halvix2"));
    QApplication::setApplicationDisplayName(QStringLiteral("HALVIX 2"));
    QApplication::setApplicationVersion(QStringLiteral(HALVIX_VERSION));
    // The desktop entry jp.miravell.halvix2.desktop: the window is matched to its launcher.
    QApplication::setDesktopFileName(QStringLiteral("jp.miravell.halvix2"));
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    // The font list (fontconfig's configuration and caches) is read beside the settings and the
    // controller's set-up instead of at the window's first text; joined before the application
    // goes.
    const std::jthread fontList([] { QFontDatabase::families(); });
    installQtJapanese(app);
    // Alerts from every thread are answered by message boxes on this thread. Unattended runs
    // (scripts) write them to standard error and take the default button instead.
    if (qEnvironmentVariableIsEmpty("HALVIX_UNATTENDED")) {
        MessageBoxResponder::install();
    }

    if (alreadyBooted) {
        // Qt ignores quit() before exec(): the refused instance simply returns, writing nothing.
        AppCtrl::refuseMultipleBoot();
        return 1;
    }

    TerminationSignals signalsPipe;
    AppCtrl ctrl(QApplication::arguments());
    MainWindow window(ctrl);
    QObject::connect(&signalsPipe, &TerminationSignals::terminationRequested, &ctrl,
                     [&ctrl](int) { ctrl.terminateNow(); });
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &ctrl,
                     [&ctrl](QSessionManager&) { ctrl.terminateNow(); });
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &ctrl,
                     [&ctrl] { ctrl.applicationShouldTerminate(); });
    window.show();
    ctrl.awakeFromNib(window);
    // Reading the icon loads the image plug-ins: done once the window is up, by the main loop.
    QTimer::singleShot(0, &app, [] {
        if (const QString icon =
                Tool::resourcePath(QStringLiteral("halvix2"), QStringLiteral("png"));
            !icon.isEmpty()) {
            QApplication::setWindowIcon(QIcon(icon));
        }
    });
    // Asked to end before the main loop ran (while an alert of the start-up was open): the
    // termination path has run, and Qt would not end a main loop started now.
    if (ctrl.isTerminated()) {
        return 0;
    }
    return QApplication::exec();
}

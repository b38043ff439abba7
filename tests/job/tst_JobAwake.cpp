// The job's sleep inhibitor and its end notice: without logind the job goes on and says so once;
// the notice reaches a real (private) session bus and a small notification service on it.
#include "TestHome.h"
#include "job/JobAwake.h"
#include "settings/Log.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QProcess>
#include <QtTest>
#include <chrono>
#include <future>

// What a desktop's notification service receives.
class FakeNotifications : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    QStringList received; // "summary|body"

public Q_SLOTS:
    uint Notify(const QString& appName, uint replacesId, const QString& icon,
                const QString& summary, const QString& body, const QStringList& actions,
                const QVariantMap& hints, int timeout) {
        Q_UNUSED(appName);
        Q_UNUSED(replacesId);
        Q_UNUSED(icon);
        Q_UNUSED(actions);
        Q_UNUSED(hints);
        Q_UNUSED(timeout);
        received.append(summary + u'|' + body);
        return static_cast<uint>(received.size());
    }
};

class TestJobAwake : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Before any bus is used (the addresses are read once): no system bus here, as in a
    // container; the session bus is this test's own, or none when dbus-daemon is missing.
    void initTestCase() {
        qputenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/system_bus_socket");
        qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/session_bus_socket");
        daemon.start(QStringLiteral("dbus-daemon"),
                     {QStringLiteral("--session"), QStringLiteral("--nofork"),
                      QStringLiteral("--print-address=1")});
        if (daemon.waitForStarted(5000) && daemon.waitForReadyRead(10000)) {
            address = daemon.readLine().trimmed();
            qputenv("DBUS_SESSION_BUS_ADDRESS", address);
        }
    }
    void cleanupTestCase() {
        QDBusConnection::disconnectFromBus(QStringLiteral("service"));
        if (daemon.state() != QProcess::NotRunning) {
            daemon.terminate();
            daemon.waitForFinished(10000);
        }
    }

    void withoutLogindTheJobGoesOnAndLogsOnce() {
        TestHome home;
        {
            SleepInhibitor first;
            QVERIFY(!first.isHeld());
        }
        SleepInhibitor second;
        QVERIFY(!second.isHeld());
        QFile file(Log::logFilePath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString log = QString::fromUtf8(file.readAll());
        QCOMPARE(log.count(QStringLiteral("スリープを止められないため、そのまま処理を続ける")), 1);
    }

    // The window's activity follows the application's activation events.
    void followsTheApplicationsActivation() {
        JobDoneNotice::followApplicationActivity();
        JobDoneNotice::followApplicationActivity(); // once is enough; twice changes nothing
        QEvent activate(QEvent::ApplicationActivate);
        QCoreApplication::sendEvent(QCoreApplication::instance(), &activate);
        QVERIFY(JobDoneNotice::isMainWindowActive());
        QEvent deactivate(QEvent::ApplicationDeactivate);
        QCoreApplication::sendEvent(QCoreApplication::instance(), &deactivate);
        QVERIFY(!JobDoneNotice::isMainWindowActive());
    }

    void noticeReachesTheNotificationServiceOnlyForLongUnwatchedJobs() {
        TestHome home;
        if (address.isEmpty()) {
            // No session bus at all: quietly no notice.
            QVERIFY(!JobDoneNotice::jobEnded(true, 300));
            QSKIP("dbus-daemon is not installed");
        }
        // The service answers on this thread's event loop; the notices go out from another
        // thread, as from the job's.
        FakeNotifications service;
        const auto fromJobThread = [](auto call) {
            std::future<bool> result = std::async(std::launch::async, call);
            while (result.wait_for(std::chrono::milliseconds(10)) != std::future_status::ready)
                QCoreApplication::processEvents();
            return result.get();
        };
        QDBusConnection serviceBus =
            QDBusConnection::connectToBus(QString::fromUtf8(address), QStringLiteral("service"));
        // A bus without a notification service: not an error, just no notice.
        QVERIFY(!JobDoneNotice::post(QStringLiteral("x"), QStringLiteral("y")));
        QVERIFY(serviceBus.registerObject(QStringLiteral("/org/freedesktop/Notifications"),
                                          &service, QDBusConnection::ExportAllSlots));
        QVERIFY(serviceBus.registerService(QStringLiteral("org.freedesktop.Notifications")));

        JobDoneNotice::setMainWindowActive(false);
        QVERIFY(!fromJobThread([] { return JobDoneNotice::jobEnded(true, 5); })); // short
        JobDoneNotice::setMainWindowActive(true);
        QVERIFY(!fromJobThread([] { return JobDoneNotice::jobEnded(true, 300); })); // watched
        JobDoneNotice::setMainWindowActive(false);
        QVERIFY(fromJobThread([] { return JobDoneNotice::jobEnded(false, 300); }));
        QVERIFY(fromJobThread([] { return JobDoneNotice::jobEnded(true, 21); }));
        QCOMPARE(service.received,
                 (QStringList{QStringLiteral("HALVIX 2|") + JobDoneNotice::outcomeText(false),
                              QStringLiteral("HALVIX 2|") + JobDoneNotice::outcomeText(true)}));
    }

private:
    QProcess daemon;
    QByteArray address;
};

QTEST_GUILESS_MAIN(TestJobAwake)
#include "tst_JobAwake.moc"

#include "job/JobAwake.h"

#include "settings/Log.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusUnixFileDescriptor>
#include <QPointer>
#include <QStringList>
#include <QThread>
#include <QVariantMap>
#include <atomic>

namespace {

constexpr int kCallTimeoutMs = 3000;

std::atomic<bool>& windowActive() {
    static std::atomic<bool> active{false};
    return active;
}

std::atomic<bool>& noLogindLogged() {
    static std::atomic<bool> logged{false};
    return logged;
}

void logNoLogindOnce(const QString& why) {
    if (!noLogindLogged().exchange(true))
        Log::outputLn(
            QStringLiteral("スリープを止められないため、そのまま処理を続ける（%1）").arg(why));
}

// The widgets send ApplicationActivate when one of the program's windows becomes active and
// ApplicationDeactivate when none is: the core follows them without knowing any widget.
class ActivityFilter : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::ApplicationActivate)
            windowActive() = true;
        else if (event->type() == QEvent::ApplicationDeactivate)
            windowActive() = false;
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

void JobDoneNotice::followApplicationActivity() {
    QCoreApplication* app = QCoreApplication::instance();
    static QPointer<QObject> filter;
    if (!app || QThread::currentThread() != app->thread() || filter)
        return;
    filter = new ActivityFilter(app); // owned by the application object
    app->installEventFilter(filter);
}

struct SleepInhibitor::Held {
    QDBusUnixFileDescriptor fd; // closing it ends the inhibitor
};

SleepInhibitor::SleepInhibitor() {
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected()) {
        logNoLogindOnce(QStringLiteral("システムバスに接続できない"));
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
        QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("Inhibit"));
    call << QStringLiteral("sleep:idle") << QStringLiteral("HALVIX 2")
         << QStringLiteral("注文を処理しています") << QStringLiteral("block");
    const QDBusMessage reply = bus.call(call, QDBus::Block, kCallTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        logNoLogindOnce(reply.errorMessage().isEmpty() ? reply.errorName() : reply.errorMessage());
        return;
    }
    auto held = std::make_unique<Held>();
    held->fd = qdbus_cast<QDBusUnixFileDescriptor>(reply.arguments().constFirst());
    if (!held->fd.isValid()) {
        logNoLogindOnce(QStringLiteral("抑止の記述子を受け取れない"));
        return;
    }
    _held = std::move(held);
}

SleepInhibitor::~SleepInhibitor() = default;

bool SleepInhibitor::isHeld() const {
    return _held != nullptr;
}

void JobDoneNotice::setMainWindowActive(bool active) {
    windowActive() = active;
}

bool JobDoneNotice::isMainWindowActive() {
    return windowActive();
}

QString JobDoneNotice::outcomeText(bool finished) {
    return finished ? QStringLiteral("注文の処理が終わりました。")
                    : QStringLiteral(
                          "注文の処理は完了しませんでした。画面のメッセージをご確認ください。");
}

bool JobDoneNotice::jobEnded(bool finished, double seconds) {
    if (seconds <= kLongJobSeconds || isMainWindowActive())
        return false;
    return post(QStringLiteral("HALVIX 2"), outcomeText(finished));
}

bool JobDoneNotice::post(const QString& summary, const QString& body) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"),
        QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    call << QStringLiteral("HALVIX 2") << 0U << QString() << summary << body << QStringList()
         << QVariantMap() << -1;
    const QDBusMessage reply = bus.call(call, QDBus::Block, kCallTimeoutMs);
    return reply.type() == QDBusMessage::ReplyMessage;
}

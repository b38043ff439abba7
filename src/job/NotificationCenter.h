#pragma once

#include <QString>
#include <QVariant>
#include <functional>
#include <map>
#include <mutex>

// A small synchronous notification centre keyed by the program's notification names ("JobCancel",
// "viewRefresh", ...). A notification is delivered on the posting thread, to every observer of its
// name in the order they subscribed. Removing an observer waits until a delivery to it that runs on
// another thread has finished, so an observer's handler never runs after removeObserver returned.
class NotificationCenter {
public:
    using Handler = std::function<void(const QVariant& object)>;
    using Token = quint64; // 0 is never a valid token

    static NotificationCenter& defaultCenter();

    Token addObserver(const QString& name, Handler handler);
    void removeObserver(Token token);
    void postNotification(const QString& name, const QVariant& object = {});
    int observerCount(const QString& name) const;

private:
    struct Entry {
        QString name;
        Handler handler;
    };
    mutable std::recursive_mutex mutex_;
    std::map<Token, Entry> entries_;
    Token nextToken_ = 1;
};

// The notification that asks a running job stage to stop.
inline const QString kJobCancelNotification = QStringLiteral("JobCancel");

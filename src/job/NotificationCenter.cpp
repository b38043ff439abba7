#include "job/NotificationCenter.h"

#include <vector>

NotificationCenter& NotificationCenter::defaultCenter() {
    static NotificationCenter center;
    return center;
}

NotificationCenter::Token NotificationCenter::addObserver(const QString& name, Handler handler) {
    std::lock_guard lock(mutex_);
    const Token token = nextToken_++;
    entries_.emplace(token, Entry{name, std::move(handler)});
    return token;
}

void NotificationCenter::removeObserver(Token token) {
    // The lock is held during deliveries, so this waits for one that runs on another thread.
    std::lock_guard lock(mutex_);
    entries_.erase(token);
}

void NotificationCenter::postNotification(const QString& name, const QVariant& object) {
    std::lock_guard lock(mutex_);
    // Tokens first: a handler may add or remove observers on this thread (the mutex is recursive).
    std::vector<Token> tokens;
    for (const auto& [token, entry] : entries_) {
        if (entry.name == name) {
            tokens.push_back(token);
        }
    }
    for (const Token token : tokens) {
        const auto it = entries_.find(token);
        if (it == entries_.end()) {
            continue;
        }
        const Handler handler = it->second.handler; // a copy survives its own removal
        if (handler) {
            handler(object);
        }
    }
}

int NotificationCenter::observerCount(const QString& name) const {
    std::lock_guard lock(mutex_);
    int count = 0;
    for (const auto& [token, entry] : entries_) {
        if (entry.name == name) {
            ++count;
        }
    }
    return count;
}

#include "job/JobTestHook.h"

#include <mutex>

namespace {

constexpr std::chrono::milliseconds kDefaultRenameRetryPause{1000};
constexpr std::chrono::milliseconds kDefaultGrowthCheckPause{2000};

std::mutex& hookMutex() {
    static std::mutex mutex;
    return mutex;
}

JobTestHook::Hook& currentHook() {
    static JobTestHook::Hook hook;
    return hook;
}

std::optional<JobTestHook::Point>& killPoint() {
    static std::optional<JobTestHook::Point> point;
    return point;
}

std::chrono::milliseconds& currentPause() {
    static std::chrono::milliseconds pause = kDefaultRenameRetryPause;
    return pause;
}

std::chrono::milliseconds& growthPause() {
    static std::chrono::milliseconds pause = kDefaultGrowthCheckPause;
    return pause;
}

} // namespace

void JobTestHook::set(Hook hook) {
    std::lock_guard lock(hookMutex());
    currentHook() = std::move(hook);
}

void JobTestHook::reach(Point point) {
    Hook hook;
    {
        std::lock_guard lock(hookMutex());
        hook = currentHook();
    }
    if (hook) {
        hook(point);
    }
}

void JobTestHook::setKillAt(std::optional<Point> point) {
    std::lock_guard lock(hookMutex());
    killPoint() = point;
}

bool JobTestHook::isKilledAt(Point point) {
    std::lock_guard lock(hookMutex());
    return killPoint() == point;
}

void JobTestHook::setRenameRetryPause(std::chrono::milliseconds pause) {
    std::lock_guard lock(hookMutex());
    currentPause() = pause;
}

std::chrono::milliseconds JobTestHook::renameRetryPause() {
    std::lock_guard lock(hookMutex());
    return currentPause();
}

void JobTestHook::setGrowthCheckPause(std::chrono::milliseconds pause) {
    std::lock_guard lock(hookMutex());
    growthPause() = pause;
}

std::chrono::milliseconds JobTestHook::growthCheckPause() {
    std::lock_guard lock(hookMutex());
    return growthPause();
}

void JobTestHook::reset() {
    std::lock_guard lock(hookMutex());
    currentHook() = Hook();
    killPoint().reset();
    currentPause() = kDefaultRenameRetryPause;
    growthPause() = kDefaultGrowthCheckPause;
}

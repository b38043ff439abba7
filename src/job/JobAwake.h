#pragma once

#include <QString>
#include <memory>

// Keeps the machine from sleeping while a job runs: a logind inhibitor ("sleep:idle") held for
// this object's life and released when it ends, whatever the job's outcome. Where there is no
// logind (a container, another init) the job goes on without it; that is logged once per run.
class SleepInhibitor {
public:
    SleepInhibitor();
    ~SleepInhibitor();
    SleepInhibitor(const SleepInhibitor&) = delete;
    SleepInhibitor& operator=(const SleepInhibitor&) = delete;

    bool isHeld() const;

private:
    struct Held;
    std::unique_ptr<Held> _held;
};

// Tells the studio that a long job ended while it was looking elsewhere: a desktop notification
// (org.freedesktop.Notifications) with the outcome in one line. No notification service is not an
// error.
class JobDoneNotice {
public:
    JobDoneNotice() = delete;

    // Jobs shorter than this end unnoticed.
    static constexpr int kLongJobSeconds = 20;

    // Whether the program's window is the active one (false until known). Follows the
    // application's activation events once followApplicationActivity() ran on the main thread.
    static void setMainWindowActive(bool active);
    static void followApplicationActivity();
    static bool isMainWindowActive();

    // Posts the notice when the job ran longer than kLongJobSeconds and the main window is not
    // active; true when a notification service took it.
    static bool jobEnded(bool finished, double seconds);
    // Posts one notification now; true when a service took it.
    static bool post(const QString& summary, const QString& body);
    static QString outcomeText(bool finished);
};

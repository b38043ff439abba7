#pragma once

#include <QList>
#include <QString>
#include <optional>
#include <sys/types.h>

// The single-instance guard. "The same application" is a process of the same user running the
// same executable with the same settings folder, so copies with their own HOME (parallel test
// runs, another user) never see each other. It reads only /proc and the order pool folder and
// writes no setting, so it can run before the settings are first read.
class InstanceGuard {
public:
    InstanceGuard() = delete;

    struct Instance {
        pid_t pid = 0;
        unsigned long long startTime = 0; // clock ticks after boot (/proc/<pid>/stat, field 22)
    };

    // Every running instance of this application, this process included, oldest first.
    static QList<Instance> runningInstances();
    // The settings folder a process uses, from its environment (XDG_CONFIG_HOME, else HOME).
    static QString settingsFolderOfProcess(pid_t pid);
    static QString settingsFolderOfThisProcess();
    // The start time of a process, none when it is gone (or ended and not yet reaped).
    static std::optional<unsigned long long> processStartTime(pid_t pid);
    // The order pool holds at least one archive.
    static bool isZipPoolFile();
    // With two or more instances: ends the oldest other one (never this process) and waits until
    // it has gone.
    static void killMultipleApp();
    // First, when the pool is empty, killMultipleApp; then true when another instance still runs.
    static bool isAlreadyBooted();
};

#pragma once

#include <QString>
#include <chrono>
#include <functional>
#include <optional>

// A seam for tests, and only for them: the program never installs a hook. It lets a test act at
// exact points of a running job (press cancel, stop the server) where a human's timing cannot be
// reproduced, and shortens the pauses between attempts so a test of ten failed renames does not
// wait ten seconds, nor a test of a broken upload a minute. Without a hook every call here does
// nothing and the pause is one second.
class JobTestHook {
public:
    enum class Point {
        UploadStarted, // the upload's first progress line arrived (curl is running)
        AfterRename,   // the rename command (RNFR/RNTO) of an attempt has returned (kill point)
        AfterPoolMove, // the zip stage moved the archive to the pool or the save path
        RetryPause,    // a broken upload waits before its next try (the pause has begun)
        // Kill points of the delivery protocol, in the order a send passes them:
        UploadIntentWritten, // the upload is recorded, nothing sent yet
        ResumeProbed,        // the lab's temporary file was sized once before a resume
        UploadFinished,      // curl has ended the upload, nothing checked yet
        RenameIntentWritten, // the upload is verified and the rename recorded, not yet asked
        RenameConfirmed,     // the rename is proven and recorded, the archive not yet removed
    };
    using Hook = std::function<void(Point)>;

    JobTestHook() = delete;

    // Installs hook (an empty one removes it). Called on the job's thread at each point.
    static void set(Hook hook);
    static void reach(Point point);

    // The job ends at point as a killed program would: nothing after it is written, sent or
    // cleaned up (for what the next run finds). Only points that say so honour it.
    static void setKillAt(std::optional<Point> point);
    static bool isKilledAt(Point point);

    // The unit of every pause between attempts: one between renames, 5, 15 and 45 of them
    // before the three retries of a broken upload.
    static void setRenameRetryPause(std::chrono::milliseconds pause);
    static std::chrono::milliseconds renameRetryPause();
    // How long a resume waits between two looks at the size of the lab's temporary file (a
    // file still growing is being written by someone else); two seconds without a hook.
    static void setGrowthCheckPause(std::chrono::milliseconds pause);
    static std::chrono::milliseconds growthCheckPause();
    // Back to no hook, no kill point and the pauses of the program.
    static void reset();
};

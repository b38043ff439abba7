#pragma once

#include "util/OrderTab.h"

#include <QString>
#include <QStringList>
#include <atomic>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

class ProductData;
class ProgressTarget;
class QObject;

// What the job thread needs of the tab that started it, gathered on the main thread.
struct JobThreadInput {
    // The tab the order was sent from; the job reads its tab only from here, never from the
    // tab selected while it runs. None for a pool send started without a tab.
    std::optional<OrderTab> tab;
    QStringList selectFiles;            // the selected tab's files
    QString selectInfo;                 // the selected tab's selection text
    ProductData* productData = nullptr; // the catalogues (not owned; may be null)
    ProgressTarget* progress = nullptr; // the tab's bar and message field (not owned; may be null)
    bool fotoFusionMode = false;        // this run works for FotoFusion
};

// The window actions a job asks for. The job thread calls them and expects each to be performed
// on the main thread before it returns (JobThreadRunner::performOnThreadOf does that); tests
// implement them directly.
class JobMainThreadActions {
public:
    virtual ~JobMainThreadActions() = default;
    virtual void fileDragDropOff() = 0; // before the thread starts (main thread)
    virtual void comViewRefresh() = 0;  // at the start (main thread) and the end (job thread)
    // After a packed order: the Kinelo registration of the order's tab went with it.
    virtual void removeKineloOrder(std::optional<OrderTab> tab) = 0;
    // After a packed order: the selection and memo of the order's tab are emptied.
    virtual void selectFilesAndOrderMemoClear(std::optional<OrderTab> tab) = 0;
    virtual void albumDirectOrderNumClear() = 0;
    virtual void dragDropOn() = 0;
    // FotoFusion mode after a finished order: ask the application to quit. Must not wait for the
    // quit itself (the job thread is still ending).
    virtual void terminateApplication() = 0;
    // The very last call of the job thread, with its outcome (true: "***処理終了"). Called on the
    // job thread; must not wait for the main thread.
    virtual void jobThreadEnded(bool finished) {}
};

// The job-thread group of the controller: starts one order job on its own thread (at most one at
// a time), runs the stages resize -> zip -> send, each only when every earlier one succeeded, and
// hands the window actions to the main thread. The thread is joined at the latest on destruction.
class JobThreadRunner {
public:
    explicit JobThreadRunner(JobMainThreadActions& actions);
    // Asks a running job to stop ("JobCancel") and joins it. The job may be waiting for a
    // main-thread call or an alert, so the owner lets the event loop run until isJobExecuting()
    // is false before destroying the runner.
    ~JobThreadRunner();
    JobThreadRunner(const JobThreadRunner&) = delete;
    JobThreadRunner& operator=(const JobThreadRunner&) = delete;

    bool isJobExecuting() const { return _jobExecuting.load(); }
    void jobExecuteingOn() { _jobExecuting.store(true); }
    void jobExecuteingOff() { _jobExecuting.store(false); }

    // Main thread: drop off, job executing on, refresh, the "Order" usage report, then the job on
    // its own thread; returns at once. False (and nothing started) while a job is running.
    // resendArchive: a send-only job that first makes this kept archive a new order in the pool
    // and sends that one.
    bool executeJobThread(const JobThreadInput& input,
                          const std::optional<QString>& resendArchive = std::nullopt);
    // Waits until the running job has ended (no-op when none).
    void waitForJob();

    // The body of the job thread; can be run on any thread (tests run it directly). True when the
    // order came through to its end ("***処理終了").
    bool jobThread(const JobThreadInput& input,
                   const std::optional<QString>& resendArchive = std::nullopt);

    // Main thread, every tab's cancel button: asks, then posts "JobCancel" on "はい".
    static void cancelBtJob();
    // The "Order" usage report of a job about to start.
    static void postOrderReport();
    // Runs fn on context's thread and waits for it; directly when already on that thread.
    static void performOnThreadOf(QObject* context, const std::function<void()>& fn);

private:
    JobMainThreadActions& _actions;
    std::atomic<bool> _jobExecuting{false};
    std::mutex _threadMutex;
    std::thread _thread;
};

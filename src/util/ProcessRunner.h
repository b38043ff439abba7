#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <atomic>
#include <functional>
#include <optional>

// Stops running children from any thread, all at once: every runProcess given this stopper
// ends its child as soon as stop() is called (SIGTERM, SIGKILL after 2 s), and a run that starts
// after stop() does not start its child at all. Must outlive the runs that use it.
class ProcessStopper {
public:
    ProcessStopper();
    ~ProcessStopper();
    ProcessStopper(const ProcessStopper&) = delete;
    ProcessStopper& operator=(const ProcessStopper&) = delete;

    void stop(); // thread-safe; later calls do nothing more
    bool isStopped() const;
    // Becomes readable at stop() and stays so (never read): every waiting run wakes up.
    int wakeFd() const { return fd_; }

private:
    std::atomic<bool> stopped_{false};
    int fd_ = -1;
};

// How a child process is started and which of its streams are captured.
struct ProcessOptions {
    QString workingDirectory; // "" inherited; a leading "~" is expanded to the home folder
    bool captureStdout = true;
    bool captureStderr = true; // false: the child inherits the program's stream
    // Written to the child's standard input, which is then closed; none: stdin is /dev/null.
    std::optional<QByteArray> stdinData;
    // Each chunk as it arrives, on the calling thread (in addition to the collected data).
    std::function<void(const QByteArray&)> onStdout;
    // false: standard output goes to onStdout only and is not collected (output of gigabytes).
    bool keepStdout = true;
    std::function<void(const QByteArray&)> onStderr;
    // Polled at least every 100 ms; true terminates the child (SIGTERM, SIGKILL after 2 s).
    std::function<bool()> shouldCancel;
    // Not owned; when set, its stop() ends the child at once, from any thread.
    const ProcessStopper* stopper = nullptr;
};

struct ProcessResult {
    bool started = false;   // false: the program or the working directory could not be used
    bool cancelled = false; // shouldCancel or the stopper asked to stop the child
    bool crashed = false;   // ended by a signal nobody here asked for: a failure, never a cancel
    int exitStatus = -1;
    QByteArray stdoutData;
    QByteArray stderrData;
    bool succeeded() const { return started && !cancelled && !crashed && exitStatus == 0; }
};

// Every child dies with the thread that started it (a parent-death signal, set before exec): a
// program that is killed leaves no upload running on behind it.
// Runs program with args (each argument reaches the child unchanged, no shell) and blocks until
// both captured streams reached their end and the child has exited. Thread-safe; needs no event
// loop. Never throws.
ProcessResult runProcess(const QString& program, const QStringList& args,
                         const ProcessOptions& options = {});

#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

// How a child process is started and which of its streams are captured.
struct ProcessOptions {
    QString workingDirectory; // "" inherited; a leading "~" is expanded to the home folder
    bool captureStdout = true;
    bool captureStderr = true; // false: the child inherits the program's stream
    // Written to the child's standard input, which is then closed; none: stdin is /dev/null.
    std::optional<QByteArray> stdinData;
    // Each chunk as it arrives, on the calling thread (in addition to the collected data).
    std::function<void(const QByteArray&)> onStdout;
    std::function<void(const QByteArray&)> onStderr;
    // Polled at least every 100 ms; true terminates the child (SIGTERM, SIGKILL after 2 s).
    std::function<bool()> shouldCancel;
};

struct ProcessResult {
    bool started = false;   // false: the program or the working directory could not be used
    bool cancelled = false; // shouldCancel asked to stop the child
    bool crashed = false;   // ended by a signal
    int exitStatus = -1;
    QByteArray stdoutData;
    QByteArray stderrData;
    bool succeeded() const { return started && !cancelled && !crashed && exitStatus == 0; }
};

// Runs program with args (each argument reaches the child unchanged, no shell) and blocks until
// both captured streams reached their end and the child has exited. Thread-safe; needs no event
// loop. Never throws.
ProcessResult runProcess(const QString& program, const QStringList& args,
                         const ProcessOptions& options = {});

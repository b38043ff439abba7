#include "util/ProcessRunner.h"
#include "util/Tool.h"

ToolRunResult Tool::taskRunWithCmd(const QString& program, const QStringList& args,
                                   const QString& currentPath) {
    ProcessOptions options;
    options.workingDirectory = currentPath;
    options.captureStdout = false;
    options.captureStderr = false;
    const ProcessResult result = runProcess(program, args, options);
    ToolRunResult run;
    run.launched = result.started;
    run.ok = result.succeeded();
    return run;
}

bool Tool::taskWithCmd(const QString& program, const QStringList& args,
                       const QString& currentPath) {
    return taskRunWithCmd(program, args, currentPath).ok;
}

ToolRunResult Tool::outputTaskRunWithCmd(const QString& program, const QStringList& args,
                                         const QString& currentPath) {
    ProcessOptions options;
    options.workingDirectory = currentPath;
    options.captureStdout = true;
    options.captureStderr = false;
    const ProcessResult result = runProcess(program, args, options);
    ToolRunResult run;
    run.launched = result.started;
    if (result.started) {
        run.output = QString::fromUtf8(result.stdoutData);
    }
    run.ok = run.output.has_value();
    return run;
}

std::optional<QString> Tool::outputTaskWithCmd(const QString& program, const QStringList& args,
                                               const QString& currentPath) {
    return outputTaskRunWithCmd(program, args, currentPath).output;
}

#include "util/ProcessRunner.h"
#include "util/Tool.h"
#include "util/ToolPaths.h"

ToolRunResult Tool::simpleShellRun(const QString& command) {
    // Both streams are read at once, so a child that fills its error pipe first cannot stall.
    const ProcessResult result = runProcess(ToolPaths::sh(), {QStringLiteral("-c"), command});
    ToolRunResult run;
    run.launched = result.started;
    if (result.started && result.stderrData.isEmpty()) {
        run.output = QString::fromUtf8(result.stdoutData);
    }
    run.ok = run.output.has_value();
    return run;
}

std::optional<QString> Tool::simpleShell(const QString& command) {
    return simpleShellRun(command).output;
}

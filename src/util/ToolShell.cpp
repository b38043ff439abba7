#include "settings/Log.h"
#include "util/ProcessRunner.h"
#include "util/Tool.h"
#include "util/ToolPaths.h"

std::optional<QString> Tool::simpleShell(const QString& command) {
    // Both streams are read at once, so a child that fills its error pipe first cannot stall.
    const ProcessResult result = runProcess(ToolPaths::sh(), {QStringLiteral("-c"), command});
    if (!result.started) {
        Log::outputLn(QStringLiteral("シェルを起動できません：%1").arg(command));
        return std::nullopt;
    }
    if (!result.stderrData.isEmpty()) {
        return std::nullopt;
    }
    return QString::fromUtf8(result.stdoutData);
}

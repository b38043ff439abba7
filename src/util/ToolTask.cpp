#include "settings/Log.h"
#include "util/ProcessRunner.h"
#include "util/Tool.h"

bool Tool::taskWithCmd(const QString& program, const QStringList& args,
                       const QString& currentPath) {
    ProcessOptions options;
    options.workingDirectory = currentPath;
    options.captureStdout = false;
    options.captureStderr = false;
    const ProcessResult result = runProcess(program, args, options);
    if (!result.started) {
        Log::outputLn(QStringLiteral("コマンドを起動できません：%1（作業フォルダ：%2）")
                          .arg(program, currentPath));
        return false;
    }
    return result.succeeded();
}

std::optional<QString> Tool::outputTaskWithCmd(const QString& program, const QStringList& args,
                                               const QString& currentPath) {
    ProcessOptions options;
    options.workingDirectory = currentPath;
    options.captureStdout = true;
    options.captureStderr = false;
    const ProcessResult result = runProcess(program, args, options);
    if (!result.started) {
        Log::outputLn(QStringLiteral("コマンドを起動できません：%1（作業フォルダ：%2）")
                          .arg(program, currentPath));
        return std::nullopt;
    }
    return QString::fromUtf8(result.stdoutData);
}

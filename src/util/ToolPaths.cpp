#include "util/ToolPaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace {

// The folder of the running program, also before (or without) an application object.
QString programFolder() {
    if (QCoreApplication::instance() != nullptr) {
        return QCoreApplication::applicationDirPath();
    }
    return QFileInfo(QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget()).path();
}

} // namespace

QString ToolPaths::sips() {
    const QString fromEnvironment = qEnvironmentVariable("HALVIX_SIPS");
    if (!fromEnvironment.isEmpty()) {
        return fromEnvironment;
    }
    // Beside the program in the build folder; installed, a helper rather than a command, in
    // <prefix>/libexec/halvix2 beside <prefix>/bin.
    const QString folder = programFolder();
    const QString beside = folder + QStringLiteral("/halvix-sips");
    if (QFileInfo(beside).isExecutable()) {
        return beside;
    }
    return QDir::cleanPath(folder + QStringLiteral("/../libexec/halvix2/halvix-sips"));
}

QString ToolPaths::zip() {
    return QStringLiteral("/usr/bin/zip");
}

QString ToolPaths::unzip() {
    return QStringLiteral("/usr/bin/unzip");
}

QString ToolPaths::curl() {
    return QStringLiteral("/usr/bin/curl");
}

QString ToolPaths::ftp() {
    return QStringLiteral("/usr/bin/ftp");
}

QString ToolPaths::echo() {
    return QStringLiteral("/bin/echo");
}

QString ToolPaths::sh() {
    return QStringLiteral("/bin/sh");
}

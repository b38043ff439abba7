#include "settings/Log.h"

#include "settings/SettingsKeys.h"
#include "settings/UserDef.h"
#include "util/Tool.h"
#include "util/WorkFolder.h"

#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

QString Log::logFilePath() {
    // BootDate is written at every start; before that (or when it is unusable) the day's date.
    QString date = UserDef::stringForKey(SettingsKey::BootDate).value_or(QString());
    if (date.isEmpty() || date.contains(QLatin1Char('/'))) {
        date = Tool::nowDateCompress();
    }
    return QStringLiteral("%1/%2.log").arg(WorkFolder::logFolderPath(), date);
}

void Log::output(const QString& text) {
    // A work area on a disk without locks is still written to: whether another program uses it
    // cannot be known there, and without the log nobody could tell what happened.
    if (!WorkFolder::checkWorkFolder() && !WorkFolder::workAreaLockUnsupported()) {
        return;
    }
    // One open/append/close per call: every line is on disk when the call returns. The log names
    // customers and their files: a new log is the user's alone.
    const QByteArray data = text.toUtf8();
    const int fd = ::open(QFile::encodeName(logFilePath()).constData(),
                          O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        return;
    }
    qsizetype offset = 0;
    while (offset < data.size()) {
        const ssize_t n =
            ::write(fd, data.constData() + offset, static_cast<size_t>(data.size() - offset));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break; // disk full: the rest is lost, silently
        }
        offset += n;
    }
    ::close(fd);
}

void Log::outputLn(const QString& text) {
    output(QStringLiteral("[%1] %2\n").arg(Tool::nowDateTimeNomal(), text));
}

void Log::newLine() {
    outputLn(QString());
}

void Log::blankLine() {
    output(QStringLiteral("\n"));
}

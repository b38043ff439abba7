#include "settings/Log.h"

#include "settings/SettingsKeys.h"
#include "settings/UserDef.h"
#include "util/Tool.h"
#include "util/WorkFolder.h"

QString Log::logFilePath() {
    // BootDate is written at every start; before that (or when it is unusable) the day's date.
    QString date = UserDef::stringForKey(SettingsKey::BootDate).value_or(QString());
    if (date.isEmpty() || date.contains(QLatin1Char('/'))) {
        date = Tool::nowDateCompress();
    }
    return QStringLiteral("%1/%2.log").arg(WorkFolder::logFolderPath(), date);
}

void Log::output(const QString& text) {
    if (!WorkFolder::checkWorkFolder()) {
        return;
    }
    // One open/append/close per call: every line is on disk when the call returns.
    Tool::appendTextFileWithPath(logFilePath(), text, TextEncoding::Utf8);
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

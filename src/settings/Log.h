#pragma once

#include <QString>

// The application's journal: "<log folder>/<BootDate>.log", UTF-8, one open/append/close per call.
// Every failure is silent.
class Log {
public:
    Log() = delete;

    static void output(const QString& text);   // the text as it is
    static void outputLn(const QString& text); // "[%Y/%m/%d %H:%M:%S] text\n"
    static void newLine();                     // "[%Y/%m/%d %H:%M:%S] \n"
    static void blankLine();                   // "\n"

    // The file that output() writes to now.
    static QString logFilePath();
};

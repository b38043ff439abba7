#pragma once

#include <QString>
#include <QStringList>
#include <optional>

// The program's own command line, read before any window, setting or lock exists: --help and
// --version answer and end the run, a real unknown option ends it with a one-line error. Everything
// a launcher sends keeps working: FotoFusion's "-manifest PATH" and "-archive PATH" (read later by
// AppCtrl, pairwise), Qt's own options (-platform, -style, -session from the session manager, ...)
// and positional arguments.
class CommandLine {
public:
    enum class Action { Run, Help, Version, Error };

    struct Answer {
        Action action = Action::Run;
        QString text;     // help or version for standard output, the error line for standard error
        int exitCode = 0; // meaningful unless the action is Run
    };

    CommandLine() = delete;

    // arguments as the process got them, the program's own path first.
    static Answer parse(const QStringList& arguments);

    // Parses argv and, unless the program should run, writes the answer and gives its exit code.
    static std::optional<int> answer(int argc, char* argv[]);

    static constexpr int kExitUsage = 2; // the usual exit code of a command-line mistake
};

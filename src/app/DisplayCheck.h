#pragma once

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <optional>

// Whether the window can be shown at all, asked before anything is written: without a display Qt
// aborts only after the settings, the work area and the locks exist. Qt's own platform choice is
// followed: "-platform NAME" or QT_QPA_PLATFORM (a ";"-list of candidates), else X11.
class DisplayCheck {
public:
    DisplayCheck() = delete;

    // The one Japanese line that says what is missing; none when a display (or a platform that
    // needs none, such as offscreen) is there. arguments as the process got them.
    static std::optional<QString> missingDisplay(const QStringList& arguments,
                                                 const QProcessEnvironment& environment);

    // Checks argv and the process's environment; writes the line to standard error and gives the
    // exit code (1) when the program cannot show its window.
    static std::optional<int> refuse(int argc, char* argv[]);

    static constexpr int kExitNoDisplay = 1;
};

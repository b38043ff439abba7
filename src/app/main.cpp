#include "app/gui/MainWindow.h"
#include "ui/MessageBoxResponder.h"

#include <QApplication>
#include <cstdio>
#include <cstring>

int main(int argc, char* argv[]) {
    // --version answers before any window or settings exist, so scripts can ask it anywhere.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("HALVIX 2 %s\n", HALVIX_VERSION);
            return 0;
        }
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("halvix2"));
    QApplication::setApplicationVersion(QStringLiteral(HALVIX_VERSION));
    // Alerts from every thread are answered by message boxes on this thread from here on.
    MessageBoxResponder::install();
    MainWindow window;
    window.show();
    return QApplication::exec();
}

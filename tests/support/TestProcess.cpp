#include "TestProcess.h"

TestProcess::~TestProcess() {
    stop();
}

void TestProcess::stop(int graceMs) {
    if (state() == QProcess::NotRunning) {
        return;
    }
    if (state() == QProcess::Starting) {
        waitForStarted(graceMs);
    }
    terminate();
    if (!waitForFinished(graceMs)) {
        kill();
        waitForFinished(-1);
    }
}

QString TestProcess::errorText() {
    stderrSeen += readAllStandardError();
    return QString::fromUtf8(stderrSeen);
}

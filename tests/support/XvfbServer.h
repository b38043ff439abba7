#pragma once

#include "TestProcess.h"

#include <QString>

// A private X server for one test: Xvfb picks a free display itself (-displayfd), so parallel
// tests never race for a number, and it is a direct child of the test, ended and reaped with it.
// Check isRunning() (QVERIFY2 with errorText()) before use.
class XvfbServer {
public:
    explicit XvfbServer(const QString& screen = QStringLiteral("1024x768x24"));
    ~XvfbServer() = default;
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;

    bool isRunning() const { return !display_.isEmpty() && process.state() == QProcess::Running; }
    QString display() const { return display_; } // ":N"
    QString errorText() const { return error; }

private:
    TestProcess process;
    QString display_;
    QString error;
};

#pragma once

#include <QProcess>
#include <QString>

// A child process of a test that is always ended and waited for, whatever the test's outcome (an
// early QVERIFY return included): on destruction it gets SIGTERM, time to end cleanly, then
// SIGKILL, and is reaped. Start the program itself, never a wrapper script whose own children
// would outlive it.
class TestProcess : public QProcess {
public:
    explicit TestProcess(QObject* parent = nullptr) : QProcess(parent) {}
    ~TestProcess() override;
    TestProcess(const TestProcess&) = delete;
    TestProcess& operator=(const TestProcess&) = delete;

    // SIGTERM, up to graceMs for the process to end, then SIGKILL; returns once it is reaped.
    void stop(int graceMs = 30000);
    // Standard error read so far (kept: reading it does not lose it for a later look).
    QString errorText();

private:
    QByteArray stderrSeen;
};

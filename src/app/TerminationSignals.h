#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <memory>

// SIGTERM and SIGINT end the program through its one termination path: the signal handler only
// writes a byte into a pipe; the notifier turns that into the signal terminationRequested() on
// the main thread. One instance per process; the handlers are restored on destruction.
class TerminationSignals : public QObject {
    Q_OBJECT
public:
    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;
    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

    bool isInstalled() const { return _notifier != nullptr; }

Q_SIGNALS:
    void terminationRequested(int signalNumber);

private:
    void readSignal();
    std::unique_ptr<QSocketNotifier> _notifier;
};

#pragma once

#include "product/ProductData.h"

#include <QFutureWatcher>
#include <QObject>
#include <QString>
#include <QThreadPool>
#include <atomic>

// What the lab says at start, asked in the background so that the window is usable at once and a
// silent lab holds up nothing but the orders that need its answer: the two information pages, the
// catalogue texts chosen with them (newer ones fetched and stored, with their log lines) and the
// custom catalogues of the studio's customers. finished() comes on the main thread.
class StartUpCheck : public QObject {
    Q_OBJECT
public:
    struct Result {
        QString updateInfo; // the application page, "\n", the album page
        ProductData::Texts catalogues;
    };

    explicit StartUpCheck(QObject* parent = nullptr);
    // Gives way (requests under way end at once) and waits for the work to end.
    ~StartUpCheck() override;
    StartUpCheck(const StartUpCheck&) = delete;
    StartUpCheck& operator=(const StartUpCheck&) = delete;

    void start();
    bool isStarted() const { return _started; }
    // The answer has been taken over on the main thread (finished() was emitted).
    bool isDone() const { return _done; }
    const Result& result() const { return _result; }
    // The program is ending: the lab's requests under way end now, nothing more is asked.
    void abandon();
    // Turns the event loop until finished() was emitted (tests; and a caller that must have it).
    void waitForDone();

Q_SIGNALS:
    void finished();

private:
    static Result run(const std::atomic<bool>& abort, QThreadPool& pool);

    // A pool of its own: on two cores the shared one may be busy with the start-up reports.
    QThreadPool _pool;
    std::atomic<bool> _abort{false};
    QFutureWatcher<Result> _watcher;
    Result _result;
    bool _started = false;
    bool _done = false;
};

#pragma once

#include <QString>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

// Whether a pooled archive still holds the bytes it was packed with (their SHA-256), hashed on a
// worker thread while the job goes on: the upload reads the same file at the same time, so the
// check costs no time of its own. The worker touches nothing but the file. Destroying the check
// stops the worker and waits for it.
class PoolArchiveCheck {
public:
    enum class Result { Pending, Same, Changed, Unreadable, Stopped };

    PoolArchiveCheck(const QString& path, const QString& packedSha256);
    ~PoolArchiveCheck();
    PoolArchiveCheck(const PoolArchiveCheck&) = delete;
    PoolArchiveCheck& operator=(const PoolArchiveCheck&) = delete;

    // Without waiting; Pending while the worker still reads.
    Result result() const { return _result.load(); }
    // Finished and refused: the archive differs or could not be read whole.
    bool failed() const;
    // Waits for the worker; shouldStop, polled meanwhile, stops it (then Stopped).
    Result wait(const std::function<bool()>& shouldStop);

private:
    void run(const QString& path, const QString& packedSha256);

    std::atomic<Result> _result{Result::Pending};
    std::atomic<bool> _stop{false};
    std::mutex _mutex;
    std::condition_variable _done;
    std::thread _worker; // last: started once everything it uses exists
};

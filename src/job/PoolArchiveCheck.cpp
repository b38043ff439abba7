#include "job/PoolArchiveCheck.h"

#include "util/Sha256.h"

#include <chrono>

PoolArchiveCheck::PoolArchiveCheck(const QString& path, const QString& packedSha256)
    : _worker([this, path, packedSha256] { run(path, packedSha256); }) {}

PoolArchiveCheck::~PoolArchiveCheck() {
    _stop = true;
    _worker.join();
}

bool PoolArchiveCheck::failed() const {
    const Result result = _result.load();
    return result == Result::Changed || result == Result::Unreadable;
}

PoolArchiveCheck::Result PoolArchiveCheck::wait(const std::function<bool()>& shouldStop) {
    std::unique_lock lock(_mutex);
    while (_result.load() == Result::Pending) {
        if (shouldStop && shouldStop())
            _stop = true;
        _done.wait_for(lock, std::chrono::milliseconds(20));
    }
    return _result.load();
}

void PoolArchiveCheck::run(const QString& path, const QString& packedSha256) {
    const std::optional<QString> hash =
        orbel::Sha256::ofFile(path, [this] { return _stop.load(); });
    Result result = Result::Same;
    if (!hash)
        result = _stop.load() ? Result::Stopped : Result::Unreadable;
    else if (*hash != packedSha256)
        result = Result::Changed;
    {
        const std::lock_guard lock(_mutex);
        _result = result;
    }
    _done.notify_all();
}

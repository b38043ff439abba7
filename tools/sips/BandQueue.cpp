#include "BandQueue.h"

#include <algorithm>

BandQueue::BandQueue(int bands, std::size_t bandBytes, int wakeAfter)
    : wakeAfter_(std::size_t(std::clamp(wakeAfter, 1, bands))) {
    bands_.reserve(std::size_t(bands));
    for (int i = 0; i < bands; ++i) {
        bands_.emplace_back(bandBytes);
    }
    for (auto band = bands_.rbegin(); band != bands_.rend(); ++band) {
        empty_.push_back(&*band);
    }
}

Band* BandQueue::emptyBand() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return stopped_ || !empty_.empty(); });
    if (stopped_) {
        return nullptr;
    }
    Band* band = empty_.back();
    empty_.pop_back();
    return band;
}

void BandQueue::filled(Band* band) {
    bool wake = false;
    {
        const std::lock_guard lock(mutex_);
        full_.push_back(band);
        wake = full_.size() >= wakeAfter_;
    }
    if (wake) {
        changed_.notify_all();
    }
}

void BandQueue::close() {
    {
        const std::lock_guard lock(mutex_);
        closed_ = true;
    }
    changed_.notify_all();
}

Band* BandQueue::nextBand() {
    std::unique_lock lock(mutex_);
    if (full_.empty()) {
        changed_.wait(lock, [this] { return stopped_ || closed_ || full_.size() >= wakeAfter_; });
    }
    if (stopped_ || full_.empty()) {
        return nullptr;
    }
    Band* band = full_.front();
    full_.pop_front();
    return band;
}

void BandQueue::release(Band* band) {
    {
        const std::lock_guard lock(mutex_);
        empty_.push_back(band);
    }
    changed_.notify_all();
}

void BandQueue::stop() {
    {
        const std::lock_guard lock(mutex_);
        stopped_ = true;
    }
    changed_.notify_all();
}

bool BandQueue::stopped() const {
    const std::lock_guard lock(mutex_);
    return stopped_;
}

#include "job/StopWatch.h"

namespace {

double seconds(std::chrono::steady_clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

} // namespace

void StopWatch::start() {
    startDate = Clock::now();
    stopDate.reset();
}

double StopWatch::lap() const {
    return startDate ? seconds(Clock::now() - *startDate) : 0.0;
}

void StopWatch::stop() {
    stopDate = Clock::now();
    if (!startDate) {
        startDate = stopDate;
    }
}

double StopWatch::total() const {
    return startDate && stopDate ? seconds(*stopDate - *startDate) : 0.0;
}

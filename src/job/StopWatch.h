#pragma once

#include <chrono>
#include <optional>

// Elapsed time of a stage, for the usage reports.
class StopWatch {
public:
    void start();         // starts anew
    double lap() const;   // seconds since start, 0 when never started
    void stop();          // records the end (and the start when never started)
    double total() const; // seconds from start to stop, 0 unless both are set

private:
    using Clock = std::chrono::steady_clock;
    std::optional<Clock::time_point> startDate;
    std::optional<Clock::time_point> stopDate;
};

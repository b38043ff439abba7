#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

// A few rows of decoded samples, handed from the decoding thread to the encoding thread.
struct Band {
    explicit Band(std::size_t bytes = 0) : samples(new unsigned char[bytes]) {}
    // Left uninitialised: a band that is never needed is never touched.
    std::unique_ptr<unsigned char[]> samples;
    int rows = 0;
};

// The bounded hand-over between one producer and one consumer: a fixed set of bands goes round,
// so memory stays at a few bands however large the photo, and a producer that runs ahead waits.
// Filled bands are handed on in order; the band filled next is the one freed last, so that while
// the consumer keeps up only a few bands are ever touched.
// Either side may stop the other at any moment; neither then waits any longer.
class BandQueue {
public:
    // The consumer, once it waits, sleeps until wakeAfter bands are ready (or the last ones):
    // fewer wake-ups, fewer thread switches on a busy machine.
    BandQueue(int bands, std::size_t bandBytes, int wakeAfter);
    BandQueue(const BandQueue&) = delete;
    BandQueue& operator=(const BandQueue&) = delete;

    // Producer: a band to fill (waits for one); null once stopped.
    Band* emptyBand();
    // Producer: the band is filled, in order.
    void filled(Band* band);
    // Producer: no more bands follow.
    void close();

    // Consumer: the next filled band (waits for it); null at the end or once stopped.
    Band* nextBand();
    // Consumer: the band is used up and may be filled again.
    void release(Band* band);

    // Either side: stop now, wake the other.
    void stop();
    bool stopped() const;

private:
    std::size_t wakeAfter_;
    std::vector<Band> bands_;
    std::vector<Band*> empty_;
    std::deque<Band*> full_;
    bool closed_ = false;
    bool stopped_ = false;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
};

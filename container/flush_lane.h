// Flushes of the file being encrypted and of its journal, made on a thread beside the engine's:
// the disk makes one record durable while the cipher works on the next. One flush at a time,
// in the order given.
//
// Where the file system takes calls from one thread only (test doubles, the kill switch under
// Wine), a flush given is made on the engine's thread when the engine first asks about it: as
// late as the engine's order allows, so a test that cuts the power at every call sees the
// writes that may overtake a flush in the threaded case overtake it there too.
#pragma once

#include "container/cipher_lane.h"

#include <atomic>
#include <functional>

class FlushLane {
public:
    explicit FlushLane(bool threaded) : threaded_(threaded) {}
    FlushLane(const FlushLane &) = delete;
    FlushLane &operator=(const FlushLane &) = delete;

    // Waits for the flush given before, then gives this one, which returns whether it
    // succeeded.
    void start(std::function<bool()> flush);
    // Whether the flush given last has been made; never waits for the disk on a thread.
    bool settled();
    // Waits until every flush given has been made. False when one failed since the last call
    // that said so: a failure is told once.
    bool wait();

private:
    void run(const std::function<bool()> &flush) {
        if (!flush()) failed_ = true;
    }

    const bool threaded_;
    std::function<bool()> deferred_; // one thread only: the flush given, not yet made
    std::atomic<bool> failed_{false};
    CipherLane lane_; // last: ends, having made its flush, before the rest goes
};

#include "container/flush_lane.h"

#include <utility>

void FlushLane::start(std::function<bool()> flush) {
    if (threaded_) {
        lane_.start([this, flush = std::move(flush)] { run(flush); });
        return;
    }
    settled();
    deferred_ = std::move(flush);
}

bool FlushLane::settled() {
    if (threaded_) return lane_.idle();
    if (deferred_) {
        const std::function<bool()> flush = std::move(deferred_);
        deferred_ = nullptr;
        run(flush);
    }
    return true;
}

bool FlushLane::wait() {
    if (threaded_)
        lane_.wait();
    else
        settled();
    return !failed_.exchange(false);
}

#include "shell/finish_order.h"

#include <cstdint>

size_t FinishOrder::Launched(bool holdsLater) {
    const std::lock_guard<std::mutex> lock(mutex_);
    states_.push_back(Running);
    holdsLater_.push_back(holdsLater);
    return states_.size() - 1;
}

bool FinishOrder::MayFinish(size_t file) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return file >= stopFrom_ || cleared_ >= file; });
    if (file >= stopFrom_) return false;
    if (!holdsLater_[file] && states_[file] == Running) states_[file] = Passed;
    Advance();
    lock.unlock();
    changed_.notify_all();
    return true;
}

void FinishOrder::EngineDone(size_t file, bool well) {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (well && !holdsLater_[file] && states_[file] == Running) states_[file] = Passed;
        Advance();
    }
    changed_.notify_all();
}

void FinishOrder::Reported(size_t file) {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        states_[file] = Reported_;
        Advance();
    }
    changed_.notify_all();
}

void FinishOrder::Stop(size_t first) {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (first < stopFrom_) stopFrom_ = first;
    }
    changed_.notify_all();
}

void FinishOrder::Advance() {
    while (cleared_ < states_.size() && states_[cleared_] != Running)
        ++cleared_;
}

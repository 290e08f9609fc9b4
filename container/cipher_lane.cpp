#include "container/cipher_lane.h"

#include <system_error>

CipherLane::~CipherLane() {
    if (!thread_.joinable()) return;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        closing_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

void CipherLane::start(std::function<void()> job) {
    wait();
    if (!thread_.joinable() && !no_thread_) {
        try {
            thread_ = std::thread(&CipherLane::loop, this);
        } catch (const std::system_error &) {
            no_thread_ = true;
        }
    }
    if (no_thread_) {
        job();
        return;
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        job_ = std::move(job);
        busy_ = true;
    }
    changed_.notify_all();
}

void CipherLane::wait() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return !busy_; });
}

void CipherLane::loop() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return busy_ || closing_; });
        if (!busy_) return; // closing, nothing left to run
        std::function<void()> job = std::move(job_);
        lock.unlock();
        job();
        lock.lock();
        busy_ = false;
        changed_.notify_all();
    }
}

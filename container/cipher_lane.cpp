#include "container/cipher_lane.h"

#include <chrono>
#include <system_error>

namespace {

// Longer than either side usually waits for the other, far shorter than a flush.
constexpr std::chrono::microseconds SPIN_LIMIT{300};

void relax() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#else
    std::this_thread::yield();
#endif
}

// Whether `ready` came true within SPIN_LIMIT; the processor is given up now and then, so
// that a spin never keeps a thread with work from running.
template <typename Ready> bool spin_until(Ready ready) {
    const auto end = std::chrono::steady_clock::now() + SPIN_LIMIT;
    for (unsigned i = 1;; ++i) {
        if (ready()) return true;
        if (i % 64 == 0) {
            if (std::chrono::steady_clock::now() > end) return false;
            std::this_thread::yield();
        }
        relax();
    }
}

} // namespace

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
    if (spin_until([this] { return !busy_.load(); })) return;
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return !busy_; });
}

void CipherLane::loop() {
    for (;;) {
        spin_until([this] { return busy_.load() || closing_.load(); });
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [this] { return busy_.load() || closing_.load(); });
        if (!busy_) return; // closing, nothing left to run
        std::function<void()> job = std::move(job_);
        lock.unlock();
        job();
        lock.lock();
        busy_ = false;
        changed_.notify_all();
    }
}

// A thread beside the engine's for the cipher: while it encrypts one piece of a record, the
// engine's thread reads and checks the next one and writes the one before. One job at a time,
// in the order given. Should the system give no thread, a job runs at once on the caller's.
//
// A job lasts a fraction of a millisecond, and each side mostly waits for the other only
// briefly; waking a thread that went to sleep can cost as much as the job itself (on virtual
// machines above all), so both sides spin a little before they sleep.
#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

class CipherLane {
public:
    CipherLane() = default;
    // Waits for the job given last, then ends the thread.
    ~CipherLane();
    CipherLane(const CipherLane &) = delete;
    CipherLane &operator=(const CipherLane &) = delete;

    // Waits for the job before, then gives this one (the thread starts with the first).
    void start(std::function<void()> job);
    // Returns once the job given last has run.
    void wait();
    // Whether the job given last has run, without waiting.
    bool idle() const { return !busy_.load(); }

private:
    void loop();

    std::mutex mutex_;
    std::condition_variable changed_;
    std::function<void()> job_;
    std::atomic<bool> busy_{false}; // set under mutex_, read without it while spinning
    std::atomic<bool> closing_{false};
    bool no_thread_ = false;
    std::thread thread_;
};

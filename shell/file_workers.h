// Threads that run the engine for several files of a batch side by side. Work starts in the
// order it is given; whoever gave it waits on the flag the work sets when it is done.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

class FileWorkers {
public:
    // Up to `most` threads, started as work finds none idle. Should the system give none, work
    // runs on the caller's thread, inside Run.
    explicit FileWorkers(size_t most) : most_(most) {}
    // Lets the work already given finish, then ends the threads.
    ~FileWorkers();
    FileWorkers(const FileWorkers &) = delete;
    FileWorkers &operator=(const FileWorkers &) = delete;

    // `work` runs on a worker; `done` is set once it has returned.
    void Run(std::function<void()> work, std::atomic<bool> *done);
    // True once `done` is set; false when `timeout` passed first.
    bool WaitFor(const std::atomic<bool> &done, std::chrono::milliseconds timeout);

private:
    struct Work {
        std::function<void()> run;
        std::atomic<bool> *done;
    };
    void Loop();

    std::mutex mutex_;
    std::condition_variable given_, finished_;
    std::deque<Work> queue_;
    bool closing_ = false;
    const size_t most_;
    size_t idle_ = 0;
    std::vector<std::thread> threads_;
};

#include "shell/file_workers.h"

#include <system_error>

FileWorkers::~FileWorkers() {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        closing_ = true;
    }
    given_.notify_all();
    for (std::thread &thread : threads_)
        thread.join();
}

void FileWorkers::Run(std::function<void()> work, std::atomic<bool> *done) {
    {
        std::unique_lock<std::mutex> lock(mutex_);
        if (idle_ <= queue_.size() && threads_.size() < most_) {
            try {
                threads_.emplace_back([this] { Loop(); });
            } catch (const std::system_error &) {
                // The threads there are take it in turn; with none, it runs here.
                if (threads_.empty()) {
                    lock.unlock();
                    work();
                    done->store(true);
                    return;
                }
            }
        }
        queue_.push_back({std::move(work), done});
    }
    given_.notify_one();
}

bool FileWorkers::WaitFor(const std::atomic<bool> &done, std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(mutex_);
    return finished_.wait_for(lock, timeout, [&done] { return done.load(); });
}

void FileWorkers::Loop() {
    for (;;) {
        Work work;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            ++idle_;
            given_.wait(lock, [this] { return closing_ || !queue_.empty(); });
            --idle_;
            if (queue_.empty()) return; // closing, and nothing left to do
            work = std::move(queue_.front());
            queue_.pop_front();
        }
        work.run();
        {
            // Set under the lock, so that a waiter cannot miss it between its test and its wait.
            const std::lock_guard<std::mutex> lock(mutex_);
            work.done->store(true);
        }
        finished_.notify_all();
    }
}

// The order in which the encryptions of a batch may become final. A file may finish once every
// file launched before it has either passed this point itself or been reported: one that failed
// before it may still cancel the batch (its box has a Cancel), and then the files after it must
// stop where they can be put back, as if the batch had never reached them.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <vector>

class FinishOrder {
public:
    // Numbers the next file launched (0, 1, ...). `holdsLater`: passing is not enough for the
    // files after it, they wait for its report (its commit may still fail and cancel).
    size_t Launched(bool holdsLater);
    // On a worker: blocks until `file` may finish (true) or the files from it on were stopped.
    bool MayFinish(size_t file);
    // The engine of `file` returned; `well`: it succeeded.
    void EngineDone(size_t file, bool well);
    // On the calling thread, in order: `file` was reported.
    void Reported(size_t file);
    // Files numbered `first` and later may not finish.
    void Stop(size_t first);

private:
    enum State : char { Running, Passed, Reported_ };
    void Advance();

    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<State> states_;
    std::vector<bool> holdsLater_;
    size_t cleared_ = 0;         // every file below it has passed or been reported
    size_t stopFrom_ = SIZE_MAX; // files from here on may not finish
};

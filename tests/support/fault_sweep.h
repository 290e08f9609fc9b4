// Sweeps of injected faults: every call of each operation made to fail (or to move half its
// bytes), once or from then on, one run per call, until a run passes without the fault firing.
// Each test program tallies the faults it injected and how many runs came through them with
// the user's data whole, and prints the figure once at its end.
#pragma once

#include "tests/support/fault_file_system.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace qxv_test {

struct Injection {
    Op op;
    Fault fault;
    Repeat repeat;
};

inline const char *op_name(Op op) {
    switch (op) {
    case Op::Open:
        return "open";
    case Op::Read:
        return "read";
    case Op::Write:
        return "write";
    case Op::Seek:
        return "seek";
    case Op::SetEnd:
        return "set-end";
    case Op::Size:
        return "size";
    case Op::GetTimes:
        return "get-times";
    case Op::SetTimes:
        return "set-times";
    case Op::Copy:
        return "copy";
    case Op::Flush:
        return "flush";
    case Op::Remove:
        return "remove";
    case Op::Rename:
        return "rename";
    case Op::Count_:
        break;
    }
    return "?";
}

inline std::string describe(const Injection &injection, int nth) {
    return std::string(op_name(injection.op)) +
           (injection.fault == Fault::Short ? " short" : " fails") + " at call " +
           std::to_string(nth) + (injection.repeat == Repeat::FromThen ? " and after" : " only");
}

// Every failure of `ops`, and short reads and writes, each once and from then on.
inline std::vector<Injection> every_injection(std::initializer_list<Op> ops) {
    std::vector<Injection> all;
    for (Repeat repeat : {Repeat::Once, Repeat::FromThen})
        for (Op op : ops) {
            all.push_back({op, Fault::Fail, repeat});
            if (op == Op::Read || op == Op::Write) all.push_back({op, Fault::Short, repeat});
        }
    return all;
}

// The ops a flow that replaces a user's file must survive.
inline std::vector<Injection> replace_flow_injections() {
    return every_injection(
        {Op::Open, Op::Read, Op::Write, Op::Flush, Op::SetEnd, Op::Rename, Op::Remove});
}

class FaultTally {
public:
    static FaultTally &instance() {
        static FaultTally tally;
        return tally;
    }
    void add(int injected, bool survived) {
        injected_ += injected;
        if (survived && !excused_) survived_ += injected;
        excused_ = false;
    }
    // The run that is being checked passes, but its faults are not counted as survived.
    void not_survived() { excused_ = true; }
    ~FaultTally() {
        if (injected_ > 0)
            std::printf("fault tally: %ld faults injected, %ld survived with the data whole\n",
                        injected_, survived_);
    }

private:
    long injected_ = 0;
    long survived_ = 0;
    bool excused_ = false;
};

// Runs `scenario` once per call of each injection's op, the fault armed at that call, until a
// run in which it did not fire (that run must be a plain success). `prepare` sets the files up
// before each run; `check(fired)` asserts what must hold afterwards. Stops at the first run
// that fails a check.
inline void sweep(FaultFileSystem &fs, const std::vector<Injection> &injections,
                  const std::function<void()> &prepare, const std::function<void()> &scenario,
                  const std::function<void(bool fired)> &check) {
    for (const Injection &injection : injections) {
        for (int n = 1; n < 10000; ++n) {
            SCOPED_TRACE(describe(injection, n));
            prepare();
            fs.arm(injection.op, n, injection.fault, injection.repeat);
            scenario();
            const int fired = fs.fired_count();
            fs.disarm();
            check(fired > 0);
            const bool failed = testing::Test::HasFailure();
            FaultTally::instance().add(fired, !failed);
            if (failed || fired == 0) break;
        }
        if (testing::Test::HasFailure()) return;
    }
}

} // namespace qxv_test

// Kill tests: a child process runs the in-place encryption and dies at its Nth call that
// changes the disk (after part of a write, in the torn variant), for every N until it
// finishes; what it leaves must be the untouched file or a journal that finishes the job.
// Recoveries are themselves killed and resumed. The command line's encryption of a folder is
// killed the same way, and run again.
#include "container/container_probe.h"
#include "container/encrypt_file.h"
#include "container/journal.h"
#include "platform/held_file.h"
#include "tests/container/kill/batch_check.h"
#include "tests/container/kill/child_process.h"
#include "tests/container/kill/kill_switch_file_system.h"
#include "tests/container/kill/recovery_check.h"
#include "tests/support/settings_sandbox.h"
#include "tests/support/sweep_step.h"
#include "tests/support/temp_folder.h"

#include <chrono>
#include <cstdio>
#include <thread>

namespace {

using namespace qxv_test;

long survived_points = 0;
long survived_recovery_kills = 0;

class Tally : public ::testing::Environment {
public:
    void TearDown() override {
        std::printf("kill points survived: %ld (and %ld kills of recoveries)\n", survived_points,
                    survived_recovery_kills);
    }
};
const auto *const tally = ::testing::AddGlobalTestEnvironment(new Tally);

struct KillCase {
    size_t size;
    char encrypt;
    char decrypt;
    bool torn;
};

std::string describe(const KillCase &c) {
    return std::to_string(c.size) + " bytes, mode " + c.encrypt + (c.torn ? ", torn" : ", plain");
}

class KillTest : public ::testing::Test {
protected:
    TempFolder folder_;
    std::string path_ = folder_.file("plain.bin");
    std::string output_ = folder_.file("plain.bin.qxv");

    // The plain file made afresh, with times of its own, as the engine will see it.
    PlainFile make_plain(size_t size, uint32_t seed) {
        std::filesystem::remove(path_);
        std::filesystem::remove(journal_of(path_));
        std::filesystem::remove(journal_temporary_path(path_));
        std::filesystem::remove(output_);
        return plant(path_, size, seed);
    }

    static PlainFile plant(const std::string &path, size_t size, uint32_t seed) {
        write_all(path, pattern(size, seed));
        auto file = platform::native_file_system().open(path, platform::Access::Write,
                                                        platform::Share::ReadWrite,
                                                        platform::Disposition::OpenExisting);
        platform::FileTimes times;
        times.write = 126000000000000000ull + seed * 10000000ull + 1234567; // 2000-04-14
        times.access = times.write + 990000000;
        EXPECT_TRUE(file && file->set_times(times));
        file.reset();
        return PlainFile{read_all(path), times_of(path).value()};
    }

    ChildResult crash(bool torn, long fatal_call, char mode, const char *fate = nullptr,
                      bool renaming = false) {
        if (fate == nullptr) fate = torn ? "torn" : "plain";
        std::vector<std::string> arguments = {
            QXV_CRASH_POINT,      fate,     std::to_string(fatal_call),
            std::string(1, mode), PASSWORD, path_};
        if (renaming) arguments.push_back(output_);
        return run_child(arguments);
    }

    // The modifying calls of one whole encryption.
    long count_calls(size_t size, char mode, bool renaming = false) {
        make_plain(size, 1);
        const ChildResult whole = crash(false, 0, mode, nullptr, renaming);
        EXPECT_EQ(whole.exit_code, CRYPT_OK) << whole.output;
        long calls = 0;
        EXPECT_EQ(std::sscanf(whole.output.c_str(), "calls %ld", &calls), 1);
        return calls;
    }

    // Every point when there are few; otherwise every point of the first and last `edge`
    // and a stride between. The point after the last lets the child finish.
    static std::vector<long> kill_points(long calls, long edge, long middle) {
        std::vector<long> points;
        const long step = qxv_test::sweep_step();
        const long stride =
            std::max(step, calls > 2 * edge ? std::max(1L, (calls - 2 * edge) / middle) : 1);
        for (long n = 1; n <= calls + 1; n += (n > edge && n < calls - edge ? stride : step))
            points.push_back(n);
        if (points.back() != calls + 1) points.push_back(calls + 1);
        return points;
    }

    // Kills recoveries after 1, 2, 4, ... calls, each resuming what the last one left.
    void interrupt_recoveries(bool torn, char mode) {
        for (long m = 1;; m *= 2) {
            const ChildResult run = crash(torn, m, mode);
            if (run.exit_code != KILLED_EXIT_CODE) {
                EXPECT_EQ(run.exit_code, CRYPT_OK) << "recovery after " << m << " calls";
                return;
            }
            ++survived_recovery_kills;
            if (!platform::file_system().exists(journal_of(path_))) return;
        }
    }

    void run_case(const KillCase &c, long edge, long middle, int recovery_every) {
        SCOPED_TRACE(describe(c));
        const long calls = count_calls(c.size, c.encrypt);
        ASSERT_GT(calls, 0);
        int recovered = 0;
        for (const long n : kill_points(calls, edge, middle)) {
            SCOPED_TRACE("killed at call " + std::to_string(n));
            const PlainFile original = make_plain(c.size, uint32_t(n));
            const ChildResult run = crash(c.torn, n, c.encrypt);
            RecoveryCase check{path_, &original, PASSWORD, c.decrypt, RESTORES_CREATION};
            if (run.exit_code != KILLED_EXIT_CODE) {
                ASSERT_EQ(run.exit_code, CRYPT_OK) << run.output;
                EXPECT_GT(n, calls);
                expect_container_of(check, PASSWORD);
                break;
            }
            ASSERT_LE(n, calls);
#ifndef _WIN32
            const auto journal = std::filesystem::status(journal_of(path_));
            using std::filesystem::perms;
            EXPECT_TRUE(!std::filesystem::exists(journal) ||
                        (journal.permissions() & (perms::group_all | perms::others_all)) ==
                            perms::none)
                << "the journal is for its owner only";
#endif
            const char recover = "AEe"[n % 3]; // the journal's algorithm wins
            std::function<void()> interrupt;
            if (++recovered % recovery_every == 0)
                interrupt = [&] { interrupt_recoveries(c.torn, recover); };
            check_after_interruption(check, recover, interrupt);
            if (HasFailure()) return; // one failure tells; the next points would repeat it
            ++survived_points;
        }
    }

    // What an encryption that gives the container its name may leave when killed: the plain
    // file untouched, a journal that the next encryption finishes (name included), or the
    // container under its name, perhaps with a finished journal that must not pass for an
    // interrupted one once a plain file of that name is back. Never a whole container under
    // the plain name without a journal, nor a temporary journal the next run keeps.
    void run_renaming_case(size_t size, bool torn, long edge, long middle) {
        SCOPED_TRACE(std::to_string(size) + (torn ? " bytes renamed, torn" : " bytes renamed"));
        const long calls = count_calls(size, 'A', true);
        ASSERT_GT(calls, 0);
        for (const long n : kill_points(calls, edge, middle)) {
            SCOPED_TRACE("killed at call " + std::to_string(n));
            const PlainFile original = make_plain(size, uint32_t(n));
            const ChildResult run = crash(torn, n, 'A', nullptr, true);
            ASSERT_TRUE(run.exit_code == KILLED_EXIT_CODE || run.exit_code == CRYPT_OK)
                << run.output;
            RecoveryCase renamed{output_, &original, PASSWORD, 'C', RESTORES_CREATION};
            const bool journaled = std::filesystem::exists(journal_of(path_));
            if (!std::filesystem::exists(output_)) {
                ASSERT_TRUE(std::filesystem::exists(path_));
                if (!journaled) {
                    EXPECT_TRUE(read_all(path_) == original.bytes) << "plain name, no journal";
                } else {
                    platform::HeldFile held;
                    ASSERT_TRUE(held.hold(path_));
                    EXPECT_EQ(container_encrypt_file(path_.c_str(), {output_, held.identity(), {}},
                                                     PASSWORD, 'A'),
                              CRYPT_OK);
                    EXPECT_FALSE(std::filesystem::exists(path_));
                    expect_container_of(renamed, PASSWORD);
                }
            } else {
                EXPECT_FALSE(std::filesystem::exists(path_));
                expect_container_of(renamed, PASSWORD);
                if (journaled) {
                    // The plain file back under its name (as a decryption makes it).
                    write_all(path_, original.bytes);
                    EXPECT_FALSE(container_probe_interrupted(path_.c_str()));
                    std::filesystem::remove(output_);
                    EXPECT_EQ(container_crypt_file(path_.c_str(), "", PASSWORD, 'A'), CRYPT_OK);
                    EXPECT_FALSE(std::filesystem::exists(journal_of(path_)));
                }
            }
            EXPECT_FALSE(std::filesystem::exists(journal_temporary_path(path_)) &&
                         run.exit_code == CRYPT_OK);
            if (HasFailure() || run.exit_code == CRYPT_OK) return;
            ++survived_points;
        }
    }

    // The folder of batch_entries made afresh, every file with contents and times of its own.
    std::vector<BatchFile> make_batch(bool large, uint32_t seed) {
        std::filesystem::remove_all(batch_);
        std::filesystem::create_directories(std::filesystem::path(batch_) / "sub");
        std::vector<BatchFile> files;
        for (const BatchEntry &entry : batch_entries(true, large)) {
            const std::string path =
                (std::filesystem::path(batch_) / entry.name).make_preferred().string();
            files.push_back({path, plant(path, entry.size, seed++)});
        }
        return files;
    }

    ChildResult crash_batch(bool torn, long fatal_call) {
        return run_child({QXV_BATCH_CRASH_POINT, torn ? "torn" : "plain",
                          std::to_string(fatal_call), password_file_, batch_});
    }

    // The folder's encryption killed at every point (a stride between the first and last
    // `edge`), each followed by the same command again.
    void run_batch_case(bool large, bool torn, long edge, long middle) {
        SCOPED_TRACE(std::string("batch") + (large ? " with a large file" : "") +
                     (torn ? ", torn" : ", plain"));
        make_batch(large, 1);
        const ChildResult whole = crash_batch(false, 0);
        ASSERT_EQ(whole.exit_code, 0) << whole.output;
        long calls = 0;
        ASSERT_EQ(std::sscanf(whole.output.c_str(), "calls %ld", &calls), 1);
        for (const long n : kill_points(calls, edge, middle)) {
            SCOPED_TRACE("killed at call " + std::to_string(n));
            const std::vector<BatchFile> files = make_batch(large, uint32_t(n) * 16);
            const ChildResult run = crash_batch(torn, n);
            if (run.exit_code != KILLED_EXIT_CODE) {
                ASSERT_EQ(run.exit_code, 0) << run.output;
                EXPECT_GT(n, calls);
                expect_batch_finished(files, RESTORES_CREATION);
                break;
            }
            expect_batch_interrupted_soundly(files, RESTORES_CREATION);
            const ChildResult again = crash_batch(false, 0);
            EXPECT_EQ(again.exit_code, 0) << again.output;
            expect_batch_finished(files, RESTORES_CREATION);
            if (HasFailure()) return;
            ++survived_points;
        }
    }

    std::string batch_ = folder_.file("batch");
    std::string password_file_ = [this] {
        const std::string path = folder_.file("password");
        const std::string line = std::string(PASSWORD) + "\n";
        write_all(path, Bytes(line.begin(), line.end()));
        return path;
    }();

#ifdef _WIN32
    static constexpr bool RESTORES_CREATION = true;
#else
    static constexpr bool RESTORES_CREATION = false;
#endif
};

TEST_F(KillTest, AesFileOfSeveralJournalRecords) {
    for (const bool torn : {false, true})
        run_case({SEVERAL_RECORDS, 'A', 'C', torn}, 40, 40, 4);
}

TEST_F(KillTest, AesSmallFilesAtEveryPoint) {
    for (const size_t size : {0, 1, 15, 16, 17, 16384, 16385})
        for (const bool torn : {false, true})
            run_case({size, 'A', 'C', torn}, 1000, 1, 1);
}

TEST_F(KillTest, DesAndTripleDesAtEveryPoint) {
    for (const char mode : {'e', 'E'})
        for (const bool torn : {false, true})
            run_case({300007, mode, mode == 'e' ? 'd' : 'D', torn}, 1000, 1, 2);
}

TEST_F(KillTest, RenamedContainerAtEveryPoint) {
    for (const bool torn : {false, true})
        run_renaming_case(16385, torn, 1000, 1);
    run_renaming_case(SEVERAL_RECORDS, false, 6, 2);
}

// The command line's encryption of a folder of small files (and of one of several records),
// killed at each call whichever file makes it, then run again on the same folder.
// Torn writes and the large file at the first and last points and a stride between: the sweep
// costs two processes per point.
TEST_F(KillTest, BatchOfFilesAtEveryPoint) {
    SettingsSandbox settings;
    run_batch_case(false, false, 1000, 1);
    run_batch_case(false, true, 16, 16);
    run_batch_case(true, false, 12, 8);
}

// A second run on a file whose encryption is under way (paused at each of its calls that change
// the disk, once it holds the file for writing) must neither take its journal for an
// interrupted one nor touch the file; the first then finishes as if alone.
TEST_F(KillTest, SecondRunDuringAnEncryptionChangesNothing) {
    const size_t size = 300007;
    const long calls = count_calls(size, 'A');
    for (long n = 2; n <= calls && !HasFailure(); ++n) {
        SCOPED_TRACE("paused at call " + std::to_string(n));
        const PlainFile original = make_plain(size, uint32_t(n));
        const std::string paused = path_ + ".paused", resume = path_ + ".resume";
        ChildResult first;
        std::thread child([&] { first = crash(false, n, 'A', "pause"); });
        for (int i = 0; i < 6000 && !std::filesystem::exists(paused); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        EXPECT_TRUE(std::filesystem::exists(paused));
        const Bytes file = read_all(path_);
        const bool journaled = std::filesystem::exists(journal_of(path_));
        const Bytes journal = journaled ? read_all(journal_of(path_)) : Bytes();
        for (const char *password : {PASSWORD, "another password"}) {
            EXPECT_NE(container_crypt_file(path_.c_str(), nullptr, password, 'A'), CRYPT_OK);
            EXPECT_TRUE(read_all(path_) == file) << "the second run changed the file";
            EXPECT_EQ(std::filesystem::exists(journal_of(path_)), journaled);
            EXPECT_TRUE(!journaled || read_all(journal_of(path_)) == journal);
        }
        write_all(resume, {});
        child.join();
        EXPECT_EQ(first.exit_code, CRYPT_OK) << first.output;
        std::filesystem::remove(paused);
        std::filesystem::remove(resume);
        expect_container_of({path_, &original, PASSWORD, 'C', RESTORES_CREATION}, PASSWORD);
    }
}

} // namespace

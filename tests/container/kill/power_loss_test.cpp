// Power-loss tests: the in-place encryption runs on a file system in memory whose power is cut
// at its Nth modifying call; each image a restart could find (nothing, everything, or a random
// part of what was not yet on stable storage) must hold the untouched file, or a journal from
// which the same password finishes the encryption, itself cut and resumed along the way. The
// command line's encryption of a folder is cut the same way, and run again.
#include "container/journal.h"
#include "platform/random.h"
#include "tests/container/kill/batch_check.h"
#include "tests/container/kill/batch_command.h"
#include "tests/container/kill/recovery_check.h"
#include "tests/support/crash_file_system.h"
#include "tests/support/settings_sandbox.h"
#include "tests/support/sweep_step.h"
#include "tests/support/temp_folder.h"

#include <cstdio>

namespace {

using namespace qxv_test;

const std::string PATH = "/disk/folder/plain.bin";

long survived_cuts = 0;
long survived_images = 0;

class Tally : public ::testing::Environment {
public:
    void TearDown() override {
        std::printf("power cuts survived: %ld (%ld crash images recovered)\n", survived_cuts,
                    survived_images);
    }
};
const auto *const tally = ::testing::AddGlobalTestEnvironment(new Tally);

class Installed {
public:
    explicit Installed(platform::FileSystem &fs) { platform::set_file_system(&fs); }
    ~Installed() { platform::set_file_system(nullptr); }
    Installed(const Installed &) = delete;
    Installed &operator=(const Installed &) = delete;
};

const char *name_of(CrashVariant variant) {
    switch (variant) {
    case CrashVariant::None:
        return "nothing unsynced kept";
    case CrashVariant::All:
        return "everything kept";
    case CrashVariant::Random:
        return "random pages kept";
    default:
        return "random sectors kept";
    }
}

// Every encryption here makes the same salt, so that a recovery can be compared with an
// uninterrupted run byte for byte.
bool fixed_salt(uint8_t *buffer, size_t count) {
    for (size_t i = 0; i < count; ++i)
        buffer[i] = static_cast<uint8_t>(0xA5 ^ i);
    return true;
}

class PowerLossTest : public ::testing::Test {
protected:
    void SetUp() override { previous_ = platform::set_random_source(fixed_salt); }
    void TearDown() override { platform::set_random_source(previous_); }

    platform::RandomSource previous_ = nullptr;
    std::mt19937 random_{20261208};

    static PlainFile plain(size_t size, uint32_t seed) {
        platform::FileTimes times;
        times.creation = 125000000000000000ull + seed * 10000000ull + 4321;
        times.write = times.creation + 3600 * 10000000ull;
        times.access = times.write + 17;
        return {pattern(size, seed), times};
    }

    static std::unique_ptr<CrashFileSystem> disk_with(const PlainFile &file) {
        auto disk = std::make_unique<CrashFileSystem>();
        disk->put(PATH, file.bytes, file.times);
        return disk;
    }

    // Cuts the power of recoveries after 1, 2, 4, ... calls, each restarting on a random image
    // of what the last one left. `disk` is the installed file system, replaced as it goes.
    void cut_recoveries(std::unique_ptr<CrashFileSystem> &disk, char mode) {
        for (long m = 1;; m *= 2) {
            disk->cut_power_at(m);
            container_crypt_file(PATH.c_str(), nullptr, PASSWORD, mode);
            if (disk->powered()) {
                disk->cut_power_at(0); // finished within m calls: the rest runs powered
                return;
            }
            const CrashImage image = disk->crash(CrashVariant::Random, random_);
            disk = std::make_unique<CrashFileSystem>(image);
            platform::set_file_system(disk.get());
            if (!disk->exists(journal_of(PATH))) return;
        }
    }

    // The encryption of `original` with the `fail`th modifying call failing (0: none) and the
    // power cut at the `cut`th (0: never); the disk as it was left.
    static std::unique_ptr<CrashFileSystem> encrypt_on(const PlainFile &original, char mode,
                                                       long cut, long fail, int *result) {
        auto disk = disk_with(original);
        disk->cut_power_at(cut);
        disk->fail_call_at(fail);
        Installed installed(*disk);
        *result = container_crypt_file(PATH.c_str(), nullptr, PASSWORD, mode);
        return disk;
    }

    // With the power on, a failure has either put the file back, journal gone, or (a failure
    // that spoils nothing) made the container; returns the calls made.
    long uncut_calls(size_t size, char encrypt, char decrypt, long fail) {
        const PlainFile original = plain(size, 0);
        int result = -1;
        auto disk = encrypt_on(original, encrypt, 0, fail, &result);
        const long calls = disk->modifying_calls();
        Installed installed(*disk);
        EXPECT_FALSE(disk->exists(journal_of(PATH))) << "result " << result;
        if (result != CRYPT_OK) {
            EXPECT_TRUE(*disk->get(PATH) == original.bytes) << "failed, not put back";
        } else {
            expect_container_of({PATH, &original, PASSWORD, decrypt, true}, PASSWORD);
        }
        return calls;
    }

    // Power cuts at every call (a stride in the middle beyond `edge` calls from either end),
    // after the `fail`th call failed if not 0; each cut checked on `random_images` random
    // images besides the two extremes.
    void run_case(size_t size, char encrypt, char decrypt, long edge, long middle,
                  int random_images, long fail = 0) {
        SCOPED_TRACE(std::to_string(size) + " bytes, mode " + encrypt +
                     (fail ? ", call " + std::to_string(fail) + " failed" : std::string()));
        const long calls = uncut_calls(size, encrypt, decrypt, fail);
        if (HasFailure()) return;
        const long step = qxv_test::sweep_step();
        const long stride =
            std::max(step, calls > 2 * edge ? std::max(1L, (calls - 2 * edge) / middle) : 1);
        for (long n = fail + 1; n <= calls + 1;
             n += (n > edge && n < calls - edge ? stride : step)) {
            SCOPED_TRACE("power cut at call " + std::to_string(n));
            const PlainFile original = plain(size, uint32_t(n));
            int result = -1;
            auto disk = encrypt_on(original, encrypt, n, fail, &result);
            // The clock stands still here, so the salt is the same: what an uninterrupted run
            // makes, byte for byte, is what a finished recovery must leave.
            const Bytes reference = *encrypt_on(original, encrypt, 0, 0, &result)->get(PATH);
            if (disk->powered()) {
                EXPECT_GT(n, calls) << "the encryption made fewer calls than it did before";
                break;
            }
            std::vector<CrashVariant> variants{CrashVariant::None, CrashVariant::All};
            variants.insert(variants.end(), random_images, CrashVariant::Random);
            variants.push_back(CrashVariant::RandomSectors);
            for (size_t i = 0; i < variants.size(); ++i) {
                SCOPED_TRACE(name_of(variants[i]));
                auto after = std::make_unique<CrashFileSystem>(disk->crash(variants[i], random_));
                Installed installed(*after);
                const RecoveryCase check{PATH, &original, PASSWORD, decrypt, true};
                const char recover = "AEe"[(n + long(i)) % 3];
                std::function<void()> cut;
                if (i % 2 == 1) cut = [&] { cut_recoveries(after, recover); };
                if (check_after_interruption(check, recover, cut) != Outcome::Untouched) {
                    EXPECT_TRUE(read_whole(PATH) == reference) << "not the uninterrupted result";
                }
                if (HasFailure()) return; // the first image that fails tells; more would repeat
                ++survived_images;
            }
            ++survived_cuts;
        }
    }

#ifdef _WIN32
    static constexpr const char *SEPARATOR = "\\"; // as the batch joins a folder and a name
#else
    static constexpr const char *SEPARATOR = "/";
#endif
    const std::string folder_ = "/disk/batch", password_ = "/disk/password";

    // A disk with the password file and a folder of `entries`, contents and times from `seed` on.
    std::unique_ptr<CrashFileSystem> batch_disk(const std::vector<BatchEntry> &entries,
                                                uint32_t seed, std::vector<BatchFile> *files) {
        auto disk = std::make_unique<CrashFileSystem>();
        const std::string line = std::string(PASSWORD) + "\n";
        disk->put(password_, Bytes(line.begin(), line.end()));
        files->clear();
        for (const BatchEntry &entry : entries) {
            files->push_back({folder_ + SEPARATOR + entry.name, plain(entry.size, seed++)});
            disk->put(files->back().path, files->back().original.bytes,
                      files->back().original.times);
        }
        return disk;
    }

    // The folder's encryption with the power cut at every call (every `step`th), whichever
    // file makes it; each image checked, then the same command run again on it.
    void run_batch_case(int random_images) {
        const std::string &folder = folder_, &password = password_;
        SettingsSandbox settings; // the unattended run saves the option as its dialog does
        auto batch = [&](uint32_t seed, std::vector<BatchFile> *files) {
            return batch_disk(batch_entries(false, false), seed, files);
        };
        std::vector<BatchFile> files;
        auto whole = batch(1, &files);
        Installed installed(*whole);
        ASSERT_EQ(run_encrypt_batch(password, folder), 0);
        const long calls = whole->modifying_calls(); // before the checks make calls of their own
        expect_batch_finished(files, true);
        for (long n = 1; n <= calls + 1 && !HasFailure(); n += qxv_test::sweep_step()) {
            SCOPED_TRACE("batch, power cut at call " + std::to_string(n));
            auto disk = batch(uint32_t(n) * 8, &files);
            disk->cut_power_at(n);
            platform::set_file_system(disk.get());
            run_encrypt_batch(password, folder);
            if (disk->powered()) {
                EXPECT_GT(n, calls) << "the batch made fewer calls than it did before";
                break;
            }
            std::vector<CrashVariant> variants{CrashVariant::None, CrashVariant::All};
            variants.insert(variants.end(), random_images, CrashVariant::Random);
            variants.push_back(CrashVariant::RandomSectors);
            for (const CrashVariant variant : variants) {
                SCOPED_TRACE(name_of(variant));
                CrashFileSystem after(disk->crash(variant, random_));
                platform::set_file_system(&after);
                expect_batch_interrupted_soundly(files, true);
                EXPECT_EQ(run_encrypt_batch(password, folder), 0);
                expect_batch_finished(files, true);
                if (HasFailure()) return;
                ++survived_images;
            }
            ++survived_cuts;
        }
    }
};

TEST_F(PowerLossTest, AesFileOfSeveralJournalRecords) {
    run_case(SEVERAL_RECORDS, 'A', 'C', 40, 40, 1);
}

TEST_F(PowerLossTest, AesSmallFilesAtEveryCall) {
    for (const size_t size : {0, 1, 15, 16, 17, 4096, 16383, 16384, 16385})
        run_case(size, 'A', 'C', 1000, 1, 6);
}

TEST_F(PowerLossTest, BatchOfFilesAtEveryCall) {
    run_batch_case(2);
}

// A cut after the container took its name leaves the finished journal beside it; encrypting the
// folder again removes it, but only when it is that container's: not while a plain file holds
// the name again, nor once the container has changed, nor when the file is no journal of ours.
TEST_F(PowerLossTest, FinishedJournalGoesOnlyWithItsContainer) {
    SettingsSandbox settings;
    std::vector<BatchFile> files;
    CrashImage image;
    for (long n = 1; image.empty(); ++n) {
        auto disk = batch_disk({{"x", 5000}}, 3, &files);
        disk->cut_power_at(n);
        Installed installed(*disk);
        run_encrypt_batch(password_, folder_);
        ASSERT_FALSE(disk->powered()) << "no cut left a finished journal";
        CrashImage candidate = disk->crash(CrashVariant::All, random_);
        if (candidate.count(container_name(files[0])) == 1 &&
            candidate.count(journal_of(files[0].path)) == 1)
            image = std::move(candidate);
    }
    const std::string plain = files[0].path, container = container_name(files[0]),
                      journal = journal_of(plain);
    Bytes another; // a container of another size, made in full
    {
        std::vector<BatchFile> other;
        auto disk = batch_disk({{"x", 7000}}, 9, &other);
        Installed installed(*disk);
        ASSERT_EQ(run_encrypt_batch(password_, folder_), 0);
        another = *disk->get(container);
    }
    const struct {
        const char *what;
        std::function<void(CrashImage &)> change;
        bool removed;
    } cases[] = {
        {"as the cut left it", [](CrashImage &) {}, true},
        {"a plain file of the name back",
         [&](CrashImage &i) {
             i[plain] = {{1, 2, 3}, {}};
         },
         false},
        {"another container under the name", [&](CrashImage &i) { i[container].bytes = another; },
         false},
        {"no journal of ours", [&](CrashImage &i) { i[journal].bytes.assign(200, 'j'); }, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        CrashImage changed = image;
        c.change(changed);
        CrashFileSystem disk(changed);
        Installed installed(disk);
        EXPECT_EQ(run_encrypt_batch(password_, folder_), 0);
        EXPECT_EQ(!disk.exists(journal), c.removed);
        ASSERT_NE(disk.get(container), nullptr);
        EXPECT_TRUE(*disk.get(container) == changed.at(container).bytes) << "the container changed";
        if (c.removed) {
            expect_batch_finished(files, true);
        }
    }
}

TEST_F(PowerLossTest, DesAndTripleDesAtEveryCall) {
    run_case(300007, 'e', 'd', 1000, 1, 4);
    run_case(300007, 'E', 'D', 1000, 1, 4);
}

// A disk error midway makes the engine put the file back from the journal; the power then
// fails while it does so. Every failing call of a one-record file, every cut after it.
TEST_F(PowerLossTest, CutWhileAFailureIsTakenBack) {
    const size_t size = 300007;
    const long calls = uncut_calls(size, 'A', 'C', 0);
    for (long fail = 1; fail <= calls && !HasFailure(); ++fail)
        run_case(size, 'A', 'C', 1000, 1, 2, fail);
}

// The same on the file of several records, failing in the middle.
TEST_F(PowerLossTest, CutWhileALongEncryptionIsTakenBack) {
    const long calls = uncut_calls(SEVERAL_RECORDS, 'A', 'C', 0);
    run_case(SEVERAL_RECORDS, 'A', 'C', 1000, 1, 1, calls / 2);
}

// A recovery that meets a disk error puts the file back as it was, or keeps its journal for
// the next run: cut at each call of a one-record file, then each call of the recovery failing.
TEST_F(PowerLossTest, FailedRecoveryPutsBackOrKeepsItsJournal) {
    const size_t size = 300007;
    const long calls = uncut_calls(size, 'A', 'C', 0);
    long recoveries_failed = 0;
    for (long n = 1; n <= calls && !HasFailure(); n += qxv_test::sweep_step()) {
        const PlainFile original = plain(size, uint32_t(n));
        int result = -1;
        const CrashImage image =
            encrypt_on(original, 'A', n, 0, &result)->crash(CrashVariant::All, random_);
        if (image.count(journal_of(PATH)) == 0) continue;
        for (long fail = 1; !HasFailure(); ++fail) {
            SCOPED_TRACE("cut at call " + std::to_string(n) + ", recovery failing at call " +
                         std::to_string(fail));
            CrashFileSystem disk(image);
            Installed installed(disk);
            disk.cut_power_at(0);
            disk.fail_call_at(fail);
            result = container_crypt_file(PATH.c_str(), nullptr, PASSWORD, 'A');
            const bool failure_seen = disk.modifying_calls() >= fail;
            disk.fail_call_at(0);
            const RecoveryCase check{PATH, &original, PASSWORD, 'C', true};
            if (result == CRYPT_OK) {
                expect_container_of(check, PASSWORD);
            } else if (disk.exists(journal_of(PATH))) {
                EXPECT_EQ(container_crypt_file(PATH.c_str(), nullptr, PASSWORD, 'A'), CRYPT_OK);
                expect_container_of(check, PASSWORD);
            } else {
                EXPECT_TRUE(*disk.get(PATH) == original.bytes) << "failed, not put back";
            }
            if (!failure_seen) break; // the recovery made fewer calls: all of them were tried
            ++recoveries_failed;
        }
    }
    std::printf("recoveries failed and checked: %ld\n", recoveries_failed);
}

// A journal whose header never fully reached the disk (cut short at any byte, or its blocks
// allocated but never written) stands beside an untouched file: the encryption starts afresh.
TEST_F(PowerLossTest, JournalHeaderCutShortMeansUntouched) {
    const PlainFile original = plain(100000, 7);
    Bytes header;
    for (long n = 1; header.empty(); ++n) {
        int result = -1;
        auto disk = encrypt_on(original, 'A', n, 0, &result);
        ASSERT_FALSE(disk->powered()) << "no journal header seen";
        const CrashImage image = disk->crash(CrashVariant::All, random_);
        const auto journal = image.find(journal_of(PATH));
        if (journal != image.end() && journal->second.bytes.size() >= JOURNAL_HEADER_SIZE) {
            ASSERT_TRUE(image.at(PATH).bytes == original.bytes);
            header = journal->second.bytes;
        }
    }
    std::vector<Bytes> spoilt;
    for (size_t length = 0; length < JOURNAL_HEADER_SIZE; ++length)
        spoilt.emplace_back(header.begin(), header.begin() + long(length));
    spoilt.emplace_back(JOURNAL_HEADER_SIZE, 0);
    // A header cut short never got the journal's name: it is left under the temporary one.
    for (const Bytes &journal : spoilt) {
        SCOPED_TRACE("journal of " + std::to_string(journal.size()) + " bytes");
        auto disk = disk_with(original);
        disk->put(journal_temporary_path(PATH), journal);
        Installed installed(*disk);
        ASSERT_EQ(container_crypt_file(PATH.c_str(), nullptr, PASSWORD, 'A'), CRYPT_OK);
        EXPECT_FALSE(disk->exists(journal_temporary_path(PATH)));
        expect_container_of({PATH, &original, PASSWORD, 'C', true}, PASSWORD);
    }
}

// A journal header damaged after the file was touched (any one byte of it changed) must not
// make the engine start afresh over a half-encrypted file: it refuses, changing nothing, or
// (a byte that does not matter) finishes the encryption.
TEST_F(PowerLossTest, DamagedJournalHeaderIsNeverTakenForNone) {
    const PlainFile original = plain(100000, 5);
    CrashImage image;
    for (long n = 1; image.empty(); ++n) {
        int result = -1;
        auto disk = encrypt_on(original, 'A', n, 0, &result);
        ASSERT_FALSE(disk->powered()) << "the file was never seen half-encrypted";
        CrashImage candidate = disk->crash(CrashVariant::All, random_);
        if (candidate.count(journal_of(PATH)) == 1 && candidate.at(PATH).bytes != original.bytes)
            image = std::move(candidate);
    }
    for (size_t at = 0; at < JOURNAL_HEADER_SIZE; ++at) {
        SCOPED_TRACE("header byte " + std::to_string(at) + " changed");
        CrashImage damaged = image;
        damaged[journal_of(PATH)].bytes[at] ^= 0x10;
        CrashFileSystem disk(damaged);
        Installed installed(disk);
        if (container_crypt_file(PATH.c_str(), nullptr, PASSWORD, 'A') == CRYPT_OK) {
            expect_container_of({PATH, &original, PASSWORD, 'C', true}, PASSWORD);
        } else {
            EXPECT_TRUE(*disk.get(PATH) == image.at(PATH).bytes);
            EXPECT_TRUE(*disk.get(journal_of(PATH)) == damaged.at(journal_of(PATH)).bytes);
        }
        if (HasFailure()) return;
    }
}

// A file of the user's that merely has a journal's name (shorter than a journal header) is not
// a journal cut short: it is neither deleted nor taken for one.
TEST_F(PowerLossTest, UsersFileWithAJournalsNameIsKept) {
    const PlainFile original = plain(1000, 3);
    const std::string text = "notes the user keeps beside the file";
    auto disk = disk_with(original);
    disk->put(journal_of(PATH), Bytes(text.begin(), text.end()));
    Installed installed(*disk);
    container_crypt_file(PATH.c_str(), nullptr, PASSWORD, 'A');
    ASSERT_NE(disk->get(journal_of(PATH)), nullptr) << "the user's file was deleted";
    EXPECT_TRUE(*disk->get(journal_of(PATH)) == Bytes(text.begin(), text.end()));
}

// A journal record damaged after it was flushed and put (a bad sector, not a crash: a crash
// tears only records never flushed) must not yield a wrong container reported as a success.
TEST_F(PowerLossTest, DamagedJournalRecordNeverGivesAWrongContainer) {
    const PlainFile original = plain(2 * CONTAINER_CHUNK_SIZE + 7241, 9);
    for (long n = 1; !HasFailure(); n += qxv_test::sweep_step()) {
        int result = -1;
        auto disk = encrypt_on(original, 'A', n, 0, &result);
        if (disk->powered()) break;
        const CrashImage image = disk->crash(CrashVariant::All, random_);
        if (image.count(journal_of(PATH)) == 0 || image.at(PATH).bytes == original.bytes) continue;
        const size_t size = image.at(journal_of(PATH)).bytes.size();
        // Every byte of the first record's header and of the journal's last bytes (where the
        // second slot ends), and bytes all over the records.
        std::vector<size_t> places;
        for (size_t at = 0; at < 2 * JOURNAL_RECORD_HEADER; ++at) {
            places.push_back(JOURNAL_HEADER_SIZE + at);
            places.push_back(size - 1 - at);
        }
        for (size_t at = JOURNAL_HEADER_SIZE; at < size; at += 397)
            places.push_back(at);
        for (const size_t at : places) {
            if (HasFailure()) break;
            SCOPED_TRACE("cut at call " + std::to_string(n) + ", journal byte " +
                         std::to_string(at) + " changed");
            CrashImage damaged = image;
            damaged[journal_of(PATH)].bytes[at] ^= 1;
            CrashFileSystem after(damaged);
            Installed installed(after);
            if (container_crypt_file(PATH.c_str(), nullptr, PASSWORD, 'A') == CRYPT_OK) {
                expect_container_of({PATH, &original, PASSWORD, 'C', true}, PASSWORD);
            } else {
                EXPECT_TRUE(*after.get(PATH) == image.at(PATH).bytes);
            }
        }
    }
}

// After an interrupted encryption the file is replaced by another version of it (the same
// name, the same first bytes, about the same size). Its journal must not be applied to it: the
// encryption either refuses, leaving the new version as it is, or encrypts the new version.
TEST_F(PowerLossTest, JournalOfAnEarlierVersionIsNotAppliedToAnother) {
    for (const size_t size : {size_t{10}, size_t{15}, size_t{100000}})
        for (const size_t grown : {0, 1}) {
            SCOPED_TRACE(std::to_string(size) + " bytes, grown by " + std::to_string(grown));
            const PlainFile earlier = plain(size, 11);
            PlainFile later = plain(size + grown, 12);
            std::copy_n(earlier.bytes.begin(), std::min<size_t>(size, 16), later.bytes.begin());
            if (later.bytes == earlier.bytes) later.bytes.back() ^= 1;
            // Contents are the point here: a later version whose bytes under the newest record
            // are still plain may be finished with the journal's times.
            later.times = earlier.times;
            for (long n = 1;; ++n) {
                int result = -1;
                auto disk = encrypt_on(earlier, 'A', n, 0, &result);
                if (disk->powered()) break;
                CrashImage image = disk->crash(CrashVariant::All, random_);
                if (image.count(journal_of(PATH)) == 0 || image.at(PATH).bytes == earlier.bytes)
                    continue; // untouched: nothing to mistake
                SCOPED_TRACE("power cut at call " + std::to_string(n));
                image[PATH] = {later.bytes, later.times};
                CrashFileSystem after(image);
                Installed installed(after);
                if (container_crypt_file(PATH.c_str(), nullptr, PASSWORD, 'A') == CRYPT_OK) {
                    platform::file_system().remove_file(journal_of(PATH)); // if it was left
                    expect_container_of({PATH, &later, PASSWORD, 'C', true}, PASSWORD);
                } else {
                    EXPECT_TRUE(*after.get(PATH) == later.bytes) << "the later version was changed";
                }
                if (HasFailure()) return;
            }
        }
}

// The model itself: what a cut keeps of data written, flushed, created and renamed.
TEST(CrashFileSystemModel, KeepsExactlyWhatWasMadeDurable) {
    CrashFileSystem disk;
    disk.put("/d/old", {1, 2, 3});
    std::mt19937 random(1);
    {
        auto file = disk.open("/d/old", platform::Access::ReadWrite, platform::Share::None,
                              platform::Disposition::OpenExisting);
        const Bytes page(CrashFileSystem::PAGE_SIZE * 3, 9);
        ASSERT_TRUE(platform::write_exact(*file, page.data(), page.size()));
        auto made = disk.open("/d/new", platform::Access::Write, platform::Share::None,
                              platform::Disposition::CreateNew);
        ASSERT_TRUE(made && platform::write_exact(*made, page.data(), 10) && made->flush());
    }
    const CrashImage none = disk.crash(CrashVariant::None, random);
    EXPECT_EQ(none.at("/d/old").bytes, Bytes({1, 2, 3}));
    EXPECT_EQ(none.count("/d/new"), 0u) << "a name not synced survived";
    const CrashImage all = disk.crash(CrashVariant::All, random);
    EXPECT_EQ(all.at("/d/old").bytes.size(), CrashFileSystem::PAGE_SIZE * 3);
    EXPECT_EQ(all.at("/d/new").bytes, Bytes(10, 9));

    ASSERT_TRUE(disk.sync_folder("/d/"));
    ASSERT_TRUE(disk.rename_no_replace("/d/new", "/d/renamed"));
    bool saw_old_name = false, saw_new_name = false;
    for (int i = 0; i < 50; ++i) {
        const CrashImage image = disk.crash(CrashVariant::Random, random);
        EXPECT_NE(image.count("/d/new"), image.count("/d/renamed")) << "a rename came apart";
        saw_old_name |= image.count("/d/new") == 1;
        saw_new_name |= image.count("/d/renamed") == 1;
        // Each page wholly old (1 2 3, then a hole) or wholly new (nines), never a mixture.
        const auto &bytes = image.at("/d/old").bytes;
        if (bytes.size() > 1) {
            EXPECT_TRUE((bytes[0] == 1 && bytes[1] == 2) || (bytes[0] == 9 && bytes[1] == 9));
        }
        for (size_t at = CrashFileSystem::PAGE_SIZE; at + 1 < bytes.size(); ++at) {
            ASSERT_TRUE(at % CrashFileSystem::PAGE_SIZE == 0 || bytes[at] == bytes[at - 1]) << at;
        }
    }
    EXPECT_TRUE(saw_old_name && saw_new_name);

    disk.cut_power_at(1);
    EXPECT_FALSE(disk.remove_file("/d/renamed"));
    EXPECT_FALSE(disk.exists("/d/old")) << "calls after the cut must fail";
}

} // namespace

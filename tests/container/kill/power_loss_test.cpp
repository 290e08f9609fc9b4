// Power-loss tests: the in-place encryption runs on a file system in memory whose power is cut
// at its Nth modifying call; each image a restart could find (nothing, everything, or a random
// part of what was not yet on stable storage) must hold the untouched file, or a journal from
// which the same password finishes the encryption, itself cut and resumed along the way.
#include "container/journal.h"
#include "tests/container/kill/recovery_check.h"
#include "tests/support/crash_file_system.h"
#include "tests/support/temp_folder.h"

#include <cstdio>

namespace {

using namespace qxv_test;

// Two full journal records, a short one and the final one: both slots written and reused.
const size_t SEVERAL_RECORDS = 2 * size_t{JOURNAL_RECORD_MAX} + 3 * CONTAINER_CHUNK_SIZE + 12345;
const char *const PASSWORD = "correct horse battery staple";
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
    return variant == CrashVariant::None  ? "nothing unsynced kept"
           : variant == CrashVariant::All ? "everything kept"
                                          : "random pages kept";
}

class PowerLossTest : public ::testing::Test {
protected:
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

    void run_case(size_t size, char encrypt, char decrypt, long edge, long middle,
                  int random_images) {
        SCOPED_TRACE(std::to_string(size) + " bytes, mode " + encrypt);
        long calls = 0;
        {
            auto disk = disk_with(plain(size, 0));
            Installed installed(*disk);
            ASSERT_EQ(container_crypt_file(PATH.c_str(), nullptr, PASSWORD, encrypt), CRYPT_OK);
            calls = disk->modifying_calls();
        }
        const long stride = calls > 2 * edge ? std::max(1L, (calls - 2 * edge) / middle) : 1;
        for (long n = 1; n <= calls + 1; n += (n > edge && n < calls - edge ? stride : 1)) {
            SCOPED_TRACE("power cut at call " + std::to_string(n));
            const PlainFile original = plain(size, uint32_t(n));
            auto disk = disk_with(original);
            disk->cut_power_at(n);
            {
                Installed installed(*disk);
                container_crypt_file(PATH.c_str(), nullptr, PASSWORD, encrypt);
            }
            if (disk->powered()) {
                EXPECT_GT(n, calls) << "the encryption made fewer calls than it did before";
                break;
            }
            std::vector<CrashVariant> variants{CrashVariant::None, CrashVariant::All};
            variants.insert(variants.end(), random_images, CrashVariant::Random);
            for (size_t i = 0; i < variants.size(); ++i) {
                SCOPED_TRACE(name_of(variants[i]));
                auto after = std::make_unique<CrashFileSystem>(disk->crash(variants[i], random_));
                Installed installed(*after);
                const RecoveryCase check{PATH, &original, PASSWORD, decrypt, true};
                const char recover = "AEe"[(n + long(i)) % 3];
                std::function<void()> cut;
                if (i % 2 == 1) cut = [&] { cut_recoveries(after, recover); };
                check_after_interruption(check, recover, cut);
                if (HasFailure()) return; // the first image that fails tells; more would repeat
                ++survived_images;
            }
            ++survived_cuts;
        }
    }
};

TEST_F(PowerLossTest, AesFileOfSeveralJournalRecords) {
    run_case(SEVERAL_RECORDS, 'A', 'C', 40, 40, 2);
}

TEST_F(PowerLossTest, AesSmallFilesAtEveryCall) {
    for (const size_t size : {0, 1, 15, 16, 17, 16384, 16385})
        run_case(size, 'A', 'C', 1000, 1, 6);
}

TEST_F(PowerLossTest, DesAndTripleDesAtEveryCall) {
    run_case(300007, 'e', 'd', 1000, 1, 4);
    run_case(300007, 'E', 'D', 1000, 1, 4);
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

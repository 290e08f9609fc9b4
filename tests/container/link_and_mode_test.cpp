// Outputs are never written through a symbolic link planted at their name, and new files are
// no more readable than the file they come from.
#ifndef _WIN32
#include "container/container.h"
#include "container/encrypt_file.h"
#include "container/sfx_build.h"
#include "platform/held_file.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

namespace fs = std::filesystem;
const char PASSWORD[] = "link password";

unsigned mode_of(const std::string &path) {
    struct stat status {};
    EXPECT_EQ(lstat(path.c_str(), &status), 0) << path;
    return status.st_mode & 0777;
}

struct Folder {
    qxv_test::TempFolder temp;
    std::string plain = temp.file("plain");
    std::string container = temp.file("plain.qxv");
    std::string victim = temp.file("victim");
    const std::vector<uint8_t> original = qxv_test::pattern(16384 + 33);
    const std::vector<uint8_t> victim_bytes = qxv_test::pattern(100, 7);

    Folder() {
        qxv_test::write_all(plain, original);
        EXPECT_EQ(container_crypt_file(plain.c_str(), "", PASSWORD, 'A'), CRYPT_OK);
        fs::rename(plain, container);
    }
};

TEST(OutputNames, ALinkAtTheOutputNameIsNeverFollowed) {
    Folder f;
    const std::string out = f.temp.file("out");
    // A link to a file that exists, and a dangling one whose target would be created.
    for (bool dangling : {false, true}) {
        SCOPED_TRACE(dangling ? "dangling link" : "link to a file");
        fs::remove(f.victim);
        if (!dangling) qxv_test::write_all(f.victim, f.victim_bytes);
        fs::create_symlink(f.victim, out);
        EXPECT_EQ(container_crypt_file(f.container.c_str(), out.c_str(), PASSWORD, 'C'),
                  CRYPT_ERR_FILE);
        EXPECT_TRUE(fs::is_symlink(out));
        if (dangling) {
            EXPECT_FALSE(fs::exists(f.victim));
        } else {
            EXPECT_EQ(qxv_test::read_all(f.victim), f.victim_bytes);
        }

        const std::string stub = f.temp.file("stub");
        qxv_test::write_all(stub, qxv_test::pattern(500, 3));
        const SfxResult sfx = container_build_sfx(stub, out, f.container, true);
        EXPECT_NE(sfx.code, SFX_OK);
        EXPECT_TRUE(fs::exists(f.container));
        EXPECT_TRUE(fs::is_symlink(out));
        EXPECT_EQ(fs::exists(f.victim), !dangling);
        fs::remove(out);
    }
}

TEST(OutputNames, InPlaceEncryptionRefusesALink) {
    Folder f;
    qxv_test::write_all(f.victim, f.victim_bytes);
    const std::string link = f.temp.file("link");
    fs::create_symlink(f.victim, link);
    EXPECT_EQ(container_crypt_file(link.c_str(), "", PASSWORD, 'A'), CRYPT_ERR_FILE);
    EXPECT_EQ(qxv_test::read_all(f.victim), f.victim_bytes);
}

TEST(OutputModes, NewFilesTakeTheirSourcesPermissions) {
    const mode_t old_mask = umask(0);
    for (unsigned mode : {0600u, 0640u, 0644u}) {
        SCOPED_TRACE(mode);
        Folder f;
        fs::permissions(f.container, static_cast<fs::perms>(mode));
        const std::string out = f.temp.file("out");
        ASSERT_EQ(container_crypt_file(f.container.c_str(), out.c_str(), PASSWORD, 'C'), CRYPT_OK);
        EXPECT_EQ(mode_of(out), mode);
        EXPECT_EQ(qxv_test::read_all(out), f.original);

        // The executable: the container's readers may run it, nobody else may read it.
        const std::string stub = f.temp.file("stub"), exe = f.temp.file("plain.exe");
        qxv_test::write_all(stub, qxv_test::pattern(500, 3));
        fs::permissions(stub, static_cast<fs::perms>(0755));
        ASSERT_EQ(container_build_sfx(stub, exe, f.container, false).code, SFX_OK);
        EXPECT_EQ(mode_of(exe), mode | (mode & 0444) >> 2);

        // Encryption in place keeps the plain file's permissions.
        fs::permissions(out, static_cast<fs::perms>(mode));
        ASSERT_EQ(container_crypt_file(out.c_str(), "", PASSWORD, 'A'), CRYPT_OK);
        EXPECT_EQ(mode_of(out), mode);
    }
    umask(old_mask);
}

// Encryption that renames works only on the file the caller holds, and only on a file with
// no other name; anything else is refused before a byte changes.
TEST(OutputNames, OnlyTheHeldFileOfOneNameIsEncrypted) {
    qxv_test::TempFolder temp;
    const std::string plain = temp.file("plain"), other = temp.file("other");
    const std::string output = temp.file("plain.qxv");
    const auto original = qxv_test::pattern(40000);
    qxv_test::write_all(plain, original);
    qxv_test::write_all(other, original);
    platform::HeldFile held_other, held;
    ASSERT_TRUE(held_other.hold(other));
    EXPECT_EQ(
        container_encrypt_file(plain.c_str(), {output, held_other.identity(), {}}, PASSWORD, 'A'),
        CRYPT_ERR_FILE)
        << "the file under the name is not the one held";
    fs::create_hard_link(plain, temp.file("second name"));
    ASSERT_TRUE(held.hold(plain));
    EXPECT_EQ(container_encrypt_file(plain.c_str(), {output, held.identity(), {}}, PASSWORD, 'A'),
              CRYPT_ERR_LINKED);
    EXPECT_EQ(qxv_test::read_all(plain), original);
    EXPECT_EQ(qxv_test::read_all(temp.file("second name")), original);
    EXPECT_FALSE(fs::exists(output));
    EXPECT_FALSE(fs::exists(plain + ".qxvj"));

    fs::remove(temp.file("second name"));
    EXPECT_EQ(container_encrypt_file(plain.c_str(), {output, held.identity(), {}}, PASSWORD, 'A'),
              CRYPT_OK);
    EXPECT_FALSE(fs::exists(plain));
    EXPECT_FALSE(fs::exists(plain + ".qxvj"));
    const std::string out = temp.file("out");
    EXPECT_EQ(container_crypt_file(output.c_str(), out.c_str(), PASSWORD, 'C'), CRYPT_OK);
    EXPECT_EQ(qxv_test::read_all(out), original);
}

} // namespace
#endif

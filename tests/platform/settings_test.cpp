// The settings store through its interface, on both platforms (the registry under Wine).
#include "platform/settings.h"
#include "tests/support/settings_sandbox.h"

#include <gtest/gtest.h>

namespace {

using platform::SettingsKey;
using qxv_test::SettingsSandbox;

TEST(SettingsStore, OpeningCreatesTheKeyAndMissingValuesTakeTheirDefault) {
    SettingsSandbox sandbox;
    ASSERT_FALSE(sandbox.key_exists());
    auto key = SettingsKey::Open();
    EXPECT_TRUE(sandbox.key_exists());
    EXPECT_FALSE(key->ValueExists("MakeEXE"));
    bool value = true;
    EXPECT_TRUE(key->ReadBool("MakeEXE", value).ok());
    EXPECT_TRUE(value) << "a missing value leaves the caller's default";
    uint8_t buffer[20];
    size_t read = 99;
    EXPECT_TRUE(key->ReadBinary("HashKey", buffer, sizeof buffer, read).ok());
    EXPECT_EQ(read, 0u);
}

TEST(SettingsStore, ValuesPersistAcrossOpeningsWithTheirExactLength) {
    SettingsSandbox sandbox;
    const uint8_t verifier[20] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 0xa0, 0xff, 0, 0, 0, 0, 0, 0, 0, 9};
    {
        auto key = SettingsKey::Open();
        key->WriteBool("AES", true);
        key->WriteBool("MakeEXE", false);
        key->WriteBinary("HashKey", verifier, sizeof verifier);
        key->WriteBinary("Short", verifier, 3);
    }
    auto key = SettingsKey::Open();
    bool aes = false, exe = true;
    EXPECT_TRUE(key->ReadBool("AES", aes).ok());
    EXPECT_TRUE(key->ReadBool("MakeEXE", exe).ok());
    EXPECT_TRUE(aes);
    EXPECT_FALSE(exe);
    EXPECT_TRUE(key->ValueExists("MakeEXE")) << "false is stored, not removed";

    uint8_t buffer[20] = {};
    size_t read = 0;
    ASSERT_TRUE(key->ReadBinary("HashKey", buffer, sizeof buffer, read).ok());
    ASSERT_EQ(read, 20u);
    EXPECT_EQ(0, memcmp(buffer, verifier, 20));
    ASSERT_TRUE(key->ReadBinary("Short", buffer, sizeof buffer, read).ok());
    EXPECT_EQ(read, 3u);
}

TEST(SettingsStore, AnyNonZeroIntegerIsTrue) {
    SettingsSandbox sandbox;
    sandbox.set_dword("KeepEncrypted", 5);
    sandbox.set_dword("Default", 0);
    auto key = SettingsKey::Open();
    bool keep = false, def = true;
    EXPECT_TRUE(key->ReadBool("KeepEncrypted", keep).ok());
    EXPECT_TRUE(key->ReadBool("Default", def).ok());
    EXPECT_TRUE(keep);
    EXPECT_FALSE(def);
}

TEST(SettingsStore, ValuesOfTheWrongTypeAreReadErrors) {
    SettingsSandbox sandbox;
    sandbox.set_string("KeepEncrypted", "yes");
    sandbox.set_binary("MakeEXE", {1, 0, 0, 0});
    sandbox.set_dword("HashKey", 1);
    auto key = SettingsKey::Open();

    bool value = true;
    auto r = key->ReadBool("KeepEncrypted", value);
    EXPECT_EQ(r.error, "Invalid data type for 'KeepEncrypted'");
    EXPECT_TRUE(value) << "a failed read leaves the value alone";
    EXPECT_EQ(key->ReadBool("MakeEXE", value).error, "Invalid data type for 'MakeEXE'");

    uint8_t buffer[20];
    size_t read = 0;
    EXPECT_EQ(key->ReadBinary("HashKey", buffer, sizeof buffer, read).error,
              "Invalid data type for 'HashKey'");
    EXPECT_EQ(read, 0u);
}

TEST(SettingsStore, BinaryLongerThanTheBufferIsAReadErrorUntypedIsAccepted) {
    SettingsSandbox sandbox;
    sandbox.set_binary("HashKey", std::vector<uint8_t>(21, 7));
    sandbox.set_untyped("Other", std::vector<uint8_t>(20, 9));
    auto key = SettingsKey::Open();
    uint8_t buffer[20];
    size_t read = 0;
    EXPECT_EQ(key->ReadBinary("HashKey", buffer, sizeof buffer, read).error,
              "Invalid data type for 'HashKey'");
    ASSERT_TRUE(key->ReadBinary("Other", buffer, sizeof buffer, read).ok());
    EXPECT_EQ(read, 20u);
    EXPECT_EQ(buffer[19], 9);
}

TEST(SettingsStore, RewritingAValueReplacesItsType) {
    SettingsSandbox sandbox;
    sandbox.set_string("MakeEXE", "broken");
    auto key = SettingsKey::Open();
    key->WriteBool("MakeEXE", true);
    bool value = false;
    EXPECT_TRUE(SettingsKey::Open()->ReadBool("MakeEXE", value).ok());
    EXPECT_TRUE(value);
}

} // namespace

namespace {

TEST(SettingsStore, TwoOpenKeysSeeEachOthersWrites) {
    qxv_test::SettingsSandbox sandbox;
    auto outer = platform::SettingsKey::Open();
    outer->WriteBool("AES", true);
    platform::SettingsKey::Open()->WriteBool("Default", true); // a nested dialog's write
    const uint8_t v[20] = {1};
    outer->WriteBinary("HashKey", v, sizeof v);
    bool value = false;
    EXPECT_TRUE(outer->ValueExists("Default"));
    EXPECT_TRUE(platform::SettingsKey::Open()->ReadBool("Default", value).ok());
    EXPECT_TRUE(value);
}

} // namespace

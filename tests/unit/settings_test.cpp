#include "platform/settings.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "support/scratch_folder.h"

namespace lanqi {
namespace {

class SettingsFile : public test::ScratchFolderTest {
  protected:
    void SetUp() override {
        test::ScratchFolderTest::SetUp();
        for (const char* name : kVariables) unsetenv(name);
    }
    void TearDown() override {
        for (const char* name : kVariables) unsetenv(name);
        test::ScratchFolderTest::TearDown();
    }
    LoadedSettings load(const std::string& toml) {
        const std::string file = dir + "/config.toml";
        std::ofstream(file) << toml;
        return loadSettings(file);
    }
    static constexpr const char* kVariables[] = {"LANQI_SITE1_BASE", "LANQI_SITE2_BASE", "LANQI_VENDOR_BASE",
                                                 "LANQI_PLAY_BASE"};
};

TEST_F(SettingsFile, NoFileGivesTheBuiltInValues) {
    const LoadedSettings loaded = loadSettings(dir + "/missing.toml");
    EXPECT_FALSE(loaded.fileFound);
    EXPECT_TRUE(loaded.problems.empty());
    EXPECT_EQ(loaded.settings.sites[2].base, "http://site3.lanqi-sites.example");
    EXPECT_EQ(loaded.settings.sites[2].definition, "site3");
    EXPECT_TRUE(loaded.settings.sites[2].enabled);
    EXPECT_EQ(loaded.settings.vendorBase, "http://www.lanqi-studio.example");
}

TEST_F(SettingsFile, FileValuesApplyAndTheEnvironmentWinsKeyByKey) {
    setenv("LANQI_SITE2_BASE", "http://from.environment", 1);
    const LoadedSettings loaded = load(
        "[site1]\nbase = \"http://127.0.0.1:8080/site1/\"\nenabled = false\ndefinition = \"site2\"\n"
        "[site2]\nbase = \"https://file.example\"\nenabled = false\n[vendor]\nbase = \"http://vendor.example\"\n");
    EXPECT_TRUE(loaded.problems.empty()) << loaded.report(false);
    const SiteSlotSettings& one = loaded.settings.sites[0];
    EXPECT_EQ(one.base, "http://127.0.0.1:8080/site1");  // without the "/" at the end
    EXPECT_FALSE(one.enabled);
    EXPECT_EQ(one.definition, "site2");
    EXPECT_EQ(one.baseFrom, SettingOrigin::File);
    const SiteSlotSettings& two = loaded.settings.sites[1];
    EXPECT_EQ(two.base, "http://from.environment");
    EXPECT_EQ(two.baseFrom, SettingOrigin::Environment);
    EXPECT_FALSE(two.enabled);  // the environment overrides the base only
    EXPECT_EQ(loaded.settings.vendorBase, "http://vendor.example");
    EXPECT_EQ(loaded.settings.playFrom, SettingOrigin::BuiltIn);
}

TEST_F(SettingsFile, EveryBadEntryIsReportedWithItsLineAndKeepsItsBuiltInValue) {
    const struct {
        const char* toml;
        SettingsProblem::Kind kind;
        long line;
    } cases[] = {
        {"[site1\n", SettingsProblem::Syntax, 1},
        {"\n\n[site9]\nbase = \"http://x\"\n", SettingsProblem::UnknownTable, 3},
        {"[site1]\nenabeld = true\n", SettingsProblem::UnknownKey, 2},
        {"[site1]\nenabled = \"yes\"\n", SettingsProblem::WrongType, 2},
        {"site1 = 3\n", SettingsProblem::WrongType, 1},
        {"[site1]\nbase = \"ftp://x\"\n", SettingsProblem::BadAddress, 2},
        {"[site1]\nbase = \"http://\"\n", SettingsProblem::BadAddress, 2},
        {"[site1]\nbase = \"http://a b\"\n", SettingsProblem::BadAddress, 2},
        {"[play]\nbase = \"file:///etc\"\n", SettingsProblem::BadAddress, 2},
        {"[site1]\ndefinition = \"../nonesuch\"\n", SettingsProblem::UnknownDefinition, 2},
    };
    for (const auto& c : cases) {
        const LoadedSettings loaded = load(c.toml);
        ASSERT_EQ(loaded.problems.size(), 1u) << c.toml;
        EXPECT_EQ(loaded.problems[0].kind, c.kind) << c.toml;
        EXPECT_EQ(loaded.problems[0].line, c.line) << c.toml;
        EXPECT_EQ(loaded.settings.sites[0].base, "http://site1.lanqi-sites.example") << c.toml;
        EXPECT_EQ(loaded.settings.sites[0].definition, "site1") << c.toml;
        EXPECT_EQ(loaded.settings.playBase, "http://play.lanqi-studio.example") << c.toml;
        EXPECT_NE(loaded.report(false).find(dir + "/config.toml:" + std::to_string(c.line) + ": "), std::string::npos);
    }
}

TEST_F(SettingsFile, AFileInAFolderNamedInChineseIsWrittenAndReadBack) {
    // A user folder with a Chinese name (Windows takes narrow paths in the ANSI code page, not UTF-8).
    const std::string file = dir + "/设置 岚栖/config.toml";
    Settings settings = builtInSettings();
    settings.sites[3].base = "http://127.0.0.1:9/site4";
    std::string error;
    ASSERT_TRUE(saveSettingsFile(file, settings, error)) << error;
    const LoadedSettings loaded = loadSettings(file);
    EXPECT_TRUE(loaded.fileFound);
    EXPECT_TRUE(loaded.problems.empty()) << loaded.report(false);
    EXPECT_EQ(loaded.settings.sites[3].base, "http://127.0.0.1:9/site4");
}

TEST(SearchableBase, IsHttpOrHttpsWithAHostAndAtMostAPortAndAPath) {
    for (const char* good : {"http://a", "HTTPS://a.example:8443", "http://127.0.0.1:8080/site1", "http://[::1]:80/x"})
        EXPECT_TRUE(isSearchableBase(good)) << good;
    for (const char* bad : {"", "a.example", "ftp://a", "http://", "http://:80", "http://a:", "http://a:123456",
                            "http://a/b?c", "http://a/#b", "http://a/b c", "javascript:alert(1)"})
        EXPECT_FALSE(isSearchableBase(bad)) << bad;
    EXPECT_EQ(trimmedBase("  http://a.example/site1//\t"), "http://a.example/site1");
}

}  // namespace
}  // namespace lanqi

#include "platform/settings.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>

#include "support/scratch_folder.h"

namespace lanqi {
namespace {

namespace fs = std::filesystem;

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    const size_t at = text.find(from);
    return at == std::string::npos ? text + "<" + from + " not found>" : text.replace(at, from.size(), to);
}

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
    static constexpr const char* kVariables[] = {"LANQI_SITE1_BASE", "LANQI_SITE2_BASE", "LANQI_SITE7_BASE",
                                                 "LANQI_VENDOR_BASE", "LANQI_PLAY_BASE"};
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
        {"\n\n[site33]\nbase = \"http://x\"\n", SettingsProblem::UnknownTable, 3},
        {"[site07]\nbase = \"http://x\"\n", SettingsProblem::UnknownTable, 1},
        {"[site0]\n", SettingsProblem::UnknownTable, 1},
        {"\n\n[site9]\nbase = \"http://x\"\n", SettingsProblem::SlotGap, 3},
        {"[site7]\nbase = \"http://x\"\n", SettingsProblem::MissingKey, 1},
        {"[site1]\nenabeld = true\n", SettingsProblem::UnknownKey, 2},
        {"[site1]\nenabled = \"yes\"\n", SettingsProblem::WrongType, 2},
        {"site1 = 3\n", SettingsProblem::WrongType, 1},
        {"[site1]\nbase = \"ftp://x\"\n", SettingsProblem::BadAddress, 2},
        {"[site1]\nbase = \"http://\"\n", SettingsProblem::BadAddress, 2},
        {"[site1]\nbase = \"http://a b\"\n", SettingsProblem::BadAddress, 2},
        {"[play]\nbase = \"file:///etc\"\n", SettingsProblem::BadAddress, 2},
        {"[site1]\ndefinition = \"../nonesuch\"\n", SettingsProblem::UnknownDefinition, 2},
        {"[view]\ntable = \"yes\"\n", SettingsProblem::WrongType, 2},
        {"[view]\nlayout = true\n", SettingsProblem::UnknownKey, 2},
        {"view = true\n", SettingsProblem::WrongType, 1},
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

#ifndef _WIN32  // FIFOs, devices and link loops: tests/windows/win32_services_test.cpp has the Windows cases
// Whatever is in the settings file's place, start-up goes on at once with the built-in values and names the
// file and what is wrong with it.
TEST_F(SettingsFile, AnythingButASmallRegularFileIsReportedNotRead) {
    const char* old = std::getenv("XDG_CONFIG_HOME");
    const std::string saved = old != nullptr ? old : "";
    setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
    const std::string file = settingsFilePath();
    ASSERT_EQ(file, dir + "/lanqi-search/config.toml");
    const struct {
        const char* what;
        std::function<void()> plant;
        SettingsProblem::Kind kind;
    } cases[] = {
        {"a FIFO", [&] { ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0); }, SettingsProblem::NotARegularFile},
        {"a link to /dev/zero", [&] { fs::create_symlink("/dev/zero", file); }, SettingsProblem::NotARegularFile},
        {"a folder", [&] { fs::create_directory(file); }, SettingsProblem::FileIsFolder},
        {"a link loop", [&] { fs::create_symlink("config.toml", file); }, SettingsProblem::LinkLoop},
        {"a file over 1 MiB",
         [&] { std::ofstream(file) << "# " << std::string(kMaxSettingsFileBytes, 'x') << "\n[site9]\n"; },
         SettingsProblem::FileTooLarge},
    };
    for (const auto& c : cases) {
        fs::remove_all(dir + "/lanqi-search");
        fs::create_directories(dir + "/lanqi-search");
        c.plant();
        const LoadedSettings loaded = loadSettings();
        EXPECT_TRUE(loaded.fileFound) << c.what;
        ASSERT_EQ(loaded.problems.size(), 1u) << c.what;
        EXPECT_EQ(loaded.problems[0].kind, c.kind) << c.what;
        EXPECT_EQ(loaded.problems[0].line, 0) << c.what;
        EXPECT_EQ(loaded.settings.sites[0].base, "http://site1.lanqi-sites.example") << c.what;
        EXPECT_EQ(loaded.report(false).rfind(file + ": ", 0), 0u) << loaded.report(false);
        EXPECT_EQ(loaded.report(true).rfind(file + ": ", 0), 0u) << loaded.report(true);
    }
    if (saved.empty())
        unsetenv("XDG_CONFIG_HOME");
    else
        setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
}

#endif

// Nesting beyond kMaxTomlDepth is refused before toml++ sees it (it recurses per level and a few kilobytes of
// "a.a.a" run the stack out); dots and brackets in strings and comments count for nothing.
TEST_F(SettingsFile, KeysNestedTooDeepAreReportedAtTheirLine) {
    const auto repeat = [](const std::string& part, int times, const std::string& between) {
        std::string out;
        for (int k = 0; k < times; ++k) out += (k > 0 ? between : "") + part;
        return out;
    };
    const struct {
        std::string toml;
        long line;  // 0: not too deep
    } cases[] = {
        {"[" + repeat("a", 40000, ".") + "]\n", 1},
        {"# a\n\n" + repeat("a", 40000, ".") + " = 1\n", 3},
        {"[site1]\n" + repeat("a", 40000, " . ") + " = 1\n", 2},
        {"x = " + repeat("[", 40000, "") + "\n", 1},
        {"x = " + repeat("{a = ", 40000, "") + "\n", 1},
        {"x = [\n" + repeat("[", 100, "\n") + "\n", 64},  // the 64th open bracket
        {"[" + repeat("a", 62, ".") + "]\n", 0},
        {"x = " + repeat("[", 63, "") + repeat("]", 63, "") + "\n", 0},
        {"[site1]\nbase = \"" + repeat("[a", 100, ".") + "\"\n", 0},
        {"[site1]\nbase = '" + repeat("{a", 100, ".") + "'\n", 0},
        {"# " + repeat("[a", 100, ".") + "\n", 0},
        {"x = \"\"\"\n" + repeat("[a", 100, ".\n") + "\"\"\"\n", 0},
        {"x = '''" + repeat("[a", 100, ".") + "'''\n", 0},
        {"x = \"\\\"" + repeat("[a", 100, ".") + "\"\n", 0},
        {"x = [" + repeat("1.5", 100, ", ") + "]\n", 0},
    };
    for (const auto& c : cases) {
        const LoadedSettings loaded = load(c.toml);
        const bool tooDeep = !loaded.problems.empty() && loaded.problems[0].kind == SettingsProblem::TooDeep;
        EXPECT_EQ(tooDeep, c.line > 0) << c.toml.substr(0, 80) << "\n" << loaded.report(false).substr(0, 200);
        if (tooDeep) EXPECT_EQ(loaded.problems[0].line, c.line) << c.toml.substr(0, 80);
    }
}

// 保存 over a file a person wrote: only the values that changed are touched, everything else stays byte for
// byte; a key the file lacks goes to the end of its table, a table it lacks to the end of the file.
TEST_F(SettingsFile, SavingEditsTheValuesInPlaceAndKeepsCommentsAndOrder) {
    const std::string handWritten =
        "# my sites\n"
        "[play]\n"
        "base = \"http://play.example\"   # the cloud player\n"
        "\n"
        "[site3]\n"
        "definition = 'site3'\n"
        "  # the old mirror:\n"
        "  base = \"http://127.0.0.1:1/old\" # keep this comment\n"
        "enabled=true\n"
        "\n"
        "# site one last\n"
        "[site1]\n"
        "base = \"http://one.example\"\n";
    const std::string file = dir + "/config.toml";
    const struct {
        const char* what;
        std::function<void(Settings&)> change;
        std::string expected;
    } cases[] = {
        {"nothing changed", [](Settings&) {}, handWritten},
        {"one base", [](Settings& s) { s.sites[2].base = "http://127.0.0.1:2/new"; },
         replaced(handWritten, "\"http://127.0.0.1:1/old\"", "\"http://127.0.0.1:2/new\"")},
        {"a flag and a literal string",
         [](Settings& s) {
             s.sites[2].enabled = false;
             s.sites[2].definition = "site6";
         },
         replaced(replaced(handWritten, "enabled=true", "enabled=false"), "'site3'", "\"site6\"")},
        {"a key the table lacks", [](Settings& s) { s.sites[0].enabled = false; }, handWritten + "enabled = false\n"},
        {"a table the file lacks", [](Settings& s) { s.vendorBase = "http://vendor.example"; },
         handWritten + "\n[vendor]\nbase = \"http://vendor.example\"\n"},
        {"back to the built-in value", [](Settings& s) { s.sites[0].base = "http://site1.lanqi-sites.example"; },
         replaced(handWritten, "http://one.example", "http://site1.lanqi-sites.example")},
        {"the view the user chose",
         [](Settings& s) {
             s.tableView = true;
             s.uniqueRows = true;
         },
         handWritten + "\n[view]\ntable = true\nunique = true\n"},
    };
    for (const auto& c : cases) {
        std::ofstream(file, std::ios::binary | std::ios::trunc) << handWritten;
        Settings settings = loadSettings(file, false).settings;
        c.change(settings);
        std::string error;
        ASSERT_TRUE(saveSettingsFile(file, settings, error)) << error;
        EXPECT_EQ(content(file), c.expected) << c.what;
        EXPECT_EQ(content(file + ".bak"), handWritten) << c.what;
        const LoadedSettings again = loadSettings(file, false);
        EXPECT_TRUE(again.problems.empty()) << again.report(false);
        EXPECT_EQ(again.settings.sites[2].base, settings.sites[2].base) << c.what;
        EXPECT_EQ(again.settings.sites[0].enabled, settings.sites[0].enabled) << c.what;
        EXPECT_EQ(again.settings.vendorBase, settings.vendorBase) << c.what;
        EXPECT_EQ(again.settings.tableView, settings.tableView) << c.what;
        EXPECT_EQ(again.settings.uniqueRows, settings.uniqueRows) << c.what;
    }
}

// [site7] ... [site32] add slots after the six, in number order whatever the file's order; the environment's
// LANQI_SITE<n>_BASE reaches them as it reaches the six.
TEST_F(SettingsFile, SlotsPastTheSixthAreReadInNumberOrderUpToThirtyTwo) {
    LoadedSettings loaded = load(
        "[site8]\nbase = \"http://eight.example\"\ndefinition = \"site1\"\n"
        "[site7]\nbase = \"http://seven.example/\"\ndefinition = \"site2\"\nenabled = false\n");
    EXPECT_TRUE(loaded.problems.empty()) << loaded.report(false);
    ASSERT_EQ(loaded.settings.sites.size(), 8u);
    EXPECT_EQ(loaded.settings.sites[6].base, "http://seven.example");
    EXPECT_EQ(loaded.settings.sites[6].definition, "site2");
    EXPECT_FALSE(loaded.settings.sites[6].enabled);
    EXPECT_EQ(loaded.settings.sites[7].base, "http://eight.example");
    EXPECT_EQ(loaded.settings.sites[7].definition, "site1");
    EXPECT_EQ(loaded.settings.sites[5].base, "http://site6.lanqi-sites.example");

    setenv("LANQI_SITE7_BASE", "http://127.0.0.1:7", 1);
    loaded = loadSettings(dir + "/config.toml");
    EXPECT_EQ(loaded.settings.sites[6].base, "http://127.0.0.1:7");
    EXPECT_EQ(loaded.settings.sites[6].baseFrom, SettingOrigin::Environment);
    unsetenv("LANQI_SITE7_BASE");

    std::string all;
    for (int n = 7; n <= 33; ++n)
        all +=
            "[site" + std::to_string(n) + "]\nbase = \"http://s" + std::to_string(n) + "\"\ndefinition = \"site3\"\n";
    loaded = load(all);
    ASSERT_EQ(loaded.settings.sites.size(), 32u);
    EXPECT_EQ(loaded.settings.sites[31].base, "http://s32");
    ASSERT_EQ(loaded.problems.size(), 1u) << loaded.report(false);
    EXPECT_EQ(loaded.problems[0].kind, SettingsProblem::UnknownTable);
    EXPECT_EQ(loaded.problems[0].line, 27 * 3 - 2);
    EXPECT_NE(loaded.report(false).find("config.toml:79: unknown table [site33]"), std::string::npos);
}

// 站点设置 shows six slots; saving must neither lose nor rewrite the slots past them.
TEST_F(SettingsFile, SavingKeepsTheSlotsPastTheSixthAsTheUserWroteThem) {
    const std::string handWritten =
        "# mine\n"
        "[site1]\n"
        "base = \"http://one.example\"\n"
        "\n"
        "[site7]   # my mirror of site 2\n"
        "base = \"http://seven.example\"  # keep\n"
        "definition = 'site2'\n"
        "# the end\n";
    const std::string file = dir + "/config.toml";
    const struct {
        const char* what;
        std::function<void(Settings&)> change;
        std::string expected;
    } cases[] = {
        {"a built-in slot changed", [](Settings& s) { s.sites[0].base = "http://uno.example"; },
         replaced(handWritten, "one.example", "uno.example")},
        {"the seventh slot changed", [](Settings& s) { s.sites[6].enabled = false; },
         replaced(handWritten, "definition = 'site2'\n", "definition = 'site2'\nenabled = false\n")},
        {"an eighth slot added",
         [](Settings& s) {
             s.sites.push_back({});
             s.sites[7].base = "http://eight.example";
             s.sites[7].definition = "site4";
         },
         handWritten + "\n[site8]\nbase = \"http://eight.example\"\ndefinition = \"site4\"\n"},
    };
    for (const auto& c : cases) {
        std::ofstream(file, std::ios::binary | std::ios::trunc) << handWritten;
        Settings settings = loadSettings(file, false).settings;
        ASSERT_EQ(settings.sites.size(), 7u);
        c.change(settings);
        std::string error;
        ASSERT_TRUE(saveSettingsFile(file, settings, error)) << error;
        EXPECT_EQ(content(file), c.expected) << c.what;
        const LoadedSettings again = loadSettings(file, false);
        EXPECT_TRUE(again.problems.empty()) << c.what << again.report(false);
        EXPECT_EQ(again.settings.sites.size(), settings.sites.size()) << c.what;
    }

    // Written whole (the file cannot be edited line by line), every slot is kept, in number order.
    std::ofstream(file, std::ios::binary | std::ios::trunc) << "site1 = { base = \"http://one.example\" }\n";
    Settings eleven = builtInSettings();
    for (int n = 7; n <= 11; ++n)
        eleven.sites.push_back({"http://s" + std::to_string(n), n != 9, "site" + std::to_string(n - 5)});
    std::string error;
    ASSERT_TRUE(saveSettingsFile(file, eleven, error)) << error;
    const std::string text = content(file);
    EXPECT_LT(text.find("[site9]"), text.find("[site10]"));
    const LoadedSettings again = loadSettings(file, false);
    EXPECT_TRUE(again.problems.empty()) << again.report(false);
    ASSERT_EQ(again.settings.sites.size(), 11u);
    for (size_t k = 6; k < 11; ++k) {
        EXPECT_EQ(again.settings.sites[k].base, eleven.sites[k].base);
        EXPECT_EQ(again.settings.sites[k].enabled, eleven.sites[k].enabled);
        EXPECT_EQ(again.settings.sites[k].definition, eleven.sites[k].definition);
    }
}

// A slot the settings no longer hold leaves the file: its table is gone, the later ones moved down, whichever
// slot went.
TEST_F(SettingsFile, SavingFewerSlotsDropsTheirTables) {
    const std::string file = dir + "/config.toml";
    const std::string previous =
        "# mine\n[site7]\nbase = \"http://seven.example\"\ndefinition = \"site2\"\n"
        "[site8]\nbase = \"http://eight.example\"\ndefinition = \"site4\"\n"
        "[site9]\nbase = \"http://nine.example\"\nenabled = false\ndefinition = \"site5\"\n";
    for (size_t removed = 6; removed < 9; ++removed) {
        SCOPED_TRACE(removed + 1);
        std::ofstream(file, std::ios::binary | std::ios::trunc) << previous;
        const Settings before = loadSettings(file, false).settings;
        ASSERT_EQ(before.sites.size(), 9u);
        Settings settings = before;
        settings.sites.erase(settings.sites.begin() + static_cast<std::ptrdiff_t>(removed));
        std::string error;
        ASSERT_TRUE(saveSettingsFile(file, settings, error)) << error;
        EXPECT_EQ(content(file).find("[site9]"), std::string::npos) << content(file);
        EXPECT_EQ(content(file + ".bak"), previous);
        const LoadedSettings again = loadSettings(file, false);
        EXPECT_TRUE(again.problems.empty()) << again.report(false);
        ASSERT_EQ(again.settings.sites.size(), 8u);
        for (size_t k = 6; k < 8; ++k) {
            const SiteSlotSettings& kept = before.sites[k < removed ? k : k + 1];
            EXPECT_EQ(again.settings.sites[k].base, kept.base) << k + 1;
            EXPECT_EQ(again.settings.sites[k].enabled, kept.enabled) << k + 1;
            EXPECT_EQ(again.settings.sites[k].definition, kept.definition) << k + 1;
        }
    }
}

// A file the line edit cannot be sure of is written whole, and still reads back as what was saved.
TEST_F(SettingsFile, AFileTheEditCannotFollowIsWrittenWhole) {
    const std::string file = dir + "/config.toml";
    for (const std::string previous :
         {"site3 = { base = \"http://127.0.0.1:1/a\" }\n", "site3.base = \"http://127.0.0.1:1/a\"\n",
          "[site3]\nnote = \"\"\"\n[site3]\nbase = 'x'\n\"\"\"\n", "[site3\nbroken",
          "[\"site3\"]\nbase = \"http://127.0.0.1:1/a\"\n"}) {
        std::ofstream(file, std::ios::binary | std::ios::trunc) << previous;
        Settings settings = builtInSettings();
        settings.sites[2].base = "http://127.0.0.1:2/b";
        EXPECT_EQ(editedSettingsText(previous, settings), "") << previous;
        std::string error;
        ASSERT_TRUE(saveSettingsFile(file, settings, error)) << error;
        const LoadedSettings again = loadSettings(file, false);
        EXPECT_TRUE(again.problems.empty()) << previous << again.report(false);
        EXPECT_EQ(again.settings.sites[2].base, "http://127.0.0.1:2/b") << previous;
        EXPECT_EQ(content(file + ".bak"), previous);
    }
}

#ifndef _WIN32  // on Windows the file itself is written
// A settings file that is a link (to a dotfiles folder, say) stays a link; what it points at gets the values.
TEST_F(SettingsFile, SavingThroughALinkWritesItsTarget) {
    fs::create_directories(dir + "/dotfiles");
    const std::string target = dir + "/dotfiles/lanqi.toml";
    std::ofstream(target) << "# mine\n[site2]\nbase = \"http://two.example\"\n";
    fs::create_directories(dir + "/lanqi-search");
    const std::string file = dir + "/lanqi-search/config.toml";
    fs::create_symlink("../dotfiles/lanqi.toml", file);
    Settings settings = loadSettings(file, false).settings;
    settings.sites[1].base = "http://127.0.0.1:2/two";
    std::string error;
    ASSERT_TRUE(saveSettingsFile(file, settings, error)) << error;
    EXPECT_TRUE(fs::is_symlink(file));
    EXPECT_EQ(fs::read_symlink(file), "../dotfiles/lanqi.toml");
    EXPECT_EQ(content(target), "# mine\n[site2]\nbase = \"http://127.0.0.1:2/two\"\n");
    EXPECT_EQ(content(file + ".bak"), "# mine\n[site2]\nbase = \"http://two.example\"\n");
    EXPECT_EQ(loadSettings(file, false).settings.sites[1].base, "http://127.0.0.1:2/two");

    fs::remove(file);
    fs::create_symlink("config.toml", file);  // a loop: refused, nothing written
    EXPECT_FALSE(saveSettingsFile(file, settings, error));
    EXPECT_NE(error.find("loops"), std::string::npos) << error;
    EXPECT_TRUE(fs::is_symlink(file));
}

#endif

// [swarm] is read key by key: a bad value keeps the built-in one, a bad list entry is left out and the others
// kept, each problem at its own line.
TEST_F(SettingsFile, SwarmTableIsReadKeyByKeyAndEachBadEntryIsReportedAtItsLine) {
    const auto swarm = [](const std::function<void(SwarmSettings&)>& change) {
        SwarmSettings values;
        values.from = SettingOrigin::File;
        change(values);
        return values;
    };
    const struct {
        const char* toml;
        SwarmSettings expected;
        std::vector<SettingsProblem> problems;  // kind, line, subject
    } cases[] = {
        {"[swarm]\n", swarm([](SwarmSettings&) {}), {}},
        {"[swarm]\nenabled = true\nasked = true\nauto_check = true\n"
         "trackers = [\"udp://127.0.0.1:6969/announce\", \" HTTP://t.example/a?k=1 \"]\n"
         "dht_bootstrap = [\n  \"127.0.0.1:6881\",\n  \"[::1]:6882\",\n]\nlisten = \"lo\"\ntimeout = 300\nmax_checks = "
         "1\n",
         swarm([](SwarmSettings& s) {
             s.enabled = s.asked = s.autoCheck = true;
             s.trackers = {"udp://127.0.0.1:6969/announce", "HTTP://t.example/a?k=1"};
             s.dhtBootstrap = {"127.0.0.1:6881", "[::1]:6882"};
             s.listen = "lo";
             s.timeoutSeconds = 300;
             s.maxChecks = 1;
         }),
         {}},
        {"[swarm]\ntrackers = [\n  \"udp://a.example:1/announce\",\n  \"ftp://b.example/announce\",\n"
         "  \"http://c.example/announce\",\n  \"udp://\",\n]\n",
         swarm([](SwarmSettings& s) {
             s.trackers = {"udp://a.example:1/announce", "http://c.example/announce"};
         }),
         {{SettingsProblem::BadTracker, 4, "ftp://b.example/announce"}, {SettingsProblem::BadTracker, 6, "udp://"}}},
        {"[swarm]\ndht_bootstrap = [\"a.example:0\", \"a.example\", \"b.example:6881\", \"::1:5\", 7]\n",
         swarm([](SwarmSettings& s) { s.dhtBootstrap = {"b.example:6881"}; }),
         {{SettingsProblem::BadBootstrapNode, 2, "a.example:0"},
          {SettingsProblem::BadBootstrapNode, 2, "a.example"},
          {SettingsProblem::BadBootstrapNode, 2, "::1:5"},
          {SettingsProblem::WrongType, 2, "swarm.dht_bootstrap"}}},
        {"[swarm]\ntimeout = 0\nmax_checks = 17\n",
         swarm([](SwarmSettings&) {}),
         {{SettingsProblem::OutOfRange, 2, "swarm.timeout"}, {SettingsProblem::OutOfRange, 3, "swarm.max_checks"}}},
        {"[swarm]\ntimeout = 301\nmax_checks = 16\n",
         swarm([](SwarmSettings& s) { s.maxChecks = 16; }),
         {{SettingsProblem::OutOfRange, 2, "swarm.timeout"}}},
        {"[swarm]\nenabled = \"yes\"\ntimeout = 2.5\ntrackers = \"udp://a.example/announce\"\nlisten = 0\n"
         "asked = true\n",
         swarm([](SwarmSettings& s) { s.asked = true; }),
         {{SettingsProblem::WrongType, 2, "swarm.enabled"},
          {SettingsProblem::WrongType, 3, "swarm.timeout"},
          {SettingsProblem::WrongType, 4, "swarm.trackers"},
          {SettingsProblem::WrongType, 5, "swarm.listen"}}},
        {"[swarm]\nauto = true\n", swarm([](SwarmSettings&) {}), {{SettingsProblem::UnknownKey, 2, "swarm.auto"}}},
    };
    for (const auto& c : cases) {
        const LoadedSettings loaded = load(c.toml);
        EXPECT_EQ(loaded.settings.swarm, c.expected) << c.toml;
        ASSERT_EQ(loaded.problems.size(), c.problems.size()) << c.toml << loaded.report(false);
        for (size_t k = 0; k < c.problems.size(); ++k) {
            EXPECT_EQ(loaded.problems[k].kind, c.problems[k].kind) << c.toml << k;
            EXPECT_EQ(loaded.problems[k].line, c.problems[k].line) << c.toml << k;
            EXPECT_EQ(loaded.problems[k].subject, c.problems[k].subject) << c.toml << k;
        }
    }
    const LoadedSettings none = load("swarm = 1\n");
    EXPECT_EQ(none.settings.swarm, SwarmSettings{});
    ASSERT_EQ(none.problems.size(), 1u);
    EXPECT_EQ(none.problems[0].kind, SettingsProblem::WrongType);
    EXPECT_EQ(loadSettings(dir + "/missing.toml").settings.swarm, SwarmSettings{});
}

TEST_F(SettingsFile, SwarmProblemsNameTheEntryAndTheBoundsInEnglishAndChinese) {
    const LoadedSettings loaded = load(
        "[swarm]\ntrackers = [\"ftp://x\"]\ndht_bootstrap = [\"x\"]\ntimeout = 0\n"
        "max_checks = 99\n");
    EXPECT_EQ(loaded.report(false),
              dir +
                  "/config.toml:2: swarm.trackers: ftp://x is not an http://, https:// or udp:// address with a "
                  "host; it is left out\n" +
                  dir +
                  "/config.toml:3: swarm.dht_bootstrap: x is not host:port with a port from 1 to 65535; it is "
                  "left out\n" +
                  dir + "/config.toml:4: swarm.timeout is out of range (1 to 300)\n" + dir +
                  "/config.toml:5: swarm.max_checks is out of range (1 to 16)\n");
    EXPECT_EQ(
        loaded.report(true),
        dir + "/config.toml:2: swarm.trackers 中的 ftp://x 不是带主机名的 http://、https:// 或 udp:// 地址，已略过\n" +
            dir + "/config.toml:3: swarm.dht_bootstrap 中的 x 不是 host:port（端口为 1 至 65535），已略过\n" + dir +
            "/config.toml:4: swarm.timeout 超出范围（1 至 300）\n" + dir +
            "/config.toml:5: swarm.max_checks 超出范围（1 至 16）\n");
}

// Saving [swarm] touches only the keys whose values changed; a list is written on one line when it holds one
// entry, one entry a line when more, and replaces the list the file had wherever its lines ran.
TEST_F(SettingsFile, SavingEditsTheSwarmTableAsAPersonWould) {
    const std::string handWritten =
        "[site1]\nbase = \"http://one.example\"\n"
        "\n"
        "# the swarm check\n"
        "[swarm]\n"
        "enabled = true  # I agreed\n"
        "trackers = [\n"
        "  \"udp://127.0.0.1:1/announce\",  # mine [local]\n"
        "  \"ftp://old.example/announce\",\n"
        "]\n"
        "timeout = 30\n"
        "\n"
        "[view]\ntable = true\n";
    const std::string file = dir + "/config.toml";
    const struct {
        const char* what;
        std::string previous;
        std::function<void(Settings&)> change;
        std::string expected;
    } cases[] = {
        {"nothing changed but the bad tracker goes", handWritten, [](Settings&) {},
         replaced(handWritten,
                  "[\n  \"udp://127.0.0.1:1/announce\",  # mine [local]\n  \"ftp://old.example/announce\",\n]",
                  "[\"udp://127.0.0.1:1/announce\"]")},
        {"two trackers and a time limit", handWritten,
         [](Settings& s) {
             s.swarm.trackers.push_back("http://127.0.0.1:2/announce");
             s.swarm.timeoutSeconds = 5;
         },
         replaced(replaced(handWritten,
                           "  \"udp://127.0.0.1:1/announce\",  # mine [local]\n  \"ftp://old.example/announce\",\n",
                           "    \"udp://127.0.0.1:1/announce\",\n    \"http://127.0.0.1:2/announce\",\n"),
                  "timeout = 30", "timeout = 5")},
        {"keys the table lacks go to its end", handWritten,
         [](Settings& s) {
             s.swarm.trackers = {"udp://127.0.0.1:1/announce"};
             s.swarm.asked = true;
             s.swarm.dhtBootstrap = {"127.0.0.1:6881"};
             s.swarm.maxChecks = 2;
         },
         replaced(replaced(handWritten,
                           "[\n  \"udp://127.0.0.1:1/announce\",  # mine [local]\n  \"ftp://old.example/announce\",\n]",
                           "[\"udp://127.0.0.1:1/announce\"]"),
                  "timeout = 30\n",
                  "timeout = 30\nasked = true\ndht_bootstrap = [\"127.0.0.1:6881\"]\nmax_checks = 2\n")},
        {"no trackers", handWritten, [](Settings& s) { s.swarm.trackers.clear(); },
         replaced(handWritten,
                  "[\n  \"udp://127.0.0.1:1/announce\",  # mine [local]\n  \"ftp://old.example/announce\",\n]", "[]")},
        {"a file without the table gets the values that are not the built-in ones", "[view]\r\ntable = true\r\n",
         [](Settings& s) {
             s.swarm.enabled = s.swarm.asked = true;
             s.swarm.listen = "127.0.0.1";
         },
         "[view]\r\ntable = true\r\n\r\n[swarm]\r\nenabled = true\r\nasked = true\r\nlisten = \"127.0.0.1\"\r\n"},
        {"a bad number is put right", "[swarm]\ntimeout = 0 # too short\n", [](Settings&) {},
         "[swarm]\ntimeout = 20 # too short\n"},
    };
    for (const auto& c : cases) {
        std::ofstream(file, std::ios::binary | std::ios::trunc) << c.previous;
        Settings settings = loadSettings(file, false).settings;
        c.change(settings);
        std::string error;
        ASSERT_TRUE(saveSettingsFile(file, settings, error)) << error;
        EXPECT_EQ(content(file), c.expected) << c.what;
        const LoadedSettings again = loadSettings(file, false);
        EXPECT_TRUE(again.problems.empty()) << c.what << again.report(false);
        SwarmSettings wanted = settings.swarm;
        wanted.from = SettingOrigin::File;
        EXPECT_EQ(again.settings.swarm, wanted) << c.what;
        EXPECT_EQ(again.settings.sites[0].base, settings.sites[0].base) << c.what;
        EXPECT_EQ(again.settings.tableView, settings.tableView) << c.what;
    }
}

// A file written whole holds [swarm] only for the values that are not the built-in ones.
TEST_F(SettingsFile, AWholeFileCarriesTheSwarmValuesThatDifferFromTheBuiltInOnes) {
    const std::string file = dir + "/config.toml";
    Settings settings = builtInSettings();
    std::string error;
    ASSERT_TRUE(saveSettingsFile(file, settings, error)) << error;
    EXPECT_EQ(content(file).find("[swarm]"), std::string::npos);
    fs::remove(file);
    settings.swarm.autoCheck = true;
    settings.swarm.trackers = {"udp://127.0.0.1:1/announce", "https://127.0.0.1:2/a\"b"};
    ASSERT_TRUE(saveSettingsFile(file, settings, error)) << error;
    const std::string text = content(file);
    EXPECT_EQ(text.substr(text.find("\n[swarm]")),
              "\n[swarm]\nauto_check = true\ntrackers = [\n    \"udp://127.0.0.1:1/announce\",\n"
              "    \"https://127.0.0.1:2/a\\\"b\",\n]\n");
    const LoadedSettings again = loadSettings(file, false);
    EXPECT_TRUE(again.problems.empty()) << again.report(false);
    EXPECT_TRUE(again.settings.swarm.autoCheck);
    EXPECT_EQ(again.settings.swarm.trackers, settings.swarm.trackers);
}

TEST(SwarmAddresses, TrackersAreHttpHttpsOrUdpWithAHostAndNodesAreHostAndPort) {
    for (const char* good : {"udp://a.example:6969/announce", "http://a", "HTTPS://a.example/x/announce?passkey=1",
                             "udp://[::1]:1", "http://127.0.0.1:80/announce.php"})
        EXPECT_TRUE(isTrackerAddress(good)) << good;
    for (const char* bad :
         {"", "a.example/announce", "ftp://a/announce", "udp://", "udp://:1", "http://a:", "http://a:123456",
          "http://a b/announce", "http://a/b c", "wss://a/announce", "udp:/a", "http://a#b", "http://a\x7F"})
        EXPECT_FALSE(isTrackerAddress(bad)) << bad;
    for (const char* good : {"a.example:6881", "127.0.0.1:1", "[::1]:65535", "router_1.example:80"})
        EXPECT_TRUE(isBootstrapNode(good)) << good;
    for (const char* bad : {"", "a.example", "a.example:", ":6881", "a.example:0", "a.example:65536",
                            "a.example:123456", "::1:6881", "[::1]", "[::1]:5:6881", "a b:1", "a/b:1", "a:1x"})
        EXPECT_FALSE(isBootstrapNode(bad)) << bad;
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

#include "app/core/site_bundle.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>

#include "scrape/site_definition.h"
#include "support/scratch_folder.h"

namespace lanqi {
namespace {

namespace fs = std::filesystem;

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    const size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) text.replace(at, from.size(), to);
    return text;
}

std::string everyLineEnd(std::string text, const std::string& end) {
    std::string out;
    for (const char c : text) out += c == '\n' ? end : std::string(1, c);
    return out;
}

long lineOf(const std::string& text, const std::string& marker) {
    const size_t at = text.find(marker);
    return at == std::string::npos ? -1 : 1 + static_cast<long>(std::count(text.begin(), text.begin() + at, '\n'));
}

std::string builtIn(int n) { return std::string(builtInSiteDefinitionText(n)); }

// A settings folder of its own for each side: FOLDER/lanqi-search/config.toml and its sites folder.
class SiteBundle : public test::ScratchFolderTest {
  protected:
    void SetUp() override {
        test::ScratchFolderTest::SetUp();
        for (const char* name : kVariables) unsetenv(name);
    }
    void TearDown() override {
        for (const char* name : kVariables) unsetenv(name);
        test::ScratchFolderTest::TearDown();
    }
    std::string settingsFile(const std::string& side) const { return dir + "/" + side + "/lanqi-search/config.toml"; }
    std::string definitionFile(const std::string& side, const std::string& name) const {
        return siteDefinitionFolderOf(settingsFile(side)) + "/" + name + ".toml";
    }
    static void write(const std::string& path, const std::string& text) {
        fs::create_directories(fs::path(path).parent_path());
        std::ofstream(path, std::ios::binary) << text;
    }
    // Every file under `side` and its bytes.
    std::map<std::string, std::string> files(const std::string& side) const {
        std::map<std::string, std::string> found;
        std::error_code error;
        for (const auto& entry : fs::recursive_directory_iterator(dir + "/" + side, error))
            found[entry.path().string()] = entry.is_regular_file() ? content(entry.path().string()) : "<folder>";
        return found;
    }
    static constexpr const char* kVariables[] = {"LANQI_SITE1_BASE", "LANQI_SITE3_BASE", "LANQI_SITE7_BASE",
                                                 "LANQI_VENDOR_BASE", "LANQI_PLAY_BASE"};
};

void expectSameSlots(const Settings& got, const Settings& wanted, const std::string& label) {
    ASSERT_EQ(got.sites.size(), wanted.sites.size()) << label;
    for (size_t k = 0; k < wanted.sites.size(); ++k) {
        EXPECT_EQ(got.sites[k].base, wanted.sites[k].base) << label << " slot " << k + 1;
        EXPECT_EQ(got.sites[k].enabled, wanted.sites[k].enabled) << label << " slot " << k + 1;
        EXPECT_EQ(got.sites[k].definition, wanted.sites[k].definition) << label << " slot " << k + 1;
    }
}

// Slots and definition files go through a bundle into another user's empty folder and come out the same, byte
// for byte, whatever quotes, backslashes, control characters and line ends the definitions hold.
TEST_F(SiteBundle, SlotsAndDefinitionsComeBackUnchanged) {
    const std::string awkward = "# it's '''quoted''' and \"\"\"double\"\"\", a \\ backslash, \\n, 岚栖 中文\n";
    struct Case {
        const char* label;
        std::map<std::string, std::string> definitions;        // NAME: text in the exporting user's folder
        std::vector<std::pair<std::string, bool>> extraSlots;  // definition, enabled of site7, site8, ...
        int disabledSlot = 0;                                  // a built-in slot switched off
    };
    const Case cases[] = {
        {"triple single quotes", {{"quoted", awkward + builtIn(1)}}, {{"quoted", true}}},
        {"triple double quotes at the end", {{"doubled", builtIn(2) + "# end \"\"\""}}, {{"doubled", true}}},
        {"both kinds of triple quotes", {{"both", awkward + builtIn(2) + "# end \"\"\""}}, {{"both", true}}},
        {"backslashes and CJK text",
         {{"cjk", replaced(builtIn(3), "\n", "\n# C:\\站点\\ \\\\ \\u0041\n")}},
         {{"cjk", false}}},
        {"CRLF line ends", {{"crlf", everyLineEnd(awkward + builtIn(4), "\r\n")}}, {{"crlf", true}}},
        {"a quote at the very end", {{"tail", builtIn(5) + "# it's'"}}, {{"tail", true}}},
        {"a blank first line and tabs", {{"tabs", "\n\t# tab\t\n" + builtIn(6)}}, {{"tabs", true}}},
        {"a user file in place of a built-in one", {{"site2", awkward + builtIn(2)}}, {}},
        {"slots 7 to 9 and a disabled built-in slot",
         {{"a", builtIn(1)}, {"b", awkward + builtIn(2)}},
         {{"a", true}, {"b", false}, {"site6", true}},
         4},
        {"built-in definitions only", {}, {{"site3", true}}, 2},
    };
    int round = 0;
    for (const Case& c : cases) {
        const std::string from = "from" + std::to_string(round), to = "to" + std::to_string(round++);
        Settings values = builtInSettings();
        values.sites[0].base = "http://127.0.0.1:8080/one";
        if (c.disabledSlot > 0) values.sites[static_cast<size_t>(c.disabledSlot - 1)].enabled = false;
        for (const auto& [definition, enabled] : c.extraSlots) {
            SiteSlotSettings& slot = values.sites.emplace_back();
            slot.base = "http://slot" + std::to_string(values.sites.size()) + ".example/search";
            slot.definition = definition;
            slot.enabled = enabled;
        }
        for (const auto& [name, text] : c.definitions) write(definitionFile(from, name), text);
        std::string error;
        const std::string bundle = exportSiteBundle(values, error, siteDefinitionFolderOf(settingsFile(from)));
        ASSERT_FALSE(bundle.empty()) << c.label << ": " << error;
        EXPECT_EQ(bundle.rfind("# ", 0), 0u) << c.label;

        const std::string path = dir + "/" + from + ".toml";
        write(path, bundle);
        const SiteImportPlan plan = planSiteImport(path, settingsFile(to));
        ASSERT_FALSE(plan.refused()) << c.label << ":\n" << plan.report(false) << bundle;
        EXPECT_EQ(plan.definitions.size(), c.definitions.size()) << c.label;
        ASSERT_TRUE(plan.apply(error).has_value()) << c.label << ": " << error;
        expectSameSlots(loadSettings(settingsFile(to), false).settings, values, c.label);
        for (const auto& [name, text] : c.definitions)
            EXPECT_EQ(content(definitionFile(to, name)), text) << c.label << ": " << name;
        // Nothing was there to back up in the new folder.
        for (const auto& [file, bytes] : files(to)) EXPECT_EQ(file.find(".bak"), std::string::npos) << file;
        // A second import of the same bundle changes nothing.
        EXPECT_TRUE(planSiteImport(path, settingsFile(to)).changes.empty()) << c.label;
    }
}

// Each bundle with something wrong is refused whole, with the bundle's file and the line at fault, and the
// settings folder it was to go into stays as it was.
TEST_F(SiteBundle, ABundleWithAnyProblemIsRefusedWholeWithItsLine) {
    const std::string broken = replaced(builtIn(2), "use = \"list_item\"", "use = \"list_itme\"");
    const std::string brokenBundle = "[site1]\nenabled = true\n\n[definitions]\nmine = '''\n" + broken + "'''\n";
    const std::string sameLine = "[definitions]\nmine = '''" + broken + "'''\n";
    const long brokenLine = lineOf(broken, "use = \"list_itme\"");
    std::string deep = "[site1]\nenabled = true\nx = ";
    for (int k = 0; k < 70; ++k) deep += "[";
    for (int k = 0; k < 70; ++k) deep += "]";
    struct Case {
        const char* label;
        std::string bundle;
        long line;  // the line the first problem names, 0 for the whole bundle
        std::string says;
    };
    const Case cases[] = {
        {"not TOML", "[site1]\nbase = \n", 2, "not a TOML file"},
        {"a broken definition", brokenBundle, lineOf(brokenBundle, "mine = '''") + brokenLine, "bad site definition"},
        {"a broken definition starting on its own line", sameLine, lineOf(sameLine, "mine = ") + brokenLine - 1,
         "bad site definition"},
        {"too deep", deep, 3, "nested deeper than"},
        {"too large", "[site1]\n#" + std::string(kMaxSiteBundleBytes, 'x') + "\n", 0, "larger than 1 MiB"},
        {"a slot gap", "[site8]\nbase = \"http://eight.example\"\ndefinition = \"site1\"\n", 1, "follows no [site7]"},
        {"an unknown key", "[site2]\ncolour = \"red\"\n", 2, "unknown key site2.colour"},
        {"an unknown table", "[site1]\n\n[sitez]\n", 3, "no place in a site bundle"},
        {"the vendor's address", "[vendor]\nbase = \"http://vendor.example\"\n", 1, "[vendor] has no place"},
        {"the swarm check's settings", "[site1]\n\n[swarm]\nenabled = true\n", 3, "[swarm] has no place"},
        {"a definition that is no text", "[definitions]\nmine = 3\n", 2, "definitions.mine is not"},
        {"a definition name that is a path", "[definitions]\n\"../up\" = '''x'''\n", 2, "definitions.../up is not"},
        {"a slot past the sixth without its base", "[site7]\ndefinition = \"site1\"\n", 1, "site7.base is missing"},
        {"a definition nobody has", "[site3]\ndefinition = \"nowhere\"\n", 2, "unknown site definition"},
    };
    // What the settings folder holds before: a settings file and a definition file.
    write(settingsFile("to"), "[site1]\nbase = \"http://one.example\"\n");
    write(definitionFile("to", "mine"), builtIn(1));
    const auto before = files("to");
    for (const Case& c : cases) {
        const std::string path = dir + "/bundle.toml";
        write(path, c.bundle);
        const SiteImportPlan plan = planSiteImport(path, settingsFile("to"));
        ASSERT_TRUE(plan.refused()) << c.label;
        const SettingsProblem& first = plan.problems.front();
        EXPECT_EQ(first.where(plan.bundle), c.line > 0 ? path + ":" + std::to_string(c.line) : path) << c.label;
        EXPECT_NE(first.english().find(c.says), std::string::npos) << c.label << ": " << first.english();
        EXPECT_NE(plan.report(false).find(first.where(plan.bundle) + ": "), std::string::npos) << c.label;
        EXPECT_NE(plan.report(true), plan.report(false)) << c.label;
        std::string error;
        EXPECT_FALSE(plan.apply(error).has_value()) << c.label;
        EXPECT_FALSE(error.empty()) << c.label;
        EXPECT_EQ(files("to"), before) << c.label;
    }
    // The text itself is bounded as the file is.
    EXPECT_EQ(planSiteImportText(std::string(kMaxSiteBundleBytes + 1, '#'), "big.toml", settingsFile("to"))
                  .problems.front()
                  .kind,
              SettingsProblem::FileTooLarge);
}

// An import into a settings folder that already has slots and definitions: what it says it changes, what it
// keeps as backups, and what the folder holds afterwards.
TEST_F(SiteBundle, TheChangesAreListedInOrderAndTheReplacedFilesKept) {
    const std::string oldConfig =
        "# mine\n[site1]\nbase = \"http://one.example\"\n\n[site3]\nenabled = false\n\n"
        "[site7]\nbase = \"http://seven.example\"\ndefinition = \"site1\"\n\n"
        "[site8]\nbase = \"http://eight.example\"\ndefinition = \"site2\"\n\n[vendor]\nbase = \"http://v.example\"\n";
    const std::string keptText = "# kept\n" + builtIn(3), oldMine = "# old\n" + builtIn(1);
    const std::string newMine = "# new\n" + builtIn(1), freshText = "# fresh\n" + builtIn(4);
    write(settingsFile("to"), oldConfig);
    write(definitionFile("to", "kept"), keptText);
    write(definitionFile("to", "mine"), oldMine);
    const std::string bundle =
        "[site1]\nbase = \"http://uno.example\"\n\n[site3]\ndefinition = \"kept\"\n\n"
        "[site7]\nbase = \"http://seven.example\"\ndefinition = \"mine\"\n\n"
        "[definitions]\nkept = '''\n" +
        keptText + "'''\nmine = '''\n" + newMine + "'''\nfresh = '''\n" + freshText + "'''\n";
    const SiteImportPlan plan = planSiteImportText(bundle, "friend.toml", settingsFile("to"));
    ASSERT_FALSE(plan.refused()) << plan.report(false);
    const std::string mine = definitionFile("to", "mine");
    const std::vector<std::string> english = {
        "site1.base: http://one.example -> http://uno.example",
        "site3.enabled: false -> true",
        "site3.definition: site3 -> kept",
        "site7.definition: site1 -> mine",
        "site8: removed (an import replaces the file's slots with the bundle's)",
        "definition fresh: new (" + definitionFile("to", "fresh") + ")",
        "definition mine: changed (the previous file is kept as " + mine + ".bak)",
    };
    std::vector<std::string> listed, chinese;
    for (const SiteImportChange& change : plan.changes) {
        listed.push_back(change.english);
        chinese.push_back(change.chinese);
    }
    EXPECT_EQ(listed, english);
    ASSERT_EQ(chinese.size(), english.size());
    EXPECT_EQ(chinese[1], "site3.enabled：false → true");
    EXPECT_NE(chinese[4].find("删除"), std::string::npos);
    EXPECT_EQ(plan.backups, (std::vector<std::string>{settingsFile("to") + ".bak", mine + ".bak"}));

    setenv("LANQI_SITE1_BASE", "http://from-the-environment.example", 1);
    std::string error;
    const std::optional<Settings> running = plan.apply(error);
    ASSERT_TRUE(running.has_value()) << error;
    // The client runs with the environment's value; the file holds the bundle's.
    EXPECT_EQ(running->sites[0].base, "http://from-the-environment.example");
    const Settings written = loadSettings(settingsFile("to"), false).settings;
    ASSERT_EQ(written.sites.size(), 7u);
    EXPECT_EQ(written.sites[0].base, "http://uno.example");
    EXPECT_TRUE(written.sites[2].enabled);
    EXPECT_EQ(written.sites[6].definition, "mine");
    EXPECT_EQ(written.vendorBase, "http://v.example");  // not the bundle's to change
    EXPECT_EQ(content(settingsFile("to") + ".bak"), oldConfig);
    EXPECT_EQ(content(mine + ".bak"), oldMine);
    EXPECT_EQ(content(mine), newMine);
    EXPECT_EQ(content(definitionFile("to", "fresh")), freshText);
    EXPECT_EQ(content(definitionFile("to", "kept")), keptText);
    EXPECT_FALSE(fs::exists(definitionFile("to", "kept") + ".bak"));
    EXPECT_FALSE(fs::exists(definitionFile("to", "fresh") + ".bak"));
}

// A slot the file lacks is announced with its values; a plan against a place a definition cannot be written
// to is refused before anything is written.
TEST_F(SiteBundle, NewSlotsAreAnnouncedAndAFolderInTheWayRefusesTheImport) {
    const std::string bundle =
        "[site7]\nbase = \"http://seven.example\"\ndefinition = \"x\"\nenabled = false\n\n"
        "[definitions]\nx = '''\n" +
        builtIn(5) + "'''\n";
    const SiteImportPlan plan = planSiteImportText(bundle, "friend.toml", settingsFile("to"));
    ASSERT_FALSE(plan.refused()) << plan.report(false);
    ASSERT_EQ(plan.changes.size(), 2u);
    EXPECT_EQ(plan.changes[0].english, "site7: new slot: base http://seven.example, definition x, enabled false");
    EXPECT_TRUE(plan.backups.empty());  // no settings file yet

    fs::create_directories(definitionFile("to", "x"));
    const SiteImportPlan blocked = planSiteImportText(bundle, "friend.toml", settingsFile("to"));
    ASSERT_TRUE(blocked.refused());
    EXPECT_EQ(blocked.problems.front().where("friend.toml"), definitionFile("to", "x"));
    EXPECT_FALSE(fs::exists(settingsFile("to")));
    // The plan made before the folder was there finds it in the way too, and writes no settings file.
    std::string error;
    EXPECT_FALSE(plan.apply(error).has_value());
    EXPECT_NE(error.find(definitionFile("to", "x")), std::string::npos) << error;
    EXPECT_FALSE(fs::exists(settingsFile("to")));
}

// Only the user's own definition files travel; an unreadable or non-UTF-8 one stops the export.
TEST_F(SiteBundle, TheExportCarriesOnlyTheUsersFilesAndRefusesWhatTomlCannotHold) {
    Settings values = builtInSettings();
    std::string error;
    const std::string plain = exportSiteBundle(values, error, siteDefinitionFolderOf(settingsFile("from")));
    ASSERT_FALSE(plain.empty()) << error;
    EXPECT_EQ(plain.find("[definitions]"), std::string::npos);
    EXPECT_GT(lineOf(plain, "[site6]"), 0);

    values.sites[2].definition = "latin1";
    write(definitionFile("from", "latin1"), "# caf\xE9\n" + builtIn(3));
    EXPECT_EQ(exportSiteBundle(values, error, siteDefinitionFolderOf(settingsFile("from"))), "");
    EXPECT_NE(error.find("not UTF-8"), std::string::npos) << error;

    values.sites[2].definition = "big";
    // A file of 1 MiB may be read, but the bundle around it would be larger.
    std::string big = builtIn(3) + "#";
    big += std::string(kMaxSiteBundleBytes - big.size(), 'x');
    write(definitionFile("from", "big"), big);
    EXPECT_EQ(exportSiteBundle(values, error, siteDefinitionFolderOf(settingsFile("from"))), "");
    EXPECT_NE(error.find("bundle would be larger than 1 MiB"), std::string::npos) << error;

    const std::string path = dir + "/out/bundle.toml";
    values.sites[2].definition = "site3";
    fs::create_directories(dir + "/out");
    ASSERT_TRUE(exportSiteBundleFile(path, values, error, siteDefinitionFolderOf(settingsFile("from")))) << error;
    EXPECT_EQ(content(path), plain);
}

}  // namespace
}  // namespace lanqi

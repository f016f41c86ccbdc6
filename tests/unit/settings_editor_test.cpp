#include "app/core/settings_editor.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <functional>

#include "scrape/site_definition.h"
#include "support/scratch_folder.h"

namespace lanqi {
namespace {

class SettingsEditorTest : public test::ScratchFolderTest {
  protected:
    void SetUp() override {
        test::ScratchFolderTest::SetUp();
        for (const char* name : kVariables) unsetenv(name);
        file = dir + "/config.toml";
    }
    void TearDown() override {
        for (const char* name : kVariables) unsetenv(name);
        test::ScratchFolderTest::TearDown();
    }
    // An editor on `toml` as the settings file, with the environment as it is now.
    SettingsEditor open(const std::string& toml) {
        std::ofstream(file, std::ios::binary) << toml;  // the bytes as given, on Windows too
        return SettingsEditor(file, loadSettings(file).settings);
    }
    static constexpr const char* kVariables[] = {"LANQI_SITE2_BASE", "LANQI_SITE7_BASE", "LANQI_VENDOR_BASE",
                                                 "LANQI_PLAY_BASE"};
    std::string file;
};

const char kSeventhSlot[] =
    "[site6]\nenabled = false\n[site7]\nbase = \"http://seven.example/s\"\ndefinition = \"site3\"\n";

// What the window's rows become when saved: the file's values with each edit, every slot (not only six).
TEST_F(SettingsEditorTest, EditedRowsBecomeTheSettingsToSave) {
    struct Case {
        const char* what;
        std::function<void(SettingsEditor&)> edit;
        std::function<void(const Settings&)> expect;
    };
    const Case cases[] = {
        {"nothing edited keeps the file's values", [](SettingsEditor&) {},
         [](const Settings& s) {
             ASSERT_EQ(s.sites.size(), 7u);
             EXPECT_FALSE(s.sites[5].enabled);
             EXPECT_EQ(s.sites[6].base, "http://seven.example/s");
             EXPECT_EQ(s.sites[6].definition, "site3");
         }},
        {"an address is kept as the file keeps it: no blanks, no / at the end",
         [](SettingsEditor& e) { e.rows[0].base.value = "  http://127.0.0.1:9/one/ "; },
         [](const Settings& s) { EXPECT_EQ(s.sites[0].base, "http://127.0.0.1:9/one"); }},
        {"the seventh slot is edited like the others",
         [](SettingsEditor& e) {
             e.rows[6].enabled = false;
             e.rows[6].definition = "site1";
         },
         [](const Settings& s) {
             EXPECT_FALSE(s.sites[6].enabled);
             EXPECT_EQ(s.sites[6].definition, "site1");
         }},
        {"a slot switched on again", [](SettingsEditor& e) { e.rows[5].enabled = true; },
         [](const Settings& s) { EXPECT_TRUE(s.sites[5].enabled); }},
        {"vendor and cloud play",
         [](SettingsEditor& e) {
             e.vendor.value = "https://vendor.example/";
             e.play.value = "http://play.example:81/p";
         },
         [](const Settings& s) {
             EXPECT_EQ(s.vendorBase, "https://vendor.example");
             EXPECT_EQ(s.playBase, "http://play.example:81/p");
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SettingsEditor editor = open(kSeventhSlot);
        ASSERT_EQ(editor.rows.size(), 7u);
        EXPECT_EQ(editor.rows[6].slot, 7);
        c.edit(editor);
        c.expect(editor.edited());
        SettingsEditor::Problem problem;
        const std::optional<Settings> saved = editor.save(problem);
        ASSERT_TRUE(saved.has_value()) << problem.chinese;
        // The file says what was saved, and the editor opened on it again shows it.
        c.expect(loadSettings(file, false).settings);
        c.expect(SettingsEditor(file, *saved).edited());
    }
}

// An address the client cannot search is refused, naming the field, and nothing is written.
TEST_F(SettingsEditorTest, AnUnsearchableAddressIsRefusedAndNothingIsWritten) {
    struct Case {
        const char* what;
        std::function<void(SettingsEditor&)> edit;
        int field;  // 0: accepted
        const char* named;
    };
    const Case cases[] = {
        {"ftp", [](SettingsEditor& e) { e.rows[2].base.value = "ftp://elsewhere"; }, 3, "站点3的地址"},
        {"no scheme", [](SettingsEditor& e) { e.rows[6].base.value = "seven.example"; }, 7, "站点7的地址"},
        {"empty", [](SettingsEditor& e) { e.rows[0].base.value = " "; }, 1, "站点1的地址"},
        {"no host", [](SettingsEditor& e) { e.rows[1].base.value = "http://"; }, 2, "站点2的地址"},
        {"vendor", [](SettingsEditor& e) { e.vendor.value = "www.vendor.example"; }, SettingsEditor::kVendor,
         "官方网站地址"},
        {"cloud play", [](SettingsEditor& e) { e.play.value = "file:///tmp/x"; }, SettingsEditor::kPlay,
         "云播服务地址"},
        {"the first of two",
         [](SettingsEditor& e) {
             e.play.value = "x";
             e.rows[4].base.value = "x";
         },
         5, "站点5的地址"},
        {"https with port and path", [](SettingsEditor& e) { e.rows[0].base.value = "https://a.example:8443/x/y"; }, 0,
         ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SettingsEditor editor = open(kSeventhSlot);
        const std::string before = content(file);
        c.edit(editor);
        const std::optional<SettingsEditor::Problem> found = editor.check();
        SettingsEditor::Problem problem;
        const std::optional<Settings> saved = editor.save(problem);
        if (c.field == 0) {
            EXPECT_FALSE(found.has_value());
            EXPECT_TRUE(saved.has_value()) << problem.chinese;
            continue;
        }
        ASSERT_TRUE(found.has_value());
        EXPECT_EQ(found->field, c.field);
        EXPECT_EQ(found->chinese.find(c.named), 0u) << found->chinese;
        EXPECT_NE(found->chinese.find("http://"), std::string::npos);
        EXPECT_TRUE(editor.checkField(c.field).has_value());
        EXPECT_FALSE(saved.has_value());
        EXPECT_EQ(problem.field, c.field);
        EXPECT_EQ(content(file), before);
    }
}

// 健康度检查: the page opens with the file's [swarm] values, one entry a line; what is saved reads back as the
// settings the client is handed, and only the keys that changed are written.
TEST_F(SettingsEditorTest, TheSwarmPageShowsTheFilesValuesAndSavesItsEdits) {
    const std::string toml =
        "[swarm]\nasked = true\ntrackers = [\"udp://127.0.0.1:1/announce\", \"http://127.0.0.1:2/announce\"]\n"
        "timeout = 30\n";
    {
        const SettingsEditor editor = open(toml);
        EXPECT_FALSE(editor.swarm.enabled);
        EXPECT_FALSE(editor.swarm.autoCheck);
        EXPECT_EQ(editor.swarm.trackers, "udp://127.0.0.1:1/announce\nhttp://127.0.0.1:2/announce");
        EXPECT_EQ(editor.swarm.bootstrap, "");
        EXPECT_EQ(editor.swarm.listen, "");
        EXPECT_EQ(editor.swarm.timeout, "30");
        EXPECT_EQ(editor.swarm.maxChecks, "4");
    }
    struct Case {
        const char* what;
        std::string toml;
        std::function<void(SettingsEditor::SwarmPage&)> edit;
        std::function<void(SwarmSettings&)> expect;  // from the file's values before
        std::string written;                         // the file after the save
    };
    const Case cases[] = {
        {"nothing edited", toml, [](SettingsEditor::SwarmPage&) {}, [](SwarmSettings&) {}, toml},
        {"启用 ticked answers the first check's question", "",
         [](SettingsEditor::SwarmPage& p) { p.enabled = p.autoCheck = true; },
         [](SwarmSettings& s) { s.enabled = s.asked = s.autoCheck = true; },
         "[swarm]\nenabled = true\nasked = true\nauto_check = true\n"},
        {"lines typed with blanks, blank lines and CR LF", toml,
         [](SettingsEditor::SwarmPage& p) {
             p.trackers = "\r\n  udp://127.0.0.1:3/announce \r\n\r\n";
             p.bootstrap = "127.0.0.1:6881\r\n[::1]:6882";
             p.listen = " 127.0.0.1 ";
             p.timeout = " 5 ";
             p.maxChecks = "16";
         },
         [](SwarmSettings& s) {
             s.trackers = {"udp://127.0.0.1:3/announce"};
             s.dhtBootstrap = {"127.0.0.1:6881", "[::1]:6882"};
             s.listen = "127.0.0.1";
             s.timeoutSeconds = 5;
             s.maxChecks = 16;
         },
         "[swarm]\nasked = true\ntrackers = [\"udp://127.0.0.1:3/announce\"]\ntimeout = 5\n"
         "dht_bootstrap = [\n    \"127.0.0.1:6881\",\n    \"[::1]:6882\",\n]\nlisten = \"127.0.0.1\"\nmax_checks = "
         "16\n"},
        {"switched off again, the answer kept", "[swarm]\nenabled = true\nasked = true\n",
         [](SettingsEditor::SwarmPage& p) {
             p.enabled = false;
             p.trackers.clear();
         },
         [](SwarmSettings& s) { s.enabled = false; }, "[swarm]\nenabled = false\nasked = true\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SettingsEditor editor = open(c.toml);
        SwarmSettings expected = loadSettings(file, false).settings.swarm;
        c.edit(editor.swarm);
        c.expect(expected);
        expected.from = SettingOrigin::File;
        SettingsEditor::Problem problem;
        const std::optional<Settings> saved = editor.save(problem);
        ASSERT_TRUE(saved.has_value()) << problem.chinese;
        EXPECT_EQ(saved->swarm, expected);
        EXPECT_EQ(content(file), c.written);
        EXPECT_EQ(loadSettings(file, false).settings.swarm, expected);
    }
}

// 保存 refuses a tracker or bootstrap line that is not an address, naming its line as typed, and a number out of
// its bounds; nothing is written.
TEST_F(SettingsEditorTest, TheSwarmPageRefusesABadLineOrNumberNamingIt) {
    struct Case {
        const char* what;
        std::function<void(SettingsEditor::SwarmPage&)> edit;
        int field;
        std::string chinese;
    };
    const Case cases[] = {
        {"a tracker of another scheme, on the third line",
         [](SettingsEditor::SwarmPage& p) { p.trackers = "udp://127.0.0.1:1/announce\n\nftp://t.example/a\nx"; },
         SettingsEditor::kSwarmTrackers,
         "Tracker 地址第 3 行（ftp://t.example/a）必须以 http://、https:// 或 udp:// 开头并带主机名，例如 "
         "udp://127.0.0.1:6969/announce"},
        {"a tracker typed in Chinese", [](SettingsEditor::SwarmPage& p) { p.trackers = gbk(u8"http://种子/a"); },
         SettingsEditor::kSwarmTrackers,
         "Tracker 地址第 1 行（http://种子/a）必须以 http://、https:// 或 udp:// 开头并带主机名，例如 "
         "udp://127.0.0.1:6969/announce"},
        {"a node without its port",
         [](SettingsEditor::SwarmPage& p) { p.bootstrap = "127.0.0.1:6881\r\nrouter.example"; },
         SettingsEditor::kSwarmBootstrap,
         "DHT 引导节点第 2 行（router.example）必须是 host:port，端口为 1 至 65535，例如 127.0.0.1:6881"},
        {"a port past 65535", [](SettingsEditor::SwarmPage& p) { p.bootstrap = "a.example:65536"; },
         SettingsEditor::kSwarmBootstrap,
         "DHT 引导节点第 1 行（a.example:65536）必须是 host:port，端口为 1 至 65535，例如 127.0.0.1:6881"},
        {"no time limit", [](SettingsEditor::SwarmPage& p) { p.timeout = "0"; }, SettingsEditor::kSwarmTimeout,
         "每次检查时限必须是 1 至 300 的整数（秒）"},
        {"a time limit in words", [](SettingsEditor::SwarmPage& p) { p.timeout = "20s"; },
         SettingsEditor::kSwarmTimeout, "每次检查时限必须是 1 至 300 的整数（秒）"},
        {"too many checks", [](SettingsEditor::SwarmPage& p) { p.maxChecks = "17"; }, SettingsEditor::kSwarmChecks,
         "同时检查数必须是 1 至 16 的整数"},
        {"no number", [](SettingsEditor::SwarmPage& p) { p.maxChecks = " "; }, SettingsEditor::kSwarmChecks,
         "同时检查数必须是 1 至 16 的整数"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SettingsEditor editor = open(kSeventhSlot);
        const std::string before = content(file);
        c.edit(editor.swarm);
        const std::optional<SettingsEditor::Problem> found = editor.checkSwarm();
        ASSERT_TRUE(found.has_value());
        EXPECT_EQ(found->field, c.field);
        EXPECT_EQ(found->chinese, c.chinese);
        SettingsEditor::Problem problem;
        EXPECT_FALSE(editor.save(problem).has_value());
        EXPECT_EQ(problem.field, c.field);
        EXPECT_EQ(content(file), before);
    }
    // An address of the rows is named before the page.
    SettingsEditor editor = open(kSeventhSlot);
    editor.swarm.timeout = "0";
    editor.play.value = "x";
    ASSERT_TRUE(editor.check().has_value());
    EXPECT_EQ(editor.check()->field, SettingsEditor::kPlay);
}

// What the environment sets is shown as used, read-only, never refused, never written to the file; the
// settings a save hands back still hold it.
TEST_F(SettingsEditorTest, TheEnvironmentsValuesAreShownButNeverWritten) {
    struct Case {
        const char* variable;
        const char* value;
        std::function<SettingsEditor::Address&(SettingsEditor&)> field;
        std::function<Text(const Settings&)> saved;
    };
    const Case cases[] = {
        {"LANQI_SITE2_BASE", "http://from.environment/two",
         [](SettingsEditor& e) -> SettingsEditor::Address& { return e.rows[1].base; },
         [](const Settings& s) { return s.sites[1].base; }},
        {"LANQI_SITE7_BASE", "http://from.environment/seven",
         [](SettingsEditor& e) -> SettingsEditor::Address& { return e.rows[6].base; },
         [](const Settings& s) { return s.sites[6].base; }},
        {"LANQI_VENDOR_BASE", "http://vendor.environment",
         [](SettingsEditor& e) -> SettingsEditor::Address& { return e.vendor; },
         [](const Settings& s) { return s.vendorBase; }},
        {"LANQI_PLAY_BASE", "http://play.environment",
         [](SettingsEditor& e) -> SettingsEditor::Address& { return e.play; },
         [](const Settings& s) { return s.playBase; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.variable);
        std::ofstream(file) << kSeventhSlot;
        const Text inFile = c.saved(loadSettings(file, false).settings);
        setenv(c.variable, c.value, 1);
        SettingsEditor editor = open(kSeventhSlot);
        SettingsEditor::Address& address = c.field(editor);
        EXPECT_EQ(address.value, c.value);
        EXPECT_TRUE(address.readOnly());
        const std::string note = SettingsEditor::environmentNote(address);
        EXPECT_NE(note.find(c.variable), std::string::npos) << note;
        address.value = "not an address";  // a read-only field is neither checked nor taken
        EXPECT_FALSE(editor.check().has_value());
        EXPECT_EQ(c.saved(editor.edited()), inFile);
        SettingsEditor::Problem problem;
        const std::optional<Settings> saved = editor.save(problem);
        ASSERT_TRUE(saved.has_value()) << problem.chinese;
        EXPECT_EQ(c.saved(*saved), c.value);
        EXPECT_EQ(c.saved(loadSettings(file, false).settings), inFile);
        unsetenv(c.variable);
        // Without the variable the field is the file's again, and may be edited.
        SettingsEditor plain(file, loadSettings(file).settings);
        EXPECT_FALSE(c.field(plain).readOnly());
        EXPECT_TRUE(SettingsEditor::environmentNote(c.field(plain)).empty());
        EXPECT_EQ(c.field(plain).value, inFile);
    }
}

// A row may choose every known definition, and keeps one the file names that is none of them.
TEST_F(SettingsEditorTest, ARowsDefinitionChoicesHoldItsOwn) {
    SettingsEditor editor = open(kSeventhSlot);
    const std::vector<std::string> known = siteDefinitionNames();
    EXPECT_EQ(editor.definitionChoices(7), known);
    editor.rows[6].definition = "my-own";
    const std::vector<std::string> own = editor.definitionChoices(7);
    ASSERT_EQ(own.size(), known.size() + 1);
    EXPECT_EQ(own.back(), "my-own");
}

const char kThreeOwnSlots[] =
    "[site7]\nbase = \"http://seven.example\"\ndefinition = \"site3\"\n"
    "[site8]\nbase = \"http://eight.example\"\nenabled = false\ndefinition = \"site4\"\n"
    "[site9]\nbase = \"http://nine.example\"\ndefinition = \"site5\"\n";

// Each row's slot number, address and definition, in order.
std::vector<std::string> shown(const SettingsEditor& editor) {
    std::vector<std::string> out;
    for (const SettingsEditor::Row& row : editor.rows)
        out.push_back(std::to_string(row.slot) + " " + row.base.value + " " + row.definition +
                      (row.enabled ? "" : " off"));
    return out;
}

// Slots are added at the end and removed past the sixth; the later ones move down, and a save writes the
// slots as they are now.
TEST_F(SettingsEditorTest, SlotsAreAddedAndRemovedWithoutGaps) {
    using namespace std::string_literals;  // a pair of char* would be taken for a range
    const std::string first = siteDefinitionNames().front();
    struct Case {
        const char* what;
        std::function<void(SettingsEditor&)> edit;
        std::vector<std::string> own;  // the rows past the sixth afterwards
    };
    const Case cases[] = {
        {"the middle one removed",
         [](SettingsEditor& e) { EXPECT_TRUE(e.removeRow(8)); },
         {"7 http://seven.example site3"s, "8 http://nine.example site5"}},
        {"the first one removed",
         [](SettingsEditor& e) { EXPECT_TRUE(e.removeRow(7)); },
         {"7 http://eight.example site4 off"s, "8 http://nine.example site5"}},
        {"the last one removed",
         [](SettingsEditor& e) { EXPECT_TRUE(e.removeRow(9)); },
         {"7 http://seven.example site3"s, "8 http://eight.example site4 off"}},
        {"every one removed, last first",
         [](SettingsEditor& e) {
             for (int slot = 9; slot >= 7; --slot) EXPECT_TRUE(e.removeRow(slot));
         },
         {}},
        {"every one removed, first first",
         [](SettingsEditor& e) {
             for (int n = 0; n < 3; ++n) EXPECT_TRUE(e.removeRow(7));
         },
         {}},
        {"one added and given an address",
         [](SettingsEditor& e) {
             EXPECT_EQ(e.addRow(), 10);
             e.rows[9].base.value = "http://ten.example";
         },
         {"7 http://seven.example site3"s, "8 http://eight.example site4 off", "9 http://nine.example site5",
          "10 http://ten.example " + first}},
        {"one added, then one before it removed",
         [](SettingsEditor& e) {
             EXPECT_EQ(e.addRow(), 10);
             e.rows[9].base.value = "http://ten.example";
             EXPECT_TRUE(e.removeRow(7));
         },
         {"7 http://eight.example site4 off"s, "8 http://nine.example site5", "9 http://ten.example " + first}},
        {"the built-in slots and slots that are not there stay",
         [](SettingsEditor& e) {
             for (const int slot : {-1, 0, 1, 2, 3, 4, 5, 6, 10, 33}) {
                 EXPECT_FALSE(e.canRemoveRow(slot)) << slot;
                 EXPECT_FALSE(e.removeRow(slot)) << slot;
             }
         },
         {"7 http://seven.example site3"s, "8 http://eight.example site4 off", "9 http://nine.example site5"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SettingsEditor editor = open(kThreeOwnSlots);
        const std::vector<std::string> before = shown(editor);
        const std::vector<std::string> builtIn(before.begin(), before.begin() + kBuiltInSiteSlots);
        c.edit(editor);
        std::vector<std::string> expected = builtIn;
        expected.insert(expected.end(), c.own.begin(), c.own.end());
        EXPECT_EQ(shown(editor), expected);
        SettingsEditor::Problem problem;
        const std::optional<Settings> saved = editor.save(problem);
        ASSERT_TRUE(saved.has_value()) << problem.chinese;
        const LoadedSettings again = loadSettings(file, false);
        EXPECT_TRUE(again.problems.empty()) << again.report(false);
        EXPECT_EQ(again.settings.sites.size(), expected.size());
        // What was saved opens as it was left.
        EXPECT_EQ(shown(SettingsEditor(file, *saved)), expected);
        const std::string text = content(file);
        EXPECT_EQ(text.find("[site" + std::to_string(expected.size() + 1) + "]"), std::string::npos) << text;
    }
}

// A slot is added with no address, which 保存 refuses in place; there are at most kMaxSiteSlots.
TEST_F(SettingsEditorTest, AnAddedSlotNeedsAnAddressAndThereAreAtMostThirtyTwo) {
    SettingsEditor editor = open(kSeventhSlot);
    const std::string before = content(file);
    ASSERT_TRUE(editor.canAddRow());
    const int slot = editor.addRow();
    ASSERT_EQ(slot, 8);
    const SettingsEditor::Row& added = editor.rows.back();
    EXPECT_EQ(added.slot, slot);
    EXPECT_TRUE(added.enabled);
    EXPECT_TRUE(added.base.value.empty());
    EXPECT_FALSE(added.base.readOnly());
    EXPECT_EQ(added.definition, editor.definitionChoices(slot).front());
    SettingsEditor::Problem problem;
    EXPECT_FALSE(editor.save(problem).has_value());
    EXPECT_EQ(problem.field, slot);
    EXPECT_EQ(problem.chinese.find("站点8的地址"), 0u) << problem.chinese;
    EXPECT_EQ(content(file), before);

    int last = slot;
    while (editor.canAddRow()) {
        const int next = editor.addRow();
        EXPECT_EQ(next, last + 1);
        last = next;
    }
    EXPECT_EQ(last, kMaxSiteSlots);
    EXPECT_EQ(editor.rows.size(), static_cast<size_t>(kMaxSiteSlots));
    EXPECT_EQ(editor.addRow(), 0);
    EXPECT_EQ(editor.rows.size(), static_cast<size_t>(kMaxSiteSlots));
    for (SettingsEditor::Row& row : editor.rows)
        if (row.base.value.empty()) row.base.value = "http://127.0.0.1:1/s" + std::to_string(row.slot);
    ASSERT_TRUE(editor.save(problem).has_value()) << problem.chinese;
    EXPECT_EQ(loadSettings(file, false).settings.sites.size(), static_cast<size_t>(kMaxSiteSlots));
    EXPECT_TRUE(editor.removeRow(kMaxSiteSlots));
    EXPECT_TRUE(editor.canAddRow());
}

// LANQI_SITE7_BASE is about slot 7, whichever row is there: a removal moves the file's address of the row
// under it, which a save writes, and leaves the environment's where it was.
TEST_F(SettingsEditorTest, TheEnvironmentStaysWithItsSlotNumberWhenRowsMove) {
    setenv("LANQI_SITE7_BASE", "http://from.environment/seven", 1);
    SettingsEditor editor = open(kThreeOwnSlots);
    ASSERT_TRUE(editor.rows[6].base.readOnly());
    ASSERT_TRUE(editor.removeRow(7));
    const SettingsEditor::Row& seventh = editor.rows[6];
    EXPECT_EQ(seventh.base.value, "http://from.environment/seven");
    EXPECT_EQ(seventh.base.environment, "LANQI_SITE7_BASE");
    EXPECT_EQ(seventh.definition, "site4");
    EXPECT_FALSE(editor.rows[7].base.readOnly());
    EXPECT_EQ(editor.rows[7].base.value, "http://nine.example");
    SettingsEditor::Problem problem;
    ASSERT_TRUE(editor.save(problem).has_value()) << problem.chinese;
    const Settings saved = loadSettings(file, false).settings;
    ASSERT_EQ(saved.sites.size(), 8u);
    EXPECT_EQ(saved.sites[6].base, "http://eight.example");
    EXPECT_FALSE(saved.sites[6].enabled);
    EXPECT_EQ(saved.sites[7].base, "http://nine.example");
}

// A file that cannot be written is said in Chinese.
TEST_F(SettingsEditorTest, AFileThatCannotBeWrittenIsSaid) {
    SettingsEditor editor(dir + "/plain-file/config.toml", builtInSettings());
    std::ofstream(dir + "/plain-file") << "a file where the folder should be";
    SettingsEditor::Problem problem;
    EXPECT_FALSE(editor.save(problem).has_value());
    EXPECT_EQ(problem.chinese.find("保存失败："), 0u) << problem.chinese;
}

}  // namespace
}  // namespace lanqi

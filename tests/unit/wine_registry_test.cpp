#include "platform/wine_registry.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/desktop.h"

namespace lanqi {
namespace {

namespace fs = std::filesystem;

const std::string kWinePrefix = std::string(LANQI_FIXTURE_DIR) + "/registry/wine";

std::string readWhole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// A scratch prefix whose registry files a test writes itself.
class HandMadePrefix : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/lanqi-registry-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        dir = pattern;
    }
    void TearDown() override { fs::remove_all(dir); }

    void write(const std::string& name, const std::string& content) const {
        std::ofstream(dir + "/" + name, std::ios::binary) << content;
    }
    std::optional<Text> readUser(const Text& path) const {
        return WineRegistry(dir).readText(kRegistryCurrentUser, path);
    }

    std::string dir;
};

constexpr std::string_view kUserHeader =
    "WINE REGISTRY Version 2\n"
    ";; All keys relative to REGISTRY\\\\User\\\\S-1-5-21-0-0-0-1000\n"
    "\n"
    "#arch=win64\n"
    "\n";

// ---- Files written by Wine 8.0 (tests/fixtures/registry/make-wine-fixtures) ----

TEST(WineRegistryFiles, DefaultValueOfACurrentUserKeyThroughATrailingBackslash) {
    const WineRegistry registry(kWinePrefix);
    EXPECT_EQ(registry.readText(kRegistryCurrentUser, "Software\\Classes\\.torrent\\"), "Xunlei.Torrent");
    EXPECT_EQ(registry.readText(kRegistryCurrentUser, "Software\\Lanqi\\Fixture\\"), "default of fixture");
    // A key without a default value.
    EXPECT_EQ(registry.readText(kRegistryCurrentUser, "Software\\Lanqi\\Fixture\\Sub Key\\"), std::nullopt);
    EXPECT_FALSE(registry.valueExists(kRegistryCurrentUser, "Software\\Lanqi\\Fixture\\Sub Key\\"));
}

TEST(WineRegistryFiles, StringValuesComeBackAsGbkWhateverTheLetterCaseOfTheirNames) {
    const WineRegistry registry(kWinePrefix);
    EXPECT_EQ(registry.readText(kRegistryCurrentUser, "Software\\Lanqi\\Fixture\\Plain"), "plain text");
    EXPECT_EQ(registry.readText(kRegistryCurrentUser, "Software\\Lanqi\\Fixture\\Chinese"),
              "\xD1\xB8\xC0\xD7\xD3\xB0\xD2\xF4 \xB2\xA5\xB7\xC5\xC6\xF7");  // 迅雷影音 播放器
    EXPECT_EQ(registry.readText(kRegistryCurrentUser, "Software\\Lanqi\\Fixture\\Escapes"),
              "say \"hi\" C:\\path\\ [x]");
    EXPECT_EQ(registry.readText(kRegistryCurrentUser, "Software\\Lanqi\\Fixture\\Empty"), "");
    EXPECT_EQ(registry.readText(kRegistryCurrentUser, "Software\\Lanqi\\Fixture\\Sub Key\\Inner"), "inner value");
    EXPECT_EQ(registry.readText(kRegistryCurrentUser, "SOFTWARE\\lanqi\\FIXTURE\\pLAIN"), "plain text");
}

TEST(WineRegistryFiles, ExpandableStringHasItsEnvironmentReferencesExpanded) {
    ::setenv("LANQI_FIXTURE_HOME", "/home/\xE6\xB5\x8B\xE8\xAF\x95", 1);  // /home/测试
    ::unsetenv("LANQI_NO_SUCH_VARIABLE");
    EXPECT_EQ(WineRegistry(kWinePrefix).readText(kRegistryCurrentUser, "Software\\Lanqi\\Fixture\\Expand"),
              "/home/\xB2\xE2\xCA\xD4\\bin;%LANQI_NO_SUCH_VARIABLE%;100%");
    ::unsetenv("LANQI_FIXTURE_HOME");
}

TEST(WineRegistryFiles, OtherTypesExistButGiveNoText) {
    const WineRegistry registry(kWinePrefix);
    for (const char* name : {"Dword", "Binary", "Multi"}) {
        const Text path = std::string("Software\\Lanqi\\Fixture\\") + name;
        EXPECT_EQ(registry.readText(kRegistryCurrentUser, path), std::nullopt) << name;
        EXPECT_TRUE(registry.valueExists(kRegistryCurrentUser, path)) << name;
    }
    EXPECT_TRUE(registry.valueExists(
        kRegistryCurrentUser,
        "Software\\Microsoft\\Internet Explorer\\Main\\FeatureControl\\FEATURE_BROWSER_EMULATION\\XMP.exe"));
}

TEST(WineRegistryFiles, MissingValueKeyOrPrefixReadsAsMissing) {
    const WineRegistry registry(kWinePrefix);
    EXPECT_EQ(registry.readText(kRegistryCurrentUser, "Software\\Lanqi\\Fixture\\NoSuchValue"), std::nullopt);
    EXPECT_FALSE(registry.valueExists(kRegistryCurrentUser, "Software\\Lanqi\\Fixture\\NoSuchValue"));
    EXPECT_EQ(registry.readText(kRegistryCurrentUser, "Software\\Lanqi\\NoSuchKey\\Plain"), std::nullopt);
    EXPECT_FALSE(registry.valueExists(
        kRegistryCurrentUser,
        "Software\\Microsoft\\Internet Explorer\\Main\\FeatureControl\\FEATURE_BROWSER_EMULATION\\Other.exe"));
    // The key path is compared whole: a parent or a longer key is another key.
    EXPECT_EQ(registry.readText(kRegistryCurrentUser, "Software\\Lanqi\\Plain"), std::nullopt);
    EXPECT_EQ(registry.readText(kRegistryCurrentUser, "Software\\Lanqi\\Fixture\\Sub Key\\Plain"), std::nullopt);
    // Malformed key paths.
    EXPECT_EQ(registry.readText(kRegistryCurrentUser, "\\Software\\Lanqi\\Fixture\\Plain"), std::nullopt);
    EXPECT_EQ(registry.readText(kRegistryCurrentUser, "Software\\\\Lanqi\\Fixture\\Plain"), std::nullopt);
    EXPECT_EQ(registry.readText(kRegistryCurrentUser, "Software\\Lanqi\\Fixture\\\\"), std::nullopt);

    EXPECT_EQ(WineRegistry("/nonexistent/prefix").readText(kRegistryCurrentUser, "Software\\Classes\\.torrent\\"),
              std::nullopt);
    EXPECT_EQ(WineRegistry("").readText(kRegistryCurrentUser, "Software\\Classes\\.torrent\\"), std::nullopt);
}

TEST(WineRegistryFiles, EachRootReadsItsOwnFile) {
    const WineRegistry registry(kWinePrefix);
    EXPECT_EQ(registry.readText(kRegistryLocalMachine, "Software\\Lanqi\\Machine\\Where"), "system hive");
    EXPECT_EQ(registry.readText(kRegistryCurrentUser, "Software\\Lanqi\\Machine\\Where"), std::nullopt);
    EXPECT_EQ(registry.readText(kRegistryLocalMachine, "Software\\Lanqi\\Fixture\\Plain"), std::nullopt);

    EXPECT_EQ(registry.readText(kRegistryCurrentConfig, "Software\\Fonts\\FONTS.FON"), "vgasys.fon");
    EXPECT_EQ(registry.readText(kRegistryUsers, "S-1-5-21-0-0-0-1000\\Software\\Lanqi\\Fixture\\Plain"), "plain text");
    EXPECT_EQ(registry.readText(kRegistryUsers, "S-1-5-21-0-0-0-1001\\Software\\Lanqi\\Fixture\\Plain"), std::nullopt);
    EXPECT_EQ(
        registry.readText(kRegistryUsers,
                          ".DEFAULT\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders\\Fonts"),
        "C:\\windows\\Fonts");
    // Numbers outside 1..5 mean the current user.
    for (int root : {0, 6, -3, 100})
        EXPECT_EQ(registry.readText(root, "Software\\Lanqi\\Fixture\\Plain"), "plain text") << root;
}

TEST(WineRegistryFiles, ClassesRootPrefersTheUsersValueOverTheMachines) {
    const WineRegistry registry(kWinePrefix);
    EXPECT_EQ(registry.readText(kRegistryClassesRoot, ".torrent\\"), "Xunlei.Torrent");  // in both files
    EXPECT_EQ(registry.readText(kRegistryClassesRoot, ".torrent\\Content Type"), "application/x-bittorrent");
    EXPECT_EQ(registry.readText(kRegistryClassesRoot, "magnet\\"), "URL:Magnet Protocol");  // machine only
    EXPECT_EQ(registry.readText(kRegistryClassesRoot, "magnet\\URL Protocol"), std::nullopt);
}

TEST(WineRegistryFiles, PrefixComesFromWineprefixElseHome) {
    const char* savedPrefix = std::getenv("WINEPREFIX");
    const char* savedHome = std::getenv("HOME");
    const std::string prefix = savedPrefix ? savedPrefix : "";
    const std::string home = savedHome ? savedHome : "";

    ::setenv("WINEPREFIX", "/srv/wine", 1);
    ::setenv("HOME", "/home/someone", 1);
    EXPECT_EQ(winePrefixDirectory(), "/srv/wine");
    ::setenv("WINEPREFIX", "", 1);
    EXPECT_EQ(winePrefixDirectory(), "/home/someone/.wine");
    ::unsetenv("WINEPREFIX");
    EXPECT_EQ(winePrefixDirectory(), "/home/someone/.wine");
    ::unsetenv("HOME");
    EXPECT_EQ(winePrefixDirectory(), "");

    if (savedPrefix) ::setenv("WINEPREFIX", prefix.c_str(), 1);
    if (savedHome) ::setenv("HOME", home.c_str(), 1);
}

// ---- Hand-made files: the corners Wine's own output rarely shows ----

TEST_F(HandMadePrefix, StringExpandableStringAndDwordUnderOneKey) {
    ::setenv("LANQI_TEST_PLAYER_DIR", "/opt/xmp", 1);
    write("user.reg", std::string(kUserHeader) +
                          "[Software\\\\Classes\\\\.torrent] 1796741248\n"
                          "#time=1dd87230c0327a4\n"
                          "@=\"Xunlei.Torrent.6\"\n"
                          "\"Path\"=str(2):\"%LANQI_TEST_PLAYER_DIR%\\\\XMP.exe\"\n"
                          "\"Count\"=dword:00000007\n");
    EXPECT_EQ(readUser("Software\\Classes\\.torrent\\"), "Xunlei.Torrent.6");
    EXPECT_EQ(readUser("Software\\Classes\\.torrent\\Path"), "/opt/xmp\\XMP.exe");
    EXPECT_EQ(readUser("Software\\Classes\\.torrent\\Count"), std::nullopt);
    EXPECT_TRUE(WineRegistry(dir).valueExists(kRegistryCurrentUser, "Software\\Classes\\.torrent\\Count"));
    ::unsetenv("LANQI_TEST_PLAYER_DIR");
}

TEST_F(HandMadePrefix, EscapesDecodeAsWineWritesThem) {
    write("user.reg", std::string(kUserHeader) +
                          "[Software\\\\Esc\\]aped\\[key] 1\n"
                          "\"Named\"=\"bell\\a tab\\t nl\\n cr\\r esc\\e\"\n"
                          "\"Hex\"=\"A=\\x41 zhong=\\x4e2d end \\x no-digits\"\n"
                          "\"Octal\"=\"B=\\102 one=\\1x\"\n"
                          "\"Literal\"=\"quote\\\" backslash\\\\ other\\q\"\n"
                          "\"Utf8\"=\"\xE4\xB8\xAD\xE6\x96\x87\"\n"
                          "\"Surrogates\"=\"\\xd83d\\xde00\"\n"
                          "\"Lone\"=\"a\\xd83d b\"\n"
                          "\"Zero\"=\"first\\0second\"\n"
                          "\"Wei\\\"rd\"=\"odd name\"\n");
    const Text key = "Software\\Esc]aped[key\\";
    EXPECT_EQ(readUser(key + "Named"), "bell\a tab\t nl\n cr\r esc\x1b");
    EXPECT_EQ(readUser(key + "Hex"), "A=A zhong=\xD6\xD0 end x no-digits");
    EXPECT_EQ(readUser(key + "Octal"), std::string("B=B one=\x01x"));
    EXPECT_EQ(readUser(key + "Literal"), "quote\" backslash\\ otherq");
    EXPECT_EQ(readUser(key + "Utf8"), "\xD6\xD0\xCE\xC4");  // 中文
    // A character GBK lacks (an emoji from a surrogate pair, an unpaired surrogate) makes the text empty.
    EXPECT_EQ(readUser(key + "Surrogates"), "");
    EXPECT_EQ(readUser(key + "Lone"), "");
    EXPECT_EQ(readUser(key + "Zero"), "first");
    EXPECT_EQ(readUser(key + "Wei\"rd"), "odd name");
}

TEST_F(HandMadePrefix, StringsWrittenInHexFormAreStillStrings) {
    ::setenv("LANQI_TEST_HEX", "ok", 1);
    // "Xunlei" without its terminating zero, and "%LANQI_TEST_HEX%!" as an expandable string over two lines.
    write("user.reg", std::string(kUserHeader) +
                          "[Software\\\\Hex] 1\n"
                          "\"Sz\"=hex(1):58,00,75,00,6e,00,6c,00,65,00,69,00\n"
                          "\"Expand\"=hex(2):25,00,4c,00,41,00,4e,00,51,00,49,00,5f,00,54,00,45,00,53,00,54,00,\\\n"
                          "  5f,00,48,00,45,00,58,00,25,00,21,00,00,00,ff,00\n"
                          "\"Bin\"=hex:58,00\n"
                          "\"Qword\"=hex(b):01,00,00,00,00,00,00,00\n"
                          "\"Empty\"=hex(1):\n");
    EXPECT_EQ(readUser("Software\\Hex\\Sz"), "Xunlei");
    EXPECT_EQ(readUser("Software\\Hex\\Expand"), "ok!");
    EXPECT_EQ(readUser("Software\\Hex\\Bin"), std::nullopt);
    EXPECT_EQ(readUser("Software\\Hex\\Qword"), std::nullopt);
    EXPECT_EQ(readUser("Software\\Hex\\Empty"), "");
    ::unsetenv("LANQI_TEST_HEX");
}

TEST_F(HandMadePrefix, WindowsLineEndingsAndALaterCopyOfAValue) {
    write("user.reg",
          "WINE REGISTRY Version 2\r\n"
          "[Software\\\\Dup] 1\r\n"
          "\"V\"=\"first\"\r\n"
          "\"V\"=\"second\"\r\n"
          "[Software\\\\Dup] 2\r\n"
          "\"V\"=hex:01\r\n"
          "\"W\"=hex:01\r\n"
          "\"W\"=\"text after binary\"\r\n");
    EXPECT_EQ(readUser("Software\\Dup\\V"), std::nullopt);  // the binary copy came last
    EXPECT_TRUE(WineRegistry(dir).valueExists(kRegistryCurrentUser, "Software\\Dup\\V"));
    EXPECT_EQ(readUser("Software\\Dup\\W"), "text after binary");
}

TEST_F(HandMadePrefix, AValueAfterLongHexDataOfAnotherValueIsFound) {
    std::string hex = "\"Blob\"=hex:00";
    for (int line = 0; line < 200; ++line) hex += ",\\\n  01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10";
    write("user.reg", std::string(kUserHeader) + "[Software\\\\Blob] 1\n" + hex + "\n\"After\"=\"found\"\n");
    EXPECT_EQ(readUser("Software\\Blob\\After"), "found");
    EXPECT_TRUE(WineRegistry(dir).valueExists(kRegistryCurrentUser, "Software\\Blob\\Blob"));
}

TEST_F(HandMadePrefix, CorruptFilesReadAsMissing) {
    const std::string goodKey = "[Software\\\\Good] 1\n\"V\"=\"good\"\n";
    const struct {
        const char* scenario;
        std::string content;
    } cases[] = {
        {"no header", goodKey},
        {"other header", "REGEDIT4\n" + goodKey},
        {"empty file", ""},
        {"unknown line", std::string(kUserHeader) + goodKey + "garbage\n"},
        {"value before any key", std::string(kUserHeader) + "\"V\"=\"x\"\n" + goodKey},
        {"unclosed key name", std::string(kUserHeader) + goodKey + "[Software\\\\Other\n"},
        {"unclosed string", std::string(kUserHeader) + goodKey + "\"W\"=\"open\n"},
        {"unclosed name", std::string(kUserHeader) + goodKey + "\"W=\"x\"\n"},
        {"text after a string", std::string(kUserHeader) + goodKey + "\"W\"=\"x\" y\n"},
        {"unknown type", std::string(kUserHeader) + goodKey + "\"W\"=qword:1\n"},
        {"bad dword", std::string(kUserHeader) + goodKey + "\"W\"=dword:12345678g\n"},
        {"long dword", std::string(kUserHeader) + goodKey + "\"W\"=dword:123456789\n"},
        {"bad hex byte", std::string(kUserHeader) + goodKey + "\"W\"=hex:01,zz\n"},
        {"hex without commas", std::string(kUserHeader) + goodKey + "\"W\"=hex:0102\n"},
        {"text after continuation", std::string(kUserHeader) + goodKey + "\"W\"=hex:01,\\ x\n  02\n"},
        {"file ends inside hex data", std::string(kUserHeader) + goodKey + "\"W\"=hex:01,\\\n"},
        {"unclosed str type", std::string(kUserHeader) + goodKey + "\"W\"=str(2:\"x\"\n"},
        {"line over the limit",
         std::string(kUserHeader) + goodKey + "; " + std::string(kMaxRegistryLineBytes, 'x') + "\n"},
    };
    for (const auto& c : cases) {
        write("user.reg", c.content);
        EXPECT_EQ(readUser("Software\\Good\\V"), std::nullopt) << c.scenario;
        EXPECT_FALSE(WineRegistry(dir).valueExists(kRegistryCurrentUser, "Software\\Good\\V")) << c.scenario;
    }
    // The same file without the fault reads.
    write("user.reg", std::string(kUserHeader) + goodKey);
    EXPECT_EQ(readUser("Software\\Good\\V"), "good");
}

TEST_F(HandMadePrefix, TruncatedAtEveryByteNeverReadsAPartialValue) {
    const std::string content = std::string(kUserHeader) +
                                "[Software\\\\A] 1\n"
                                "\"Blob\"=hex:01,02,\\\n"
                                "  03,04\n"
                                "\"V\"=\"whole value\"\n"
                                "[Software\\\\B] 2\n"
                                "\"W\"=str(2):\"later\"\n";
    const std::size_t valueLineEnd = content.find("whole value\"\n") + 13;
    for (std::size_t cut = 0; cut < content.size(); ++cut) {
        write("user.reg", content.substr(0, cut));
        const auto value = readUser("Software\\A\\V");
        // Only a file cut between two lines, after the value's line, may give the value, and then whole.
        if (cut >= valueLineEnd && content[cut - 1] == '\n')
            EXPECT_EQ(value, "whole value") << "cut at " << cut;
        else
            EXPECT_EQ(value, std::nullopt) << "cut at " << cut;
    }
}

TEST_F(HandMadePrefix, TruncatedCopyOfARealFileReadsAsMissing) {
    const std::string real = readWhole(kWinePrefix + "/user.reg");
    ASSERT_GT(real.size(), 20000u);
    const std::size_t plain = real.find("\"Plain\"=\"plain text\"\n");
    ASSERT_NE(plain, std::string::npos);
    const std::size_t later = real.find("\n[", plain) + 10;  // inside a key line after the value
    write("user.reg", real.substr(0, later));
    EXPECT_EQ(readUser("Software\\Lanqi\\Fixture\\Plain"), std::nullopt);
    write("user.reg", real);
    EXPECT_EQ(readUser("Software\\Lanqi\\Fixture\\Plain"), "plain text");
}

TEST_F(HandMadePrefix, ACorruptUserFileLeavesTheMachineClassesReadable) {
    write("user.reg", std::string(kUserHeader) + "[Software\\\\Classes\\\\.torrent] 1\n@=\"user\n");
    write("system.reg",
          "WINE REGISTRY Version 2\n;; All keys relative to REGISTRY\\\\Machine\n\n"
          "[Software\\\\Classes\\\\.torrent] 1\n@=\"machine\"\n");
    EXPECT_EQ(WineRegistry(dir).readText(kRegistryClassesRoot, ".torrent\\"), "machine");
    EXPECT_EQ(readUser("Software\\Classes\\.torrent\\"), std::nullopt);
}

TEST_F(HandMadePrefix, OnlyRegularFilesOfBoundedSizeAreRead) {
    const std::string good = std::string(kUserHeader) + "[Software\\\\Good] 1\n\"V\"=\"v\"\n";
    // A FIFO nobody writes to: reading it must neither hang nor find anything.
    ASSERT_EQ(::mkfifo((dir + "/user.reg").c_str(), 0600), 0);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(readUser("Software\\Good\\V"), std::nullopt);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    fs::remove(dir + "/user.reg");
    // A good file grown past the bound (sparse: no disk is used).
    write("user.reg", good);
    EXPECT_EQ(readUser("Software\\Good\\V"), "v");
    fs::resize_file(dir + "/user.reg", kMaxRegistryFileBytes + 1);
    EXPECT_EQ(readUser("Software\\Good\\V"), std::nullopt);
}

// ---- Environment references ----

TEST(ExpandEnvironmentReferences, FollowsTheWindowsRules) {
    ::setenv("LANQI_EXP_A", "x", 1);
    ::setenv("LANQI_EXP_EMPTY", "", 1);
    ::unsetenv("LANQI_EXP_NOPE");
    ::unsetenv("lanqi_exp_a");
    const struct {
        const char* in;
        const char* out;
    } cases[] = {
        {"", ""},
        {"no references", "no references"},
        {"%LANQI_EXP_A%", "x"},
        {"a%LANQI_EXP_A%b%LANQI_EXP_A%c", "axbxc"},
        {"%lanqi_exp_a%", "x"},  // names ignore letter case
        {"[%LANQI_EXP_EMPTY%]", "[]"},
        {"%LANQI_EXP_NOPE%", "%LANQI_EXP_NOPE%"},
        // After an unknown name the scan goes on behind its closing "%".
        {"%LANQI_EXP_NOPE%LANQI_EXP_A%", "%LANQI_EXP_NOPE%LANQI_EXP_A%"},
        {"100%", "100%"},
        {"100% %LANQI_EXP_A%", "100% %LANQI_EXP_A%"},
        {"%%", "%%"},
        {"%%LANQI_EXP_A%", "%%LANQI_EXP_A%"},
        {"%=x%", "%=x%"},
    };
    for (const auto& c : cases) EXPECT_EQ(expandEnvironmentReferences(c.in), c.out) << c.in;
    ::unsetenv("LANQI_EXP_A");
    ::unsetenv("LANQI_EXP_EMPTY");
}

}  // namespace
}  // namespace lanqi

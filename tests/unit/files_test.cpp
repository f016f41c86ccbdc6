#include "platform/files.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <fstream>
#include <sstream>

#include "support/scratch_folder.h"

namespace lanqi {
namespace {

namespace fs = std::filesystem;

class WriteFileBlocks : public test::ScratchFolderTest {
  protected:
    std::size_t entries() const { return static_cast<std::size_t>(std::distance(fs::directory_iterator(dir), {})); }
};

TEST_F(WriteFileBlocks, EmptyPathGivesFalseAndCreatesNothing) {
    const fs::path before = fs::current_path();
    fs::current_path(dir);
    EXPECT_FALSE(writeFileBlocks("", {"data"}));
    fs::current_path(before);
    EXPECT_EQ(entries(), 0u);
}

TEST_F(WriteFileBlocks, BlocksAreWrittenInOrder) {
    const std::string path = dir + "/page.htm";
    const std::string binary("\x00\x01\xff\r\n", 5);
    ASSERT_TRUE(writeFileBlocks(path, {"<html>", "", binary, std::string(70000, 'x'), "</html>"}));
    EXPECT_EQ(content(path), "<html>" + binary + std::string(70000, 'x') + "</html>");
}

TEST_F(WriteFileBlocks, AnExistingFileIsTruncated) {
    const std::string path = dir + "/wyhc.htm";
    std::ofstream(path) << std::string(1171, 'o');
    ASSERT_TRUE(writeFileBlocks(path, {"new"}));
    EXPECT_EQ(content(path), "new");
    ASSERT_TRUE(writeFileBlocks(path, {}));
    EXPECT_EQ(content(path), "");
    EXPECT_TRUE(fs::exists(path));
}

TEST_F(WriteFileBlocks, GbkPathNamesTheFileInUtf8) {
    ASSERT_TRUE(writeFileBlocks(dir + "/\xBF\xD5\xB0\xD7.htm", {"blank"}));  // 空白.htm
    EXPECT_EQ(content(dir + "/\xE7\xA9\xBA\xE7\x99\xBD.htm"), "blank");
    EXPECT_EQ(entries(), 1u);
}

TEST_F(WriteFileBlocks, ALinkPlantedAtThePathIsReplacedNeverFollowed) {
    const std::string victim = dir + "/victim";
    std::ofstream(victim) << "precious";
    fs::create_symlink(victim, dir + "/wyhc.htm");
    ASSERT_TRUE(writeFileBlocks(dir + "/wyhc.htm", {"blank"}));
    EXPECT_EQ(content(victim), "precious");
    EXPECT_FALSE(fs::is_symlink(dir + "/wyhc.htm"));
    EXPECT_EQ(content(dir + "/wyhc.htm"), "blank");
    EXPECT_EQ(entries(), 2u);  // no temporary file left behind
}

TEST_F(WriteFileBlocks, FailuresGiveFalse) {
    EXPECT_FALSE(writeFileBlocks(dir + "/no/such/folder/file", {"x"}));
    EXPECT_FALSE(writeFileBlocks(dir, {"x"}));               // a folder
    EXPECT_FALSE(writeFileBlocks(dir + "/bad\xB3", {"x"}));  // not GBK
    EXPECT_FALSE(writeFileBlocks("/dev/full", {"x"}));       // opens, but the block cannot be written
    EXPECT_EQ(entries(), 0u);
}

// Reading a small file: whatever is at the path, the answer comes at once and holds at most the bound.
class ReadSmallFile : public test::ScratchFolderTest {};

TEST_F(ReadSmallFile, OnlyARegularFileWithinTheBoundIsRead) {
    std::ofstream(dir + "/ten") << "0123456789";
    std::ofstream(dir + "/eleven") << "0123456789a";
    ASSERT_EQ(::mkfifo((dir + "/fifo").c_str(), 0600), 0);  // no writer: a blocking read would never return
    fs::create_directory(dir + "/folder");
    fs::create_symlink("/dev/zero", dir + "/zero");
    fs::create_symlink("loop-b", dir + "/loop-a");
    fs::create_symlink("loop-a", dir + "/loop-b");
    fs::create_symlink("ten", dir + "/to-ten");
    fs::create_symlink("nothing", dir + "/dangling");
    const struct {
        const char* name;
        FileRead outcome;
        const char* content;
    } cases[] = {
        {"ten", FileRead::Read, "0123456789"},  // exactly the bound
        {"to-ten", FileRead::Read, "0123456789"}, {"eleven", FileRead::TooLarge, ""},
        {"fifo", FileRead::NotAFile, ""},         {"zero", FileRead::NotAFile, ""},
        {"folder", FileRead::Folder, ""},         {"loop-a", FileRead::LinkLoop, ""},
        {"dangling", FileRead::Missing, ""},      {"missing", FileRead::Missing, ""},
        {"ten/below", FileRead::Missing, ""},
    };
    for (const auto& c : cases) {
        Bytes content = "left over";
        EXPECT_EQ(readSmallFile(dir + "/" + c.name, 10, content), c.outcome) << c.name;
        EXPECT_EQ(content, c.content) << c.name;
    }
    Bytes big;
    std::ofstream(dir + "/big") << std::string(100000, 'x');
    EXPECT_EQ(readSmallFile(dir + "/big", 100000, big), FileRead::Read);
    EXPECT_EQ(big.size(), 100000u);
}

TEST_F(ReadSmallFile, WritingFollowsTheChainOfLinksToItsEnd) {
    fs::create_directory(dir + "/real");
    fs::create_symlink("real/config.toml", dir + "/first");  // relative to the link's folder
    fs::create_symlink(dir + "/first", dir + "/second");     // absolute
    fs::create_symlink("loop-b", dir + "/loop-a");
    fs::create_symlink("loop-a", dir + "/loop-b");
    const struct {
        std::string path, target;
    } cases[] = {
        {dir + "/plain", dir + "/plain"},
        {dir + "/second", dir + "/real/config.toml"},  // the end need not exist yet
        {dir + "/loop-a", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(linkTarget(c.path), c.target) << c.path;
}

// The private folder, with the environment pointed at scratch folders.
class PrivateFolder : public test::ScratchFolderTest {
  protected:
    void SetUp() override {
        test::ScratchFolderTest::SetUp();
        for (const char* name : {"XDG_RUNTIME_DIR", "TMPDIR"})
            if (const char* value = std::getenv(name)) saved[name] = value;
    }
    void TearDown() override {
        for (const char* name : {"XDG_RUNTIME_DIR", "TMPDIR"}) {
            if (saved.count(name)) {
                setenv(name, saved[name].c_str(), 1);
            } else {
                unsetenv(name);
            }
        }
        test::ScratchFolderTest::TearDown();
    }
    static fs::perms othersAndGroup(const std::string& path) {
        return fs::status(path).permissions() & (fs::perms::group_all | fs::perms::others_all);
    }
    std::map<std::string, std::string> saved;
};

TEST_F(PrivateFolder, IsMadeClosedToOthersInTheRuntimeFolderElseInTheTemporaryOne) {
    setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);
    EXPECT_EQ(privateFolder(), dir + "/lanqi-search/");
    EXPECT_EQ(othersAndGroup(dir + "/lanqi-search"), fs::perms::none);

    unsetenv("XDG_RUNTIME_DIR");
    setenv("TMPDIR", dir.c_str(), 1);
    const std::string own = dir + "/lanqi-search-" + std::to_string(::geteuid());
    fs::create_directory(own);
    fs::permissions(own, fs::perms::all);  // left open: closed again
    EXPECT_EQ(privateFolder(), own + "/");
    EXPECT_EQ(othersAndGroup(own), fs::perms::none);
}

TEST_F(PrivateFolder, ALinkOrAFolderOfAnotherUserIsNeverUsed) {
    unsetenv("XDG_RUNTIME_DIR");
    setenv("TMPDIR", dir.c_str(), 1);
    const std::string own = dir + "/lanqi-search-" + std::to_string(::geteuid());
    fs::create_directory(dir + "/elsewhere");
    fs::create_directory_symlink(dir + "/elsewhere", own);
    EXPECT_EQ(privateFolder(), "");
    if (::geteuid() != 0) GTEST_SKIP() << "making a folder of another user needs root";
    fs::remove(own);
    fs::create_directory(own);
    ASSERT_EQ(::chown(own.c_str(), 65534, 65534), 0);
    EXPECT_EQ(privateFolder(), "");
}

}  // namespace
}  // namespace lanqi

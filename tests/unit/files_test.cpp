#include "platform/files.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
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

TEST_F(WriteFileBlocks, FailuresGiveFalse) {
    EXPECT_FALSE(writeFileBlocks(dir + "/no/such/folder/file", {"x"}));
    EXPECT_FALSE(writeFileBlocks(dir, {"x"}));               // a folder
    EXPECT_FALSE(writeFileBlocks(dir + "/bad\xB3", {"x"}));  // not GBK
    EXPECT_FALSE(writeFileBlocks("/dev/full", {"x"}));       // opens, but the block cannot be written
    EXPECT_EQ(entries(), 0u);
}

}  // namespace
}  // namespace lanqi

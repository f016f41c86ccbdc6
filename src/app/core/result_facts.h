#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lanqi {

// A size as a site prints it ("3.9GB", "135.67 MB") and in bytes, counting 1 KB as 1024 bytes; bytes is
// empty when the text is no size.
struct PrintedSize {
    std::string text;
    std::optional<unsigned long long> bytes;
};

struct ListedFile {
    std::string name;
    PrintedSize size;
};

// What a result's details text says beyond its title and link, where its site gives it. UTF-8.
struct ResultFacts {
    std::optional<PrintedSize> size;  // "文件大小："
    std::optional<std::string> date;  // "更新时间：", "上传日期：", "上传时间：", "创建时间：" or "收录时间："
    std::optional<long long> fileCount;         // "文件数目：" or "文件数量："
    std::vector<ListedFile> files;              // the entries after "包含文件：" or "文件内容："
    std::vector<std::string> sizeAndDateLines;  // the size and date lines as they stand, in their order
};

// Reads a details text (UTF-8, lines as the scrapers write them: "\r\n\r\n" between them).
ResultFacts readResultFacts(std::string_view detailTextUtf8);

// A row's tooltip, UTF-8: its whole title, then its size and date lines, one per line.
std::string resultToolTip(std::string_view titleUtf8, const ResultFacts& facts);

// "7.6GB", "6.15 GB", "512 bytes": the leading number times its unit; nothing when there is no unit.
std::optional<unsigned long long> sizeInBytes(std::string_view printed);

}  // namespace lanqi

#include "app/core/result_facts.h"

#include <array>
#include <cctype>
#include <cmath>
#include <limits>

namespace lanqi {
namespace {

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

bool startsWith(std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; }

// The value after one of `labels` at the start of `line`, or nothing.
std::optional<std::string_view> valueAfter(std::string_view line, std::initializer_list<std::string_view> labels) {
    for (std::string_view label : labels)
        if (startsWith(line, label)) return trim(line.substr(label.size()));
    return std::nullopt;
}

constexpr std::string_view kFilesHeaders[] = {"包含文件：", "文件内容："};

bool isLabelled(std::string_view line) {
    // Every detail line but a file entry is "label：value" with a label of Chinese characters.
    const size_t colon = line.find("：");
    return colon != std::string_view::npos && colon > 0 && colon <= 5 * 3 &&
           static_cast<unsigned char>(line[0]) >= 0x80;
}

// "name 1.2 GB" -> name and size; a line without a size at its end is a name alone.
ListedFile fileEntry(std::string_view line) {
    line = trim(line);
    ListedFile file;
    // The size is the last one or two blank-separated words: "7.6GB", or "6.15" and "GB".
    size_t cut = line.rfind(' ');
    for (int words = 1; words <= 2 && cut != std::string_view::npos; ++words) {
        const std::string_view tail = trim(line.substr(cut + 1));
        if (sizeInBytes(tail)) {
            file.name = std::string(trim(line.substr(0, cut)));
            file.size = {std::string(tail), sizeInBytes(tail)};
            return file;
        }
        cut = cut == 0 ? std::string_view::npos : line.rfind(' ', cut - 1);
    }
    file.name = std::string(line);
    return file;
}

}  // namespace

std::optional<unsigned long long> sizeInBytes(std::string_view printed) {
    printed = trim(printed);
    size_t i = 0;
    while (i < printed.size() && (std::isdigit(static_cast<unsigned char>(printed[i])) || printed[i] == '.')) ++i;
    if (i == 0) return std::nullopt;
    const std::string number(printed.substr(0, i));
    if (number.find('.') != number.rfind('.')) return std::nullopt;
    std::string unit;
    for (char c : trim(printed.substr(i)))
        unit.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
    static constexpr std::array<std::string_view, 5> kUnits{"B", "KB", "MB", "GB", "TB"};
    double scale = 0;
    if (unit == "BYTES" || unit == "BYTE") scale = 1;
    for (size_t k = 0; k < kUnits.size(); ++k) {
        if (unit == kUnits[k] || (k > 0 && unit == std::string(1, kUnits[k][0]) + "IB")) scale = std::pow(1024.0, k);
    }
    if (scale == 0) return std::nullopt;
    const double bytes = std::strtod(number.c_str(), nullptr) * scale;
    if (!(bytes >= 0) || bytes > static_cast<double>(std::numeric_limits<long long>::max())) return std::nullopt;
    return static_cast<unsigned long long>(std::llround(bytes));
}

ResultFacts readResultFacts(std::string_view text) {
    ResultFacts facts;
    bool inFiles = false;
    for (size_t start = 0; start <= text.size();) {
        size_t end = text.find("\r\n\r\n", start);
        if (end == std::string_view::npos) end = text.size();
        const std::string_view line = text.substr(start, end - start);
        start = end + 4;

        if (inFiles && !line.empty() && !isLabelled(line)) {
            facts.files.push_back(fileEntry(line));
            continue;
        }
        inFiles = false;
        for (std::string_view header : kFilesHeaders) inFiles = inFiles || startsWith(line, header);
        if (auto size = valueAfter(line, {"文件大小："}); size && !size->empty()) {
            facts.size = PrintedSize{std::string(*size), sizeInBytes(*size)};
            facts.sizeAndDateLines.emplace_back(line);
        } else if (auto date = valueAfter(line, {"更新时间：", "上传日期：", "上传时间：", "创建时间：", "收录时间："});
                   date && !date->empty()) {
            facts.date = std::string(*date);
            facts.sizeAndDateLines.emplace_back(line);
        } else if (auto count = valueAfter(line, {"文件数目：", "文件数量："}); count && !count->empty()) {
            char* stop = nullptr;
            const std::string digits(*count);
            const long long n = std::strtoll(digits.c_str(), &stop, 10);
            if (stop != digits.c_str() && *stop == '\0' && n >= 0) facts.fileCount = n;
        }
    }
    return facts;
}

std::string resultToolTip(std::string_view titleUtf8, const ResultFacts& facts) {
    std::string tip(titleUtf8);
    for (const std::string& line : facts.sizeAndDateLines) tip += "\n" + line;
    return tip;
}

}  // namespace lanqi

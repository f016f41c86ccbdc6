#include "app/core/swarm_health.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <iterator>
#include <cstdio>
#include <ctime>

#include "scrape/result_entry.h"

namespace lanqi {
namespace {

std::string figures(const SwarmReport& report) {
    std::string text;
    const auto add = [&](int n, const char* what) {
        if (!text.empty()) text += " · ";
        text += std::to_string(n) + " " + what;
    };
    if (report.seeds) add(*report.seeds, "做种");
    if (report.leechers) add(*report.leechers, "下载");
    add(report.peers, "节点");
    return text;
}

bool foundNobody(const SwarmReport& report) {
    return report.peers == 0 && report.seeds.value_or(0) == 0 && report.leechers.value_or(0) == 0 && !report.name;
}

// Lower-case ASCII letters and digits, and every byte of a character outside ASCII: a name without its case,
// blanks and separators.
std::string nameKey(std::string_view text) {
    std::string key;
    for (unsigned char c : text) {
        if (c >= 0x80) {
            key.push_back(static_cast<char>(c));
        } else if (std::isalnum(c)) {
            key.push_back(static_cast<char>(std::tolower(c)));
        }
    }
    return key;
}

}  // namespace

std::string healthCell(const SwarmReport& report) {
    if (!report.problem.empty()) return "检查失败";
    if (!report.finished) {
        // The seconds count while the check runs: the cell shows it is alive.
        const long long seconds = static_cast<long long>(report.seconds);
        const std::string running = seconds > 0 ? "检查中 " + std::to_string(seconds) + " 秒…" : "检查中…";
        if (report.peers == 0 && !report.seeds && !report.leechers) return running;
        return running + " " + figures(report);
    }
    if (foundNobody(report)) return "无人分享";
    return figures(report);
}

std::string healthNote(const SwarmReport& report) {
    if (!report.finished) return "健康度：" + healthCell(report);
    return "健康度：" + healthCell(report) + "，检查于 " + clockText(report.checkedAt);
}

std::string clockText(std::int64_t unixSeconds) {
    const std::time_t at = static_cast<std::time_t>(unixSeconds);
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &at);
#else
    localtime_r(&at, &local);
#endif
    char text[8];
    std::snprintf(text, sizeof text, "%02d:%02d", local.tm_hour, local.tm_min);
    return text;
}

std::optional<long long> healthScore(const SwarmReport& report) {
    if (!report.problem.empty()) return std::nullopt;
    if (!report.finished && report.peers == 0 && !report.seeds && !report.name) return std::nullopt;
    // Metadata comes from a peer, so a torrent with metadata has at least one.
    const long long peers = std::max<long long>(report.peers, report.name ? 1 : 0);
    return static_cast<long long>(report.seeds.value_or(0)) * 1'000'000 + std::min(peers, 999'999LL);
}

std::string byteSizeText(std::uint64_t bytes) {
    static constexpr const char* kUnits[] = {"B", "KB", "MB", "GB", "TB"};
    if (bytes < 1024) return std::to_string(bytes) + " B";
    double value = static_cast<double>(bytes);
    size_t unit = 0;
    while (value >= 1024 && unit + 1 < std::size(kUnits)) {
        value /= 1024;
        ++unit;
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.2f %s", value, kUnits[unit]);
    return text;
}

bool sameTorrentName(std::string_view siteTitleUtf8, std::string_view torrentNameUtf8) {
    const std::string site = nameKey(siteTitleUtf8);
    const std::string torrent = nameKey(torrentNameUtf8);
    if (site.empty() || torrent.empty()) return site == torrent;
    return site.find(torrent) != std::string::npos || torrent.find(site) != std::string::npos;
}

bool sizeDisagrees(std::optional<unsigned long long> siteBytes, std::uint64_t torrentBytes) {
    if (!siteBytes || *siteBytes == 0) return false;
    const double site = static_cast<double>(*siteBytes);
    const double off = static_cast<double>(torrentBytes) - site;
    return (off < 0 ? -off : off) > site * 0.05;
}

Text gbkLossy(std::string_view text) {
    Text out;
    size_t at = 0;
    while (at < text.size()) {
        const unsigned char lead = static_cast<unsigned char>(text[at]);
        size_t length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : (lead >> 3) == 0x1E ? 4 : 1;
        if (at + length > text.size()) length = 1;
        if (length == 1) {
            out.push_back(lead < 0x80 ? static_cast<char>(lead) : '?');
        } else {
            const Text converted = gbk(text.substr(at, length));
            out += converted.empty() ? Text("?") : converted;
        }
        at += length;
    }
    return out;
}

Text swarmDetailText(const SwarmReport& report, const ResultItem& item) {
    if (!report.finished && report.peers == 0 && !report.seeds && !report.name) return {};
    std::string text = "\r\n\r\n―― BitTorrent 网络 ――\r\n" + healthNote(report) + "\r\n";
    if (report.name) {
        const std::string title = utf8(decodeCharacterReferences(item.title));
        text += "种子名称：" + *report.name;
        if (!sameTorrentName(title, *report.name)) text += "  ≠ 与网页标题不同";
        text += "\r\n";
        if (report.totalSize) {
            text +=
                "种子大小：" + byteSizeText(*report.totalSize) + "，" + std::to_string(report.files.size()) + " 个文件";
            if (sizeDisagrees(item.sizeBytes, *report.totalSize)) {
                const double site = static_cast<double>(*item.sizeBytes);
                const long long percent = std::llround((static_cast<double>(*report.totalSize) - site) * 100.0 / site);
                text += "  ≠ 与网页所写大小相差 " + std::string(percent > 0 ? "+" : "") + std::to_string(percent) + "%";
            }
            text += "\r\n";
        }
        constexpr size_t kListed = 40;
        for (size_t i = 0; i < report.files.size() && i < kListed; ++i)
            text += "  " + report.files[i].path + "  (" + byteSizeText(report.files[i].size) + ")\r\n";
        if (report.files.size() > kListed)
            text += "  ……另有 " + std::to_string(report.files.size() - kListed) + " 个文件\r\n";
    } else if (report.finished) {
        text += "种子名称：未取得（没有节点提供种子信息）\r\n";
    }
    while (text.ends_with("\r\n")) text.resize(text.size() - 2);
    return gbkLossy(text);
}

}  // namespace lanqi

#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/text.h"
#include "scrape/result_item.h"
#include "swarm/swarm_check.h"

namespace lanqi {

// How a swarm check's findings read in the windows (UTF-8 unless said otherwise).

// The 健康 cell: "检查中…" while a check runs, its seconds counting and what it found so far after them
// ("检查中 5 秒… 3 节点"), then
// "12 做种 · 3 下载 · 41 节点" (the scrape's figures only where a tracker answered), "无人分享" when it found no
// peer, no seed and no metadata, "检查失败" when it could not run.
std::string healthCell(const SwarmReport& report);
// The line the row's tool tip and accessible description get: "健康度：12 做种 · 3 下载 · 41 节点，检查于 14:02"
// (local time), or "健康度：检查中…".
std::string healthNote(const SwarmReport& report);
// "14:02": the local time of `unixSeconds`.
std::string clockText(std::int64_t unixSeconds);

// How well shared the torrent is, for sorting by 健康 (larger: better): seeds first, then peers; nothing while
// a check has found nothing yet.
std::optional<long long> healthScore(const SwarmReport& report);

// "1.50 GB", "700.00 MB", "512 B" (1 KB = 1024 bytes).
std::string byteSizeText(std::uint64_t bytes);

// The torrent's own name and files as its metadata gives them, to follow the site's details (GBK, lines joined
// by "\r\n"), with a mark where the two disagree: a name other than the site's title, a total size more than
// 5 % off the site's. Empty when the check brought no metadata and no figures.
Text swarmDetailText(const SwarmReport& report, const ResultItem& item);
// Whether the torrent's name and the site's title are the same name: equal once case, blanks and the
// separators ". _ -" are left out, or one contains the other.
bool sameTorrentName(std::string_view siteTitleUtf8, std::string_view torrentNameUtf8);
// Whether the torrent's total size is more than 5 % off what the site printed (false when the site printed none).
bool sizeDisagrees(std::optional<unsigned long long> siteBytes, std::uint64_t torrentBytes);

// UTF-8 as GBK, a character GBK lacks written as "?".
Text gbkLossy(std::string_view utf8Text);

}  // namespace lanqi

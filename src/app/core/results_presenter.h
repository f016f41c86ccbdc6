#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "scrape/result_item.h"
#include "search/result_query.h"
#include "search/search_screen.h"
#include "swarm/swarm_check.h"

namespace lanqi {

// A result row as both windows show it, UTF-8.
struct RowPresentation {
    std::string caption;                // the title as a person reads it (character references decoded)
    std::string toolTip;                // the whole title, then the size and date lines, one per line
    int iconKind = -1;                  // the list picture: the result's file kind, -1 for none
    std::string accessibleDescription;  // what a screen reader says after the caption: size and date
};
// The results list's pictures, one per index a FileKind names (0 to 3).
inline constexpr int kRowIconCount = 4;
RowPresentation presentRow(const ResultItem& item);

// The results as pictures (超级列表框1, the designed list) or as a table (结果表格).
enum class ResultsMode : unsigned char { Pictures, Table };

// The table's columns, left to right. Health is what the swarm check found ("" until a check of the row).
enum class ResultColumn : unsigned char { Title, Size, Files, Date, Site, Kind, Health };
inline constexpr int kResultColumnCount = 7;
const char* columnCaption(ResultColumn column);  // "标题", "大小", "文件数", "日期", "站点", "类型", "健康"
SortKey sortKeyOf(ResultColumn column);

// One run row presented once, when it arrives: the picture view's row and the table's cells.
struct PresentedRow {
    RowPresentation picture;
    std::array<std::string, kResultColumnCount> cells;  // by ResultColumn; "" where the page gave nothing
    std::string magnetLink;                             // what dragging the row gives
};
PresentedRow presentResult(const ResultItem& item);

// One line of the results as shown: a run row, or with one row per torrent the first row of its hash.
struct ShownResult {
    size_t row = 0;     // the run row whose link, details and actions the line has
    std::string sites;  // grouped: "3 个站点：1、3、6"; "" for a line of one row

    bool operator==(const ShownResult&) const = default;
};

// What the results area draws.
struct ResultsShown {
    std::span<const PresentedRow> rows;  // every row of the run, by run row
    std::vector<ShownResult> lines;      // what is shown, in order
    size_t kept = 0;                     // the first `kept` lines are the ones drawn last time
    int selected = -1;                   // the selected line, -1: none
    size_t total = 0;                    // lines before the filter

    // The line's site cell: its sites when grouped, else its row's slot.
    const std::string& siteCell(size_t line) const;
    // What a screen reader says of line `line`: title, size, date, site and "第 3 项，共 101 项"; and the same
    // without the title (a description to the title as name).
    std::string accessibleText(size_t line) const;
    std::string accessibleDescription(size_t line) const;
};

// The results tool row and the table's headers.
struct ResultsBar {
    ResultsMode mode = ResultsMode::Pictures;
    bool unique = false;
    std::string count;          // "共 101 项", "显示 12 项，共 101 项"; "" before the first rows
    std::string filterProblem;  // what is wrong in the filter ("" when nothing): shown in the count's place
    std::optional<ResultColumn> sortColumn;  // none: run order
    bool descending = false;
    bool stoppable = false;  // 停止 is enabled

    bool operator==(const ResultsBar&) const = default;
};

// One entry of the site strip.
struct SiteStripEntry {
    int slot = 0;
    SiteState state = SiteState::Idle;
    std::string caption;       // what the entry shows: the slot number and a short state ("3✓12", "4✗")
    std::string shortCaption;  // the same without the row count, where the strip is too narrow ("3✓")
    std::string text;          // its tool tip and accessible name: "站点4（site4）：连接超时"

    bool operator==(const SiteStripEntry&) const = default;
};
std::vector<SiteStripEntry> presentSites(const std::vector<SiteStatus>& sites, const SiteNames& names);
// Why a slot failed, in Chinese: "连接被拒绝", "连接超时", "找不到服务器", "安全连接（TLS）失败",
// "不是该站点的结果页", "未收到页面".
const char* siteFailureText(SiteFailure failure);

// The results as the user asked to see them: the filter, the sort, one row per torrent and the view. It
// presents each run row once as it arrives, and works out which lines to show and which line is selected.
class ResultsPresenter {
  public:
    // The run's rows changed (cleared, added or both: ScreenChange bits).
    void rowsChanged(std::span<const ResultItem> rows, unsigned changes);

    // Each returns true when the lines shown change.
    bool setFilter(const Text& expression, const SiteNames& names);  // GBK
    // The filter box's text as typed (UTF-8). The titles are GBK, so a word with a character GBK lacks is in
    // none of them: no line is shown while the box holds one (a "-word" of that kind excludes nothing), and the
    // bar says why.
    bool setFilterText(std::string_view expression, const SiteNames& names);
    bool setUnique(bool unique);
    // A swarm check's report: the 健康 cell, tool tip and description of every row of its hash, now and for rows
    // that arrive later in the session. True when a row of the run has that hash. The lines drawn from the
    // first such line on count as changed; when sorted by 健康, refresh() puts them in their new order.
    bool swarmReported(const SwarmReport& report);
    bool sortedByHealth() const { return m_order.key == SortKey::Health; }
    // What the session's checks reported of `hash` (a hashKey), null when none was asked for.
    const SwarmReport* reportOf(const std::string& hash) const;
    // Forgets the reports of checks that never finished (they were cancelled): their rows lose the 健康 figure.
    void forgetUnfinishedReports();
    bool sortBy(ResultColumn column);  // the same column again reverses the direction
    void resetSort() { m_order = {}; }
    void setMode(ResultsMode mode) { m_mode = mode; }

    // Recomputes the lines over `rows` (the run's) with the slot names in `names`.
    void refresh(std::span<const ResultItem> rows, const SiteNames& names);

    // The run row of line `line`, -1 for none.
    int rowOfLine(int line) const;
    // The line showing run row `row`, -1 when it is not shown.
    int lineOfRow(int row) const;

    // What to draw; from then on every line counts as drawn.
    ResultsShown shown(int selectedRow);
    ResultsBar bar(bool stoppable) const;
    ResultsMode mode() const { return m_mode; }
    bool unique() const { return m_unique; }
    const ResultFilter& filter() const { return m_filter; }

  private:
    void applyHealth(size_t row, const SwarmReport& report);
    void dropHealth(size_t row);

    std::vector<PresentedRow> m_rows;
    // Each row's tool tip and description as long as they are without a swarm figure (what follows is its note).
    struct PlainLengths {
        size_t toolTip = 0;
        size_t description = 0;
    };
    std::vector<PlainLengths> m_plain;
    std::vector<Text> m_hashes;                              // each row's hashKey
    std::vector<std::optional<long long>> m_health;          // by run row: healthScore
    std::unordered_map<std::string, SwarmReport> m_reports;  // by hash, for the session
    std::vector<std::string> m_siteCells;                    // a grouped line's sites, by line
    ResultView m_view;
    std::vector<ShownResult> m_lines;
    size_t m_kept = 0;
    ResultFilter m_filter;
    std::vector<FilterProblem> m_problems;
    std::vector<std::string> m_unsearchable;  // UTF-8: the words of the box that GBK cannot hold
    bool m_matchesNothing = false;
    SortOrder m_order;
    std::optional<ResultColumn> m_sortColumn;
    bool m_unique = false;
    ResultsMode m_mode = ResultsMode::Pictures;
};

}  // namespace lanqi

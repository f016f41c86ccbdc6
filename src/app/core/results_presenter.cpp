#include "app/core/results_presenter.h"

#include <algorithm>

#include "platform/text.h"
#include "app/core/swarm_health.h"
#include "scrape/result_entry.h"

namespace lanqi {
namespace {

std::string slotText(int slot) { return "站点" + std::to_string(slot); }

const char* kindText(int fileKind) {
    switch (fileKind) {
        case kVideo:
            return "视频";
        case kArchive:
            return "压缩包";
        default:
            return "其他";
    }
}

std::string sitesText(std::span<const int> sites) {
    std::string text = std::to_string(sites.size()) + " 个站点：";
    for (size_t i = 0; i < sites.size(); ++i) text += (i == 0 ? "" : "、") + std::to_string(sites[i]);
    return text;
}

}  // namespace

RowPresentation presentRow(const ResultItem& item) {
    RowPresentation row;
    row.caption = utf8(decodeCharacterReferences(item.title));
    row.toolTip = row.caption;
    row.iconKind = item.fileKind >= 0 && item.fileKind < kRowIconCount ? item.fileKind : -1;
    // The size and date lines as the details text shows them, in their order; a line whose field the page
    // left empty adds nothing.
    for (const DetailLine& line : item.lines) {
        const bool shown = line.field == ResultField::Size   ? !item.sizeText.empty()
                           : line.field == ResultField::Date ? !item.dateText.empty()
                                                             : false;
        if (!shown) continue;
        const size_t from = std::min(line.label.find_first_not_of("\r\n"), line.label.size());
        const std::string text = utf8(line.label.substr(from) + line.value);
        row.toolTip += "\n" + text;
        if (!row.accessibleDescription.empty()) row.accessibleDescription += "，";
        row.accessibleDescription += text;
    }
    return row;
}

const char* columnCaption(ResultColumn column) {
    static constexpr const char* kCaptions[kResultColumnCount] = {"标题", "大小", "文件数", "日期",
                                                                  "站点", "类型", "健康"};
    return kCaptions[static_cast<int>(column)];
}

SortKey sortKeyOf(ResultColumn column) {
    static constexpr SortKey kKeys[kResultColumnCount] = {SortKey::Title, SortKey::Size, SortKey::Files, SortKey::Date,
                                                          SortKey::Site,  SortKey::Kind, SortKey::Health};
    return kKeys[static_cast<int>(column)];
}

PresentedRow presentResult(const ResultItem& item) {
    PresentedRow presented;
    presented.picture = presentRow(item);
    auto& cells = presented.cells;
    cells[static_cast<int>(ResultColumn::Title)] = presented.picture.caption;
    cells[static_cast<int>(ResultColumn::Size)] = utf8(item.sizeText);
    if (item.fileCount) {
        cells[static_cast<int>(ResultColumn::Files)] = std::to_string(*item.fileCount);
    } else if (!item.files.empty()) {
        cells[static_cast<int>(ResultColumn::Files)] = std::to_string(item.files.size());
    }
    cells[static_cast<int>(ResultColumn::Date)] = utf8(item.dateText);
    cells[static_cast<int>(ResultColumn::Site)] = slotText(item.site);
    cells[static_cast<int>(ResultColumn::Kind)] = kindText(item.fileKind);
    presented.magnetLink = utf8(item.magnetLink);
    return presented;
}

const std::string& ResultsShown::siteCell(size_t line) const {
    const ShownResult& shownLine = lines[line];
    if (!shownLine.sites.empty()) return shownLine.sites;
    return rows[shownLine.row].cells[static_cast<int>(ResultColumn::Site)];
}

std::string ResultsShown::accessibleDescription(size_t line) const {
    const PresentedRow& row = rows[lines[line].row];
    std::string text = row.picture.accessibleDescription;
    if (!text.empty()) text += "，";
    text += siteCell(line);
    text += "，第 " + std::to_string(line + 1) + " 项，共 " + std::to_string(lines.size()) + " 项";
    return text;
}

std::string ResultsShown::accessibleText(size_t line) const {
    return rows[lines[line].row].picture.caption + "，" + accessibleDescription(line);
}

const char* siteFailureText(SiteFailure failure) {
    switch (failure) {
        case SiteFailure::Refused:
            return "连接被拒绝";
        case SiteFailure::TimedOut:
            return "连接超时";
        case SiteFailure::HostNotFound:
            return "找不到服务器";
        case SiteFailure::NotResultPage:
            return "不是该站点的结果页";
        case SiteFailure::Tls:
            return "安全连接（TLS）失败";
        case SiteFailure::None:
        case SiteFailure::NoAnswer:
            break;
    }
    return "未收到页面";
}

std::vector<SiteStripEntry> presentSites(const std::vector<SiteStatus>& sites, const SiteNames& names) {
    std::vector<SiteStripEntry> entries;
    entries.reserve(sites.size());
    for (const SiteStatus& site : sites) {
        SiteStripEntry entry;
        entry.slot = site.slot;
        entry.state = site.state;
        const std::string number = std::to_string(site.slot);
        const size_t i = static_cast<size_t>(site.slot - 1);
        const std::string name = i < names.size() && !names[i].empty() ? "（" + utf8(names[i]) + "）" : "";
        entry.text = slotText(site.slot) + name + "：";
        switch (site.state) {
            case SiteState::Idle:
                entry.caption = number;
                entry.text += "尚未搜索";
                break;
            case SiteState::Waiting:
                entry.caption = number + "…";
                entry.text += "等待中";
                break;
            case SiteState::Done:
                entry.caption = number + "✓" + std::to_string(site.rows);
                entry.text += std::to_string(site.rows) + " 条结果，" + std::to_string(site.took.count()) + " 毫秒";
                break;
            case SiteState::Failed:
                entry.caption = number + "✗";
                entry.text += std::string("失败，") + siteFailureText(site.failure) + "，" +
                              std::to_string(site.took.count()) + " 毫秒";
                break;
            case SiteState::Off:
                entry.caption = number + "–";
                entry.text += "已停用";
                break;
            case SiteState::Stopped:
                entry.caption = number + "■";
                entry.text += "已停止";
                break;
        }
        entry.shortCaption = site.state == SiteState::Done ? number + "✓" : entry.caption;
        entries.push_back(std::move(entry));
    }
    return entries;
}

void ResultsPresenter::rowsChanged(std::span<const ResultItem> rows, unsigned changes) {
    if (changes & kResultsCleared) {
        m_rows.clear();
        m_plain.clear();
        m_hashes.clear();
        m_health.clear();
    }
    m_rows.reserve(rows.size());
    for (size_t row = m_rows.size(); row < rows.size(); ++row) {
        m_rows.push_back(presentResult(rows[row]));
        m_plain.push_back({m_rows.back().picture.toolTip.size(), m_rows.back().picture.accessibleDescription.size()});
        m_hashes.push_back(rows[row].hashKey);
        m_health.emplace_back();
        if (rows[row].hashKey.empty()) continue;
        if (const auto known = m_reports.find(rows[row].hashKey); known != m_reports.end())
            applyHealth(row, known->second);
    }
}

void ResultsPresenter::applyHealth(size_t row, const SwarmReport& report) {
    dropHealth(row);
    PresentedRow& presented = m_rows[row];
    const std::string note = healthNote(report);
    presented.cells[static_cast<int>(ResultColumn::Health)] = healthCell(report);
    presented.picture.toolTip += "\n" + note;
    std::string& description = presented.picture.accessibleDescription;
    description += (description.empty() ? "" : "，") + note;
    m_health[row] = healthScore(report);
}

void ResultsPresenter::dropHealth(size_t row) {
    PresentedRow& presented = m_rows[row];
    presented.picture.toolTip.resize(m_plain[row].toolTip);
    presented.picture.accessibleDescription.resize(m_plain[row].description);
    presented.cells[static_cast<int>(ResultColumn::Health)].clear();
    m_health[row].reset();
}

const SwarmReport* ResultsPresenter::reportOf(const std::string& hash) const {
    const auto found = m_reports.find(hash);
    return found == m_reports.end() ? nullptr : &found->second;
}

void ResultsPresenter::forgetUnfinishedReports() {
    std::erase_if(m_reports, [](const auto& entry) { return !entry.second.finished; });
    for (size_t row = 0; row < m_rows.size(); ++row) {
        if (!m_health[row] && m_rows[row].cells[static_cast<int>(ResultColumn::Health)].empty()) continue;
        if (m_reports.contains(m_hashes[row])) continue;
        dropHealth(row);
        const int line = lineOfRow(static_cast<int>(row));
        if (line >= 0) m_kept = std::min(m_kept, static_cast<size_t>(line));
    }
}

bool ResultsPresenter::swarmReported(const SwarmReport& report) {
    m_reports[report.hash] = report;
    bool any = false;
    for (size_t row = 0; row < m_rows.size(); ++row) {
        if (m_hashes[row] != report.hash) continue;
        applyHealth(row, report);
        any = true;
        const int line = lineOfRow(static_cast<int>(row));
        if (line >= 0) m_kept = std::min(m_kept, static_cast<size_t>(line));
    }
    return any;
}

bool ResultsPresenter::setFilter(const Text& expression, const SiteNames& names) {
    FilterParse parse = parseFilter(expression, names);
    const bool changed = !(parse.filter == m_filter);
    m_filter = std::move(parse.filter);
    m_problems = std::move(parse.problems);
    return changed;
}

bool ResultsPresenter::setFilterText(std::string_view expression, const SiteNames& names) {
    Text readable;
    std::vector<std::string> unsearchable;
    bool matchesNothing = false;
    // Words end at blanks, half-width or full-width (U+3000).
    size_t at = 0;
    while (at < expression.size()) {
        const auto blankAt = [&](size_t i) -> size_t {
            if (expression[i] == ' ' || expression[i] == '\t') return 1;
            return expression.substr(i, 3) == "\xE3\x80\x80" ? 3 : 0;
        };
        if (const size_t blank = blankAt(at); blank > 0) {
            at += blank;
            continue;
        }
        size_t end = at;
        while (end < expression.size() && blankAt(end) == 0) ++end;
        const std::string_view word = expression.substr(at, end - at);
        const Text converted = gbk(word);
        if (converted.empty()) {
            unsearchable.emplace_back(word);
            if (word.front() != '-') matchesNothing = true;
        } else {
            readable += converted + " ";
        }
        at = end;
    }
    bool changed = setFilter(readable, names);
    changed = changed || matchesNothing != m_matchesNothing;
    m_matchesNothing = matchesNothing;
    m_unsearchable = std::move(unsearchable);
    return changed;
}

bool ResultsPresenter::setUnique(bool unique) {
    const bool changed = unique != m_unique;
    m_unique = unique;
    return changed;
}

bool ResultsPresenter::sortBy(ResultColumn column) {
    const SortKey key = sortKeyOf(column);
    if (m_sortColumn == column) {
        m_order.descending = !m_order.descending;
    } else {
        m_order = {key, descendingByDefault(key)};
        m_sortColumn = column;
    }
    return true;
}

void ResultsPresenter::refresh(std::span<const ResultItem> rows, const SiteNames& names) {
    if (m_order.key == SortKey::Run) m_sortColumn.reset();
    m_view = viewRows(rows, m_filter, m_order, m_unique, names, m_health);
    if (m_matchesNothing) m_view.entries.clear();
    std::vector<ShownResult> lines;
    lines.reserve(m_view.entries.size());
    for (const ViewEntry& entry : m_view.entries) {
        const std::span<const int> sites = m_view.sitesOf(entry);
        lines.push_back({entry.row, m_unique && entry.rowCount > 1 ? sitesText(sites) : std::string()});
    }
    size_t kept = 0;
    while (kept < lines.size() && kept < m_lines.size() && kept < m_kept && lines[kept] == m_lines[kept]) ++kept;
    m_kept = kept;
    m_lines = std::move(lines);
}

int ResultsPresenter::rowOfLine(int line) const {
    return line >= 0 && static_cast<size_t>(line) < m_lines.size() ? static_cast<int>(m_lines[line].row) : -1;
}

int ResultsPresenter::lineOfRow(int row) const {
    if (row < 0) return -1;
    for (size_t line = 0; line < m_lines.size(); ++line)
        if (m_lines[line].row == static_cast<size_t>(row)) return static_cast<int>(line);
    return -1;
}

ResultsShown ResultsPresenter::shown(int selectedRow) {
    ResultsShown shown;
    shown.rows = m_rows;
    shown.lines = m_lines;
    shown.kept = m_kept;
    m_kept = m_lines.size();
    shown.selected = lineOfRow(selectedRow);
    shown.total = m_view.total;
    return shown;
}

ResultsBar ResultsPresenter::bar(bool stoppable) const {
    ResultsBar bar;
    bar.mode = m_mode;
    bar.unique = m_unique;
    bar.stoppable = stoppable;
    bar.sortColumn = m_order.key == SortKey::Run ? std::nullopt : m_sortColumn;
    bar.descending = m_order.descending;
    if (m_view.total > 0) {
        bar.count = m_lines.size() == m_view.total
                        ? "共 " + std::to_string(m_view.total) + " 项"
                        : "显示 " + std::to_string(m_lines.size()) + " 项，共 " + std::to_string(m_view.total) + " 项";
    }
    for (const FilterProblem& problem : m_problems) {
        if (!bar.filterProblem.empty()) bar.filterProblem += "；";
        bar.filterProblem += "“" + utf8(problem.term) + "”" + utf8(problem.reason());
    }
    if (!bar.filterProblem.empty()) bar.filterProblem = "筛选条件有误：" + bar.filterProblem;
    if (!m_unsearchable.empty()) {
        std::string words;
        for (const std::string& word : m_unsearchable) words += (words.empty() ? "“" : "、“") + word + "”";
        if (!bar.filterProblem.empty()) bar.filterProblem += "；";
        bar.filterProblem += words + "含有网页标题中不会出现的字符";
    }
    return bar;
}

}  // namespace lanqi

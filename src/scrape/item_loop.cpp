#include "scrape/item_loop.h"

#include <algorithm>
#include <climits>
#include <memory>
#include <vector>

#include "scrape/marker_search.h"
#include "scrape/result_entry.h"

namespace lanqi::scrape {
namespace {

constexpr std::string_view kEntryTag = "<li>";

// A site's table with its labels in GBK and every forward-searched marker numbered for MarkerSearch.
struct CompiledStep {
    const Step* step = nullptr;
    Text label;
    int start = -1, next = -1, end = -1, behind = -1, cursorTo = -1, listEnd = -1, entryEnd = -1;
};

struct CompiledSite {
    std::vector<std::string_view> markers;
    std::vector<CompiledStep> steps;
    int number = 0;
    int anchor = -1;
    int entryTag = -1;
    Text digit;

    int slot(std::string_view marker) {
        if (marker.empty()) return -1;
        const auto it = std::find(markers.begin(), markers.end(), marker);
        if (it != markers.end()) return static_cast<int>(it - markers.begin());
        markers.push_back(marker);
        return static_cast<int>(markers.size()) - 1;
    }

    explicit CompiledSite(const SiteTable& table) {
        number = table.number;
        anchor = slot(table.itemAnchor);
        entryTag = slot(kEntryTag);
        digit = decimalText(table.number);
        for (const Step& s : table.steps) {
            CompiledStep c;
            c.step = &s;
            c.label = gbk(s.label);
            const bool backwards =
                s.start.kind == Start::AfterLastBeforeAnchor || s.start.kind == Start::AfterLastBeforeEnd;
            if (!backwards) c.start = slot(s.start.marker);
            c.next = slot(s.start.next);
            c.end = slot(s.end.marker);
            c.behind = slot(s.end.behind);
            c.cursorTo = slot(s.cursorTo);
            c.listEnd = slot(s.listEnd);
            c.entryEnd = slot(s.entryEnd);
            steps.push_back(std::move(c));
        }
    }
};

const CompiledSite& compiled(const SiteTable& table) {
    static const std::vector<std::unique_ptr<CompiledSite>> sites = [] {
        std::vector<std::unique_ptr<CompiledSite>> all;
        for (int n = 1; n <= 6; ++n) all.push_back(std::make_unique<CompiledSite>(siteTable(n)));
        return all;
    }();
    return *sites[static_cast<size_t>(table.number - 1)];
}

int length(std::string_view marker) { return static_cast<int>(marker.size()); }

// One pass of the item loop: the steps of the site's table over one item.
class ItemPass {
public:
    ItemPass(const CompiledSite& site, std::string_view page, MarkerSearch& search, ScrapeContext& context,
             int floor, int anchor, int& cursor)
        : m_site(site), m_page(page), m_search(search), m_context(context), m_floor(floor), m_anchor(anchor),
          m_cursor(cursor) {}

    // Runs every step; false when an item test failed, in which case nothing was emitted.
    bool run() {
        m_detail.reserve(1024);
        for (const CompiledStep& step : m_site.steps) {
            if (!runStep(step)) return false;
        }
        appendSiteLine(m_detail, m_site.number);
        m_context.records.detailTexts.push_back(std::move(m_detail));
        return true;
    }

private:
    // Where a field lies: start is its first byte, end the byte after its last; -1 where a marker is missing.
    struct Span {
        int start = -1;
        int end = -1;
    };

    int endAt(const CompiledStep& c, int start) {
        const EndRule& rule = c.step->end;
        switch (rule.kind) {
            case End::At: {
                const int at = m_search.find(c.end, start);
                return at < 0 ? -1 : at + rule.skip;
            }
            case End::AtBehind: {
                const int behind = m_search.find(c.behind, m_cursor);
                if (behind < 0) return -1;
                const int at = m_search.find(c.end, behind + length(rule.behind) + rule.behindSkip);
                return at < 0 ? -1 : at + rule.skip;
            }
            case End::Length:
                return start + rule.length;
        }
        return -1;
    }

    Span locate(const CompiledStep& c) {
        const StartRule& rule = c.step->start;
        Span span;
        switch (rule.kind) {
            case Start::After: {
                const int at = m_search.find(c.start, m_cursor);
                if (at < 0) return span;
                span.start = at + length(rule.marker) + rule.skip;
                break;
            }
            case Start::AfterNext: {
                const int at = m_search.find(c.start, m_cursor);
                if (at < 0) return span;
                const int next = m_search.find(c.next, at + length(rule.marker));
                if (next < 0) return span;
                span.start = next + length(rule.next) + rule.skip;
                break;
            }
            case Start::AfterLastBeforeAnchor: {
                // Only inside this item: a title marker of an earlier item does not count.
                const int at = findLastWithin(m_page, rule.marker, m_floor + 1, m_anchor);
                if (at < 0) return span;
                span.start = at + length(rule.marker) + rule.skip;
                break;
            }
            case Start::AfterLastBeforeEnd: {
                span.end = endAt(c, 0);
                if (span.end < 0) return span;
                const int at = findLastWithin(m_page, rule.marker, m_cursor, span.end);
                if (at >= 0) span.start = at + length(rule.marker) + rule.skip;
                return span;
            }
        }
        span.end = endAt(c, span.start);
        return span;
    }

    void moveCursor(const CompiledStep& c, const Span& span) {
        if (c.cursorTo >= 0) {
            if (span.start < 0) return;
            const int to = m_search.find(c.cursorTo, span.start);
            if (to >= 0) m_cursor = std::max(m_cursor, to);
        } else if (!c.step->keepCursor && span.start >= 0 && span.end >= 0) {
            m_cursor = std::max(m_cursor, span.end);
        }
    }

    Text fieldText(const CompiledStep& c, const Span& span) {
        if (span.start < 0 || span.end < 0) return {};
        const std::string_view raw = sliceBytes(m_page, span.start, span.end);
        switch (c.step->reduce) {
            case Reduce::TrimSize:
                return gbkFromUtf8(trimSizeText(raw));
            case Reduce::Unwrap:
                return gbkFromUtf8(unwrapFileItem(raw));
            case Reduce::None:
                break;
        }
        return gbkFromUtf8(raw);
    }

    bool runStep(const CompiledStep& c) {
        const Step& step = *c.step;
        switch (step.use) {
            case Use::Title:
            case Use::Hash:
            case Use::Line: {
                const Span span = locate(c);
                if (step.itemTest && span.start < 0) return false;
                Text field = fieldText(c, span);
                moveCursor(c, span);
                if (step.use == Use::Title) setTitle(step, std::move(field));
                if (step.use == Use::Hash) m_hash = std::move(field);
                if (step.use == Use::Line) m_detail.append(c.label).append(field);
                return true;
            }
            case Use::Files:
                readFiles(c);
                return true;
            case Use::ListItem:
                m_context.rows.appendResultRow(m_title, m_kind);
                return true;
            case Use::DetailStart:
                startDetailText(m_detail, m_title);
                return true;
            case Use::Magnet: {
                Text link = magnetLinkOf(m_hash);
                appendDownloadBlock(m_detail, link);
                m_context.records.magnetLinks.push_back(std::move(link));
                return true;
            }
        }
        return true;
    }

    void setTitle(const Step& step, Text title) {
        for (std::string_view tag : step.tags) {
            if (tag.empty()) continue;
            title = stripTag(title, tag);
            m_context.events.processPendingEvents();
        }
        m_title = title.empty() ? placeholderTitle() : std::move(title);
        m_kind = fileKindOf(m_title);
    }

    // The contained files: one "<li>" entry after another, while the next entry starts before the list's
    // end marker. An entry without its closing marker ends the list unwritten.
    void readFiles(const CompiledStep& c) {
        static const Text kEntrySeparator = "\r\n\r\n";
        int tag = m_search.find(m_site.entryTag, m_cursor);
        int start = tag < 0 ? -1 : tag + length(kEntryTag);
        for (int count = 0; start > -1; ++count) {
            const int listEnd = m_search.find(c.listEnd, m_cursor);
            if (listEnd < 0 || start >= listEnd) break;
            start = tag + length(kEntryTag);
            const int entryEnd = m_search.find(c.entryEnd, start);
            if (entryEnd < 0) break;
            m_cursor = std::max(m_cursor, entryEnd);
            m_detail.append(count == 0 ? c.label : kEntrySeparator);
            m_detail.append(fieldText(c, Span{start, entryEnd}));
            tag = m_search.find(m_site.entryTag, m_cursor);
            start = tag;
            m_context.events.processPendingEvents();
        }
    }

    const CompiledSite& m_site;
    std::string_view m_page;
    MarkerSearch& m_search;
    ScrapeContext& m_context;
    const int m_floor;   // the end cursor when the pass began: the end of the previous item
    const int m_anchor;  // this item's anchor, -1 when the page has none left
    int& m_cursor;       // the end cursor
    Text m_title;
    int m_kind = kOther;
    Text m_hash;
    Text m_detail;
};

}  // namespace

void runItemLoop(const SiteTable& table, std::string_view page, ScrapeContext& context) {
    const CompiledSite& site = compiled(table);
    MarkerSearch search(page, site.markers);
    RunRecords& records = context.records;

    int cursor = 0;
    int anchor = search.find(site.anchor, cursor);
    for (;;) {
        const int floor = cursor;
        // The item's fields lie behind its anchor (Site1 and Site3 find their titles backwards from it).
        if (anchor > 0) cursor = std::max(cursor, anchor);
        if (ItemPass(site, page, search, context, floor, anchor, cursor).run()) {
            if (records.rowsAdded < INT_MAX) ++records.rowsAdded;
            context.status.setWindowTitle(progressTitle(records.rowsAdded));
        } else {
            records.skippedSites += site.digit;
        }
        // Search on from the end cursor, but never at or before this anchor again.
        if (anchor > 0) anchor = search.find(site.anchor, std::max(cursor, anchor + 1));
        context.events.processPendingEvents();
        if (anchor < 0) break;
    }
}

}  // namespace lanqi::scrape

#include "scrape/item_loop.h"

#include <algorithm>
#include <climits>
#include <vector>

#include "scrape/compiled_site.h"
#include "scrape/marker_search.h"
#include "scrape/result_entry.h"

namespace lanqi::scrape {
namespace {

int length(std::string_view marker) { return static_cast<int>(marker.size()); }

// Reads one item after another with a site's steps. Its buffers are kept from item to item.
class ItemReader {
  public:
    ItemReader(const CompiledSite& site, int slot, std::string_view page, std::vector<ResultItem>& items)
        : m_site(site), m_slot(slot), m_page(page), m_search(page, site.markers), m_items(items) {}

    int cursor() const { return m_cursor; }

    enum class Pass {
        Row,      // the item was appended to the items
        Skipped,  // an item test failed: no item
        Full,     // the item would take the page's rows past kMaxPageRowBytes: not appended
    };

    // One pass over the item whose anchor is at `anchor` (-1: none left).
    Pass read(int anchor) {
        m_floor = m_cursor;
        m_anchor = anchor;
        // The item is read from its anchor on (Site1 and Site3 find their titles backwards from it).
        if (anchor > 0) m_cursor = std::max(m_cursor, anchor);
        m_item = ResultItem{};
        m_item.site = m_slot;
        m_hash.clear();
        m_detailSize = 0;
        for (const CompiledStep& step : m_site.steps) {
            if (!runStep(step)) return Pass::Skipped;
        }
        m_item.detailText = formatDetailText(m_item);
        const size_t bytes = rowBytes(m_item);
        if (bytes > kMaxPageRowBytes - m_rowBytes) return Pass::Full;
        m_rowBytes += bytes;
        m_items.push_back(std::move(m_item));
        return Pass::Row;
    }

    int findAnchor(int from) { return m_search.find(m_site.anchor, from); }

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

    // findLastWithin(page, the step's start marker, from, end), remembering its last answer per step: with
    // the same end and a later `from`, the last occurrence is the one found before if it still lies at or
    // after `from`, else there is none. The field's end often lies far ahead (a "</span>" many items on),
    // and this keeps such a page from being read backwards once per item.
    int lastWithin(const CompiledStep& c, int from, int end) {
        LastMemo& memo = m_lastMemo[static_cast<size_t>(&c - m_site.steps.data())];
        if (memo.end == end && memo.from <= from) return memo.found >= from ? memo.found : -1;
        memo = {from, end, findLastWithin(m_page, c.step->start.marker, from, end)};
        return memo.found;
    }

    Span locate(const CompiledStep& c) {
        const StartRule& rule = c.step->start;
        Span span;
        int at = -1;
        switch (rule.kind) {
            case Start::After:
                at = m_search.find(c.start, m_cursor);
                if (at >= 0) span.start = at + length(rule.marker) + rule.skip;
                break;
            case Start::AfterNext:
                at = m_search.find(c.start, m_cursor);
                if (at >= 0) at = m_search.find(c.next, at + length(rule.marker));
                if (at >= 0) span.start = at + length(rule.next) + rule.skip;
                break;
            case Start::AfterLastBeforeAnchor:
                // Only inside this item: a title marker of an earlier item does not count.
                at = findLastWithin(m_page, rule.marker, m_floor + 1, m_anchor);
                if (at >= 0) span.start = at + length(rule.marker) + rule.skip;
                break;
            case Start::AfterLastBeforeEnd:
                span.end = endAt(c, 0);
                if (span.end >= 0) at = lastWithin(c, m_cursor, span.end);
                if (at >= 0) span.start = at + length(rule.marker) + rule.skip;
                return span;
        }
        if (span.start >= 0) span.end = endAt(c, span.start);
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

    // The field's page bytes, at most kMaxFieldBytes of them: a longer field is cut before the first byte of
    // a UTF-8 character (at most three continuation bytes back), never inside one.
    std::string_view fieldBytes(const Span& span) const {
        const std::string_view raw = sliceBytes(m_page, span.start, span.end);
        if (raw.size() <= static_cast<size_t>(kMaxFieldBytes)) return raw;
        size_t cut = static_cast<size_t>(kMaxFieldBytes);
        for (int back = 0; back < 3 && cut > 0 && (static_cast<unsigned char>(raw[cut]) & 0xC0) == 0x80; ++back) --cut;
        return raw.substr(0, cut);
    }

    // Appends the field's GBK text to `out`: nothing when a marker is missing or the bytes do not convert.
    void appendField(Text& out, const CompiledStep& c, const Span& span) {
        if (span.start < 0 || span.end < 0) return;
        const std::string_view raw = fieldBytes(span);
        switch (c.step->reduce) {
            case Reduce::TrimSize:
                trimSizeText(raw, m_scratch);
                appendGbkFromUtf8(out, m_scratch);
                return;
            case Reduce::Unwrap:
                unwrapFileItem(raw, m_scratch);
                appendGbkFromUtf8(out, m_scratch);
                return;
            case Reduce::None:
                appendGbkFromUtf8(out, raw);
                return;
        }
    }

    bool runStep(const CompiledStep& c) {
        const Step& step = *c.step;
        switch (step.use) {
            case Use::Title:
            case Use::Hash:
            case Use::Line: {
                const Span span = locate(c);
                if (step.itemTest && span.start < 0) return false;
                if (step.use == Use::Title) {
                    m_title.clear();
                    appendField(m_title, c, span);
                    completeTitle(c);
                } else if (step.use == Use::Hash) {
                    m_hash.clear();
                    appendField(m_hash, c, span);
                } else {
                    addLine(c, span);
                }
                moveCursor(c, span);
                return true;
            }
            case Use::Files:
                readFiles(c);
                return true;
            case Use::ListItem:
                m_item.title = m_title;
                m_item.fileKind = m_kind;
                return true;
            case Use::DetailStart:
                m_scratchText.clear();
                startDetailText(m_scratchText, m_title);
                m_detailSize = m_scratchText.size();
                return true;
            case Use::Magnet:
                m_item.infoHash = m_hash;
                m_item.hashKey = infoHashKey(m_hash);
                m_item.magnetLink = magnetLinkOf(m_hash);
                m_item.detailParts.push_back({DetailPart::Download, 0, 0, {}});
                m_scratchText.clear();
                appendDownloadBlock(m_scratchText, m_item.magnetLink);
                m_detailSize += m_scratchText.size();
                return true;
        }
        return true;
    }

    // A detail line: label and field kept in the record, in page order, and the typed field it names filled.
    // A description address is kept in its field only: the details text does not show it.
    void addLine(const CompiledStep& c, const Span& span) {
        DetailLine line{c.label, {}, c.step->field};
        appendField(line.value, c, span);
        fillResultField(m_item, line.field, line.value);
        if (line.field == ResultField::DescriptionUrl) return;
        m_detailSize = cappedDetailSize(m_detailSize, line.label, line.value);
        m_item.detailParts.push_back({DetailPart::Line, m_item.lines.size(), 0, {}});
        m_item.lines.push_back(std::move(line));
    }

    // A contained-file entry, kept while it can still add to the details text: once that is full the list
    // goes on to its end on the page, but no more entries are held.
    void addFile(DetailPart& part, const CompiledStep& c, const Span& span) {
        const std::string_view label = part.count == 0 ? std::string_view(part.header) : std::string_view("\r\n\r\n");
        if (m_detailSize >= static_cast<size_t>(kMaxDetailBytes)) return;
        Text entry;
        appendField(entry, c, span);
        m_detailSize = cappedDetailSize(m_detailSize, label, entry);
        m_item.files.push_back(listedFileOf(std::move(entry)));
        ++part.count;
    }

    void completeTitle(const CompiledStep& c) {
        for (const Text& tag : c.tags) {
            if (tag.empty()) continue;
            if (m_title.find(tag) != Text::npos) m_title = stripTag(m_title, tag);
        }
        if (m_title.empty()) m_title = placeholderTitle();
        m_kind = fileKindOf(m_title);
    }

    // The contained files: one "<li>" entry after another while the next entry starts before the list's
    // end marker. An entry without its closing marker ends the list unwritten.
    void readFiles(const CompiledStep& c) {
        DetailPart part{DetailPart::Files, m_item.files.size(), 0, c.label};
        int tag = m_search.find(m_site.entryTag, m_cursor);
        int start = tag < 0 ? -1 : tag + length(kEntryTag);
        while (start > -1) {
            const int listEnd = m_search.find(c.listEnd, m_cursor);
            if (listEnd < 0 || start >= listEnd) break;
            start = tag + length(kEntryTag);
            const int entryEnd = m_search.find(c.entryEnd, start);
            if (entryEnd < 0) break;
            m_cursor = std::max(m_cursor, entryEnd);
            addFile(part, c, Span{start, entryEnd});
            tag = m_search.find(m_site.entryTag, m_cursor);
            start = tag;
        }
        m_item.detailParts.push_back(std::move(part));
    }

    struct LastMemo {
        int from = INT_MAX;
        int end = -1;
        int found = -1;
    };

    const CompiledSite& m_site;
    int m_slot;
    std::string_view m_page;
    MarkerSearch m_search;
    std::vector<LastMemo> m_lastMemo = std::vector<LastMemo>(m_site.steps.size());
    std::vector<ResultItem>& m_items;
    int m_cursor = 0;       // the end cursor
    int m_floor = 0;        // the end cursor when the pass began: the end of the previous item
    int m_anchor = -1;      // this item's anchor, -1 when the page has none left
    size_t m_rowBytes = 0;  // the bytes of the rows appended so far
    Text m_title;
    int m_kind = kOther;
    Text m_hash;
    ResultItem m_item;
    size_t m_detailSize = 0;  // the bytes the item's details text will have so far (formatDetailText)
    Bytes m_scratch;
    Text m_scratchText;
};

}  // namespace

void runItemLoop(const CompiledSite& site, int slot, std::string_view page, SitePageScrape& out) {
    ItemReader reader(site, slot, page, out.items);
    int anchor = reader.findAnchor(0);
    for (int pass = 0; pass < kMaxItemsPerPage; ++pass) {
        const ItemReader::Pass done = reader.read(anchor);
        if (done == ItemReader::Pass::Full) break;
        if (done == ItemReader::Pass::Skipped) ++out.skippedItems;
        // Search on from the end cursor, but never at or before this anchor again.
        if (anchor > 0) anchor = reader.findAnchor(std::max(reader.cursor(), anchor + 1));
        if (anchor < 0) break;
    }
}

}  // namespace lanqi::scrape

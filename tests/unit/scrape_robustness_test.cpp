// Every site's parser over truncated and mutated pages placed against inaccessible memory: a read past
// either end of a page faults at once. Each page must end the scrape with every item whole, each anchor
// and each file entry visited at most once, the same result when scraped again, and no crash.
#include "scrape/scrape.h"

#include <gtest/gtest.h>

#include <sys/mman.h>
#include <unistd.h>

#include <cstring>
#include <random>

#include "scrape/result_entry.h"
#include "scrape/site_definition.h"
#include "support/scrape_harness.h"

namespace lanqi {
namespace {

using test::g;
using test::readFixture;

// Pages that live right after one inaccessible page and right before another.
class GuardedRegion {
  public:
    explicit GuardedRegion(size_t capacity) {
        m_pageSize = static_cast<size_t>(sysconf(_SC_PAGESIZE));
        m_dataSize = (capacity / m_pageSize + 1) * m_pageSize;
        void* base =
            mmap(nullptr, m_dataSize + 2 * m_pageSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (base == MAP_FAILED) throw std::runtime_error("mmap failed");
        m_base = static_cast<char*>(base);
        mprotect(m_base, m_pageSize, PROT_NONE);
        mprotect(m_base + m_pageSize + m_dataSize, m_pageSize, PROT_NONE);
    }
    ~GuardedRegion() { munmap(m_base, m_dataSize + 2 * m_pageSize); }
    GuardedRegion(const GuardedRegion&) = delete;
    GuardedRegion& operator=(const GuardedRegion&) = delete;

    // The bytes, ending at the last accessible byte.
    std::string_view atEnd(std::string_view bytes) {
        char* at = m_base + m_pageSize + m_dataSize - bytes.size();
        if (!bytes.empty()) std::memcpy(at, bytes.data(), bytes.size());
        return {at, bytes.size()};
    }
    // The bytes, beginning at the first accessible byte.
    std::string_view atStart(std::string_view bytes) {
        char* at = m_base + m_pageSize;
        if (!bytes.empty()) std::memcpy(at, bytes.data(), bytes.size());
        return {at, bytes.size()};
    }

  private:
    size_t m_pageSize = 0;
    size_t m_dataSize = 0;
    char* m_base = nullptr;
};

constexpr size_t kRegionBytes = 64 * 1024;

size_t occurrences(std::string_view page, std::string_view marker) {
    size_t n = 0;
    for (size_t at = page.find(marker); at != std::string_view::npos; at = page.find(marker, at + 1)) ++n;
    return n;
}

// "\r\n\r\n" separators in a details text, counted from its start without overlap.
size_t paragraphs(std::string_view detail) {
    size_t n = 0;
    for (size_t at = detail.find("\r\n\r\n"); at != std::string_view::npos; at = detail.find("\r\n\r\n", at + 4)) ++n;
    return n;
}

// Separators a details text of site `site` holds whatever its fields are: one before each detail line,
// one before the download block and one before the site line. A file list adds one for its header and
// one per entry.
size_t fixedParagraphs(int site) {
    size_t n = 2;
    for (const scrape::Step& s : builtInSiteDefinition(site)->table.steps)
        if (s.use == scrape::Use::Line) n += paragraphs(s.label);
    return n;
}

// What must hold after any scrape of `page` as site `site`.
void expectSound(const SitePageScrape& result, int site, std::string_view page, const std::string& what) {
    SCOPED_TRACE(what);
    const size_t rows = result.items.size();
    // The first pass always runs; every later one needs an anchor not visited before.
    const size_t anchors = occurrences(page, builtInSiteDefinition(site)->table.itemAnchor);
    const size_t passes = rows + static_cast<size_t>(result.skippedItems);
    ASSERT_GE(result.skippedItems, 0);
    ASSERT_LE(passes, std::max<size_t>(anchors, 1));
    static const Text kFirst = g("文件名：\r\n");
    const Text last = g("\r\n\r\n文件分类：") + std::to_string(site);
    size_t entries = 0;
    for (size_t r = 0; r < rows; ++r) {
        const ResultItem& item = result.items[r];
        const Text& detail = item.detailText;
        ASSERT_EQ(detail.compare(0, kFirst.size(), kFirst), 0);
        ASSERT_GE(detail.size(), last.size());
        ASSERT_EQ(detail.compare(detail.size() - last.size(), last.size(), last), 0);
        ASSERT_EQ(item.magnetLink.rfind("magnet:?xt=urn:btih:", 0), 0u);
        // Nothing but a well-formed hash follows the prefix.
        const std::string_view hash = std::string_view(item.magnetLink).substr(20);
        ASSERT_TRUE(hash.empty() || isInfoHash(hash)) << item.magnetLink;
        ASSERT_FALSE(item.title.empty());
        ASSERT_TRUE(item.fileKind == 0 || item.fileKind == 1 || item.fileKind == 3);
        ASSERT_EQ(item.site, site);
        const size_t found = paragraphs(detail);
        ASSERT_GE(found, fixedParagraphs(site));
        if (found > fixedParagraphs(site)) entries += found - fixedParagraphs(site) - 1;
    }
    // Each file entry begins at its own "<li>": entries are visited once. (Page bytes with a line break
    // could add paragraphs of their own.)
    if (page.find('\r') == std::string_view::npos) {
        ASSERT_LE(entries, occurrences(page, "<li>"));
    }
}

class Robustness : public ::testing::Test {
  protected:
    void SetUp() override {
        alarm(120);  // a parser that loops forever fails here instead of stalling the suite
        for (int n = 1; n <= 6; ++n) {
            fixtures[n - 1] = readFixture("scrape/site" + std::to_string(n) + ".html");
            ASSERT_FALSE(fixtures[n - 1].empty());
            ASSERT_LT(fixtures[n - 1].size() * 4, kRegionBytes);
            regions[n - 1] = std::make_unique<GuardedRegion>(kRegionBytes);
            whole[n - 1] = std::make_unique<GuardedRegion>(kRegionBytes);
        }
    }
    void TearDown() override { alarm(0); }

    // Scrapes `page` as site `site`; the other buffers hold their whole fixtures or nothing.
    void scrape(int site, std::string_view page, bool othersFull, const std::string& what) {
        std::array<std::string_view, 6> pages{};
        for (int n = 1; n <= 6; ++n)
            if (othersFull && n != site) pages[n - 1] = whole[n - 1]->atEnd(fixtures[n - 1]);
        pages[site - 1] = page;
        const SitePageScrape result = scrapeSitePage(site, pages);
        expectSound(result, site, page, what);
        if (HasFatalFailure()) return;
        ASSERT_TRUE(test::sameScrape(scrapeSitePage(site, pages), result)) << what << ": scraped again";
        ++scrapes;
    }

    int expectedCuts() const {
        int cuts = 0;
        for (const std::string& f : fixtures) cuts += static_cast<int>(f.size()) + 1;
        return cuts;
    }

    std::array<std::string, 6> fixtures;
    std::array<std::unique_ptr<GuardedRegion>, 6> regions;
    std::array<std::unique_ptr<GuardedRegion>, 6> whole;
    int scrapes = 0;
};

TEST_F(Robustness, EveryPrefixOfEveryPageEndingAtAGuardPage) {
    for (int site = 1; site <= 6; ++site) {
        const std::string& page = fixtures[site - 1];
        for (size_t length = 0; length <= page.size(); ++length) {
            const std::string_view cut = regions[site - 1]->atEnd(std::string_view(page).substr(0, length));
            scrape(site, cut, length % 2 == 1, "site " + std::to_string(site) + " first " + std::to_string(length));
            if (HasFatalFailure()) return;
        }
    }
    EXPECT_EQ(scrapes, expectedCuts());
}

TEST_F(Robustness, EverySuffixOfEveryPageStartingAtAGuardPage) {
    for (int site = 1; site <= 6; ++site) {
        const std::string& page = fixtures[site - 1];
        for (size_t from = 0; from <= page.size(); ++from) {
            const std::string_view cut = regions[site - 1]->atStart(std::string_view(page).substr(from));
            scrape(site, cut, from % 2 == 0, "site " + std::to_string(site) + " from " + std::to_string(from));
            if (HasFatalFailure()) return;
        }
    }
    EXPECT_EQ(scrapes, expectedCuts());
}

// Markers of every site and the file-list tags: mutations that add them make the loops work hardest.
std::vector<std::string> dictionary() {
    std::vector<std::string> words = {"<li>", "</li>", "<", ">", "\"", "&", ".html", " ", "</span>", "</b>", "<b>"};
    for (int n = 1; n <= 6; ++n) {
        const scrape::SiteTable& t = builtInSiteDefinition(n)->table;
        words.emplace_back(t.pageMarker);
        words.emplace_back(t.itemAnchor);
        for (const scrape::Step& s : t.steps) {
            for (std::string_view m : {s.start.marker, s.start.next, s.end.marker, s.end.behind, s.cursorTo, s.listEnd,
                                       s.entryEnd, s.tags[0], s.tags[1]})
                if (!m.empty()) words.emplace_back(m);
        }
    }
    return words;
}

std::string mutate(std::string page, std::mt19937& random, const std::vector<std::string>& words) {
    auto pick = [&](size_t n) { return n == 0 ? size_t{0} : static_cast<size_t>(random() % n); };
    const int edits = 1 + static_cast<int>(random() % 8);
    for (int e = 0; e < edits; ++e) {
        const size_t at = pick(page.size() + 1);
        switch (random() % 6) {
            case 0:  // a random byte
                if (!page.empty()) page[pick(page.size())] = static_cast<char>(random());
                break;
            case 1:  // a range removed
                page.erase(at, pick(200));
                break;
            case 2:  // a range repeated
                page.insert(at, page.substr(pick(page.size() + 1), pick(400)));
                break;
            case 3:  // a marker dropped in
                page.insert(at, words[pick(words.size())]);
                break;
            case 4: {  // every occurrence of one marker broken
                const std::string& word = words[pick(words.size())];
                for (size_t w = page.find(word); w != std::string::npos; w = page.find(word, w)) page.erase(w, 1);
                break;
            }
            default:  // cut short
                page.resize(at);
                break;
        }
    }
    return page;
}

TEST_F(Robustness, ThousandsOfMutatedPagesOfEverySite) {
    constexpr int kMutants = 4000;
    const std::vector<std::string> words = dictionary();
    std::mt19937 random(20240601);
    for (int site = 1; site <= 6; ++site) {
        for (int i = 0; i < kMutants; ++i) {
            std::string page = mutate(fixtures[site - 1], random, words);
            if (page.size() > kRegionBytes) page.resize(kRegionBytes);
            const std::string_view placed = i % 2 ? regions[site - 1]->atEnd(page) : regions[site - 1]->atStart(page);
            scrape(site, placed, i % 3 != 0, "site " + std::to_string(site) + " mutant " + std::to_string(i));
            if (HasFatalFailure()) return;
        }
    }
    EXPECT_EQ(scrapes, 6 * kMutants);
}

TEST_F(Robustness, PagesOfNothingButMarkers) {
    const std::vector<std::string> words = dictionary();
    std::mt19937 random(7);
    for (int site = 1; site <= 6; ++site) {
        for (int i = 0; i < 300; ++i) {
            std::string page;
            while (page.size() < 2000) page += words[random() % words.size()];
            scrape(site, regions[site - 1]->atEnd(page), i % 2 == 0,
                   "site " + std::to_string(site) + " soup " + std::to_string(i));
            if (HasFatalFailure()) return;
        }
    }
}

}  // namespace
}  // namespace lanqi

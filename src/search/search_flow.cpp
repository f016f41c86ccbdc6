#include "search/search_flow.h"

#include <algorithm>
#include <future>

#include "platform/product.h"
#include "scrape/scrape.h"
#include "search/site_catalogue.h"

namespace lanqi {
namespace {

// A hostile page can print a total of billions; the selector lists at most this many pages so that
// filling it can never freeze the window. The title still shows the computed page count.
constexpr long long kMaxPageItems = 10000;

const Text& searchingText() {
    static const Text t = gbk(u8" --- 正在搜索，请稍等......");
    return t;
}

const Text& nextCaptionText() {
    static const Text t = gbk(u8"下一页");
    return t;
}

const Text& forceSearchCaptionText() {
    static const Text t = gbk(u8"强力搜");
    return t;
}

Text completedStatus(const SearchState& s) {
    static const Text a = gbk(u8" --- 搜索完成，共");
    static const Text b = gbk(u8"页，");
    static const Text c = gbk(u8"个结果 - 第");
    static const Text d = gbk(u8"页 ");
    return a + decimalText(s.pageCount) + b + decimalText(s.resultCount) + c + s.currentPage + d +
           s.records.skippedSites;
}

long long currentPageNumber(const SearchState& s) { return leadingInteger(s.currentPage); }

}  // namespace

long long pageCountFor(long long total) { return total / 60 + (total % 60 != 0 ? 1 : 0); }

SearchFlow::SearchFlow(SearchView& view, PageFetcher& fetcher, EventPump& events)
    : m_view(view), m_fetcher(fetcher), m_events(events) {}

void SearchFlow::writeStatus(const Text& text) { m_view.setWindowTitle(titlePrefix() + text); }

void SearchFlow::startSearch() {
    if (m_running) return;
    m_running = true;
    m_state.currentPage = "1";
    prepare();
    m_running = false;
}

void SearchFlow::goToNextPage() {
    if (m_running) return;
    m_running = true;
    writeStatus(searchingText());
    m_state.currentPage = decimalText(currentPageNumber(m_state) + 1);
    if (m_view.nextCaption() == forceSearchCaptionText()) m_view.addPageItem(m_state.currentPage);
    prepare();
    m_view.selectPageItem(static_cast<int>(std::clamp<long long>(currentPageNumber(m_state) - 1, -1, INT32_MAX)));
    m_running = false;
}

void SearchFlow::goToPreviousPage() {
    if (m_running) return;
    m_running = true;
    writeStatus(searchingText());
    m_state.currentPage = decimalText(currentPageNumber(m_state) - 1);
    prepare();
    m_view.selectPageItem(static_cast<int>(std::clamp<long long>(currentPageNumber(m_state) - 1, -1, INT32_MAX)));
    m_running = false;
}

void SearchFlow::goToSelectedPage(int itemPosition) {
    if (m_running) return;
    m_running = true;
    writeStatus(searchingText());
    m_state.currentPage = decimalText(static_cast<long long>(itemPosition) + 1);
    prepare();
    m_running = false;
}

void SearchFlow::prepare() {
    // The box is read again on every page change: an edited keyword is what the next page searches.
    m_state.encodedKeyword = encodeKeyword(m_view.searchText());
    m_state.searchUrls = buildSearchUrls(m_state.encodedKeyword, m_state.currentPage);
    writeStatus(searchingText());
    runSearch();
}

void SearchFlow::runSearch() {
    resetRun();
    fetchAndScrape();
    finishRun();
}

void SearchFlow::resetRun() {
    m_view.setPreviousVisible(false);
    m_view.setNextVisible(false);
    m_view.setPageSelectorVisible(false);
    if (m_state.currentPage == "1") m_view.clearPageItems();
    RunRecords& r = m_state.records;
    r.detailTexts.clear();
    r.magnetLinks.clear();
    r.siteTotal1 = r.siteTotal3 = r.siteTotal5 = r.siteTotal6 = 0;
    m_view.setBannerVisible(false);
    m_state.pageCount = 0;
    r.rowsAdded = 0;
    r.currentSite = 0;
    r.unreachableSites.clear();
    r.emptySites.clear();
    r.skippedSites.clear();
    m_view.resultRows().clearResultRows();
    m_figures = {};
}

void SearchFlow::fetchAndScrape() {
    using Clock = std::chrono::steady_clock;
    struct Fetched {
        Bytes page;
        std::chrono::milliseconds took{0};
    };
    auto fetchOne = [this](const Text& address) {
        const auto start = Clock::now();
        Fetched f{m_fetcher.fetch(address), {}};
        f.took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
        return f;
    };

    // All six requests go out in catalogue order before the first page is scraped.
    std::array<std::future<Fetched>, 6> pending;
    if (m_fetchMode == FetchMode::Concurrent) {
        for (int n = 1; n <= 6; ++n) {
            const Text& address = m_state.searchUrls[static_cast<size_t>(n - 1)];
            if (m_observer.requestIssued) m_observer.requestIssued(n, address);
            pending[static_cast<size_t>(n - 1)] = std::async(std::launch::async, fetchOne, address);
        }
    }

    ScrapeContext context{m_state.records, m_view.resultRows(), m_view, m_events};
    for (int n = 1; n <= 6; ++n) {
        const size_t i = static_cast<size_t>(n - 1);
        Fetched fetched;
        if (m_fetchMode == FetchMode::Concurrent) {
            // Keep the window painting while this site's page is still on its way.
            while (pending[i].wait_for(std::chrono::milliseconds(4)) != std::future_status::ready)
                m_events.processPendingEvents();
            fetched = pending[i].get();
        } else {
            if (m_observer.requestIssued) m_observer.requestIssued(n, m_state.searchUrls[i]);
            fetched = fetchOne(m_state.searchUrls[i]);
        }
        // A page enters its buffer only now, so the earlier sites' scrapes saw the previous run's page.
        m_state.records.sitePages[i] = std::move(fetched.page);
        m_state.records.currentSite = n;
        const int rowsBefore = m_state.records.rowsAdded;
        scrapeSitePage(context);
        m_figures[i] = {fetched.took, m_state.records.sitePages[i].size(), m_state.records.rowsAdded - rowsBefore};
    }
}

void SearchFlow::finishRun() {
    RunRecords& r = m_state.records;
    if (r.unreachableSites == "123456" || r.emptySites == "123456") {
        const bool unreachable = r.unreachableSites == "123456";
        static const Text unreachableStatus = gbk(u8" --- 连接服务器失败");
        static const Text unreachableMessage =
            gbk(u8"连接服务器失败：请检查网络连接。如果您的网络正常，则有可能我们的服务器正在维护中，请稍后重试。");
        static const Text unreachableCaption = gbk(u8"网络错误");
        static const Text emptyStatus = gbk(u8" --- 未搜索到结果");
        static const Text emptyMessage = gbk(u8"未搜索到结果：请换个关键词重试。");
        static const Text emptyCaption = gbk(u8"搜索失败");
        m_view.applyLayout(SearchLayout::Home);
        m_state.currentPage = "0";
        m_lastOutcome = unreachable ? RunOutcome::Unreachable : RunOutcome::NoResults;
        writeStatus(unreachable ? unreachableStatus : emptyStatus);
        if (m_observer.runFinished) m_observer.runFinished(m_lastOutcome);
        if (unreachable)
            m_view.showModalMessage(unreachableMessage, unreachableCaption, MessageIcon::Error);
        else
            m_view.showModalMessage(emptyMessage, emptyCaption, MessageIcon::Information);
        m_view.setBannerVisible(true);
        return;
    }

    const long long total = static_cast<long long>(r.siteTotal1) + r.siteTotal3 + r.siteTotal5 + r.siteTotal6;
    m_state.pageCount = pageCountFor(total);
    m_state.resultCount = total + 20 * m_state.pageCount;
    const long long page = currentPageNumber(m_state);

    if (page <= 1) {
        const long long items = std::min(m_state.pageCount, kMaxPageItems);
        for (long long item = 1; item <= items; ++item) {
            m_view.addPageItem(decimalText(item));
            m_events.processPendingEvents();
        }
        m_view.selectPageItem(static_cast<int>(page - 1));
    }
    if (m_state.pageCount >= 0) {
        m_view.applyLayout(SearchLayout::Results);
        m_view.setNextCaption(page < m_state.pageCount ? nextCaptionText() : forceSearchCaptionText());
        m_view.setNextVisible(true);
        m_view.setPreviousVisible(page > 1);
        m_view.setPageSelectorVisible(true);
    } else {
        // Only negative totals printed by a site give a negative page count.
        m_view.applyLayout(SearchLayout::Home);
    }
    m_lastOutcome = RunOutcome::Completed;
    writeStatus(completedStatus(m_state));
    if (m_observer.runFinished) m_observer.runFinished(m_lastOutcome);
}

}  // namespace lanqi

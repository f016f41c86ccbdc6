#include "search/search_flow.h"

#include <algorithm>
#include <climits>
#include <system_error>

#include "platform/product.h"
#include "scrape/byte_search.h"
#include "scrape/scrape.h"
#include "search/site_catalogue.h"

namespace lanqi {
namespace {

using Clock = std::chrono::steady_clock;

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

Text completedStatus(const SearchState& s, bool stopped) {
    static const Text completed = gbk(u8" --- 搜索完成，共");
    static const Text stoppedText = gbk(u8" --- 搜索已停止，共");
    const Text& a = stopped ? stoppedText : completed;
    static const Text b = gbk(u8"页，");
    static const Text c = gbk(u8"个结果 - 第");
    static const Text d = gbk(u8"页 ");
    return a + decimalText(s.pageCount) + b + decimalText(s.resultCount) + c + s.currentPage + d +
           s.records.skippedSites;
}

long long currentPageNumber(const SearchState& s) { return leadingInteger(s.currentPage); }

SiteFailure failureOf(const SiteRecord& record) {
    switch (record.fetchFailure) {
        case FetchFailure::Refused:
            return SiteFailure::Refused;
        case FetchFailure::TimedOut:
            return SiteFailure::TimedOut;
        case FetchFailure::HostNotFound:
            return SiteFailure::HostNotFound;
        case FetchFailure::Tls:
            return SiteFailure::Tls;
        default:
            return SiteFailure::NoAnswer;
    }
}

// Where slot `slot` stands, from its record in the run (`running`: the run is still in progress).
SiteStatus statusOf(int slot, const SiteRecord& record, bool running) {
    SiteStatus status;
    status.slot = slot;
    status.took = record.fetchTime;
    status.rows = record.rows;
    if (record.disabled) {
        status.state = SiteState::Off;
    } else if (record.stopped) {
        status.state = SiteState::Stopped;
    } else if (!record.scraped) {
        status.state = running ? SiteState::Waiting : SiteState::Idle;
    } else if (record.bytes == 0) {
        status.state = SiteState::Failed;
        status.failure = failureOf(record);
    } else if (!record.pageRecognised) {
        // The run's checks look at every slot's page; the strip judges each slot by its own.
        status.state = SiteState::Failed;
        status.failure = SiteFailure::NotResultPage;
    } else {
        status.state = SiteState::Done;
    }
    return status;
}

}  // namespace

long long pageCountFor(long long total) { return total / 60 + (total % 60 != 0 ? 1 : 0); }

Text progressTitle(int rowsAdded) { return titlePrefix() + searchingText() + decimalText(rowsAdded) + "%"; }

SearchFlow::SearchFlow(PageFetcher& fetcher, TaskPoster& poster, SearchSites sites)
    : m_fetcher(fetcher), m_poster(poster), m_sites(std::move(sites)) {
    m_screen.title = titlePrefix();
    m_screen.nextCaption = nextCaptionText();
    showSites();
}

SearchFlow::~SearchFlow() {
    cancelRun();
    joinWorkers();
}

void SearchFlow::joinWorkers() {
    for (Worker& worker : m_workers) worker.thread.join();
    m_workers.clear();
}

void SearchFlow::joinFinishedWorkers() {
    // A thread whose work is over ends at once: joining it waits for nothing.
    std::erase_if(m_workers, [](Worker& worker) {
        if (!worker.done->load()) return false;
        worker.thread.join();
        return true;
    });
}

void SearchFlow::useSites(SearchSites sites) {
    m_sites = std::move(sites);
    if (m_running || !m_state.searchUrls.empty()) return;  // the strip shows the run's slots
    showSites();
    announce();
}

void SearchFlow::showSites() {
    const bool ran = !m_state.searchUrls.empty();
    const size_t slots = ran ? m_state.runSites.size() : m_sites.size();
    m_screen.sites.resize(slots);
    for (size_t i = 0; i < slots; ++i) {
        if (ran && i < m_state.records.sites.size()) {
            m_screen.sites[i] = statusOf(static_cast<int>(i + 1), m_state.records.sites[i], m_running);
        } else {
            m_screen.sites[i] =
                SiteStatus{static_cast<int>(i + 1), m_sites[i].searched() ? SiteState::Idle : SiteState::Off};
        }
    }
    m_screen.stoppable = m_running && !m_screen.message;
    m_changes |= kSitesChanged;
}

void SearchFlow::showSite(int site) {
    const size_t i = static_cast<size_t>(site - 1);
    if (i >= m_screen.sites.size() || i >= m_state.records.sites.size()) return;
    m_screen.sites[i] = statusOf(site, m_state.records.sites[i], m_running);
    m_changes |= kSitesChanged;
}

void SearchFlow::announce() {
    const unsigned changes = m_changes;
    m_changes = 0;
    if (changes != 0 && m_listener) m_listener(changes);
}

void SearchFlow::setStatus(const Text& text) {
    m_screen.title = titlePrefix() + text;
    m_changes |= kTitleChanged;
}

bool SearchFlow::beginCommand() {
    if (m_running || m_shutDown) return false;
    m_running = true;
    m_selectPageAfterRun = false;
    return true;
}

void SearchFlow::startSearch(const Text& keyword) {
    if (m_running && !m_screen.message && !m_shutDown) abandonRun();
    if (!beginCommand()) return;
    m_state.currentPage = "1";
    prepare(keyword);
}

void SearchFlow::goToNextPage(const Text& keyword) {
    if (!beginCommand()) return;
    setStatus(searchingText());
    m_state.currentPage = decimalText(currentPageNumber(m_state) + 1);
    if (m_screen.nextCaption == forceSearchCaptionText()) {
        m_screen.pageItems.push_back(m_state.currentPage);
        m_changes |= kPageItemsChanged;
    }
    m_selectPageAfterRun = true;
    prepare(keyword);
}

void SearchFlow::goToPreviousPage(const Text& keyword) {
    if (!beginCommand()) return;
    setStatus(searchingText());
    m_state.currentPage = decimalText(currentPageNumber(m_state) - 1);
    m_selectPageAfterRun = true;
    prepare(keyword);
}

void SearchFlow::goToSelectedPage(int itemPosition, const Text& keyword) {
    if (!beginCommand()) return;
    selectPageItem(itemPosition);  // what the selector shows is the user's choice
    setStatus(searchingText());
    m_state.currentPage = decimalText(static_cast<long long>(itemPosition) + 1);
    prepare(keyword);
}

void SearchFlow::selectPageItem(long long index) {
    const long long last = static_cast<long long>(m_screen.pageItems.size()) - 1;
    const int selected = index < 0 || last < 0 ? -1 : static_cast<int>(std::min(index, last));
    if (selected == m_screen.selectedPageItem) return;
    m_screen.selectedPageItem = selected;
    m_changes |= kPageSelectionChanged;
}

void SearchFlow::prepare(const Text& keyword) {
    m_state.encodedKeyword = encodeKeyword(keyword);
    m_state.runSites = m_sites;  // the run's own: a settings change meanwhile is for the next run
    m_state.sites = definitionsOf(m_state.runSites);
    m_state.searchUrls = buildSearchUrls(m_state.runSites, m_state.encodedKeyword, m_state.currentPage);
    setStatus(searchingText());
    resetRun();
    announce();
    const int slots = static_cast<int>(m_state.runSites.size());
    if (slots == 0) return finishRun();
    if (m_fetchMode == FetchMode::Concurrent) {
        // Every request goes out in slot order before the first page is scraped.
        for (int n = 1; n <= slots; ++n) requestSite(n);
    } else {
        requestSite(1);
    }
}

void SearchFlow::resetRun() {
    joinFinishedWorkers();
    m_screen.previousVisible = m_screen.nextVisible = m_screen.pageSelectorVisible = false;
    m_changes |= kSearchRowChanged;
    if (m_state.currentPage == "1") {
        m_screen.pageItems.clear();
        m_changes |= kPageItemsChanged;
        selectPageItem(-1);
    }
    // Every run is judged on its own pages: a page of the previous run must not pass this run's checks. The
    // totals, the digit texts and each slot's record start empty too.
    m_state.records.reset(m_state.runSites.size());
    m_screen.bannerVisible = false;
    m_changes |= kBannerChanged;
    m_state.pageCount = 0;
    m_screen.results.clear();
    m_screen.selectedResult = -1;
    m_changes |= kResultsCleared | kResultSelectionChanged;

    ++m_generation;
    m_nextSite = 1;
    m_arrived.assign(m_state.runSites.size(), std::nullopt);
    m_cancel = std::make_shared<CancelToken>();
    for (size_t i = 0; i < m_state.runSites.size(); ++i)
        m_state.records.sites[i].disabled = !m_state.runSites[i].searched();
    showSites();
}

void SearchFlow::requestSite(int site) {
    if (m_state.runSites[static_cast<size_t>(site - 1)].searched()) return issueFetch(site);
    // A slot the user switched off is not fetched: its page is one that did not arrive.
    m_state.records.sites[static_cast<size_t>(site - 1)].disabled = true;
    m_poster.post([this, alive = std::weak_ptr<const bool>(m_alive), generation = m_generation, site] {
        if (alive.lock()) pageArrived(generation, site, Arrival{});
    });
}

void SearchFlow::issueFetch(int site) {
    const Text& address = m_state.searchUrls[static_cast<size_t>(site - 1)];
    if (m_observer.requestIssued) m_observer.requestIssued(site, address);
    auto done = std::make_shared<std::atomic<bool>>(false);
    // The flow outlives every fetch it started: it joins each thread, at the latest when it goes.
    auto work = [this, site, address, generation = m_generation, cancel = m_cancel, done,
                 alive = std::weak_ptr<const bool>(m_alive)] {
        const auto start = Clock::now();
        FetchOutcome fetched = m_fetcher.fetch(address, *cancel);
        Arrival arrival{std::move(fetched.body), fetched.failure, {}};
        arrival.took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
        if (!cancel->cancelled()) {
            m_poster.post([this, alive, generation, site, arrival = std::move(arrival)]() mutable {
                if (alive.lock()) pageArrived(generation, site, std::move(arrival));
            });
        }
        done->store(true);
    };
    try {
        m_workers.push_back({std::thread(std::move(work)), done});
        return;
    } catch (const std::system_error&) {
    }
    // No thread for the fetch: the slot's page is one that did not arrive.
    m_poster.post([this, alive = std::weak_ptr<const bool>(m_alive), generation = m_generation, site] {
        if (alive.lock()) pageArrived(generation, site, Arrival{{}, FetchFailure::Other, {}});
    });
}

void SearchFlow::pageArrived(unsigned generation, int site, Arrival arrival) {
    if (generation != m_generation || !m_running || m_cancel->cancelled()) return;  // an abandoned run
    m_arrived[static_cast<size_t>(site - 1)] = std::move(arrival);
    const int slots = static_cast<int>(m_arrived.size());
    while (m_nextSite <= slots && m_arrived[static_cast<size_t>(m_nextSite - 1)]) {
        const int n = m_nextSite++;
        scrapeSite(n, std::move(*m_arrived[static_cast<size_t>(n - 1)]));
        m_arrived[static_cast<size_t>(n - 1)].reset();
        if (m_fetchMode == FetchMode::Sequential && n < slots) requestSite(n + 1);
    }
    if (m_nextSite > slots) finishRun();
}

void SearchFlow::scrapeSite(int site, Arrival arrival) {
    RunRecords& r = m_state.records;
    const size_t i = static_cast<size_t>(site - 1);
    // A page enters its buffer only now, so the earlier sites' scrapes saw the previous run's page.
    r.sitePages[i] = std::move(arrival.page);
    r.currentSite = site;
    SitePageScrape scrape = scrapeSitePage(m_state.sites, site, r.pages());
    recordSitePage(r, scrape);
    SiteRecord& record = r.sites[i];
    record.fetchTime = arrival.took;
    record.bytes = r.sitePages[i].size();
    record.fetchFailure = arrival.failure;
    const SiteDefinition* definition = i < m_state.sites.size() ? m_state.sites[i].get() : nullptr;
    record.pageRecognised = definition != nullptr && findFrom(r.sitePages[i], definition->pageMarkerInPage) > 0;
    if (record.disabled) {
        record.reason = "switched off";
    } else if (record.bytes == 0) {
        record.reason = "no page arrived";
    }
    const int rows = record.rows;
    if (rows > 0) {
        m_screen.results.insert(m_screen.results.end(), std::make_move_iterator(scrape.items.begin()),
                                std::make_move_iterator(scrape.items.end()));
        r.rowsAdded = r.rowsAdded > INT_MAX - rows ? INT_MAX : r.rowsAdded + rows;
        m_screen.title = progressTitle(r.rowsAdded);
        m_changes |= kResultsAdded | kTitleChanged;
    }
    showSite(site);
    announce();
}

void SearchFlow::stopRun() {
    if (!m_running || m_screen.message || !m_cancel || m_shutDown) return;
    m_cancel->cancel();  // the fetches still out give up; nothing waits for them
    const int slots = static_cast<int>(m_arrived.size());
    for (int n = m_nextSite; n <= slots; ++n) {
        std::optional<Arrival>& arrived = m_arrived[static_cast<size_t>(n - 1)];
        if (arrived) {
            scrapeSite(n, std::move(*arrived));
            arrived.reset();
            continue;
        }
        SiteRecord& record = m_state.records.sites[static_cast<size_t>(n - 1)];
        if (record.disabled) continue;
        record.stopped = true;
        record.reason = "stopped";
    }
    m_nextSite = slots + 1;
    ++m_generation;  // pages still on their way belong to no run now
    finishRun(true);
}

void SearchFlow::abandonRun() {
    if (m_cancel) m_cancel->cancel();
    ++m_generation;
    endRun();
}

void SearchFlow::finishRun(bool stopped) {
    RunRecords& r = m_state.records;
    // With the six built-in slots: unreachableSites or emptySites is exactly "123456". A stopped run is never
    // blamed on the network or the keyword.
    const bool unreachable = !stopped && everySiteEndedIn(r, SiteOutcome::NoPage);
    if (unreachable || (!stopped && everySiteEndedIn(r, SiteOutcome::NoItems))) {
        static const Text unreachableStatus = gbk(u8" --- 连接服务器失败");
        static const ScreenMessage unreachableMessage{
            gbk(u8"连接服务器失败：请检查网络连接。如果您的网络正常，则有可能我们的服务器正在维护中，请稍后重试。"),
            gbk(u8"网络错误"), MessageIcon::Error};
        static const Text emptyStatus = gbk(u8" --- 未搜索到结果");
        static const ScreenMessage emptyMessage{gbk(u8"未搜索到结果：请换个关键词重试。"), gbk(u8"搜索失败"),
                                                MessageIcon::Information};
        m_screen.layout = SearchLayout::Home;
        m_changes |= kSearchRowChanged;
        m_state.currentPage = "0";
        m_lastOutcome = unreachable ? RunOutcome::Unreachable : RunOutcome::NoResults;
        setStatus(unreachable ? unreachableStatus : emptyStatus);
        if (m_observer.runFinished) m_observer.runFinished(m_lastOutcome);
        // The banner comes back when the message is closed; until then the run is still in progress.
        m_screen.message = unreachable ? unreachableMessage : emptyMessage;
        m_changes |= kMessageChanged;
        if (m_selectPageAfterRun) selectPageItem(currentPageNumber(m_state) - 1);
        showSites();
        announce();
        return;
    }

    // Every slot whose definition reads a total adds it (of the built-in six: Site1, Site3, Site5, Site6).
    const long long total = addTotals(r);
    m_state.pageCount = pageCountFor(total);
    m_state.resultCount = total + 20 * m_state.pageCount;
    const long long page = currentPageNumber(m_state);

    if (page <= 1) {
        const long long items = std::min(m_state.pageCount, kMaxPageItems);
        for (long long item = 1; item <= items; ++item) m_screen.pageItems.push_back(decimalText(item));
        if (items > 0) m_changes |= kPageItemsChanged;
        selectPageItem(page - 1);
    }
    if (m_state.pageCount >= 0) {
        m_screen.layout = SearchLayout::Results;
        m_screen.nextCaption = page < m_state.pageCount ? nextCaptionText() : forceSearchCaptionText();
        m_screen.nextVisible = true;
        m_screen.previousVisible = page > 1;
        m_screen.pageSelectorVisible = true;
    } else {
        // Only negative totals printed by a site give a negative page count.
        m_screen.layout = SearchLayout::Home;
    }
    m_changes |= kSearchRowChanged;
    m_lastOutcome = stopped ? RunOutcome::Stopped : RunOutcome::Completed;
    setStatus(completedStatus(m_state, stopped));
    if (m_selectPageAfterRun) selectPageItem(page - 1);
    endRun();
    showSites();
    if (m_observer.runFinished) m_observer.runFinished(m_lastOutcome);
    announce();
}

void SearchFlow::endRun() {
    m_running = false;
    m_cancel.reset();
}

void SearchFlow::acknowledgeMessage() {
    if (!m_screen.message) return;
    m_screen.message.reset();
    m_screen.bannerVisible = true;
    m_changes |= kMessageChanged | kBannerChanged;
    endRun();
    showSites();
    announce();
}

void SearchFlow::selectResult(int row) {
    const int selected = row >= 0 && static_cast<size_t>(row) < m_screen.results.size() ? row : -1;
    if (selected == m_screen.selectedResult) return;
    m_screen.selectedResult = selected;
    m_changes |= kResultSelectionChanged;
    announce();
}

const ResultItem* SearchFlow::selectedResult() const {
    const int row = m_screen.selectedResult;
    return row >= 0 && static_cast<size_t>(row) < m_screen.results.size() ? &m_screen.results[static_cast<size_t>(row)]
                                                                          : nullptr;
}

void SearchFlow::cancelRun() {
    if (m_cancel) m_cancel->cancel();
    if (!m_running) return;
    ++m_generation;  // pages still on their way belong to no run now
    m_screen.message.reset();
    endRun();
    showSites();
}

void SearchFlow::shutDown() {
    m_shutDown = true;
    cancelRun();
}

}  // namespace lanqi

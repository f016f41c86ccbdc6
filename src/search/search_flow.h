#pragma once

#include <array>
#include <chrono>
#include <functional>

#include "platform/events.h"
#include "scrape/run_records.h"
#include "search/page_fetcher.h"
#include "search/search_view.h"

namespace lanqi {

// The state of the search flow. It lives as long as the main window and is shared with the result
// actions, which read `records.magnetLinks` and `records.detailTexts` by the selected row.
struct SearchState {
    Text currentPage;  // decimal; "1" on a new search, "0" after a run that ended in failure
    Text encodedKeyword;
    std::array<Text, 6> searchUrls;
    long long pageCount = 0;  // 64-bit: the four site totals are added without overflow
    long long resultCount = 0;
    RunRecords records;
};

enum class RunOutcome { Completed, Unreachable, NoResults };

// What happened to one site in the last run.
struct SiteRunFigures {
    std::chrono::milliseconds fetchTime{0};
    std::size_t bytes = 0;
    int rows = 0;
};

// Optional hooks for front ends that report a run in detail (lanqi-cli). Called on the UI thread.
struct SearchObserver {
    std::function<void(int site, const Text& address)> requestIssued;
    std::function<void(RunOutcome outcome)> runFinished;
};

enum class FetchMode {
    Concurrent,  // the six fetches run at once; sites are still placed and scraped in catalogue order
    Sequential,  // one fetch after the other (the reference behaviour, kept for measurement)
};

// The commands of the search row and the run they end in. Every command is ignored while a run is in
// progress (events are processed during a run, so a click can arrive in the middle of one).
class SearchFlow {
  public:
    SearchFlow(SearchView& view, PageFetcher& fetcher, EventPump& events);

    void startSearch();                       // Enter in 搜索框, or 按钮1
    void goToNextPage();                      // 按钮3
    void goToPreviousPage();                  // 按钮2
    void goToSelectedPage(int itemPosition);  // the user chose item `itemPosition` of 组合框1

    bool running() const { return m_running; }
    const SearchState& state() const { return m_state; }
    SearchState& state() { return m_state; }
    RunOutcome lastOutcome() const { return m_lastOutcome; }
    const std::array<SiteRunFigures, 6>& siteFigures() const { return m_figures; }

    void setObserver(SearchObserver observer) { m_observer = std::move(observer); }
    void setFetchMode(FetchMode mode) { m_fetchMode = mode; }

  private:
    void prepare();
    void runSearch();
    void resetRun();
    void fetchAndScrape();
    void finishRun();
    void writeStatus(const Text& text);

    SearchView& m_view;
    PageFetcher& m_fetcher;
    EventPump& m_events;
    SearchState m_state;
    SearchObserver m_observer;
    FetchMode m_fetchMode = FetchMode::Concurrent;
    RunOutcome m_lastOutcome = RunOutcome::Completed;
    std::array<SiteRunFigures, 6> m_figures{};
    bool m_running = false;
};

// Pages for a total: the quotient by 60, plus one when there is a remainder.
long long pageCountFor(long long total);

}  // namespace lanqi

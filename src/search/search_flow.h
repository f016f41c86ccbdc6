#pragma once

#include <array>
#include <chrono>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

#include "platform/events.h"
#include "scrape/run_records.h"
#include "scrape/site_definition.h"
#include "search/page_fetcher.h"
#include "search/search_screen.h"
#include "search/site_catalogue.h"

namespace lanqi {

// The state of the search flow beyond what the window shows.
struct SearchState {
    Text currentPage;  // decimal; "1" on a new search, "0" after a run that ended in failure
    Text encodedKeyword;
    std::vector<Text> searchUrls;  // one per slot, in slot order
    SearchSites runSites;          // the slots this run fetches (bases, switches, definitions), taken when it starts
    SiteSlots sites;               // the same slots' definitions, as the scrapes read them
    long long pageCount = 0;       // 64-bit: the slots' totals are added without overflow
    long long resultCount = 0;
    RunRecords records;
};

enum class RunOutcome { Completed, Unreachable, NoResults, Stopped };

// Optional hooks for front ends that report a run in detail (lanqi-cli). Called on the UI thread.
struct SearchObserver {
    std::function<void(int site, const Text& address)> requestIssued;
    std::function<void(RunOutcome outcome)> runFinished;
};

enum class FetchMode {
    Concurrent,  // every slot's fetch runs at once; slots are still placed and scraped in slot order
    Sequential,  // one fetch after the other (the reference behaviour, kept for measurement)
};

// The commands of the search row and the run they start, over the slots the flow is handed (at start, and
// again whenever the settings change: useSites). A run keeps the slots it started with. A slot switched off
// (or without a base or definition) is not fetched: its page is one that did not arrive. Everything runs on the
// user-interface thread except the fetches: they run on worker threads and hand their pages back through `poster`; each
// page is placed and scraped on the UI thread, strictly in catalogue order, and the screen is announced after every
// change. A run is in progress from its command until its outcome is shown (for a failure, until its
// message is closed). A new search (startSearch) meanwhile abandons the run and starts its own; the page
// commands that arrive meanwhile are ignored; stopRun ends it with what arrived.
class SearchFlow {
  public:
    SearchFlow(PageFetcher& fetcher, TaskPoster& poster, SearchSites sites);
    ~SearchFlow();  // cancels a run in progress and waits for its fetches to give up
    SearchFlow(const SearchFlow&) = delete;
    SearchFlow& operator=(const SearchFlow&) = delete;

    // Each takes the keyword as 搜索框 holds it now (GBK): a page change searches an edited keyword.
    // startSearch during a run (but not while its failure message is up) abandons that run first.
    void startSearch(const Text& keyword);                         // Enter in 搜索框, or 按钮1
    void goToNextPage(const Text& keyword);                        // 按钮3
    void goToPreviousPage(const Text& keyword);                    // 按钮2
    void goToSelectedPage(int itemPosition, const Text& keyword);  // the user chose an item of 组合框1

    // The slots the next command's run fetches; a run in progress keeps its own.
    void useSites(SearchSites sites);
    const SearchSites& sites() const { return m_sites; }

    // The user closed the message on the screen.
    void acknowledgeMessage();
    // The user selected row `row` of the results list (-1: none).
    void selectResult(int row);
    // The selected row's result, or null when none is selected.
    const ResultItem* selectedResult() const;

    // 停止 or Esc: the fetches still out are cancelled; the pages that arrived are placed in slot order, the
    // slots still waiting are marked stopped, and the run ends as a completed one whose title says it was
    // stopped (never a failure message). Nothing while no run is in progress or its message is up.
    void stopRun();
    // Ends the run in progress at once: its fetches are cancelled and nothing more of it is shown.
    void cancelRun();
    // cancelRun, and every later command is ignored: the program is ending.
    void shutDown();

    bool running() const { return m_running; }
    const SearchScreen& screen() const { return m_screen; }
    const SearchState& state() const { return m_state; }
    RunOutcome lastOutcome() const { return m_lastOutcome; }
    // What each slot of the last run gave, in slot order.
    const std::vector<SiteRecord>& siteFigures() const { return m_state.records.sites; }

    // Called with the changed parts (ScreenChange bits) after every change of the screen.
    void setScreenListener(std::function<void(unsigned changes)> listener) { m_listener = std::move(listener); }
    void setObserver(SearchObserver observer) { m_observer = std::move(observer); }
    void setFetchMode(FetchMode mode) { m_fetchMode = mode; }

  private:
    struct Arrival {
        Bytes page;
        FetchFailure failure = FetchFailure::None;
        std::chrono::milliseconds took{0};
    };
    // A fetch thread and whether its work is over. Finished threads are joined when a run starts; the rest,
    // those of a stopped or abandoned run still giving up, when the flow goes.
    struct Worker {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> done;
    };

    bool beginCommand();
    void setStatus(const Text& text);
    void prepare(const Text& keyword);
    void resetRun();
    void requestSite(int site);
    void issueFetch(int site);
    void pageArrived(unsigned generation, int site, Arrival arrival);
    void scrapeSite(int site, Arrival arrival);
    void finishRun(bool stopped = false);
    void abandonRun();
    void showSites();
    void showSite(int site);
    void endRun();
    void selectPageItem(long long index);
    void announce();
    void joinWorkers();
    void joinFinishedWorkers();

    PageFetcher& m_fetcher;
    TaskPoster& m_poster;
    SearchScreen m_screen;
    SearchSites m_sites;
    SearchState m_state;
    SearchObserver m_observer;
    std::function<void(unsigned)> m_listener;
    FetchMode m_fetchMode = FetchMode::Concurrent;
    RunOutcome m_lastOutcome = RunOutcome::Completed;
    unsigned m_changes = 0;

    bool m_running = false;
    bool m_shutDown = false;
    bool m_selectPageAfterRun = false;
    unsigned m_generation = 0;  // the run a posted page belongs to
    int m_nextSite = 1;         // the next slot to place and scrape
    std::vector<std::optional<Arrival>> m_arrived;
    std::shared_ptr<CancelToken> m_cancel;
    std::vector<Worker> m_workers;
    std::shared_ptr<const bool> m_alive = std::make_shared<const bool>(true);  // posted tasks check it
};

// Pages for a total: the quotient by 60, plus one when there is a remainder.
long long pageCountFor(long long total);

// The window title while a run adds rows: titlePrefix + " --- 正在搜索，请稍等......" + count + "%" (the
// count of rows so far in this run, not a percentage).
Text progressTitle(int rowsAdded);

}  // namespace lanqi

// lanqi-cli: the search flow without a window.
//
//   lanqi-cli [--json] KEYWORD [next | prev | page N]...
//
// KEYWORD (UTF-8 from the terminal) is typed into the search box as GBK and searched; each further
// command then presses 下一页, 上一页 or chooses item N-1 of the page selector. A command whose control
// is not shown at that moment is a usage error, as it could not be pressed in the window either.
// Exit code: 0 when every run completed, 2 when a run ended in a failure message, 1 on bad usage.
#include <chrono>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/core/json_writer.h"
#include "platform/events.h"
#include "search/search_flow.h"

namespace {

using namespace lanqi;

struct Command {
    enum Kind { Next, Previous, Page } kind;
    int page = 0;
};

int usage(const char* message) {
    if (message != nullptr) std::fprintf(stderr, "lanqi-cli: %s\n", message);
    std::fprintf(stderr, "usage: lanqi-cli [--json] KEYWORD [next | prev | page N]...\n");
    return 1;
}

const char* kindName(int fileKind) {
    switch (fileKind) {
        case 0:
            return "archive";
        case 3:
            return "video";
        default:
            return "other";
    }
}

std::string jsonTextArray(const std::vector<Text>& items) {
    std::string out = "[";
    for (size_t i = 0; i < items.size(); ++i) {
        if (i > 0) out.push_back(',');
        appendJsonString(out, utf8(items[i]));
    }
    return out + "]";
}

// A page's text as a terminal may show it: every control character (C0, DEL and C1, which would start
// escape sequences that retitle or reprogram the terminal) becomes U+FFFD.
std::string printable(const std::string& utf8Text) {
    std::string out;
    out.reserve(utf8Text.size());
    for (size_t i = 0; i < utf8Text.size(); ++i) {
        const auto c = static_cast<unsigned char>(utf8Text[i]);
        const bool c1 = c == 0xC2 && i + 1 < utf8Text.size() && static_cast<unsigned char>(utf8Text[i + 1]) >= 0x80 &&
                        static_cast<unsigned char>(utf8Text[i + 1]) <= 0x9F;
        if (c < 0x20 || c == 0x7F || c1) {
            out += "\xEF\xBF\xBD";
            if (c1) ++i;
        } else {
            out.push_back(static_cast<char>(c));
        }
    }
    return out;
}

void printMessage(bool json, const ScreenMessage& message) {
    if (json) {
        JsonObject o;
        o.text("event", "message")
            .text("caption", utf8(message.caption))
            .text("text", utf8(message.text))
            .text("icon", message.icon == MessageIcon::Error ? "error" : "information");
        std::printf("%s\n", o.str().c_str());
    } else {
        std::printf("[%s] %s\n", utf8(message.caption).c_str(), utf8(message.text).c_str());
    }
    std::fflush(stdout);
}

void printRows(bool json, const SearchScreen& screen) {
    const auto& rows = screen.results;
    for (size_t i = 0; i < rows.size(); ++i) {
        const ResultItem& item = rows[i];
        if (json) {
            JsonObject o;
            o.text("event", "row")
                .number("row", static_cast<long long>(i))
                .text("title", utf8(item.title))
                .number("fileKind", item.fileKind)
                .text("magnetLink", utf8(item.magnetLink))
                .text("detailText", utf8(item.detailText));
            std::printf("%s\n", o.str().c_str());
        } else {
            std::printf("%4zu  %-7s  %s  %s\n", i, kindName(item.fileKind), printable(utf8(item.title)).c_str(),
                        printable(utf8(item.magnetLink)).c_str());
        }
    }
}

void printDone(bool json, const SearchFlow& flow) {
    const SearchState& s = flow.state();
    const SearchScreen& screen = flow.screen();
    if (!json) {
        std::printf("%s\n", printable(utf8(screen.title)).c_str());
        std::fflush(stdout);
        return;
    }
    std::string sites = "[";
    for (int n = 1; n <= 6; ++n) {
        const auto& f = flow.siteFigures()[static_cast<size_t>(n - 1)];
        JsonObject o;
        o.number("site", n)
            .number("ms", f.fetchTime.count())
            .number("bytes", static_cast<long long>(f.bytes))
            .number("rows", f.rows);
        if (n > 1) sites.push_back(',');
        sites += o.str();
    }
    sites += "]";
    JsonObject o;
    o.text("event", "done")
        .text("title", utf8(screen.title))
        .text("currentPage", s.currentPage)
        .number("pageCount", s.pageCount)
        .number("resultCount", s.resultCount)
        .raw("pageItems", jsonTextArray(screen.pageItems))
        .number("selectedItem", screen.selectedPageItem)
        .text("nextCaption", utf8(screen.nextCaption))
        .boolean("prevVisible", screen.previousVisible)
        .boolean("pagingVisible", screen.nextVisible && screen.pageSelectorVisible)
        .text("layout", screen.layout == SearchLayout::Home ? "home" : "results")
        .text("unreachableSites", s.records.unreachableSites)
        .text("emptySites", s.records.emptySites)
        .text("skippedSites", s.records.skippedSites)
        .raw("sites", sites);
    std::printf("%s\n", o.str().c_str());
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    std::vector<std::string> args(argv + 1, argv + argc);
    bool json = false;
    if (!args.empty() && args.front() == "--json") {
        json = true;
        args.erase(args.begin());
    }
    if (args.empty()) return usage("a keyword is needed (it may be empty: \"\")");
    const std::string keyword = args.front();

    std::vector<Command> commands;
    for (size_t i = 1; i < args.size(); ++i) {
        if (args[i] == "next") {
            commands.push_back({Command::Next});
        } else if (args[i] == "prev") {
            commands.push_back({Command::Previous});
        } else if (args[i] == "page" && i + 1 < args.size()) {
            char* end = nullptr;
            const long n = std::strtol(args[i + 1].c_str(), &end, 10);
            if (end == args[i + 1].c_str() || *end != '\0' || n < 1 || n > 1000000)
                return usage("page takes a number from 1");
            commands.push_back({Command::Page, static_cast<int>(n)});
            ++i;
        } else {
            return usage(("unknown command: " + args[i]).c_str());
        }
    }

    const Text gbkKeyword = gbk(keyword);
    if (gbkKeyword.empty() && !keyword.empty()) {
        std::fprintf(stderr,
                     "lanqi-cli: the keyword has characters that cannot be searched (the sites take GBK "
                     "text): nothing was searched\n");
        return 1;
    }

    HttpPageFetcher fetcher;
    TaskQueue queue;
    SearchFlow flow(fetcher, queue);
    flow.setScreenListener([&flow, json](unsigned changes) {
        if ((changes & kMessageChanged) != 0 && flow.screen().message) printMessage(json, *flow.screen().message);
    });
    if (json) {
        flow.setObserver({[](int site, const Text& address) {
                              JsonObject o;
                              o.text("event", "request").number("site", site).text("url", address);
                              std::printf("%s\n", o.str().c_str());
                              std::fflush(stdout);
                          },
                          {}});
    }

    // Runs the pages back to the flow until its run has ended; a message counts as read once printed.
    int exitCode = 0;
    auto finish = [&] {
        while (flow.running()) {
            if (flow.screen().message) {
                flow.acknowledgeMessage();
            } else {
                queue.runPending(std::chrono::milliseconds(100));
            }
        }
        printRows(json, flow.screen());
        printDone(json, flow);
        if (flow.lastOutcome() != RunOutcome::Completed) exitCode = 2;
    };

    flow.startSearch(gbkKeyword);
    finish();
    for (const Command& c : commands) {
        const SearchScreen& screen = flow.screen();
        switch (c.kind) {
            case Command::Next:
                if (!screen.nextVisible) return usage("next: the next-page button is not shown now");
                flow.goToNextPage(gbkKeyword);
                break;
            case Command::Previous:
                if (!screen.previousVisible) return usage("prev: the previous-page button is not shown now");
                flow.goToPreviousPage(gbkKeyword);
                break;
            case Command::Page:
                if (!screen.pageSelectorVisible || c.page > static_cast<long long>(screen.pageItems.size()))
                    return usage(("page: the page selector has no item " + std::to_string(c.page)).c_str());
                flow.goToSelectedPage(c.page - 1, gbkKeyword);
                break;
        }
        finish();
    }
    return exitCode;
}

// lanqi-cli: the search flow without a window.
//
//   lanqi-cli [--json] [--filter EXPR] [--sort KEY[:asc|:desc]] [--unique] [--] KEYWORD [next | prev | page N]...
//   lanqi-cli [--json] sites
//   lanqi-cli sites --export FILE | --import FILE [--dry-run]
//   lanqi-cli [--json] check-site DEFINITION PAGE_FILE
//   lanqi-cli [--json] swarm [--timeout S] [--tracker URL]... [--bootstrap HOST:PORT]... HASH_OR_MAGNET...
//
// KEYWORD (UTF-8 from the terminal) is typed into the search box as GBK and searched; each further command
// then presses 下一页, 上一页 or chooses item N-1 of the page selector. Options may stand anywhere; "--" ends
// them. Everything is checked before the first request; results go to stdout, warnings and errors to stderr.
// --filter, --sort and --unique show each run's rows as the results list's view does (search/result_query.h);
// the rows are printed when the run ends, so a sort or one row per torrent sees all of them.

#include <CLI/CLI.hpp>
#include <chrono>
#include <cmath>
#include <map>
#include <set>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/core/json_output.h"
#include "app/core/site_bundle.h"
#include "platform/console.h"
#include "platform/events.h"
#include "platform/files.h"
#include "platform/product.h"
#include "platform/settings.h"
#include "scrape/result_entry.h"
#include "scrape/scrape.h"
#include "search/result_query.h"
#include "search/search_flow.h"
#include "search/site_catalogue.h"
#include "swarm/swarm_check.h"
#include "swarm/torrent_swarm.h"

namespace {

using namespace lanqi;

enum ExitCode : int {
    kCompleted = 0,    // every run completed and every site answered
    kUsage = 1,        // bad arguments, or a command the window could not take at that moment
    kUnreachable = 2,  // a run in which no site answered ("连接服务器失败")
    kNoResults = 3,    // a run in which no site had results ("未搜索到结果")
    kPartial = 4,      // every run completed, but from some site no page arrived
    kNoSites = 5,      // no search site is set up: every slot that is on holds a placeholder address
};

const char* const kFooter =
#ifdef _WIN32
    R"(Settings: %XDG_CONFIG_HOME%\lanqi-search\config.toml (else %APPDATA%\lanqi-search\config.toml);
)"
#else
    R"(Settings: $XDG_CONFIG_HOME/lanqi-search/config.toml (else ~/.config/lanqi-search/config.toml);
)"
#endif
    R"(LANQI_SITE1_BASE ... LANQI_SITE6_BASE (and LANQI_SITE<n>_BASE for a slot [site<n>] of the file, up to
32) win over it. "lanqi-cli sites" shows what is in use. A keyword
that is also a subcommand's name is searched after "--" (lanqi-cli -- sites).
"lanqi-cli sites --export FILE" writes the file's slots and the definition files they name as one site
bundle (FILE "-": stdout) to hand to someone; "lanqi-cli sites --import FILE" prints the changes a bundle
makes (one per line), then makes them: its slots replace the file's, its definitions go into the sites
folder, and the previous files are kept as .bak (--dry-run: print only). A bundle with any problem is
refused whole (exit 1), each problem on stderr as FILE:LINE: problem.
Site definitions: site1 ... site6 are built in; NAME.toml in the "sites" folder beside the settings file
adds NAME, or replaces a built-in one of the same name. "lanqi-cli check-site DEFINITION PAGE_FILE"
scrapes a saved page with a definition (a NAME or a .toml file) and prints its outcome, total and rows
(exit 0: rows, 1: a broken definition, 2: not the site's page, 3: no rows).

Swarm check: "lanqi-cli swarm HASH_OR_MAGNET..." asks the BitTorrent network (the DHT and the trackers of
[swarm] in the settings, or those of --tracker and --bootstrap; --listen for [swarm] listen) about each info-hash (40 hex digits, 32
base32 letters, or a magnet link): peers found, the trackers' seeds and leechers, and the torrent's name and
files, fetched from a peer. Nothing else is downloaded and nothing is uploaded, but the other peers and the
trackers see this computer's address: running the command is consent to that, whatever [swarm] enabled says.
One line per hash as its check ends (--timeout S: each check's time limit, else [swarm] timeout, 20 s):
  HASH  2 seeds · 1 leechers · 3 peers  NAME  (3 files, 272.5 KiB)
("?" for figures no tracker gave, "-" for a name no peer sent); with --json
  {"event":"swarm","hash":...,"peers":N,"seeds":N|null,"leechers":N|null,"name":...|null,
   "files":[{"path":...,"size":N}],"totalSize":N|null,"seconds":S}  (and "problem" when a check could not run)
Exit 0: every hash had a peer or its metadata; 3: none had; 4: some had; 1: bad usage.
"--swarm N" with a search checks the first N rows of each run the same way and adds the figures to those rows
(after the title in the table; a "swarm" object in each row's JSON).

Commands, run one after the other after the search of KEYWORD:
  next      press 下一页 (or 强力搜): the next page of all six sites
  prev      press 上一页: the previous page (not on page 1)
  page N    choose page N in the page selector (N from 1)

Output: one line per result (row, site, size, date, title, magnet link) and the window title after each run;
with --json one JSON object per line: "request", "row", "message" and "done" events.

Filter, sort and one row per torrent, for each run's rows ("row" stays the row's number in the run):
  --filter 'big -mkv "blu ray" size>700M size<4G files>1 kind:video|archive site:3|site2 after:2024-06 before:2025'
      every term must hold: words and "phrases" in the title (any case, full-width alike), -word excludes;
      size in bytes (K M G T are 1024-based, 1.5G); the file count; the kind; the slot or the definition it
      runs; on or after the start of a year, month or day, or before its start. A row without the size, count
      or date a term reads does not match it.
  --sort KEY[:asc|:desc]   size, date and files largest first unless :asc; title, site and kind ascending
      unless :desc; ties keep run order, rows without the key come last.
  --unique   one row per hash where its first row was, with the slots that had it (the site column; "sites"
      and "rows" in JSON) and the longest file list of its rows. With any of the three, "done" has "view".
A term or key that cannot be read is bad usage (exit 1).

Exit codes:
  0  every run completed and every site answered
  1  bad usage or bad settings (nothing was searched), or a command the window could not take then
  2  a run in which no site answered (连接服务器失败)
  3  a run in which no site had results (未搜索到结果)
  4  every run completed, but from some site no page arrived
  5  no search site is set up yet (every slot that is on holds a built-in placeholder address): nothing was
     searched; set the sites in the settings file (or 站点设置) and see them with "lanqi-cli sites"
With several commands the first run that failed decides (2 or 3). A caller that wants any results
treats 0 and 4 as success.)";

struct Command {
    enum Kind { Next, Previous, Page } kind;
    long long page = 0;
};

std::string printable(const std::string& utf8Text);
Json swarmJson(const SwarmReport& report);
std::string swarmFigures(const SwarmReport& report);

// A saved page is read whole when it has at most this many bytes.
constexpr std::size_t kMaxPageFileBytes = std::size_t{64} << 20;

int usageError(const std::string& message) {
    std::fprintf(stderr, "lanqi-cli: %s\nRun lanqi-cli --help for the usage.\n", printable(message).c_str());
    return kUsage;
}

// The commands after the keyword, checked as far as they can be before anything is fetched: "prev" needs a
// page before the current one, "page" a number from 1.
std::optional<std::vector<Command>> parseCommands(const std::vector<std::string>& words, std::string& error) {
    std::vector<Command> commands;
    long long page = 1;
    for (size_t i = 0; i < words.size(); ++i) {
        const std::string& word = words[i];
        if (word == "next") {
            commands.push_back({Command::Next});
            ++page;
        } else if (word == "prev") {
            if (page <= 1) {
                error = "prev: there is no page before page 1 (command " + std::to_string(commands.size() + 1) + ")";
                return std::nullopt;
            }
            commands.push_back({Command::Previous});
            --page;
        } else if (word == "page") {
            char* end = nullptr;
            const std::string number = i + 1 < words.size() ? words[i + 1] : std::string();
            const long long n = std::strtoll(number.c_str(), &end, 10);
            if (number.empty() || *end != '\0' || n < 1 || n > 1000000) {
                error = "page takes a page number from 1";
                return std::nullopt;
            }
            commands.push_back({Command::Page, n});
            page = n;
            ++i;
        } else {
            error = "unknown command: " + word;
            return std::nullopt;
        }
    }
    return commands;
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

// Columns a character takes in a terminal: two for the wide East Asian ranges, else one.
int columnsOf(char32_t c) {
    const bool wide = (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF) || (c >= 0xAC00 && c <= 0xD7A3) ||
                      (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60) ||
                      (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x20000 && c <= 0x3FFFD);
    return wide ? 2 : 1;
}

// `text` (valid UTF-8) cut to at most `columns` terminal columns, ending in "…" when cut.
std::string elide(const std::string& text, int columns) {
    std::vector<std::pair<size_t, int>> ends;  // each character's end byte and width
    int total = 0;
    for (size_t i = 0; i < text.size();) {
        const auto b = static_cast<unsigned char>(text[i]);
        const size_t n = b < 0x80 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
        char32_t c = n == 1 ? b : b & (0xFF >> (n + 1));
        for (size_t k = 1; k < n && i + k < text.size(); ++k) c = (c << 6) | (text[i + k] & 0x3F);
        i = std::min(text.size(), i + n);
        ends.emplace_back(i, columnsOf(c));
        total += ends.back().second;
    }
    if (total <= columns) return text;
    int used = 0;
    size_t cut = 0;
    for (const auto& [end, width] : ends) {
        if (used + width > columns - 1) break;  // one column stays for "…"
        used += width;
        cut = end;
    }
    return text.substr(0, cut) + "\xE2\x80\xA6";
}

// A size as {"text", "bytes"}; null when the site printed none.
Json sizeJson(const Text& text, const std::optional<unsigned long long>& bytes) {
    if (text.empty()) return nullptr;
    Json j;
    j["text"] = utf8(text);
    j["bytes"] = bytes ? Json(*bytes) : Json(nullptr);
    return j;
}

Json textOrNull(const Text& text) { return text.empty() ? Json(nullptr) : Json(utf8(text)); }

// What --filter, --sort and --unique ask of the rows.
struct ViewOptions {
    ResultFilter filter;
    SortOrder order;
    bool unique = false;
    SiteNames names;

    bool active() const { return !filter.terms.empty() || order.key != SortKey::Run || unique; }
};

// "1,3": the slots of a row with one row per torrent.
std::string siteList(std::span<const int> sites) {
    std::string out;
    for (int site : sites) out += (out.empty() ? "" : ",") + std::to_string(site);
    return out;
}

class Output {
  public:
    explicit Output(bool json, ViewOptions view = {})
        : m_json(json), m_columns(json ? 0 : terminalColumns()), m_view(std::move(view)) {}

    // The swarm figures of the rows checked (--swarm N), by hash.
    void setSwarm(std::map<std::string, SwarmReport> reports) { m_swarm = std::move(reports); }

    void request(int site, const Text& address) const {
        if (!m_json) return;
        Json o;
        o["event"] = "request";
        o["site"] = site;
        o["url"] = address;
        emit(o);
    }

    void message(const ScreenMessage& message) const {
        const std::string caption = utf8(message.caption);
        const std::string text = utf8(message.text);
        std::fprintf(stderr, "lanqi-cli: [%s] %s\n", caption.c_str(), text.c_str());
        if (!m_json) return;
        Json o;
        o["event"] = "message";
        o["caption"] = caption;
        o["text"] = text;
        o["icon"] = message.icon == MessageIcon::Error ? "error" : "information";
        emit(o);
    }

    void rows(const SearchScreen& screen) const {
        if (!m_view.active()) {
            for (size_t i = 0; i < screen.results.size(); ++i) {
                const ResultItem& item = screen.results[i];
                if (m_json) {
                    emit(withSwarm(rowJson(i, item, item), item));
                } else {
                    row(i, item, std::to_string(item.site));
                }
            }
            return;
        }
        const ResultView view = viewRows(screen.results, m_view.filter, m_view.order, m_view.unique, m_view.names);
        m_shown = view.shown();
        m_total = view.total;
        size_t siteWidth = 1;
        if (m_view.unique)
            for (const ViewEntry& entry : view.entries)
                siteWidth = std::max(siteWidth, siteList(view.sitesOf(entry)).size());
        for (const ViewEntry& entry : view.entries) {
            const ResultItem& item = screen.results[entry.row];
            if (m_json) {
                Json o = rowJson(entry.row, item, screen.results[entry.filesRow]);
                if (m_view.unique) {
                    o["sites"] = Json(std::vector<int>(view.sitesOf(entry).begin(), view.sitesOf(entry).end()));
                    o["rows"] = Json(std::vector<size_t>(view.rowsOf(entry).begin(), view.rowsOf(entry).end()));
                }
                emit(withSwarm(std::move(o), item));
            } else {
                std::string sites = m_view.unique ? siteList(view.sitesOf(entry)) : std::to_string(item.site);
                sites.resize(std::max(sites.size(), siteWidth), ' ');
                row(entry.row, item, sites);
            }
        }
    }

    void done(const SearchFlow& flow) const {
        const SearchState& s = flow.state();
        const SearchScreen& screen = flow.screen();
        if (!m_json) {
            std::printf("%s\n", printable(utf8(screen.title)).c_str());
            std::fflush(stdout);
            return;
        }
        Json sites = Json::array();
        for (size_t k = 0; k < flow.siteFigures().size(); ++k) {
            const SiteRecord& f = flow.siteFigures()[k];
            Json o;
            o["site"] = k + 1;
            o["ms"] = f.fetchTime.count();
            o["bytes"] = f.bytes;
            o["rows"] = f.rows;
            sites.push_back(o);
        }
        Json pageItems = Json::array();
        for (const Text& item : screen.pageItems) pageItems.push_back(utf8(item));
        Json o;
        o["event"] = "done";
        o["title"] = utf8(screen.title);
        o["currentPage"] = s.currentPage;
        o["pageCount"] = s.pageCount;
        o["resultCount"] = s.resultCount;
        o["pageItems"] = pageItems;
        o["selectedItem"] = screen.selectedPageItem;
        o["nextCaption"] = utf8(screen.nextCaption);
        o["prevVisible"] = screen.previousVisible;
        o["pagingVisible"] = screen.nextVisible && screen.pageSelectorVisible;
        o["layout"] = screen.layout == SearchLayout::Home ? "home" : "results";
        o["unreachableSites"] = s.records.unreachableSites;
        o["emptySites"] = s.records.emptySites;
        o["skippedSites"] = s.records.skippedSites;
        o["sites"] = sites;
        if (m_view.active()) o["view"] = {{"shown", m_shown}, {"total", m_total}};
        emit(o);
    }

  private:
    const SwarmReport* swarmOf(const ResultItem& item) const {
        const auto hash = parseInfoHash(utf8(item.magnetLink));
        if (!hash) return nullptr;
        const auto it = m_swarm.find(*hash);
        return it == m_swarm.end() ? nullptr : &it->second;
    }

    Json withSwarm(Json o, const ResultItem& item) const {
        if (const SwarmReport* report = swarmOf(item)) {
            Json swarm = swarmJson(*report);
            swarm.erase("event");
            swarm.erase("hash");
            o["swarm"] = swarm;
        }
        return o;
    }

    // A row's event; its file list is `filesOf`'s (with one row per torrent, the longest of its rows).
    static Json rowJson(size_t i, const ResultItem& item, const ResultItem& filesOf) {
        Json o;
        o["event"] = "row";
        o["row"] = i;
        o["title"] = utf8(item.title);
        o["fileKind"] = item.fileKind;
        o["magnetLink"] = utf8(item.magnetLink);
        o["detailText"] = utf8(item.detailText);
        o["site"] = item.site;
        o["size"] = sizeJson(item.sizeText, item.sizeBytes);
        o["date"] = textOrNull(item.dateText);
        o["fileCount"] = item.fileCount ? Json(*item.fileCount) : Json(nullptr);
        Json files = Json::array();
        for (const ListedFile& file : filesOf.files) {
            if (file.entry.empty()) continue;
            Json f;
            f["name"] = utf8(file.name);
            f["size"] = sizeJson(file.sizeText, file.sizeBytes);
            files.push_back(f);
        }
        o["files"] = files;
        o["hash"] = textOrNull(item.hashKey);
        o["displayTitle"] = utf8(decodeCharacterReferences(item.title));  // as the window shows it
        return o;
    }

    static void emit(const Json& value) {
        std::printf("%s\n", jsonLine(value).c_str());
        std::fflush(stdout);
    }

    // "   0  1  archive     3.9GB  2021-11-08  title  magnet:?xt=urn:btih:…"; on a terminal the title is cut so
    // that the line fits. `sites` is the site column: the slot, or a torrent's slots ("1,3").
    void row(size_t i, const ResultItem& item, const std::string& sites) const {
        char head[96 + 3 * kMaxSiteSlots];
        std::snprintf(head, sizeof head, "%4zu  %s  %-7s  %10s  %-10s  ", i, sites.c_str(), kindName(item.fileKind),
                      item.sizeText.empty() ? "-" : printable(utf8(item.sizeText)).substr(0, 10).c_str(),
                      item.dateText.empty() ? "-" : printable(utf8(item.dateText)).substr(0, 10).c_str());
        const std::string link = printable(utf8(item.magnetLink));
        std::string title = printable(utf8(decodeCharacterReferences(item.title)));
        if (const SwarmReport* report = swarmOf(item)) title += "  [" + swarmFigures(*report) + "]";
        if (m_columns > 0) {
            const int room =
                m_columns - static_cast<int>(std::string_view(head).size()) - 2 - static_cast<int>(link.size());
            title = elide(title, std::max(room, 12));
        }
        std::printf("%s%s  %s\n", head, title.c_str(), link.c_str());
    }

    bool m_json;
    int m_columns;
    ViewOptions m_view;
    mutable size_t m_shown = 0;  // the last view's entries, and the entries before its filter
    mutable size_t m_total = 0;
    std::map<std::string, SwarmReport> m_swarm;
};

const char* originName(SettingOrigin origin) {
    switch (origin) {
        case SettingOrigin::File:
            return "file";
        case SettingOrigin::Environment:
            return "environment";
        case SettingOrigin::BuiltIn:
            break;
    }
    return "built-in";
}

// "lanqi-cli sites": every slot and the two services as the settings make them, and where each value came
// from.
void listSites(bool json, const Settings& settings, const SiteSlots& definitions) {
    if (!json) std::printf("slot   enabled          definition               base\n");
    for (size_t k = 0; k < settings.sites.size(); ++k) {
        const int n = static_cast<int>(k + 1);
        const SiteSlotSettings& site = settings.sites[k];
        const SiteDefinitionPtr definition = k < definitions.size() ? definitions[k] : nullptr;
        if (json) {
            Json o;
            o["event"] = "site";
            o["slot"] = n;
            o["enabled"] = site.enabled;
            o["enabledFrom"] = originName(site.enabledFrom);
            o["definition"] = site.definition;
            o["definitionFrom"] = originName(site.definitionFrom);
            o["definitionFile"] = definition != nullptr ? Json(definition->source) : Json(nullptr);
            o["base"] = site.base;
            o["baseFrom"] = originName(site.baseFrom);
            std::printf("%s\n", jsonLine(o).c_str());
        } else {
            const std::string enabled =
                std::string(site.enabled ? "yes" : "no") + " (" + originName(site.enabledFrom) + ")";
            const std::string named = (site.definition.empty() ? std::string("-") : site.definition) + " (" +
                                      originName(site.definitionFrom) + ")";
            std::printf("site%-2d %-16s %-24s %s (%s)\n", n, enabled.c_str(), named.c_str(),
                        printable(site.base).c_str(), originName(site.baseFrom));
        }
    }
    const std::pair<const char*, std::pair<const Text*, SettingOrigin>> services[] = {
        {"vendor", {&settings.vendorBase, settings.vendorFrom}}, {"play", {&settings.playBase, settings.playFrom}}};
    for (const auto& [name, value] : services) {
        if (json) {
            Json o;
            o["event"] = "service";
            o["name"] = name;
            o["base"] = *value.first;
            o["baseFrom"] = originName(value.second);
            std::printf("%s\n", jsonLine(o).c_str());
        } else {
            std::printf("%-48s %s (%s)\n", name, printable(*value.first).c_str(), originName(value.second));
        }
    }
    std::fflush(stdout);
}

// "lanqi-cli sites --export FILE": the settings file's own slots (the environment's values left out) and the
// user's definition files they name, as a site bundle. Settings with problems are not exported.
int exportSites(const std::string& file) {
    LoadedSettings loaded = loadSettings(settingsFilePath(), false);
    loadSiteDefinitions(loaded.settings, loaded.problems);
    if (!loaded.problems.empty()) {
        std::fprintf(stderr, "lanqi-cli: bad settings; nothing was exported:\n");
        for (const SettingsProblem& problem : loaded.problems)
            std::fprintf(stderr, "%s\n", printable(problem.where(loaded.file) + ": " + problem.english()).c_str());
        return kUsage;
    }
    std::string error;
    if (file == "-") {
        const std::string bundle = exportSiteBundle(loaded.settings, error);
        if (bundle.empty()) return usageError(error);
        std::fwrite(bundle.data(), 1, bundle.size(), stdout);
        std::fflush(stdout);
        return kCompleted;
    }
    if (!exportSiteBundleFile(file, loaded.settings, error)) return usageError(error);
    std::fprintf(stderr, "lanqi-cli: wrote the site bundle %s\n", printable(file).c_str());
    return kCompleted;
}

// "lanqi-cli sites --import FILE [--dry-run]": the changes a site bundle makes, one per line on stdout, then
// (unless --dry-run) made. A bundle with any problem is refused whole: each problem on stderr, nothing written.
int importSites(const std::string& file, bool dryRun) {
    const SiteImportPlan plan = planSiteImport(file);
    if (plan.refused()) {
        std::fprintf(stderr, "lanqi-cli: the site bundle has problems; nothing was imported:\n");
        for (const SettingsProblem& problem : plan.problems)
            std::fprintf(stderr, "%s\n", printable(problem.where(plan.bundle) + ": " + problem.english()).c_str());
        return kUsage;
    }
    for (const SiteImportChange& change : plan.changes) std::printf("%s\n", printable(change.english).c_str());
    std::fflush(stdout);
    if (plan.changes.empty()) std::fprintf(stderr, "lanqi-cli: the site bundle changes nothing\n");
    if (dryRun) return kCompleted;
    std::string error;
    if (!plan.apply(error)) {
        std::fprintf(stderr, "lanqi-cli: the import failed: %s\n", printable(error).c_str());
        return kUsage;
    }
    std::fprintf(stderr, "lanqi-cli: imported %s into %s\n", printable(file).c_str(),
                 printable(plan.settingsFile).c_str());
    for (const std::string& backup : plan.backups)
        std::fprintf(stderr, "lanqi-cli: the previous file is kept as %s\n", printable(backup).c_str());
    return kCompleted;
}

// "lanqi-cli check-site": one saved page scraped on its own with a definition, as a definition's author checks
// it: the outcome, the total it prints, then its rows. Exit 0 when the page gave rows, 3 when it was recognised
// but gave none, 2 when it was not recognised as the site's page, 1 on bad usage.
int checkSite(bool json, const std::string& definition, const std::string& pageFile, const Settings& settings,
              const ViewOptions& view) {
    // A name is found as the settings find it; anything else is read as a definition file.
    std::vector<SettingsProblem> problems;
    const bool isFile = !isDefinitionName(definition);
    const SiteDefinitionPtr read =
        isFile ? readSiteDefinitionFile(definition, utf8FromPath(pathFromUtf8(definition).stem()), problems)
               : findSiteDefinition(definition, problems);
    if (read == nullptr) {
        for (const SettingsProblem& problem : problems)
            std::fprintf(stderr, "lanqi-cli: %s\n", printable(problem.where("") + ": " + problem.english()).c_str());
        if (problems.empty())
            return usageError("unknown site definition: " + definition + " (site1 ... site6, a NAME.toml in " +
                              userSiteDefinitionFolder() + ", or a .toml file)");
        return kUsage;
    }
    // The page reads as the slot's that the settings give this definition, else a built-in name's own, else 1.
    int site = 0;
    for (int n = static_cast<int>(settings.sites.size()); n >= 1; --n)
        if (settings.sites[static_cast<size_t>(n - 1)].definition == read->name) site = n;
    for (int n = 1; n <= kBuiltInSiteSlots && site == 0; ++n)
        if (read->name == "site" + std::to_string(n)) site = n;
    if (site == 0) site = 1;
    // Only a regular file is read (a FIFO is never waited for), of at most 64 MiB.
    Bytes page;
    switch (readSmallFile(pageFile, kMaxPageFileBytes, page)) {
        case FileRead::Read:
            break;
        case FileRead::Folder:
            return usageError("cannot read " + pageFile + ": it is a folder");
        case FileRead::NotAFile:
            return usageError("cannot read " + pageFile + ": it is not a regular file (a FIFO, a device or a socket)");
        case FileRead::TooLarge:
            return usageError("cannot read " + pageFile + ": it is larger than 64 MiB");
        case FileRead::LinkLoop:
            return usageError("cannot read " + pageFile + ": it is a symbolic link that loops");
        case FileRead::Missing:
        case FileRead::Unreadable:
            return usageError("cannot read " + pageFile);
    }

    std::vector<std::string_view> pages(static_cast<size_t>(site));
    pages[static_cast<size_t>(site - 1)] = page;
    SiteSlots slots(static_cast<size_t>(site));
    slots[static_cast<size_t>(site - 1)] = read;
    const SitePageScrape scrape = scrapeSitePage(slots, site, pages);
    const char* outcome = scrape.outcome == SiteOutcome::Scraped   ? "scraped"
                          : scrape.outcome == SiteOutcome::NoItems ? "no-items"
                                                                   : "not-recognised";
    SearchScreen screen;
    screen.results = scrape.items;
    if (json) {
        Json o;
        o["event"] = "page";
        o["definition"] = definition;
        o["outcome"] = outcome;
        o["total"] = scrape.printsTotal ? Json(scrape.total) : Json(nullptr);
        o["rows"] = scrape.items.size();
        o["skipped"] = scrape.skippedItems;
        std::printf("%s\n", jsonLine(o).c_str());
    } else {
        std::printf("%s: %s, total %s, %zu rows, %d skipped\n", definition.c_str(), outcome,
                    scrape.printsTotal ? std::to_string(scrape.total).c_str() : "-", scrape.items.size(),
                    scrape.skippedItems);
    }
    Output(json, view).rows(screen);
    std::fflush(stdout);
    if (scrape.outcome == SiteOutcome::NoPage) return kUnreachable;
    return scrape.items.empty() ? kNoResults : kCompleted;
}

// --sort's KEY[:asc|:desc]; nothing when it is not one.
std::optional<SortOrder> sortOrderOf(const std::string& text) {
    const size_t colon = text.find(':');
    const auto key = sortKeyNamed(std::string_view(text).substr(0, colon));
    if (!key) return std::nullopt;
    SortOrder order{*key, descendingByDefault(*key)};
    if (colon == std::string::npos) return order;
    const std::string direction = text.substr(colon + 1);
    if (direction != "asc" && direction != "desc") return std::nullopt;
    order.descending = direction == "desc";
    return order;
}

// --filter's expression (the console's text, as KEYWORD) read as the results list reads it; every term that
// cannot be read is named in `error`.
std::optional<ResultFilter> filterOf(const std::string& expression, const SiteNames& names, std::string& error) {
    const Text text = gbk(expression);
    if (text.empty() && !expression.empty()) {
        error = "the filter has characters GBK lacks";
        return std::nullopt;
    }
    FilterParse parse = parseFilter(text, names);
    for (const FilterProblem& problem : parse.problems)
        error += (error.empty() ? "" : "; ") + std::string("bad filter term \"") + utf8(problem.term) +
                 "\": " + problem.english();
    if (!error.empty()) return std::nullopt;
    return std::move(parse.filter);
}

// The exit code a finished run adds to the ones before it: the first failed run decides.
// "272.5 KiB": a size in 1024-based units.
std::string humanSize(std::uint64_t bytes) {
    static const char* const kUnits[] = {"B", "KiB", "MiB", "GiB", "TiB"};
    double value = static_cast<double>(bytes);
    int unit = 0;
    while (value >= 1024 && unit < 4) {
        value /= 1024;
        ++unit;
    }
    char text[32];
    if (unit == 0)
        std::snprintf(text, sizeof text, "%llu B", static_cast<unsigned long long>(bytes));
    else
        std::snprintf(text, sizeof text, "%.1f %s", value, kUnits[unit]);
    return text;
}

std::string figure(const std::optional<int>& value) { return value ? std::to_string(*value) : "?"; }

// "2 seeds · 1 leechers · 3 peers"
std::string swarmFigures(const SwarmReport& report) {
    return figure(report.seeds) + " seeds · " + figure(report.leechers) + " leechers · " +
           std::to_string(report.peers) + " peers";
}

Json swarmJson(const SwarmReport& report) {
    Json o;
    o["event"] = "swarm";
    o["hash"] = report.hash;
    o["peers"] = report.peers;
    o["seeds"] = report.seeds ? Json(*report.seeds) : Json(nullptr);
    o["leechers"] = report.leechers ? Json(*report.leechers) : Json(nullptr);
    o["name"] = report.name ? Json(*report.name) : Json(nullptr);
    Json files = Json::array();
    for (const SwarmFile& file : report.files) files.push_back({{"path", file.path}, {"size", file.size}});
    o["files"] = files;
    o["totalSize"] = report.totalSize ? Json(*report.totalSize) : Json(nullptr);
    o["seconds"] = std::round(report.seconds * 1000) / 1000;
    if (!report.problem.empty()) o["problem"] = report.problem;
    return o;
}

std::string swarmLine(const SwarmReport& report) {
    if (!report.problem.empty()) return report.hash + "  the check could not run: " + report.problem;
    std::string line = report.hash + "  " + swarmFigures(report) + "  " + printable(report.name.value_or("-"));
    if (report.totalSize)
        line += "  (" + std::to_string(report.files.size()) + (report.files.size() == 1 ? " file, " : " files, ") +
                humanSize(*report.totalSize) + ")";
    return line;
}

// The swarm settings the command line asks for: the file's, with --timeout, --tracker and --bootstrap instead
// of its values where given.
struct SwarmOptions {
    int timeout = 0;
    std::vector<std::string> trackers;
    std::vector<std::string> bootstrap;
    std::optional<std::string> listen;
};

std::optional<SwarmSettings> swarmSettingsOf(const Settings& settings, const SwarmOptions& options,
                                             std::string& error) {
    SwarmSettings swarm = settings.swarm;
    if (options.timeout < 0 || options.timeout > 3600) {
        error = "--timeout takes seconds from 1 to 3600";
        return std::nullopt;
    }
    if (options.timeout > 0) swarm.timeoutSeconds = options.timeout;
    if (!options.trackers.empty()) swarm.trackers = options.trackers;
    if (!options.bootstrap.empty()) swarm.dhtBootstrap = options.bootstrap;
    if (options.listen) swarm.listen = *options.listen;
    for (const std::string& tracker : swarm.trackers)
        if (const std::string problem = trackerAddressProblem(tracker); !problem.empty()) {
            error = problem + ": " + tracker;
            return std::nullopt;
        }
    for (const std::string& node : swarm.dhtBootstrap)
        if (const std::string problem = bootstrapNodeProblem(node); !problem.empty()) {
            error = problem + ": " + node;
            return std::nullopt;
        }
    if (!swarmCheckAvailable()) {
        error = "this build has no swarm check (it was built without a BitTorrent library)";
        return std::nullopt;
    }
    return swarm;
}

// Checks every hash (as parseInfoHash gives them) and hands each finished report to `done`, in the order the
// checks end. The reports, by hash.
std::map<std::string, SwarmReport> checkSwarms(const SwarmSettings& settings, const std::vector<std::string>& hashes,
                                               const std::function<void(const SwarmReport&)>& done) {
    std::map<std::string, SwarmReport> finished;
    TaskQueue queue;
    auto checker = makeTorrentSwarmChecker(settings, queue, [&](const SwarmReport& report) {
        if (!report.finished || finished.count(report.hash)) return;
        finished[report.hash] = report;
        if (done) done(report);
    });
    std::set<std::string> distinct(hashes.begin(), hashes.end());
    for (const std::string& hash : hashes) checker->check(hash);
    queue.runUntil([&] { return finished.size() >= distinct.size(); });
    return finished;
}

int swarmCommandRun(bool json, const std::vector<std::string>& arguments, const SwarmSettings& settings) {
    std::vector<std::string> hashes;
    for (const std::string& argument : arguments) hashes.push_back(*parseInfoHash(argument));
    int withPeers = 0;
    const auto reports = checkSwarms(settings, hashes, [&](const SwarmReport& report) {
        if (json)
            std::printf("%s\n", jsonLine(swarmJson(report)).c_str());
        else
            std::printf("%s\n", swarmLine(report).c_str());
        std::fflush(stdout);
        if (report.peers > 0 || report.name) ++withPeers;
    });
    if (withPeers == 0) return kNoResults;
    return withPeers == static_cast<int>(reports.size()) ? kCompleted : kPartial;
}

int outcomeCode(const SearchFlow& flow) {
    switch (flow.lastOutcome()) {
        case RunOutcome::Unreachable:
            return kUnreachable;
        case RunOutcome::NoResults:
            return kNoResults;
        case RunOutcome::Completed:
        case RunOutcome::Stopped:  // lanqi-cli never stops a run; a stopped one counts as a partial one
            break;
    }
    for (const SiteRecord& site : flow.siteFigures())
        if (site.bytes == 0 && !site.disabled) return kPartial;
    return kCompleted;
}

}  // namespace

int main(int argc, char** argv) {
    prepareConsoleOutput();
    CLI::App app(
        "lanqi-cli searches the six magnet-search sites for KEYWORD, as the search box of 岚栖种子搜索神器 "
        "does, and prints the results.",
        "lanqi-cli");
    app.footer(kFooter);
    app.allow_windows_style_options(false);  // "/path" is a path on every system, never an option
    app.set_version_flag("--version", std::string("lanqi-cli ") + kProductVersionText, "Print the version and exit");
    bool json = false;
    app.add_flag("--json", json, "Print JSON Lines instead of the table");
    std::string filterText;
    app.add_option("--filter", filterText,
                   "Show only the rows EXPR keeps: words, -word, \"a phrase\", size>700M, files<50, kind:video, "
                   "site:3, after:2024-06, before:2025 (see below)")
        ->type_name("EXPR");
    std::string sortText;
    app.add_option("--sort", sortText, "Sort each run's rows by size, date, files, title, site or kind (see below)")
        ->type_name("KEY[:asc|:desc]");
    bool unique = false;
    app.add_flag("--unique", unique, "One row per torrent (hash), with the slots that had it");
    std::vector<std::string> words;
    app.add_option("KEYWORD COMMAND", words, "The keyword (UTF-8), then next, prev or page N, in order")
        ->expected(0, -1)
        ->type_name("");
    CLI::App* sitesCommand = app.add_subcommand("sites",
                                                "List the site slots (enabled, definition, base) and the vendor and "
                                                "cloud-play addresses, with where each value came from");
    std::string exportFile;
    sitesCommand
        ->add_option("--export", exportFile,
                     "Write the slots of the settings file and the definition files they name to FILE as a site "
                     "bundle (- for stdout)")
        ->type_name("FILE");
    std::string importFile;
    sitesCommand
        ->add_option("--import", importFile,
                     "Print the changes a site bundle makes, then make them: its slots replace the file's, its "
                     "definitions are written beside it (each replaced file kept as .bak)")
        ->type_name("FILE");
    bool dryRun = false;
    sitesCommand->add_flag("--dry-run", dryRun, "With --import: print the changes only");
    std::string checkDefinition;
    std::string checkPage;
    CLI::App* checkCommand = app.add_subcommand(
        "check-site", "Scrape a saved result page with a site definition and print its outcome, total and rows");
    checkCommand
        ->add_option("DEFINITION", checkDefinition,
                     "The site definition: site1 ... site6, the NAME of a NAME.toml in the sites folder, or "
                     "the path of a .toml file")
        ->required()
        ->type_name("");
    checkCommand->add_option("PAGE_FILE", checkPage, "A result page saved from that site (UTF-8 HTML)")
        ->required()
        ->type_name("");
    int swarmRows = 0;
    app.add_option("--swarm", swarmRows, "Check the swarm of the first N rows of each run (see below)")->type_name("N");
    SwarmOptions swarmOptions;
    app.add_option("--timeout", swarmOptions.timeout, "With swarm or --swarm: each check's time limit in seconds")
        ->type_name("S");
    app.add_option("--tracker", swarmOptions.trackers,
                   "With swarm or --swarm: a tracker's announce address, instead of [swarm] trackers (repeatable)")
        ->allow_extra_args(false)
        ->type_name("URL");
    app.add_option("--bootstrap", swarmOptions.bootstrap,
                   "With swarm or --swarm: a DHT node to start from, instead of [swarm] dht_bootstrap (repeatable)")
        ->allow_extra_args(false)
        ->type_name("HOST:PORT");
    app.add_option("--listen", swarmOptions.listen,
                   "With swarm or --swarm: the interface to listen on (an address, with :PORT if wanted), instead "
                   "of [swarm] listen")
        ->type_name("ADDRESS");
    std::vector<std::string> swarmHashes;
    CLI::App* swarmCommand = app.add_subcommand(
        "swarm", "Ask the BitTorrent network about each hash: peers, seeds, leechers, name and files (see below)");
    swarmCommand->fallthrough();
    swarmCommand->add_option("HASH_OR_MAGNET", swarmHashes, "40 hex digits, 32 base32 letters or a magnet link")
        ->required()
        ->type_name("");
    app.require_subcommand(0, 1);
    try {
        std::vector<std::string> arguments = commandLineArguments(argc, argv);
        std::vector<char*> pointers;
        for (std::string& argument : arguments) pointers.push_back(argument.data());
        app.parse(static_cast<int>(pointers.size()), pointers.data());
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForVersion& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        return usageError(e.what());
    }

    if (*sitesCommand && (!exportFile.empty() || !importFile.empty() || dryRun)) {
        if (!words.empty()) return usageError("sites takes no further words");
        if (!exportFile.empty() && !importFile.empty()) return usageError("sites takes --export or --import, not both");
        if (dryRun && importFile.empty()) return usageError("--dry-run goes with --import");
        return exportFile.empty() ? importSites(importFile, dryRun) : exportSites(exportFile);
    }

    LoadedSettings loaded = loadSettings();
    const SiteSlots definitions = loadSiteDefinitions(loaded.settings, loaded.problems);
    if (!loaded.problems.empty()) {
        // A key or table name is the file's own text: on stderr it may not drive the terminal.
        std::fprintf(stderr, "lanqi-cli: bad settings; these entries keep their built-in values:\n");
        for (const SettingsProblem& problem : loaded.problems)
            std::fprintf(stderr, "%s\n", printable(problem.where(loaded.file) + ": " + problem.english()).c_str());
    }
    if (*swarmCommand) {
        if (!words.empty()) return usageError("swarm takes hashes only");
        for (const std::string& argument : swarmHashes)
            if (!parseInfoHash(argument))
                return usageError("not an info-hash (40 hex digits or 32 base32 letters) or a magnet link with one: " +
                                  argument);
        std::string swarmError;
        const auto swarm = swarmSettingsOf(loaded.settings, swarmOptions, swarmError);
        if (!swarm) return usageError(swarmError);
        if (!loaded.problems.empty()) return kUsage;
        return swarmCommandRun(json, swarmHashes, *swarm);
    }
    if (*sitesCommand) {
        if (!words.empty()) return usageError("sites takes no further words");
        listSites(json, loaded.settings, definitions);
        return loaded.problems.empty() ? kCompleted : kUsage;
    }
    SearchSites sites = searchSites(loaded.settings, definitions);
    ViewOptions view;
    view.unique = unique;
    view.names = siteNamesOf(sites);
    if (!sortText.empty()) {
        const auto order = sortOrderOf(sortText);
        if (!order)
            return usageError("bad sort key: " + sortText +
                              " (size, date, files, title, site or kind, then :asc or :desc)");
        view.order = *order;
    }
    if (!filterText.empty()) {
        std::string error;
        auto filter = filterOf(filterText, view.names, error);
        if (!filter) return usageError(error);
        view.filter = std::move(*filter);
    }
    if (*checkCommand) return checkSite(json, checkDefinition, checkPage, loaded.settings, view);
    if (words.empty()) return usageError("KEYWORD is required");
    if (!loaded.problems.empty()) return kUsage;  // nothing is searched with settings that are not what was meant

    const std::string keyword = words.front();
    std::string error;
    const auto commands = parseCommands(std::vector<std::string>(words.begin() + 1, words.end()), error);
    if (!commands) return usageError(error);
    const Text gbkKeyword = gbk(keyword);
    if (gbkKeyword.empty() && !keyword.empty())
        return usageError(
            "the keyword has characters that cannot be searched (the sites take GBK text): nothing was "
            "searched");

    if (noSiteSetUp(sites)) {
        // The built-in addresses are placeholders no host answers: asking them would only blame the network.
        std::fprintf(stderr,
                     "lanqi-cli: no search site is set up yet: the built-in addresses are placeholders that no site "
                     "answers, so nothing was searched.\nSet the sites' addresses in %s (the window's 站点设置 "
                     "writes it) or with LANQI_SITE<n>_BASE, and see what is in use with \"lanqi-cli sites\".\n",
                     printable(loaded.file).c_str());
        return kNoSites;
    }

    std::optional<SwarmSettings> swarmSettings;
    if (swarmRows < 0) return usageError("--swarm takes a number of rows from 1");
    if (swarmRows > 0) {
        std::string swarmError;
        swarmSettings = swarmSettingsOf(loaded.settings, swarmOptions, swarmError);
        if (!swarmSettings) return usageError(swarmError);
    }

    Output output(json, std::move(view));
    HttpPageFetcher fetcher;
    TaskQueue queue;
    SearchFlow flow(fetcher, queue, std::move(sites));
    flow.setScreenListener([&flow, &output](unsigned changes) {
        if ((changes & kMessageChanged) != 0 && flow.screen().message) output.message(*flow.screen().message);
    });
    flow.setObserver({[&output](int site, const Text& address) { output.request(site, address); }, {}});

    // Runs the pages back to the flow until its run has ended (a message counts as read once printed), prints
    // what the run found, and keeps the exit code: the first failed run decides, else a run that lacked a page.
    int exitCode = kCompleted;
    auto finish = [&] {
        while (flow.running()) {
            if (flow.screen().message) {
                flow.acknowledgeMessage();
            } else {
                queue.runPending(std::chrono::milliseconds(100));
            }
        }
        if (swarmSettings) {
            std::vector<std::string> hashes;
            for (const ResultItem& item : flow.screen().results) {
                if (static_cast<int>(hashes.size()) >= swarmRows) break;
                if (auto hash = parseInfoHash(utf8(item.magnetLink))) hashes.push_back(*hash);
            }
            output.setSwarm(hashes.empty() ? std::map<std::string, SwarmReport>{}
                                           : checkSwarms(*swarmSettings, hashes, {}));
        }
        output.rows(flow.screen());
        output.done(flow);
        for (size_t k = 0; k < flow.siteFigures().size(); ++k) {
            const SiteRecord& site = flow.siteFigures()[k];
            if (flow.lastOutcome() == RunOutcome::Completed && site.bytes == 0 && !site.disabled)
                std::fprintf(stderr, "lanqi-cli: warning: no page arrived from site %zu (%s)\n", k + 1,
                             flow.state().searchUrls[k].c_str());
        }
        const int code = outcomeCode(flow);
        if (exitCode != kUnreachable && exitCode != kNoResults && code != kCompleted) exitCode = code;
    };

    flow.startSearch(gbkKeyword);
    finish();
    for (const Command& c : *commands) {
        if (exitCode == kUnreachable || exitCode == kNoResults) {
            std::fprintf(stderr, "lanqi-cli: the search failed: the remaining commands were not run\n");
            break;
        }
        const SearchScreen& screen = flow.screen();
        switch (c.kind) {
            case Command::Next:
                if (!screen.nextVisible) return usageError("next: the next-page button is not shown now");
                flow.goToNextPage(gbkKeyword);
                break;
            case Command::Previous:
                if (!screen.previousVisible) return usageError("prev: the previous-page button is not shown now");
                flow.goToPreviousPage(gbkKeyword);
                break;
            case Command::Page:
                if (!screen.pageSelectorVisible || c.page > static_cast<long long>(screen.pageItems.size()))
                    return usageError("page: the page selector has no item " + std::to_string(c.page));
                flow.goToSelectedPage(static_cast<int>(c.page - 1), gbkKeyword);
                break;
        }
        finish();
    }
    return exitCode;
}

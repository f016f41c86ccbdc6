#include "scrape/site_definition.h"

#include "platform/files.h"
#include "platform/toml_depth.h"

#include <toml++/toml.h>

#include <algorithm>
#include <climits>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>

namespace lanqi {
namespace {

#include "scrape/built_in_sites.inc"  // kBuiltInSiteTexts: sites/site1.toml .. site6.toml

using scrape::End;
using scrape::Reduce;
using scrape::Start;
using scrape::Step;
using scrape::Use;

constexpr size_t kMaxSteps = 64;
constexpr std::streamsize kMaxFileBytes = 1 << 20;
constexpr int kMaxSkip = 4096;  // how far a skip may move a position, either way
constexpr int kMaxBytes = 1 << 20;

long lineOf(const toml::node& node) { return static_cast<long>(node.source().begin.line); }

const std::pair<std::string_view, Use> kUses[] = {
    {"title", Use::Title},   {"hash", Use::Hash},          {"line", Use::Line},
    {"files", Use::Files},   {"list_item", Use::ListItem}, {"detail_start", Use::DetailStart},
    {"magnet", Use::Magnet},
};

// The keys a step of each use may have besides "use".
std::vector<std::string_view> stepKeys(Use use) {
    switch (use) {
        case Use::Title:
            return {"start", "end", "strip", "item_test", "keep_cursor", "cursor_to"};
        case Use::Hash:
            return {"start", "end", "item_test", "keep_cursor", "cursor_to"};
        case Use::Line:
            return {"label", "field", "start", "end", "reduce", "item_test", "keep_cursor", "cursor_to"};
        case Use::Files:
            return {"header", "list_end", "entry_end", "reduce"};
        default:
            return {};
    }
}

// Reads the TOML document into a definition, collecting every problem rather than stopping at the first.
class Reader {
  public:
    Reader(SiteDefinition& definition, std::string file, std::vector<SettingsProblem>& problems)
        : m_def(definition), m_file(std::move(file)), m_problems(problems) {}

    bool failed() const { return m_failures > 0; }

    void fail(long line, const std::string& what) {
        m_problems.push_back({SettingsProblem::BadDefinition, line, what, m_file});
        ++m_failures;
    }

    void read(const toml::table& root) {
        bool havePage = false, haveSteps = false;
        for (const auto& [key, node] : root) {
            const std::string_view k = key.str();
            if (k == "format") {
                if (const auto value = integer(node, "format", 1, 1)) (void)value;
            } else if (k == "name") {
                if (const auto value = text(node, "name")) m_def.siteName = std::string(*value);
            } else if (k == "encoding") {
                readEncoding(node);
            } else if (k == "address") {
                readAddress(node);
            } else if (k == "page") {
                havePage = true;
                readPage(node);
            } else if (k == "total") {
                readTotal(node);
            } else if (k == "steps") {
                haveSteps = true;
                readSteps(node);
            } else {
                fail(lineOf(node),
                     "unknown key " + std::string(k) + " (known: format, name, encoding, address, page, total, steps)");
            }
        }
        if (!havePage) fail(0, "no [page] table with marker and item_anchor");
        if (!haveSteps) fail(0, "no [[steps]]");
    }

  private:
    const toml::table* table(const toml::node& node, const std::string& subject) {
        const toml::table* t = node.as_table();
        if (t == nullptr) fail(lineOf(node), subject + " must be a table");
        return t;
    }

    // The text, kept by the definition so that the steps may view it.
    std::optional<std::string_view> text(const toml::node& node, const std::string& subject, bool nonEmpty = false) {
        const auto* value = node.as_string();
        if (value == nullptr) {
            fail(lineOf(node), subject + " must be text");
            return std::nullopt;
        }
        if (nonEmpty && value->get().empty()) {
            fail(lineOf(node), subject + " must not be empty");
            return std::nullopt;
        }
        m_def.texts.push_back(value->get());
        return std::string_view(m_def.texts.back());
    }

    std::optional<int> integer(const toml::node& node, const std::string& subject, int low, int high) {
        const auto* value = node.as_integer();
        if (value == nullptr || value->get() < low || value->get() > high) {
            fail(lineOf(node),
                 subject + " must be a whole number from " + std::to_string(low) + " to " + std::to_string(high));
            return std::nullopt;
        }
        return static_cast<int>(value->get());
    }

    std::optional<bool> flag(const toml::node& node, const std::string& subject) {
        const auto* value = node.as_boolean();
        if (value == nullptr) {
            fail(lineOf(node), subject + " must be true or false");
            return std::nullopt;
        }
        return value->get();
    }

    void unknown(const toml::node& node, const std::string& subject, std::string_view known) {
        fail(lineOf(node), "unknown key " + subject + " (known: " + std::string(known) + ")");
    }

    void readEncoding(const toml::node& node) {
        const auto value = text(node, "encoding", true);
        if (!value) return;
        if (!knownCharset(std::string(*value).c_str())) {
            fail(lineOf(node), "encoding " + std::string(*value) + " is not a charset this system converts");
            return;
        }
        m_def.encoding = std::string(*value);
    }

    void readAddress(const toml::node& node) {
        const toml::table* t = table(node, "address");
        if (t == nullptr) return;
        for (const auto& [key, value] : *t) {
            const std::string subject = "address." + std::string(key.str());
            std::string* field = key == "path"          ? &m_def.address.path
                                 : key == "before_page" ? &m_def.address.beforePage
                                 : key == "after_page"  ? &m_def.address.afterPage
                                                        : nullptr;
            if (field == nullptr) {
                unknown(value, subject, "path, before_page, after_page");
            } else if (const auto part = text(value, subject)) {
                if (part->find_first_of(" \t\r\n#") != std::string_view::npos)
                    fail(lineOf(value), subject + " must not hold blanks, line breaks or \"#\"");
                *field = std::string(*part);
            }
        }
    }

    void readPage(const toml::node& node) {
        const toml::table* t = table(node, "page");
        if (t == nullptr) return;
        for (const auto& [key, value] : *t) {
            const std::string subject = "page." + std::string(key.str());
            if (key == "marker") {
                if (const auto marker = text(value, subject, true)) m_def.table.pageMarker = *marker;
            } else if (key == "item_anchor") {
                if (const auto anchor = text(value, subject, true)) m_def.table.itemAnchor = *anchor;
            } else {
                unknown(value, subject, "marker, item_anchor");
            }
        }
        if (m_def.table.pageMarker.empty() || m_def.table.itemAnchor.empty())
            fail(lineOf(node), "[page] needs both marker and item_anchor");
    }

    void readTotal(const toml::node& node) {
        const toml::table* t = table(node, "total");
        if (t == nullptr) return;
        scrape::TotalRule& total = m_def.table.total;
        for (const auto& [key, value] : *t) {
            const std::string subject = "total." + std::string(key.str());
            if (key == "start") {
                if (const auto marker = text(value, subject, true)) total.start = *marker;
            } else if (key == "end") {
                if (const auto marker = text(value, subject, true)) total.end = *marker;
            } else if (key == "end_from_page_start") {
                if (const auto on = flag(value, subject)) total.endFromPageStart = *on;
            } else if (key == "drop_commas") {
                if (const auto on = flag(value, subject)) total.dropCommas = *on;
            } else {
                unknown(value, subject, "start, end, end_from_page_start, drop_commas");
            }
        }
        if (total.start.empty() || total.end.empty()) fail(lineOf(node), "[total] needs both start and end");
        total.printed = true;
    }

    void readSteps(const toml::node& node) {
        const toml::array* steps = node.as_array();
        if (steps == nullptr || !steps->is_array_of_tables()) {
            fail(lineOf(node), "steps must be [[steps]] tables");
            return;
        }
        if (steps->size() > kMaxSteps) {
            fail(lineOf(node), "more than " + std::to_string(kMaxSteps) + " steps");
            return;
        }
        std::vector<long> lines;
        for (const toml::node& entry : *steps) {
            const toml::node* use = entry.as_table()->get("use");
            lines.push_back(lineOf(use != nullptr ? *use : entry));
            m_def.steps.push_back(readStep(*entry.as_table(), m_def.steps.size() + 1));
        }
        if (failed()) return;
        size_t at = 0;
        if (const char* problem = scrape::stepsProblem(m_def.steps, at))
            fail(at < lines.size() ? lines[at] : lineOf(node),
                 "step " + std::to_string(at + 1) + ": " + problem + " (docs/site-definitions.md tells the order)");
    }

    Step readStep(const toml::table& t, size_t number) {
        Step step;
        const std::string name = "step " + std::to_string(number);
        const toml::node* use = t.get("use");
        const auto useText = use != nullptr ? use->value<std::string>() : std::nullopt;
        const auto found = std::find_if(std::begin(kUses), std::end(kUses),
                                        [&](const auto& u) { return useText && u.first == *useText; });
        if (found == std::end(kUses)) {
            fail(lineOf(use != nullptr ? *use : static_cast<const toml::node&>(t)),
                 name + ": use must be one of title, hash, line, files, list_item, detail_start, magnet");
            return step;
        }
        step.use = found->second;
        const std::vector<std::string_view> allowed = stepKeys(step.use);
        bool haveStart = false, haveEnd = false;
        for (const auto& [key, value] : t) {
            const std::string_view k = key.str();
            const std::string subject = name + "." + std::string(k);
            if (k == "use") continue;
            if (std::find(allowed.begin(), allowed.end(), k) == allowed.end()) {
                fail(lineOf(value), "a " + *useText + " step takes no key " + std::string(k));
            } else if (k == "start") {
                haveStart = true;
                readStart(value, subject, step.start);
            } else if (k == "end") {
                haveEnd = true;
                readEnd(value, subject, step.end);
            } else if (k == "label" || k == "header") {
                readLabel(value, subject, step.label);
            } else if (k == "strip") {
                readStrip(value, subject, step);
            } else if (k == "reduce") {
                readReduce(value, subject, step.reduce);
            } else if (k == "field") {
                readField(value, subject, step.field);
            } else if (k == "item_test" || k == "keep_cursor") {
                if (const auto on = flag(value, subject)) (k == "item_test" ? step.itemTest : step.keepCursor) = *on;
            } else if (const auto marker = text(value, subject, true)) {
                (k == "cursor_to" ? step.cursorTo : k == "list_end" ? step.listEnd : step.entryEnd) = *marker;
            }
        }
        const bool searches = step.use == Use::Title || step.use == Use::Hash || step.use == Use::Line;
        if (searches && (!haveStart || !haveEnd))
            fail(lineOf(t), name + ": a " + *useText + " step needs start and end");
        if (step.field == ResultField::DescriptionUrl && t.get("label") != nullptr)
            fail(lineOf(*t.get("label")), name + ": a description_url line is not shown and takes no label");
        return step;
    }

    void readStart(const toml::node& node, const std::string& subject, scrape::StartRule& rule) {
        const toml::table* t = table(node, subject);
        if (t == nullptr) return;
        int kinds = 0;
        bool then = false;
        for (const auto& [key, value] : *t) {
            const std::string inner = subject + "." + std::string(key.str());
            const std::optional<Start> kind = key == "after" ? std::optional(Start::After)
                                              : key == "last_before_anchor"
                                                  ? std::optional(Start::AfterLastBeforeAnchor)
                                              : key == "last_before_end" ? std::optional(Start::AfterLastBeforeEnd)
                                                                         : std::nullopt;
            if (kind) {
                ++kinds;
                if (const auto marker = text(value, inner, true)) rule.marker = *marker;
                if (!then) rule.kind = *kind;
            } else if (key == "then") {
                then = true;
                rule.kind = Start::AfterNext;
                if (const auto marker = text(value, inner, true)) rule.next = *marker;
            } else if (key == "skip") {
                if (const auto skip = integer(value, inner, -kMaxSkip, kMaxSkip)) rule.skip = *skip;
            } else {
                unknown(value, inner, "after, then, last_before_anchor, last_before_end, skip");
            }
        }
        if (kinds != 1) {
            fail(lineOf(node), subject + " needs exactly one of after, last_before_anchor, last_before_end");
            return;
        }
        if (then && (t->get("after") == nullptr)) fail(lineOf(node), subject + ": then goes with after only");
    }

    void readEnd(const toml::node& node, const std::string& subject, scrape::EndRule& rule) {
        const toml::table* t = table(node, subject);
        if (t == nullptr) return;
        const bool at = t->get("at") != nullptr, bytes = t->get("bytes") != nullptr;
        if (at == bytes) {
            fail(lineOf(node), subject + " needs exactly one of at, bytes");
            return;
        }
        rule.kind = bytes ? End::Length : t->get("behind") != nullptr ? End::AtBehind : End::At;
        for (const auto& [key, value] : *t) {
            const std::string inner = subject + "." + std::string(key.str());
            if (key == "at") {
                if (const auto marker = text(value, inner, true)) rule.marker = *marker;
            } else if (key == "bytes") {
                if (const auto length = integer(value, inner, 0, kMaxBytes)) rule.length = *length;
            } else if (key == "skip" && at) {
                if (const auto skip = integer(value, inner, -kMaxSkip, kMaxSkip)) rule.skip = *skip;
            } else if (key == "behind" && at) {
                if (const auto marker = text(value, inner, true)) rule.behind = *marker;
            } else if (key == "behind_skip" && rule.kind == End::AtBehind) {
                if (const auto skip = integer(value, inner, -kMaxSkip, kMaxSkip)) rule.behindSkip = *skip;
            } else {
                unknown(value, inner, bytes ? "bytes" : "at, skip, behind, behind_skip");
            }
        }
    }

    void readLabel(const toml::node& node, const std::string& subject, std::string_view& label) {
        const auto value = text(node, subject);
        if (!value) return;
        if (!value->empty() && gbk(*value).empty()) fail(lineOf(node), subject + " has characters GBK lacks");
        label = *value;
    }

    void readStrip(const toml::node& node, const std::string& subject, Step& step) {
        const toml::array* tags = node.as_array();
        if (tags == nullptr || tags->size() > 2) {
            fail(lineOf(node), subject + " must be a list of at most two texts");
            return;
        }
        size_t i = 0;
        for (const toml::node& tag : *tags) {
            const auto value = text(tag, subject, true);
            if (!value) continue;
            if (gbk(*value).empty()) fail(lineOf(tag), subject + " has characters GBK lacks");
            step.tags[i++] = *value;
        }
    }

    void readReduce(const toml::node& node, const std::string& subject, Reduce& reduce) {
        const auto value = node.value<std::string>();
        if (value == "trim_size") {
            reduce = Reduce::TrimSize;
        } else if (value == "unwrap") {
            reduce = Reduce::Unwrap;
        } else if (value == "none") {
            reduce = Reduce::None;
        } else {
            fail(lineOf(node), subject + " must be \"none\", \"trim_size\" or \"unwrap\"");
        }
    }

    void readField(const toml::node& node, const std::string& subject, ResultField& field) {
        static constexpr std::pair<std::string_view, ResultField> kFields[] = {
            {"size", ResultField::Size},
            {"file_count", ResultField::FileCount},
            {"date", ResultField::Date},
            {"description_url", ResultField::DescriptionUrl},
        };
        const auto value = node.value<std::string>();
        for (const auto& [name, named] : kFields) {
            if (value == name) {
                field = named;
                return;
            }
        }
        fail(lineOf(node), subject + " must be \"size\", \"file_count\", \"date\" or \"description_url\"");
    }

    SiteDefinition& m_def;
    std::string m_file;
    std::vector<SettingsProblem>& m_problems;
    int m_failures = 0;
};

// The page marker and item anchor as they stand in the site's pages.
bool encodeMarkers(SiteDefinition& d, Reader& reader) {
    const std::string lower = [&] {
        std::string s = d.encoding;
        for (char& c : s)
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        return s;
    }();
    d.utf8Pages = lower == "utf-8" || lower == "utf8";
    if (d.utf8Pages) {
        d.pageMarkerInPage = d.table.pageMarker;
        d.itemAnchorInPage = d.table.itemAnchor;
        return true;
    }
    d.pageMarkerInPage = convertText(d.table.pageMarker, "UTF-8", d.encoding.c_str());
    d.itemAnchorInPage = convertText(d.table.itemAnchor, "UTF-8", d.encoding.c_str());
    if (d.pageMarkerInPage.empty() || d.itemAnchorInPage.empty()) {
        reader.fail(0, "the page marker or item anchor cannot be written in " + d.encoding);
        return false;
    }
    return true;
}

int builtInNumber(std::string_view name) {
    for (int n = 1; n <= 6; ++n)
        if (name == "site" + std::to_string(n)) return n;
    return 0;
}

}  // namespace

SiteDefinitionPtr parseSiteDefinition(std::string_view text, const std::string& name, const std::string& source,
                                      std::vector<SettingsProblem>& problems) {
    auto definition = std::make_shared<SiteDefinition>();
    definition->name = name;
    definition->source = source;
    Reader reader(*definition, source, problems);
    if (const long line = tomlTooDeepLine(text); line > 0) {
        reader.fail(line, "keys, tables or arrays are nested deeper than " + std::to_string(kMaxTomlDepth) + " levels");
    } else {
        try {
            reader.read(toml::parse(text, source));
        } catch (const toml::parse_error& error) {
            reader.fail(static_cast<long>(error.source().begin.line),
                        "not a TOML file: " + std::string(error.description()));
        }
    }
    if (reader.failed() || !encodeMarkers(*definition, reader)) return nullptr;
    definition->table.steps = definition->steps;
    definition->compiled = scrape::compileSite(definition->table);
    return definition;
}

SiteDefinitionPtr readSiteDefinitionFile(const std::string& path, const std::string& name,
                                         std::vector<SettingsProblem>& problems) {
    // Only a regular file is read, never waited for (a FIFO), and never more than 1 MiB of it.
    std::string text;
    const char* refused = nullptr;
    switch (readSmallFile(path, static_cast<size_t>(kMaxFileBytes), text)) {
        case FileRead::Read:
            break;
        case FileRead::Folder:
            refused = "is a folder";
            break;
        case FileRead::NotAFile:
            refused = "is not a regular file (a FIFO, a device or a socket)";
            break;
        case FileRead::TooLarge:
            refused = "larger than 1 MiB";
            break;
        case FileRead::LinkLoop:
            refused = "is a symbolic link that loops";
            break;
        case FileRead::Missing:
        case FileRead::Unreadable:
            refused = "cannot be read";
            break;
    }
    if (refused != nullptr) {
        problems.push_back({SettingsProblem::BadDefinition, 0, refused, path});
        return nullptr;
    }
    return parseSiteDefinition(text, name, path, problems);
}

std::string_view builtInSiteDefinitionText(int number) {
    return kBuiltInSiteTexts[number >= 1 && number <= 6 ? number - 1 : 0];
}

SiteDefinitionPtr builtInSiteDefinition(int number) {
    static const SiteSlots slots = [] {
        SiteSlots made(kBuiltInSiteSlots);
        for (int n = 1; n <= kBuiltInSiteSlots; ++n) {
            std::vector<SettingsProblem> problems;  // none: the tests read every built-in text
            const std::string name = "site" + std::to_string(n);
            made[static_cast<size_t>(n - 1)] =
                parseSiteDefinition(builtInSiteDefinitionText(n), name, "built-in " + name + ".toml", problems);
        }
        return made;
    }();
    return slots[static_cast<size_t>(number >= 1 && number <= 6 ? number - 1 : 0)];
}

SiteSlots builtInSiteSlots() {
    SiteSlots slots;
    for (int n = 1; n <= kBuiltInSiteSlots; ++n) slots.push_back(builtInSiteDefinition(n));
    return slots;
}

namespace {

// `path` without its last part ("a/b/c" gives "a/b"); "/" and "\" both separate parts.
std::string parentOf(const std::string& path) {
    const size_t separator = path.find_last_of("/\\");
    return separator == std::string::npos ? std::string() : path.substr(0, separator);
}

}  // namespace

std::string userSiteDefinitionFolder() { return parentOf(settingsFilePath()) + "/sites"; }

std::string installedSiteDefinitionFolder() {
    const std::string program = programFolder();
    if (program.empty()) return {};
    return parentOf(program) + "/share/lanqi-search/sites";
}

SiteDefinitionPtr findSiteDefinition(const std::string& name, std::vector<SettingsProblem>& problems, bool* broken) {
    if (broken != nullptr) *broken = false;
    if (!isDefinitionName(name)) return nullptr;
    for (const std::string& folder : {userSiteDefinitionFolder(), installedSiteDefinitionFolder()}) {
        if (folder.empty()) continue;
        const std::string file = folder + "/" + name + ".toml";
        std::error_code error;
        if (!std::filesystem::is_regular_file(pathFromUtf8(file), error)) continue;
        SiteDefinitionPtr found = readSiteDefinitionFile(file, name, problems);
        if (found == nullptr && broken != nullptr) *broken = true;
        return found;
    }
    if (const int n = builtInNumber(name)) return builtInSiteDefinition(n);
    return nullptr;
}

std::vector<std::string> siteDefinitionNames() {
    std::vector<std::string> names;
    for (int n = 1; n <= 6; ++n) names.push_back("site" + std::to_string(n));
    std::vector<std::string> files;
    for (const std::string& folder : {userSiteDefinitionFolder(), installedSiteDefinitionFolder()}) {
        std::error_code error;
        if (folder.empty()) continue;
        for (const auto& entry : std::filesystem::directory_iterator(pathFromUtf8(folder), error)) {
            const std::string name = utf8FromPath(entry.path().stem());
            if (entry.path().extension() == ".toml" && isDefinitionName(name) && builtInNumber(name) == 0)
                files.push_back(name);
        }
    }
    std::sort(files.begin(), files.end());
    files.erase(std::unique(files.begin(), files.end()), files.end());
    names.insert(names.end(), files.begin(), files.end());
    return names;
}

SiteSlots loadSiteDefinitions(const Settings& settings, std::vector<SettingsProblem>& problems) {
    SiteSlots slots;
    std::map<std::string, SiteDefinitionPtr> read;  // a file two slots name is read once
    for (size_t k = 0; k < settings.sites.size(); ++k) {
        const int n = static_cast<int>(k + 1);
        const SiteSlotSettings& slot = settings.sites[k];
        SiteDefinitionPtr definition;
        if (slot.definition.empty()) {
            // A slot past the sixth that names none (the settings reported it): not searched.
        } else if (const auto it = read.find(slot.definition); it != read.end()) {
            definition = it->second;
        } else {
            bool broken = false;
            definition = findSiteDefinition(slot.definition, problems, &broken);
            if (definition == nullptr && !broken)
                problems.push_back({SettingsProblem::UnknownDefinition, slot.definitionLine,
                                    "site" + std::to_string(n) + ".definition = " + slot.definition});
            read[slot.definition] = definition;
        }
        // A built-in slot keeps its own definition; a slot past the sixth has none to fall back on.
        if (definition == nullptr && n <= kBuiltInSiteSlots) definition = builtInSiteDefinition(n);
        slots.push_back(definition);
    }
    return slots;
}

}  // namespace lanqi

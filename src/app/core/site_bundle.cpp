#include "app/core/site_bundle.h"

#include <toml++/toml.h>

#include <algorithm>
#include <filesystem>
#include <map>

#include "platform/files.h"
#include "scrape/site_definition.h"

namespace lanqi {
namespace {

// Existing files are read for comparison and backup up to this size; a larger one is not a definition anyway.
constexpr std::size_t kMaxComparedFileBytes = std::size_t{64} << 20;

const char* const kBundleHeader =
    "# 岚栖种子搜索神器 site bundle: the site slots of a settings file and the site definitions they name.\n"
    "# Import it with 站点设置 (导入…) or \"lanqi-cli sites --import FILE\".\n";

// Strict UTF-8, as TOML requires of every string: no overlong forms, no surrogates, nothing past U+10FFFF.
bool isUtf8(std::string_view text) {
    for (size_t i = 0; i < text.size();) {
        const auto b = static_cast<unsigned char>(text[i]);
        size_t n = 0;
        char32_t c = 0;
        if (b < 0x80) {
            ++i;
            continue;
        } else if (b >= 0xC2 && b <= 0xDF) {
            n = 1, c = b & 0x1F;
        } else if (b >= 0xE0 && b <= 0xEF) {
            n = 2, c = b & 0x0F;
        } else if (b >= 0xF0 && b <= 0xF4) {
            n = 3, c = b & 0x07;
        } else {
            return false;
        }
        if (text.size() - i <= n) return false;  // the sequence runs past the end
        for (size_t k = 1; k <= n; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80) return false;
            c = (c << 6) | (next & 0x3F);
        }
        if ((n == 2 && c < 0x800) || (n == 3 && (c < 0x10000 || c > 0x10FFFF)) || (c >= 0xD800 && c <= 0xDFFF))
            return false;
        i += n + 1;
    }
    return true;
}

// Whether `text` can stand between ''' and ''' unchanged: TOML's literal strings take no escapes.
bool fitsLiteral(std::string_view text) {
    if (text.find("'''") != std::string_view::npos || (!text.empty() && text.back() == '\'')) return false;
    return std::all_of(text.begin(), text.end(), [](char c) {
        const auto b = static_cast<unsigned char>(c);
        return c == '\t' || c == '\n' || (b >= 0x20 && b != 0x7F);
    });
}

// `text` as the value of a multi-line string whose first line starts on the line after the opening quotes.
std::string multiLineString(std::string_view text) {
    if (fitsLiteral(text)) return "'''\n" + std::string(text) + "'''";
    std::string out = "\"\"\"\n";
    for (const char c : text) {
        const auto b = static_cast<unsigned char>(c);
        if (c == '\\' || c == '"') {
            out += '\\';
            out += c;
        } else if (c == '\r') {
            out += "\\r";
        } else if (c != '\n' && c != '\t' && (b < 0x20 || b == 0x7F)) {
            static const char kHex[] = "0123456789ABCDEF";
            out += "\\u00";
            out += kHex[b >> 4];
            out += kHex[b & 15];
        } else {
            out += c;
        }
    }
    return out + "\"\"\"";
}

// `value` as a TOML basic string on one line.
std::string oneLineString(std::string_view value) {
    std::string out = "\"";
    for (const char c : value) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + "\"";
}

std::string slotName(size_t index) { return "site" + std::to_string(index + 1); }

bool isBuiltInName(const std::string& name) {
    for (int n = 1; n <= kBuiltInSiteSlots; ++n)
        if (name == "site" + std::to_string(n)) return true;
    return false;
}

SettingsProblem::Kind refusal(FileRead read) {
    switch (read) {
        case FileRead::Folder:
            return SettingsProblem::FileIsFolder;
        case FileRead::NotAFile:
            return SettingsProblem::NotARegularFile;
        case FileRead::TooLarge:
            return SettingsProblem::FileTooLarge;
        case FileRead::LinkLoop:
            return SettingsProblem::LinkLoop;
        default:
            return SettingsProblem::CannotRead;
    }
}

// The line of the bundle where the first line of the string value starting on line `line` is: the next one
// when the opening quotes end their line (TOML drops that line end), else the same.
long firstTextLine(std::string_view bundle, long line) {
    size_t start = 0;
    for (long n = 1; n < line && start != std::string_view::npos; ++n) {
        start = bundle.find('\n', start);
        if (start != std::string_view::npos) ++start;
    }
    if (start == std::string_view::npos) return line;
    std::string_view text = bundle.substr(start, bundle.find('\n', start) - start);
    if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
    for (const std::string_view quotes : {"'''", "\"\"\""}) {
        const size_t at = text.find(quotes);
        if (at != std::string_view::npos && at + 3 == text.size()) return line + 1;
    }
    return line;
}

// Whether this client has the definition `name` without the bundle: a file beside the settings file, an
// installed one, or a built-in one. A broken file adds its problems.
bool haveDefinition(const std::string& name, const std::string& folder, std::vector<SettingsProblem>& problems) {
    for (const std::string& place : {folder, installedSiteDefinitionFolder()}) {
        if (place.empty()) continue;
        const std::string file = place + "/" + name + ".toml";
        std::error_code error;
        if (!std::filesystem::is_regular_file(pathFromUtf8(file), error)) continue;
        const size_t before = problems.size();
        return readSiteDefinitionFile(file, name, problems) != nullptr || problems.size() > before;
    }
    return isBuiltInName(name);
}

std::string onOff(bool on) { return on ? "true" : "false"; }

void addSlotChanges(const Settings& before, const Settings& after, std::vector<SiteImportChange>& changes) {
    const size_t slots = std::max(before.sites.size(), after.sites.size());
    for (size_t k = 0; k < slots; ++k) {
        const std::string name = slotName(k);
        if (k >= before.sites.size()) {
            const SiteSlotSettings& slot = after.sites[k];
            changes.push_back({name + ": new slot: base " + slot.base + ", definition " + slot.definition +
                                   ", enabled " + onOff(slot.enabled),
                               name + "：新站点：base " + slot.base + "，definition " + slot.definition + "，enabled " +
                                   onOff(slot.enabled)});
            continue;
        }
        if (k >= after.sites.size()) {
            changes.push_back({name + ": removed (an import replaces the file's slots with the bundle's)",
                               name + "：删除（导入时以站点包的站点取代设置文件中的站点）"});
            continue;
        }
        const SiteSlotSettings& was = before.sites[k];
        const SiteSlotSettings& now = after.sites[k];
        const auto change = [&](const char* key, const std::string& old, const std::string& wanted) {
            if (old == wanted) return;
            const std::string subject = name + "." + key;
            changes.push_back({subject + ": " + old + " -> " + wanted, subject + "：" + old + " → " + wanted});
        };
        change("base", was.base, now.base);
        change("enabled", onOff(was.enabled), onOff(now.enabled));
        change("definition", was.definition, now.definition);
    }
}

}  // namespace

std::string siteDefinitionFolderOf(const std::string& settingsFile) {
    const size_t separator = settingsFile.find_last_of("/\\");
    return (separator == std::string::npos ? std::string(".") : settingsFile.substr(0, separator)) + "/sites";
}

std::string exportSiteBundle(const Settings& fileValues, std::string& error, const std::string& definitionFolder) {
    std::string text = kBundleHeader;
    std::map<std::string, std::string> definitions;
    for (size_t k = 0; k < fileValues.sites.size(); ++k) {
        const SiteSlotSettings& slot = fileValues.sites[k];
        text += "\n[" + slotName(k) + "]\n";
        text += "enabled = " + onOff(slot.enabled) + "\n";
        if (!slot.base.empty()) text += "base = " + oneLineString(slot.base) + "\n";
        if (slot.definition.empty()) continue;
        text += "definition = " + oneLineString(slot.definition) + "\n";
        if (!isDefinitionName(slot.definition) || definitions.count(slot.definition) != 0) continue;
        const std::string file = definitionFolder + "/" + slot.definition + ".toml";
        Bytes content;
        const FileRead read = readSmallFile(file, kMaxSiteBundleBytes, content);
        if (read == FileRead::Missing) continue;  // built in or installed: every client has it
        if (read != FileRead::Read) {
            error = file + " " + SettingsProblem{refusal(read), 0, {}}.english();
            return {};
        }
        if (!isUtf8(content)) {
            error = file + " is not UTF-8 text";
            return {};
        }
        definitions[slot.definition] = std::move(content);
    }
    if (!definitions.empty()) {
        text += "\n[definitions]\n";
        for (const auto& [name, definition] : definitions) text += name + " = " + multiLineString(definition) + "\n";
    }
    if (text.size() > kMaxSiteBundleBytes) {
        error = "the site bundle would be larger than 1 MiB";
        return {};
    }
    return text;
}

bool exportSiteBundleFile(const std::string& path, const Settings& fileValues, std::string& error,
                          const std::string& definitionFolder) {
    const std::string text = exportSiteBundle(fileValues, error, definitionFolder);
    if (text.empty()) return false;
    if (!writeFileBlocksAtUtf8(path, {text})) {
        error = "cannot write " + path;
        return false;
    }
    return true;
}

std::string SiteImportPlan::report(bool chinese) const {
    std::string out;
    for (const SettingsProblem& problem : problems)
        out += problem.where(bundle) + ": " + (chinese ? problem.chinese() : problem.english()) + "\n";
    return out;
}

SiteImportPlan planSiteImport(const std::string& path, const std::string& settingsFile) {
    Bytes text;
    const FileRead read = readSmallFile(path, kMaxSiteBundleBytes, text);
    if (read == FileRead::Read) return planSiteImportText(text, path, settingsFile);
    SiteImportPlan plan;
    plan.bundle = path;
    plan.settingsFile = settingsFile;
    plan.problems.push_back({refusal(read), 0, {}});
    return plan;
}

SiteImportPlan planSiteImportText(std::string_view text, const std::string& path, const std::string& settingsFile) {
    SiteImportPlan plan;
    plan.bundle = path;
    plan.settingsFile = settingsFile;
    if (text.size() > kMaxSiteBundleBytes) {
        plan.problems.push_back({SettingsProblem::FileTooLarge, 0, {}});
        return plan;
    }
    // The slots are read as the settings file's; [definitions] is the bundle's own table.
    LoadedSettings slots = parseSettingsText(text, path);
    for (SettingsProblem& problem : slots.problems) {
        if (problem.kind == SettingsProblem::UnknownTable && problem.subject == "definitions") continue;
        if (problem.kind == SettingsProblem::UnknownTable) problem.kind = SettingsProblem::NotInBundle;
        plan.problems.push_back(std::move(problem));
    }
    const bool unreadable = std::any_of(plan.problems.begin(), plan.problems.end(), [](const SettingsProblem& p) {
        return p.kind == SettingsProblem::Syntax || p.kind == SettingsProblem::TooDeep;
    });
    if (unreadable) return plan;
    toml::table document;
    try {
        document = toml::parse(text, path);
    } catch (const toml::parse_error& error) {
        plan.problems.push_back(
            {SettingsProblem::Syntax, static_cast<long>(error.source().begin.line), std::string(error.description())});
        return plan;
    }
    const auto lineOf = [](const toml::node& node) { return static_cast<long>(node.source().begin.line); };
    for (const char* name : {"vendor", "play", "view", "swarm"})
        if (const toml::node* node = document.get(name))
            plan.problems.push_back({SettingsProblem::NotInBundle, lineOf(*node), name});

    std::map<std::string, std::string> carried;
    if (const toml::node* node = document.get("definitions")) {
        static const toml::table kNone;
        const toml::table* table = node->as_table();
        if (table == nullptr) {
            plan.problems.push_back({SettingsProblem::BadBundledText, lineOf(*node), "definitions"});
            table = &kNone;
        }
        for (const auto& [key, value] : *table) {
            const std::string name(key.str());
            const auto* definition = value.as_string();
            if (!isDefinitionName(name) || definition == nullptr) {
                plan.problems.push_back({SettingsProblem::BadBundledText, lineOf(value), "definitions." + name});
                continue;
            }
            // The definition's problems point into the bundle: its own line counted from where its text starts.
            const long first = firstTextLine(text, lineOf(value));
            std::vector<SettingsProblem> problems;
            parseSiteDefinition(definition->get(), name, path, problems);
            for (SettingsProblem& problem : problems) {
                problem.file = path;
                problem.line = problem.line > 0 ? first + problem.line - 1 : lineOf(value);
                plan.problems.push_back(std::move(problem));
            }
            carried[name] = definition->get();
        }
    }
    const std::string folder = siteDefinitionFolderOf(settingsFile);
    std::map<std::string, bool> known;  // a name two slots give is looked up once
    for (size_t k = 0; k < slots.settings.sites.size(); ++k) {
        const SiteSlotSettings& slot = slots.settings.sites[k];
        if (slot.definition.empty() || carried.count(slot.definition) != 0) continue;
        if (known.count(slot.definition) == 0)
            known[slot.definition] = haveDefinition(slot.definition, folder, plan.problems);
        if (!known[slot.definition])
            plan.problems.push_back({SettingsProblem::UnknownDefinition, slot.definitionLine,
                                     slotName(k) + ".definition = " + slot.definition});
    }

    // What changes, compared with the settings file and the definition files beside it.
    const LoadedSettings current = loadSettings(settingsFile, false);
    plan.imported = current.settings;
    plan.imported.sites = slots.settings.sites;
    if (current.fileFound) plan.backups.push_back(settingsFile + ".bak");
    addSlotChanges(current.settings, plan.imported, plan.changes);
    for (auto& [name, definition] : carried) {
        const std::string file = folder + "/" + name + ".toml";
        Bytes existing;
        const FileRead read = readSmallFile(file, kMaxComparedFileBytes, existing);
        if (read == FileRead::Missing) {
            plan.changes.push_back(
                {"definition " + name + ": new (" + file + ")", "站点定义 " + name + "：新增（" + file + "）"});
        } else if (read != FileRead::Read) {
            plan.problems.push_back({SettingsProblem::NoRoomForFile, 0, {}, file});
        } else if (existing != definition) {
            plan.changes.push_back({"definition " + name + ": changed (the previous file is kept as " + file + ".bak)",
                                    "站点定义 " + name + "：已修改（原文件保留为 " + file + ".bak）"});
            plan.backups.push_back(file + ".bak");
        }
        plan.definitions.emplace_back(name, std::move(definition));
    }
    std::stable_sort(plan.problems.begin(), plan.problems.end(),
                     [](const SettingsProblem& a, const SettingsProblem& b) { return a.line < b.line; });
    return plan;
}

std::optional<Settings> SiteImportPlan::apply(std::string& error) const {
    if (refused()) {
        error = "the site bundle " + bundle + " has problems; nothing was imported";
        return std::nullopt;
    }
    // Backups first: each definition file that is overwritten is kept as NAME.toml.bak.
    const std::string folder = siteDefinitionFolderOf(settingsFile);
    std::vector<std::pair<std::string, const std::string*>> writes;
    for (const auto& [name, text] : definitions) {
        const std::string file = folder + "/" + name + ".toml";
        Bytes existing;
        const FileRead read = readSmallFile(file, kMaxComparedFileBytes, existing);
        if (read == FileRead::Read && existing == text) continue;
        if (read == FileRead::Read && !writeFileBlocksAtUtf8(file + ".bak", {existing})) {
            error = "cannot keep the previous definition as " + file + ".bak";
            return std::nullopt;
        }
        if (read != FileRead::Read && read != FileRead::Missing) {
            error = "cannot write " + file + ": something other than a file is there";
            return std::nullopt;
        }
        writes.emplace_back(file, &text);
    }
    std::error_code failure;
    if (!writes.empty()) std::filesystem::create_directories(pathFromUtf8(folder), failure);
    for (const auto& [file, text] : writes) {
        if (!writeFileBlocksAtUtf8(file, {*text})) {
            error = "cannot write " + file;
            return std::nullopt;
        }
    }
    if (!saveSettingsFile(settingsFile, imported, error)) return std::nullopt;
    return loadSettings(settingsFile).settings;
}

}  // namespace lanqi

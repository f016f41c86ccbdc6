#include "platform/settings.h"

#include <toml++/toml.h>

#include "platform/files.h"
#include "platform/toml_depth.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>
#include <set>

namespace lanqi {
namespace {

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? std::string(value) : std::string();
}

std::string lowerAscii(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

long lineOf(const toml::node& node) { return static_cast<long>(node.source().begin.line); }

// n for the table "site<n>" (n from 1 to kMaxSiteSlots, written without leading zeros), else 0.
int slotNumber(std::string_view name) {
    if (name.size() < 5 || name.size() > 6 || name.substr(0, 4) != "site" || name[4] < '1' || name[4] > '9') return 0;
    int n = 0;
    for (const char c : name.substr(4)) {
        if (c < '0' || c > '9') return 0;
        n = n * 10 + (c - '0');
    }
    return n <= kMaxSiteSlots ? n : 0;
}

// The file's value of a base key, or nothing (with a problem) when it is not a searchable address.
std::optional<Text> readBase(const toml::node& node, const std::string& subject,
                             std::vector<SettingsProblem>& problems) {
    const auto* text = node.as_string();
    if (text == nullptr) {
        problems.push_back({SettingsProblem::WrongType, lineOf(node), subject});
        return std::nullopt;
    }
    const Text base = trimmedBase(text->get());
    if (!isSearchableBase(base)) {
        problems.push_back({SettingsProblem::BadAddress, lineOf(node), subject});
        return std::nullopt;
    }
    return base;
}

void readSiteTable(const toml::table& table, int slot, SiteSlotSettings& site, std::vector<SettingsProblem>& problems) {
    const std::string name = "site" + std::to_string(slot);
    for (const auto& [key, node] : table) {
        const std::string subject = name + "." + std::string(key.str());
        if (key == "base") {
            if (auto base = readBase(node, subject, problems)) {
                site.base = *base;
                site.baseFrom = SettingOrigin::File;
            }
        } else if (key == "enabled") {
            if (const auto* on = node.as_boolean()) {
                site.enabled = on->get();
                site.enabledFrom = SettingOrigin::File;
            } else {
                problems.push_back({SettingsProblem::WrongType, lineOf(node), subject});
            }
        } else if (key == "definition") {
            const auto* text = node.as_string();
            if (text == nullptr) {
                problems.push_back({SettingsProblem::WrongType, lineOf(node), subject});
                continue;
            }
            const std::string definition = text->get();
            if (!isDefinitionName(definition)) {
                problems.push_back({SettingsProblem::UnknownDefinition, lineOf(node), subject + " = " + definition});
                continue;
            }
            site.definition = definition;
            site.definitionLine = lineOf(node);
            site.definitionFrom = SettingOrigin::File;
        } else {
            problems.push_back({SettingsProblem::UnknownKey, lineOf(node), subject});
        }
    }
}

void readServiceTable(const toml::table& table, const std::string& name, Text& base, SettingOrigin& from,
                      std::vector<SettingsProblem>& problems) {
    for (const auto& [key, node] : table) {
        const std::string subject = name + "." + std::string(key.str());
        if (key != "base") {
            problems.push_back({SettingsProblem::UnknownKey, lineOf(node), subject});
        } else if (auto value = readBase(node, subject, problems)) {
            base = *value;
            from = SettingOrigin::File;
        }
    }
}

void readViewTable(const toml::table& table, Settings& settings, std::vector<SettingsProblem>& problems) {
    for (const auto& [key, node] : table) {
        const std::string subject = "view." + std::string(key.str());
        const bool isTable = key == "table";
        if (!isTable && key != "unique") {
            problems.push_back({SettingsProblem::UnknownKey, lineOf(node), subject});
        } else if (const auto* value = node.as_boolean(); value == nullptr) {
            problems.push_back({SettingsProblem::WrongType, lineOf(node), subject});
        } else {
            (isTable ? settings.tableView : settings.uniqueRows) = value->get();
            (isTable ? settings.tableViewFrom : settings.uniqueRowsFrom) = SettingOrigin::File;
        }
    }
}

std::string_view withoutBlanks(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

// [swarm]. `clean` gets each key read without a problem.
void readSwarmTable(const toml::table& table, SwarmSettings& swarm, std::vector<SettingsProblem>& problems,
                    std::set<std::string>* clean) {
    swarm.from = SettingOrigin::File;
    for (const auto& [key, node] : table) {
        const std::string name(key.str());
        const std::string subject = "swarm." + name;
        const size_t problemsBefore = problems.size();
        const auto wrongType = [&](const toml::node& at) {
            problems.push_back({SettingsProblem::WrongType, lineOf(at), subject});
        };
        if (name == "enabled" || name == "asked" || name == "auto_check") {
            bool& flag = name == "enabled" ? swarm.enabled : name == "asked" ? swarm.asked : swarm.autoCheck;
            if (const auto* value = node.as_boolean())
                flag = value->get();
            else
                wrongType(node);
        } else if (name == "trackers" || name == "dht_bootstrap") {
            // An entry that is not an address is left out; the others are kept.
            const bool trackers = name == "trackers";
            if (const auto* list = node.as_array()) {
                std::vector<std::string> kept;
                for (const toml::node& entry : *list) {
                    const auto* text = entry.as_string();
                    if (text == nullptr) {
                        wrongType(entry);
                        continue;
                    }
                    const std::string value(withoutBlanks(text->get()));
                    if (trackers ? isTrackerAddress(value) : isBootstrapNode(value))
                        kept.push_back(value);
                    else
                        problems.push_back({trackers ? SettingsProblem::BadTracker : SettingsProblem::BadBootstrapNode,
                                            lineOf(entry), value});
                }
                (trackers ? swarm.trackers : swarm.dhtBootstrap) = std::move(kept);
            } else {
                wrongType(node);
            }
        } else if (name == "listen") {
            if (const auto* text = node.as_string())
                swarm.listen = std::string(withoutBlanks(text->get()));
            else
                wrongType(node);
        } else if (name == "timeout" || name == "max_checks") {
            const bool timeout = name == "timeout";
            const std::int64_t low = timeout ? kMinSwarmTimeoutSeconds : kMinSwarmChecks;
            const std::int64_t high = timeout ? kMaxSwarmTimeoutSeconds : kMaxSwarmChecks;
            if (const auto* value = node.as_integer(); value == nullptr)
                wrongType(node);
            else if (value->get() < low || value->get() > high)
                problems.push_back({SettingsProblem::OutOfRange, lineOf(node), subject});
            else
                (timeout ? swarm.timeoutSeconds : swarm.maxChecks) = static_cast<int>(value->get());
        } else {
            problems.push_back({SettingsProblem::UnknownKey, lineOf(node), subject});
        }
        if (clean != nullptr && problems.size() == problemsBefore) clean->insert(name);
    }
}

void readText(std::string_view text, const std::string& file, Settings& settings,
              std::vector<SettingsProblem>& problems, std::set<std::string>* cleanSwarmKeys = nullptr) {
    if (const long line = tomlTooDeepLine(text); line > 0) {
        problems.push_back({SettingsProblem::TooDeep, line, std::to_string(kMaxTomlDepth)});
        return;
    }
    toml::table document;
    try {
        document = toml::parse(text, file);
    } catch (const toml::parse_error& error) {
        problems.push_back(
            {SettingsProblem::Syntax, static_cast<long>(error.source().begin.line), std::string(error.description())});
        return;
    }
    std::map<int, const toml::table*> extraSlots;  // [site7] ... by number, read once all are known
    for (const auto& [key, node] : document) {
        const std::string name(key.str());
        const auto* table = node.as_table();
        const int slot = slotNumber(name);
        if ((slot > 0 || name == "vendor" || name == "play" || name == "view" || name == "swarm") && table == nullptr) {
            problems.push_back({SettingsProblem::WrongType, lineOf(node), name});
        } else if (slot > kBuiltInSiteSlots) {
            extraSlots[slot] = table;
        } else if (slot > 0) {
            readSiteTable(*table, slot, settings.sites[static_cast<size_t>(slot - 1)], problems);
        } else if (name == "vendor") {
            readServiceTable(*table, name, settings.vendorBase, settings.vendorFrom, problems);
        } else if (name == "play") {
            readServiceTable(*table, name, settings.playBase, settings.playFrom, problems);
        } else if (name == "view") {
            readViewTable(*table, settings, problems);
        } else if (name == "swarm") {
            readSwarmTable(*table, settings.swarm, problems, cleanSwarmKeys);
        } else {
            problems.push_back({SettingsProblem::UnknownTable, lineOf(node), name});
        }
    }
    // Slots past the sixth follow each other without gaps; each needs its own base and definition.
    for (const auto& [slot, table] : extraSlots) {
        const std::string name = "site" + std::to_string(slot);
        if (static_cast<size_t>(slot) != settings.sites.size() + 1) {
            problems.push_back({SettingsProblem::SlotGap, lineOf(*table), name});
            continue;
        }
        SiteSlotSettings& site = settings.sites.emplace_back();
        readSiteTable(*table, slot, site, problems);
        if (site.base.empty()) problems.push_back({SettingsProblem::MissingKey, lineOf(*table), name + ".base"});
        if (site.definition.empty())
            problems.push_back({SettingsProblem::MissingKey, lineOf(*table), name + ".definition"});
    }
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

// `value` as a TOML basic string.
std::string tomlString(std::string_view value) {
    std::string out = "\"";
    for (const char c : value) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20 || byte == 0x7F) {
            static const char kHex[] = "0123456789ABCDEF";
            out += "\\u00";
            out += kHex[byte >> 4];
            out += kHex[byte & 15];
        } else {
            out += c;
        }
    }
    return out + "\"";
}

// `values` as a TOML array of basic strings: on one line when there is at most one, else one a line.
std::string tomlList(const std::vector<std::string>& values, const std::string& newline) {
    if (values.size() <= 1) return values.empty() ? "[]" : "[" + tomlString(values[0]) + "]";
    std::string out = "[" + newline;
    for (const std::string& value : values) out += "    " + tomlString(value) + "," + newline;
    return out + "]";
}

// [swarm]'s keys in the file's order, each with its value in `swarm` as TOML text.
struct SwarmKey {
    const char* key;
    bool same;  // the two settings hold the same value
    std::string value;
};
std::vector<SwarmKey> swarmKeys(const SwarmSettings& swarm, const SwarmSettings& other, const std::string& newline) {
    const auto flag = [](bool on) { return std::string(on ? "true" : "false"); };
    return {
        {"enabled", swarm.enabled == other.enabled, flag(swarm.enabled)},
        {"asked", swarm.asked == other.asked, flag(swarm.asked)},
        {"auto_check", swarm.autoCheck == other.autoCheck, flag(swarm.autoCheck)},
        {"trackers", swarm.trackers == other.trackers, tomlList(swarm.trackers, newline)},
        {"dht_bootstrap", swarm.dhtBootstrap == other.dhtBootstrap, tomlList(swarm.dhtBootstrap, newline)},
        {"listen", swarm.listen == other.listen, tomlString(swarm.listen)},
        {"timeout", swarm.timeoutSeconds == other.timeoutSeconds, std::to_string(swarm.timeoutSeconds)},
        {"max_checks", swarm.maxChecks == other.maxChecks, std::to_string(swarm.maxChecks)},
    };
}

// The same values, wherever they came from.
bool sameSwarmValues(const SwarmSettings& a, const SwarmSettings& b) {
    SwarmSettings plain = b;
    plain.from = a.from;
    return a == plain;
}

// A new settings file holding every slot and both services.
std::string wholeSettingsText(const Settings& settings) {
    // Tables in slot order (a TOML table of tables would sort site10 before site2).
    std::string text =
        "# 岚栖种子搜索神器: the site slots and the vendor's and cloud-play addresses (written by 站点设置)\n";
    for (size_t k = 0; k < settings.sites.size(); ++k) {
        const SiteSlotSettings& site = settings.sites[k];
        text += (k == 0 ? "[site" : "\n[site") + std::to_string(k + 1) + "]\n";
        if (!site.base.empty()) text += "base = " + tomlString(site.base) + "\n";
        text += std::string("enabled = ") + (site.enabled ? "true" : "false") + "\n";
        if (!site.definition.empty()) text += "definition = " + tomlString(site.definition) + "\n";
    }
    text += "\n[vendor]\nbase = " + tomlString(settings.vendorBase) + "\n";
    text += "\n[play]\nbase = " + tomlString(settings.playBase) + "\n";
    text += std::string("\n[view]\ntable = ") + (settings.tableView ? "true" : "false") +
            "\nunique = " + (settings.uniqueRows ? "true" : "false") + "\n";
    // [swarm] holds the values that are not the built-in ones.
    std::string swarm;
    for (const SwarmKey& key : swarmKeys(settings.swarm, SwarmSettings{}, "\n"))
        if (!key.same) swarm += std::string(key.key) + " = " + key.value + "\n";
    if (!swarm.empty()) text += "\n[swarm]\n" + swarm;
    return text;
}

void applyEnvironment(Settings& settings) {
    for (size_t k = 0; k < settings.sites.size(); ++k) {
        const std::string value = environment(("LANQI_SITE" + std::to_string(k + 1) + "_BASE").c_str());
        if (value.empty()) continue;
        settings.sites[k].base = value;
        settings.sites[k].baseFrom = SettingOrigin::Environment;
    }
    if (const std::string vendor = environment("LANQI_VENDOR_BASE"); !vendor.empty()) {
        settings.vendorBase = vendor;
        settings.vendorFrom = SettingOrigin::Environment;
    }
    if (const std::string play = environment("LANQI_PLAY_BASE"); !play.empty()) {
        settings.playBase = play;
        settings.playFrom = SettingOrigin::Environment;
    }
}

// "LOW<between>HIGH" for swarm.timeout or swarm.max_checks.
std::string swarmBounds(const std::string& subject, const char* between) {
    const bool timeout = subject == "swarm.timeout";
    return std::to_string(timeout ? kMinSwarmTimeoutSeconds : kMinSwarmChecks) + between +
           std::to_string(timeout ? kMaxSwarmTimeoutSeconds : kMaxSwarmChecks);
}

// The host that starts `address` (a name or a bracketed IPv6 address) and, after a ":", an optional port of up
// to five digits: the index past them, or npos when there is no host.
size_t pastHostAndPort(std::string_view address) {
    size_t end = 0;
    if (!address.empty() && address[0] == '[') {
        end = address.find(']');
        if (end == std::string_view::npos || end == 1) return std::string_view::npos;
        for (size_t k = 1; k < end; ++k)
            if (!(std::isxdigit(static_cast<unsigned char>(address[k])) || address[k] == ':' || address[k] == '.'))
                return std::string_view::npos;
        ++end;
    } else {
        while (end < address.size() && address[end] != ':' && address[end] != '/') {
            const char c = address[end];
            if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == '_'))
                return std::string_view::npos;
            ++end;
        }
        if (end == 0) return std::string_view::npos;
    }
    if (end < address.size() && address[end] == ':') {
        const size_t digits = ++end;
        while (end < address.size() && std::isdigit(static_cast<unsigned char>(address[end]))) ++end;
        if (end == digits || end - digits > 5) return std::string_view::npos;
    }
    return end;
}

}  // namespace

std::string SettingsProblem::english() const {
    switch (kind) {
        case Syntax:
            return "not a TOML file: " + subject;
        case UnknownTable:
            return "unknown table [" + subject + "] (known: site1 ... site32, vendor, play, view, swarm)";
        case UnknownKey:
            return "unknown key " + subject;
        case WrongType:
            return subject +
                   " has the wrong type (base and definition are text, enabled is true or false, "
                   "site1 ... site32, vendor, play, view and swarm are tables; view.table and view.unique are true or "
                   "false; swarm.trackers and swarm.dht_bootstrap are lists of text, swarm.listen is text, "
                   "swarm.timeout and swarm.max_checks are whole numbers)";
        case BadAddress:
            return subject + " is not an http:// or https:// address with a host";
        case MissingKey:
            return subject + " is missing: a slot past site6 needs a base and a definition; it is not searched";
        case SlotGap:
            return "[" + subject + "] follows no [site" +
                   std::to_string(std::max(0, std::atoi(subject.c_str() + 4) - 1)) +
                   "]: slots past site6 are numbered without gaps; it was not read";
        case UnknownDefinition:
            return "unknown site definition: " + subject +
                   " (known: site1 ... site6 and NAME for each NAME.toml in the sites folder beside this file)";
        case BadDefinition:
            return "bad site definition, the slot keeps its built-in one: " + subject;
        case TooDeep:
            return "keys, tables or arrays are nested deeper than " + subject + " levels; the file was not read";
        case FileIsFolder:
            return "is a folder, not a settings file";
        case NotARegularFile:
            return "is not a regular file (a FIFO, a device or a socket); it was not read";
        case FileTooLarge:
            return "is larger than 1 MiB; it was not read";
        case LinkLoop:
            return "is a symbolic link that loops; it was not read";
        case CannotRead:
            return "cannot be read";
        case NotInBundle:
            return "[" + subject + "] has no place in a site bundle (it holds [site1] ... [site32] and [definitions])";
        case BadBundledText:
            return subject +
                   " is not a site definition's text (a string under a name of 1 to 64 letters, digits, - and _)";
        case NoRoomForFile:
            return "is not a regular file, so the site definition cannot be written there";
        case BadTracker:
            return "swarm.trackers: " + subject +
                   " is not an http://, https:// or udp:// address with a host; it is left out";
        case BadBootstrapNode:
            return "swarm.dht_bootstrap: " + subject + " is not host:port with a port from 1 to 65535; it is left out";
        case OutOfRange:
            return subject + " is out of range (" + swarmBounds(subject, " to ") + ")";
    }
    return subject;
}

std::string SettingsProblem::chinese() const {
    switch (kind) {
        case Syntax:
            return "不是有效的 TOML 文件：" + subject;
        case UnknownTable:
            return "未知的表 [" + subject + "]（可用：site1 … site32、vendor、play、view、swarm）";
        case UnknownKey:
            return "未知的设置项 " + subject;
        case WrongType:
            return subject +
                   " 的类型不对（base 和 definition 是文本，enabled、view.table 和 view.unique 是 true 或 false；"
                   "swarm.trackers 和 swarm.dht_bootstrap 是文本列表，swarm.listen 是文本，swarm.timeout 和 "
                   "swarm.max_checks 是整数）";
        case BadAddress:
            return subject + " 不是带主机名的 http:// 或 https:// 地址";
        case MissingKey:
            return "缺少 " + subject + "：site6 之后的站点需要 base 和 definition，该站点不搜索";
        case SlotGap:
            return "[" + subject + "] 前面缺少 [site" +
                   std::to_string(std::max(0, std::atoi(subject.c_str() + 4) - 1)) +
                   "]：site6 之后的站点须连续编号，未读取";
        case UnknownDefinition:
            return "未知的站点定义：" + subject +
                   "（可用：site1 … site6，以及同目录 sites 文件夹中每个 NAME.toml 的 NAME）";
        case BadDefinition:
            return "站点定义有错误，该站点改用内置定义：" + subject;
        case TooDeep:
            return "键、表或数组的嵌套超过 " + subject + " 层，未读取此文件";
        case FileIsFolder:
            return "是文件夹，不是设置文件";
        case NotARegularFile:
            return "不是普通文件（是管道、设备或套接字），未读取";
        case FileTooLarge:
            return "文件大于 1 MiB，未读取";
        case LinkLoop:
            return "是循环的符号链接，未读取";
        case CannotRead:
            return "无法读取";
        case NotInBundle:
            return "站点包中不能有 [" + subject + "]（只能有 [site1] … [site32] 和 [definitions]）";
        case BadBundledText:
            return subject + " 不是站点定义的文本（须是文本，名称为 1 至 64 个字母、数字、- 或 _）";
        case NoRoomForFile:
            return "不是普通文件，无法在此写入站点定义";
        case BadTracker:
            return "swarm.trackers 中的 " + subject + " 不是带主机名的 http://、https:// 或 udp:// 地址，已略过";
        case BadBootstrapNode:
            return "swarm.dht_bootstrap 中的 " + subject + " 不是 host:port（端口为 1 至 65535），已略过";
        case OutOfRange:
            return subject + " 超出范围（" + swarmBounds(subject, " 至 ") + "）";
    }
    return subject;
}

std::string SettingsProblem::where(const std::string& settingsFile) const {
    return (file.empty() ? settingsFile : file) + (line > 0 ? ":" + std::to_string(line) : std::string());
}

std::string LoadedSettings::report(bool chinese) const {
    std::string out;
    for (const SettingsProblem& problem : problems)
        out += problem.where(file) + ": " + (chinese ? problem.chinese() : problem.english()) + "\n";
    return out;
}

bool isDefinitionName(std::string_view name) {
    if (name.empty() || name.size() > 64) return false;
    return std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_';
    });
}

Settings builtInSettings() {
    Settings settings;
    settings.sites.resize(kBuiltInSiteSlots);
    for (int n = 1; n <= kBuiltInSiteSlots; ++n) {
        SiteSlotSettings& site = settings.sites[static_cast<size_t>(n - 1)];
        site.base = Text(kBuiltInSiteBases[static_cast<size_t>(n - 1)]);
        site.definition = "site" + std::to_string(n);
    }
    settings.vendorBase = Text(kBuiltInVendorBase);
    settings.playBase = Text(kBuiltInPlayBase);
    return settings;
}

std::string settingsFilePath() { return userConfigFolder() + "/lanqi-search/config.toml"; }

// parseSettingsText, with the [swarm] keys read without a problem put in `cleanSwarmKeys` when it is given.
static LoadedSettings parsedSettingsText(std::string_view text, const std::string& file,
                                         std::set<std::string>* cleanSwarmKeys) {
    LoadedSettings loaded;
    loaded.settings = builtInSettings();
    loaded.file = file;
    loaded.fileFound = true;
    readText(text, file, loaded.settings, loaded.problems, cleanSwarmKeys);
    std::stable_sort(loaded.problems.begin(), loaded.problems.end(),
                     [](const SettingsProblem& a, const SettingsProblem& b) { return a.line < b.line; });
    return loaded;
}

LoadedSettings parseSettingsText(std::string_view text, const std::string& file) {
    return parsedSettingsText(text, file, nullptr);
}

LoadedSettings loadSettings(const std::string& file, bool withEnvironment) {
    LoadedSettings loaded;
    loaded.settings = builtInSettings();
    loaded.file = file;
    Bytes text;
    const FileRead read = file.empty() ? FileRead::Missing : readSmallFile(file, kMaxSettingsFileBytes, text);
    loaded.fileFound = read != FileRead::Missing;
    if (read == FileRead::Read) {
        loaded = parseSettingsText(text, file);
    } else if (read != FileRead::Missing) {
        loaded.problems.push_back({refusal(read), 0, {}});
    }
    if (withEnvironment) applyEnvironment(loaded.settings);
    return loaded;
}

std::string editedSettingsText(std::string_view previous, const Settings& settings) {
    std::set<std::string> cleanSwarmKeys;  // the [swarm] keys the file gives without a problem
    const LoadedSettings before = parsedSettingsText(previous, "config.toml", &cleanSwarmKeys);
    if (std::any_of(before.problems.begin(), before.problems.end(), [](const SettingsProblem& problem) {
            return problem.kind == SettingsProblem::Syntax || problem.kind == SettingsProblem::TooDeep;
        }))
        return {};
    if (previous.find("\"\"\"") != std::string_view::npos || previous.find("'''") != std::string_view::npos)
        return {};  // a multi-line string could hold lines that look like tables and keys

    // Where each table's `key = value` lines are, line by line.
    std::vector<std::string_view> lines;
    for (size_t start = 0; start < previous.size();) {
        const size_t end = previous.find('\n', start);
        const size_t next = end == std::string_view::npos ? previous.size() : end + 1;
        lines.push_back(previous.substr(start, next - start));
        start = next;
    }
    const std::string newline =
        !lines.empty() && lines[0].size() >= 2 && lines[0].substr(lines[0].size() - 2) == "\r\n" ? "\r\n" : "\n";
    struct ValueAt {
        size_t line, start, endLine, end;  // the value's bytes: from `start` in `line` to `end` in `endLine`
    };
    // Where the array that opens at lines[n][start] closes: its line and the byte after its "]"; nothing when
    // it does not close. Its strings and comments may hold brackets.
    const auto arrayEnd = [&](size_t n, size_t start) -> std::optional<std::pair<size_t, size_t>> {
        int depth = 0;
        for (size_t k = start; n < lines.size(); ++n, k = 0) {
            const std::string_view line = lines[n];
            for (; k < line.size(); ++k) {
                const char c = line[k];
                if (c == '#') break;
                if (c == '"' || c == '\'') {
                    for (++k; k < line.size() && line[k] != c && line[k] != '\n'; ++k)
                        if (c == '"' && line[k] == '\\') ++k;
                    if (k >= line.size() || line[k] != c) return std::nullopt;
                } else if (c == '[') {
                    ++depth;
                } else if (c == ']' && --depth == 0) {
                    return std::make_pair(n, k + 1);
                }
            }
        }
        return std::nullopt;
    };
    std::map<std::pair<std::string, std::string>, ValueAt> values;
    std::map<std::string, size_t> lastLine;  // a table's header or last key line
    std::string table;                       // "" at the top, "\x01" in a table this edit does not know
    for (size_t n = 0; n < lines.size(); ++n) {
        const std::string_view line = lines[n];
        size_t i = line.find_first_not_of(" \t");
        if (i == std::string_view::npos || line[i] == '#' || line[i] == '\r' || line[i] == '\n') continue;
        const auto restIsBlank = [&](size_t k) {
            k = std::min(line.size(), line.find_first_not_of(" \t", k));
            return k == line.size() || line[k] == '#' || line[k] == '\r' || line[k] == '\n';
        };
        const auto bare = [&](size_t k) {
            while (k < line.size() &&
                   (std::isalnum(static_cast<unsigned char>(line[k])) || line[k] == '_' || line[k] == '-'))
                ++k;
            return k;
        };
        if (line[i] == '[') {
            table = "\x01";
            if (i + 1 < line.size() && line[i + 1] == '[') continue;  // an array of tables
            const size_t first = std::min(line.size(), line.find_first_not_of(" \t", i + 1));
            const size_t last = bare(first);
            const size_t close = std::min(line.size(), line.find_first_not_of(" \t", last));
            if (last > first && close < line.size() && line[close] == ']' && restIsBlank(close + 1)) {
                table = std::string(line.substr(first, last - first));
                lastLine[table] = n;
            }
            continue;
        }
        const size_t keyEnd = bare(i);
        const size_t equals = std::min(line.size(), line.find_first_not_of(" \t", keyEnd));
        if (keyEnd == i || equals == line.size() || line[equals] != '=') continue;
        const std::string key(line.substr(i, keyEnd - i));
        const size_t start = std::min(line.size(), line.find_first_not_of(" \t", equals + 1));
        size_t end = start;
        if (start < line.size() && line[start] == '[') {
            // An array, on this line or on several: the lines it takes are not keys or tables.
            const auto close = arrayEnd(n, start);
            if (!close) return {};
            const size_t first = n;
            n = close->first;
            const std::string_view last = lines[n];
            const size_t rest = std::min(last.size(), last.find_first_not_of(" \t", close->second));
            if (rest != last.size() && last[rest] != '#' && last[rest] != '\r' && last[rest] != '\n') return {};
            values[{table, key}] = {first, start, n, close->second};
            lastLine[table] = n;
            continue;
        }
        if (start < line.size() && (line[start] == '"' || line[start] == '\'')) {
            for (end = start + 1; end < line.size() && line[end] != line[start] && line[end] != '\n'; ++end)
                if (line[start] == '"' && line[end] == '\\') ++end;
            if (end >= line.size() || line[end] != line[start]) return {};
            ++end;
        } else {
            end = bare(start);
        }
        if (!restIsBlank(end)) continue;  // an array or inline table: left as it is
        values[{table, key}] = {n, start, n, end};
        lastLine[table] = n;
    }

    // What to write: each value the file does not give already.
    struct Wanted {
        std::string table, key, value;
    };
    std::vector<Wanted> changes;
    const Settings builtIn = builtInSettings();
    const auto want = [&](const std::string& name, const char* key, bool fromFile, bool same, bool builtInSame,
                          const std::string& value) {
        if (fromFile ? same : builtInSame && values.count({name, key}) == 0) return;
        changes.push_back({name, key, value});
    };
    // A slot the settings no longer hold cannot be taken out line by line: the file is written anew.
    if (settings.sites.size() < before.settings.sites.size()) return {};
    const SiteSlotSettings extraSlot;  // what a slot past the sixth is until the file says more
    for (size_t k = 0; k < settings.sites.size(); ++k) {
        const SiteSlotSettings& now = k < before.settings.sites.size() ? before.settings.sites[k] : extraSlot;
        const SiteSlotSettings& plain = k < builtIn.sites.size() ? builtIn.sites[k] : extraSlot;
        const SiteSlotSettings& wanted = settings.sites[k];
        const std::string name = "site" + std::to_string(k + 1);
        want(name, "base", now.baseFrom == SettingOrigin::File, now.base == wanted.base, plain.base == wanted.base,
             tomlString(wanted.base));
        want(name, "enabled", now.enabledFrom == SettingOrigin::File, now.enabled == wanted.enabled,
             plain.enabled == wanted.enabled, wanted.enabled ? "true" : "false");
        want(name, "definition", now.definitionFrom == SettingOrigin::File, now.definition == wanted.definition,
             plain.definition == wanted.definition, tomlString(wanted.definition));
    }
    want("vendor", "base", before.settings.vendorFrom == SettingOrigin::File,
         before.settings.vendorBase == settings.vendorBase, builtIn.vendorBase == settings.vendorBase,
         tomlString(settings.vendorBase));
    want("play", "base", before.settings.playFrom == SettingOrigin::File, before.settings.playBase == settings.playBase,
         builtIn.playBase == settings.playBase, tomlString(settings.playBase));
    want("view", "table", before.settings.tableViewFrom == SettingOrigin::File,
         before.settings.tableView == settings.tableView, builtIn.tableView == settings.tableView,
         settings.tableView ? "true" : "false");
    want("view", "unique", before.settings.uniqueRowsFrom == SettingOrigin::File,
         before.settings.uniqueRows == settings.uniqueRows, builtIn.uniqueRows == settings.uniqueRows,
         settings.uniqueRows ? "true" : "false");
    const std::vector<SwarmKey> fileSwarm = swarmKeys(settings.swarm, before.settings.swarm, newline);
    const std::vector<SwarmKey> plainSwarm = swarmKeys(settings.swarm, builtIn.swarm, newline);
    for (size_t k = 0; k < fileSwarm.size(); ++k)
        want("swarm", fileSwarm[k].key, cleanSwarmKeys.count(fileSwarm[k].key) > 0, fileSwarm[k].same,
             plainSwarm[k].same, fileSwarm[k].value);

    std::vector<std::string> edited(lines.begin(), lines.end());
    std::map<size_t, std::string> after;       // lines put after a line
    std::map<std::string, std::string> added;  // tables the file does not have yet, in order of first need
    std::vector<std::string> addedOrder;
    for (const Wanted& change : changes) {
        if (const auto it = values.find({change.table, change.key}); it != values.end()) {
            const ValueAt& at = it->second;
            edited[at.line] = std::string(lines[at.line].substr(0, at.start)) + change.value +
                              std::string(lines[at.endLine].substr(at.end));
            for (size_t n = at.line + 1; n <= at.endLine; ++n) edited[n].clear();
        } else if (const auto table = lastLine.find(change.table); table != lastLine.end()) {
            after[table->second] += change.key + " = " + change.value + newline;
        } else {
            if (added.count(change.table) == 0) addedOrder.push_back(change.table);
            added[change.table] += change.key + " = " + change.value + newline;
        }
    }
    std::string text;
    for (size_t n = 0; n < edited.size(); ++n) {
        text += edited[n];
        if (const auto it = after.find(n); it != after.end()) {
            if (text.back() != '\n') text += newline;
            text += it->second;
        }
    }
    for (const std::string& name : addedOrder) {
        if (!text.empty() && text.back() != '\n') text += newline;
        text += (text.empty() ? "[" : newline + "[") + name + "]" + newline + added[name];
    }

    // The edit is kept only when the file it gives reads back as `settings`.
    const LoadedSettings check = parseSettingsText(text, "config.toml");
    const auto sameSite = [](const SiteSlotSettings& a, const SiteSlotSettings& b) {
        return a.base == b.base && a.enabled == b.enabled && a.definition == b.definition;
    };
    if (check.settings.sites.size() != settings.sites.size()) return {};
    for (size_t k = 0; k < settings.sites.size(); ++k)
        if (!sameSite(check.settings.sites[k], settings.sites[k])) return {};
    if (check.settings.vendorBase != settings.vendorBase || check.settings.playBase != settings.playBase) return {};
    if (check.settings.tableView != settings.tableView || check.settings.uniqueRows != settings.uniqueRows) return {};
    if (!sameSwarmValues(check.settings.swarm, settings.swarm)) return {};
    if (std::any_of(check.problems.begin(), check.problems.end(),
                    [](const SettingsProblem& problem) { return problem.kind == SettingsProblem::Syntax; }))
        return {};
    return text;
}

bool saveSettingsFile(const std::string& file, const Settings& settings, std::string& error) {
    // A settings file that is a link stays one: its target is what gets written.
    const std::string target = linkTarget(file);
    if (target.empty()) {
        error = file + " is a symbolic link that loops";
        return false;
    }
    std::error_code failure;
    const std::filesystem::path path = pathFromUtf8(target);
    if (path.has_parent_path()) std::filesystem::create_directories(path.parent_path(), failure);
    Bytes previous;
    const FileRead read = readSmallFile(target, kMaxSettingsFileBytes, previous);
    if (read != FileRead::Read && read != FileRead::Missing) {
        error = "cannot replace " + file + ": it " + SettingsProblem{refusal(read), 0, {}}.english();
        return false;
    }
    std::string text;
    if (read == FileRead::Read) {
        if (!writeFileBlocksAtUtf8(file + ".bak", {previous})) {
            error = "cannot keep the previous file as " + file + ".bak";
            return false;
        }
        text = editedSettingsText(previous, settings);
    }
    if (text.empty()) text = wholeSettingsText(settings);
    if (!writeFileBlocksAtUtf8(target, {text})) {
        error = "cannot write " + target;
        return false;
    }
    return true;
}

Text trimmedBase(std::string_view typed) {
    while (!typed.empty() && (typed.front() == ' ' || typed.front() == '\t')) typed.remove_prefix(1);
    while (!typed.empty() && (typed.back() == ' ' || typed.back() == '\t' || typed.back() == '/'))
        typed.remove_suffix(1);
    return Text(typed);
}

bool isSearchableBase(const Text& base) {
    const std::string lower = lowerAscii(base);
    const size_t hostStart = lower.rfind("http://", 0) == 0 ? 7 : lower.rfind("https://", 0) == 0 ? 8 : 0;
    if (hostStart == 0) return false;
    const size_t end = pastHostAndPort(std::string_view(base).substr(hostStart));
    if (end == std::string_view::npos) return false;
    for (size_t i = hostStart + end; i < base.size(); ++i) {
        const auto c = static_cast<unsigned char>(base[i]);
        if (c <= 0x20 || c >= 0x7F || c == '?' || c == '#') return false;  // a path only
    }
    return true;
}

bool isTrackerAddress(std::string_view address) {
    const std::string lower = lowerAscii(std::string(address.substr(0, 8)));
    size_t hostStart = 0;
    for (const std::string_view scheme : {"http://", "https://", "udp://"})
        if (lower.rfind(scheme, 0) == 0) hostStart = scheme.size();
    if (hostStart == 0) return false;
    const size_t end = pastHostAndPort(address.substr(hostStart));
    if (end == std::string_view::npos) return false;
    const std::string_view rest = address.substr(hostStart + end);
    if (!rest.empty() && rest[0] != '/' && rest[0] != '?') return false;
    return std::all_of(rest.begin(), rest.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte > 0x20 && byte < 0x7F;
    });
}

bool isBootstrapNode(std::string_view node) {
    const size_t colon = node.rfind(':');
    if (colon == std::string_view::npos || colon == 0 || colon + 1 == node.size() || colon + 6 < node.size())
        return false;
    int port = 0;
    for (const char c : node.substr(colon + 1)) {
        if (c < '0' || c > '9') return false;
        port = port * 10 + (c - '0');
    }
    if (port < 1 || port > 65535) return false;
    // The host alone: a name, or an IPv6 address in brackets (a bare one's colons would leave the port unclear).
    const std::string_view host = node.substr(0, colon);
    if (host[0] == '[' ? host.back() != ']' : host.find(':') != std::string_view::npos) return false;
    return pastHostAndPort(host) == host.size();
}

}  // namespace lanqi

#include "platform/settings.h"

#include <toml++/toml.h>

#include "platform/files.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <mutex>
#include <optional>

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

void readFile(const std::string& file, Settings& settings, std::vector<SettingsProblem>& problems) {
    toml::table document;
    std::ifstream in(pathFromUtf8(file), std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    try {
        document = toml::parse(text.str(), file);
    } catch (const toml::parse_error& error) {
        problems.push_back(
            {SettingsProblem::Syntax, static_cast<long>(error.source().begin.line), std::string(error.description())});
        return;
    }
    for (const auto& [key, node] : document) {
        const std::string name(key.str());
        const auto* table = node.as_table();
        int slot = 0;
        for (int n = 1; n <= 6; ++n)
            if (name == "site" + std::to_string(n)) slot = n;
        if ((slot > 0 || name == "vendor" || name == "play") && table == nullptr) {
            problems.push_back({SettingsProblem::WrongType, lineOf(node), name});
        } else if (slot > 0) {
            readSiteTable(*table, slot, settings.sites[static_cast<size_t>(slot - 1)], problems);
        } else if (name == "vendor") {
            readServiceTable(*table, name, settings.vendorBase, settings.vendorFrom, problems);
        } else if (name == "play") {
            readServiceTable(*table, name, settings.playBase, settings.playFrom, problems);
        } else {
            problems.push_back({SettingsProblem::UnknownTable, lineOf(node), name});
        }
    }
}

void applyEnvironment(Settings& settings) {
    for (int n = 1; n <= 6; ++n) {
        const std::string value = environment(("LANQI_SITE" + std::to_string(n) + "_BASE").c_str());
        if (value.empty()) continue;
        settings.sites[static_cast<size_t>(n - 1)].base = value;
        settings.sites[static_cast<size_t>(n - 1)].baseFrom = SettingOrigin::Environment;
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

std::mutex g_activeMutex;
std::optional<Settings> g_active;

}  // namespace

std::string SettingsProblem::english() const {
    switch (kind) {
        case Syntax:
            return "not a TOML file: " + subject;
        case UnknownTable:
            return "unknown table [" + subject + "] (known: site1 ... site6, vendor, play)";
        case UnknownKey:
            return "unknown key " + subject;
        case WrongType:
            return subject +
                   " has the wrong type (base and definition are text, enabled is true or false, "
                   "site1 ... site6, vendor and play are tables)";
        case BadAddress:
            return subject + " is not an http:// or https:// address with a host";
        case UnknownDefinition:
            return "unknown site definition: " + subject +
                   " (known: site1 ... site6 and NAME for each NAME.toml in the sites folder beside this file)";
        case BadDefinition:
            return "bad site definition, the slot keeps its built-in one: " + subject;
    }
    return subject;
}

std::string SettingsProblem::chinese() const {
    switch (kind) {
        case Syntax:
            return "不是有效的 TOML 文件：" + subject;
        case UnknownTable:
            return "未知的表 [" + subject + "]（可用：site1 … site6、vendor、play）";
        case UnknownKey:
            return "未知的设置项 " + subject;
        case WrongType:
            return subject + " 的类型不对（base 和 definition 是文本，enabled 是 true 或 false）";
        case BadAddress:
            return subject + " 不是带主机名的 http:// 或 https:// 地址";
        case UnknownDefinition:
            return "未知的站点定义：" + subject +
                   "（可用：site1 … site6，以及同目录 sites 文件夹中每个 NAME.toml 的 NAME）";
        case BadDefinition:
            return "站点定义有错误，该站点改用内置定义：" + subject;
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
    for (int n = 1; n <= 6; ++n) {
        SiteSlotSettings& site = settings.sites[static_cast<size_t>(n - 1)];
        site.base = Text(kBuiltInSiteBases[static_cast<size_t>(n - 1)]);
        site.definition = "site" + std::to_string(n);
    }
    settings.vendorBase = Text(kBuiltInVendorBase);
    settings.playBase = Text(kBuiltInPlayBase);
    return settings;
}

std::string settingsFilePath() { return userConfigFolder() + "/lanqi-search/config.toml"; }

LoadedSettings loadSettings(const std::string& file, bool withEnvironment) {
    LoadedSettings loaded;
    loaded.settings = builtInSettings();
    loaded.file = file;
    std::error_code error;
    loaded.fileFound = !file.empty() && std::filesystem::exists(pathFromUtf8(file), error);
    if (loaded.fileFound) readFile(file, loaded.settings, loaded.problems);
    std::stable_sort(loaded.problems.begin(), loaded.problems.end(),
                     [](const SettingsProblem& a, const SettingsProblem& b) { return a.line < b.line; });
    if (withEnvironment) applyEnvironment(loaded.settings);
    return loaded;
}

bool saveSettingsFile(const std::string& file, const Settings& settings, std::string& error) {
    toml::table document;
    for (int n = 1; n <= 6; ++n) {
        const SiteSlotSettings& site = settings.sites[static_cast<size_t>(n - 1)];
        document.insert("site" + std::to_string(n),
                        toml::table{{"base", site.base}, {"enabled", site.enabled}, {"definition", site.definition}});
    }
    document.insert("vendor", toml::table{{"base", settings.vendorBase}});
    document.insert("play", toml::table{{"base", settings.playBase}});
    std::ostringstream text;
    text << "# 岚栖种子搜索神器: the site slots and the vendor's and cloud-play addresses (written by 站点设置)\n"
         << document << "\n";

    std::error_code failure;
    const std::filesystem::path path = pathFromUtf8(file);
    if (path.has_parent_path()) std::filesystem::create_directories(path.parent_path(), failure);
    if (std::filesystem::is_regular_file(path, failure)) {
        std::ifstream previous(path, std::ios::binary);
        std::ostringstream bytes;
        bytes << previous.rdbuf();
        if (!writeFileBlocks(gbk(file + ".bak"), {bytes.str()})) {
            error = "cannot keep the previous file as " + file + ".bak";
            return false;
        }
    }
    if (!writeFileBlocks(gbk(file), {text.str()})) {
        error = "cannot write " + file;
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
    size_t hostStart = 0;
    if (lower.rfind("http://", 0) == 0) {
        hostStart = 7;
    } else if (lower.rfind("https://", 0) == 0) {
        hostStart = 8;
    } else {
        return false;
    }
    size_t hostEnd = hostStart;
    if (hostStart < base.size() && base[hostStart] == '[') {  // an IPv6 address
        hostEnd = base.find(']', hostStart);
        if (hostEnd == std::string::npos || hostEnd == hostStart + 1) return false;
        for (size_t k = hostStart + 1; k < hostEnd; ++k)
            if (!(std::isxdigit(static_cast<unsigned char>(base[k])) || base[k] == ':' || base[k] == '.')) return false;
        ++hostEnd;
    } else {
        while (hostEnd < base.size() && base[hostEnd] != ':' && base[hostEnd] != '/') ++hostEnd;
        if (hostEnd == hostStart) return false;
        for (size_t k = hostStart; k < hostEnd; ++k) {
            const char c = base[k];
            if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == '_')) return false;
        }
    }
    size_t i = hostEnd;
    if (i < base.size() && base[i] == ':') {
        const size_t digits = ++i;
        while (i < base.size() && std::isdigit(static_cast<unsigned char>(base[i]))) ++i;
        if (i == digits || i - digits > 5) return false;
    }
    for (; i < base.size(); ++i) {
        const auto c = static_cast<unsigned char>(base[i]);
        if (c <= 0x20 || c >= 0x7F || c == '?' || c == '#') return false;  // a path only
    }
    return true;
}

void useSettings(const Settings& settings) {
    const std::lock_guard lock(g_activeMutex);
    g_active = settings;
}

const Settings& activeSettings() {
    const std::lock_guard lock(g_activeMutex);
    if (!g_active) g_active = builtInSettings();
    return *g_active;
}

}  // namespace lanqi

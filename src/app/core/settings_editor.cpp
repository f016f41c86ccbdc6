#include "app/core/settings_editor.h"

#include <algorithm>
#include <string_view>
#include <utility>

#include "app/core/client_controller.h"
#include "scrape/site_definition.h"
#include "search/site_check.h"

namespace lanqi {
namespace {

// The lines of a box, without their blanks; the blank ones left out. Each with its line number (1-based).
std::vector<std::pair<int, std::string>> boxLines(std::string_view box) {
    std::vector<std::pair<int, std::string>> lines;
    int number = 0;
    for (size_t start = 0; start <= box.size();) {
        size_t end = box.find('\n', start);
        if (end == std::string_view::npos) end = box.size();
        ++number;
        std::string_view line = box.substr(start, end - start);
        while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
        while (!line.empty() && (line.back() == ' ' || line.back() == '\t' || line.back() == '\r'))
            line.remove_suffix(1);
        if (!line.empty()) lines.emplace_back(number, std::string(line));
        start = end + 1;
    }
    return lines;
}

std::string joinedLines(const std::vector<std::string>& entries) {
    std::string box;
    for (const std::string& entry : entries) box += (box.empty() ? "" : "\n") + gbk(entry);
    return box;
}

// A whole number from `low` to `high` as typed (blanks around it allowed), else nothing.
std::optional<int> boundedNumber(std::string_view typed, int low, int high) {
    const std::vector<std::pair<int, std::string>> lines = boxLines(typed);
    if (lines.size() != 1) return std::nullopt;
    const std::string& digits = lines[0].second;
    if (digits.size() > 6 || !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    const int value = std::stoi(digits);
    if (value < low || value > high) return std::nullopt;
    return value;
}

}  // namespace

SettingsEditor::SettingsEditor(std::string file, const Settings& inUse)
    : m_file(std::move(file)), m_fileValues(loadSettings(m_file, false).settings) {
    for (const SiteSlotSettings& site : inUse.sites)
        m_environmentBases.push_back(site.baseFrom == SettingOrigin::Environment ? site.base : Text());
    for (size_t n = 0; n < m_fileValues.sites.size(); ++n) {
        const SiteSlotSettings& site = m_fileValues.sites[n];
        Row& row = rows.emplace_back();
        row.enabled = site.enabled;
        row.definition = site.definition;
        number(n, site.base);
    }
    vendor.value = m_fileValues.vendorBase;
    if (inUse.vendorFrom == SettingOrigin::Environment) vendor = {inUse.vendorBase, "LANQI_VENDOR_BASE"};
    play.value = m_fileValues.playBase;
    if (inUse.playFrom == SettingOrigin::Environment) play = {inUse.playBase, "LANQI_PLAY_BASE"};
    const SwarmSettings& fromFile = m_fileValues.swarm;
    swarm = {fromFile.enabled,
             fromFile.autoCheck,
             joinedLines(fromFile.trackers),
             joinedLines(fromFile.dhtBootstrap),
             gbk(fromFile.listen),
             decimalText(fromFile.timeoutSeconds),
             decimalText(fromFile.maxChecks)};
}

void SettingsEditor::number(size_t k, const Text& fileBase) {
    Row& row = rows[k];
    row.slot = static_cast<int>(k) + 1;
    row.fileBase = fileBase;
    if (k < m_environmentBases.size() && !m_environmentBases[k].empty())
        row.base = {m_environmentBases[k], "LANQI_SITE" + std::to_string(row.slot) + "_BASE"};
    else
        row.base = {fileBase, ""};
}

int SettingsEditor::addRow() {
    if (!canAddRow()) return 0;
    Row& row = rows.emplace_back();
    row.definition = definitionChoices(0).front();
    number(rows.size() - 1, Text());
    return row.slot;
}

bool SettingsEditor::removeRow(int slot) {
    if (!canRemoveRow(slot)) return false;
    rows.erase(rows.begin() + (slot - 1));
    for (size_t k = static_cast<size_t>(slot - 1); k < rows.size(); ++k)
        number(k, rows[k].base.readOnly() ? rows[k].fileBase : rows[k].base.value);
    return true;
}

std::string SettingsEditor::environmentNote(const Address& address) {
    if (!address.readOnly()) return {};
    return "由环境变量 " + address.environment + " 设定，设置文件中的值不起作用";
}

const SettingsEditor::Address* SettingsEditor::field(int field) const {
    if (field == kVendor) return &vendor;
    if (field == kPlay) return &play;
    if (field >= 1 && field <= static_cast<int>(rows.size())) return &rows[static_cast<size_t>(field - 1)].base;
    return nullptr;
}

std::optional<SettingsEditor::Problem> SettingsEditor::checkField(int which) const {
    const Address* address = field(which);
    if (address == nullptr || address->readOnly() || isSearchableBase(trimmedBase(address->value))) return std::nullopt;
    const std::string what = which == kVendor ? std::string("官方网站地址")
                             : which == kPlay ? std::string("云播服务地址")
                                              : "站点" + std::to_string(which) + "的地址";
    return Problem{which, what +
                              "必须以 http:// 或 https:// 开头并带主机名，可带端口和路径，例如 "
                              "http://127.0.0.1:8080/site1"};
}

std::optional<SettingsEditor::Problem> SettingsEditor::checkSwarm() const {
    for (const auto& [number, line] : boxLines(swarm.trackers))
        if (!isTrackerAddress(line))
            return Problem{kSwarmTrackers, "Tracker 地址第 " + std::to_string(number) + " 行（" + utf8(line) +
                                               "）必须以 http://、https:// 或 udp:// 开头并带主机名，例如 "
                                               "udp://127.0.0.1:6969/announce"};
    for (const auto& [number, line] : boxLines(swarm.bootstrap))
        if (!isBootstrapNode(line))
            return Problem{kSwarmBootstrap, "DHT 引导节点第 " + std::to_string(number) + " 行（" + utf8(line) +
                                                "）必须是 host:port，端口为 1 至 65535，例如 127.0.0.1:6881"};
    if (!boundedNumber(swarm.timeout, kMinSwarmTimeoutSeconds, kMaxSwarmTimeoutSeconds))
        return Problem{kSwarmTimeout, "每次检查时限必须是 " + std::to_string(kMinSwarmTimeoutSeconds) + " 至 " +
                                          std::to_string(kMaxSwarmTimeoutSeconds) + " 的整数（秒）"};
    if (!boundedNumber(swarm.maxChecks, kMinSwarmChecks, kMaxSwarmChecks))
        return Problem{kSwarmChecks, "同时检查数必须是 " + std::to_string(kMinSwarmChecks) + " 至 " +
                                         std::to_string(kMaxSwarmChecks) + " 的整数"};
    return std::nullopt;
}

std::optional<SettingsEditor::Problem> SettingsEditor::check() const {
    for (const Row& row : rows)
        if (auto problem = checkField(row.slot)) return problem;
    if (auto problem = checkField(kVendor)) return problem;
    if (auto problem = checkField(kPlay)) return problem;
    return checkSwarm();
}

Settings SettingsEditor::edited() const {
    Settings settings = m_fileValues;
    // The built-in slots keep what else the file says of them; the user's own are as the rows have them now
    // (added, or moved down by a removal).
    settings.sites.resize(std::min(settings.sites.size(), static_cast<size_t>(kBuiltInSiteSlots)));
    settings.sites.resize(rows.size());
    for (const Row& row : rows) {
        SiteSlotSettings& site = settings.sites[static_cast<size_t>(row.slot - 1)];
        site.base = trimmedBase(row.base.readOnly() ? row.fileBase : row.base.value);
        site.enabled = row.enabled;
        site.definition = row.definition;
        if (row.slot > kBuiltInSiteSlots) {
            site.baseFrom = site.enabledFrom = site.definitionFrom = SettingOrigin::File;
            site.definitionLine = 0;
        }
    }
    if (!vendor.readOnly()) settings.vendorBase = trimmedBase(vendor.value);
    if (!play.readOnly()) settings.playBase = trimmedBase(play.value);
    SwarmSettings& check = settings.swarm;
    check.enabled = swarm.enabled;
    check.asked = check.asked || swarm.enabled;
    check.autoCheck = swarm.autoCheck;
    for (auto [box, list] :
         {std::pair{&swarm.trackers, &check.trackers}, std::pair{&swarm.bootstrap, &check.dhtBootstrap}}) {
        list->clear();
        for (const auto& [number, line] : boxLines(*box)) list->push_back(utf8(line));
    }
    const std::vector<std::pair<int, std::string>> listen = boxLines(swarm.listen);
    check.listen = listen.empty() ? std::string() : utf8(listen.front().second);
    check.timeoutSeconds =
        boundedNumber(swarm.timeout, kMinSwarmTimeoutSeconds, kMaxSwarmTimeoutSeconds).value_or(check.timeoutSeconds);
    check.maxChecks = boundedNumber(swarm.maxChecks, kMinSwarmChecks, kMaxSwarmChecks).value_or(check.maxChecks);
    return settings;
}

std::optional<Settings> SettingsEditor::save(Problem& problem) const {
    if (auto found = check()) {
        problem = *found;
        return std::nullopt;
    }
    std::string error;
    if (!saveSettingsFile(m_file, edited(), error)) {
        problem = {0, "保存失败：" + error};
        return std::nullopt;
    }
    return loadSettings(m_file).settings;
}

std::vector<std::string> SettingsEditor::definitionChoices(int slot) const {
    std::vector<std::string> names = siteDefinitionNames();
    if (slot >= 1 && slot <= static_cast<int>(rows.size())) {
        const std::string& own = rows[static_cast<size_t>(slot - 1)].definition;
        if (std::find(names.begin(), names.end(), own) == names.end()) names.push_back(own);
    }
    return names;
}

void applySettings(ClientController& client, const Settings& settings) {
    std::vector<SettingsProblem> problems;
    const SiteSlots definitions = loadSiteDefinitions(settings, problems);
    client.useSettings(settings, definitions);
}

std::string SettingsEditor::exportBundle(const std::string& path) const {
    std::string error;
    if (exportSiteBundleFile(path, edited(), error, siteDefinitionFolderOf(m_file))) return {};
    return "无法导出站点：" + error;
}

SettingsEditor::ImportQuestion SettingsEditor::askImport(const std::string& path) const {
    ImportQuestion question{planSiteImport(path, m_file), {}};
    const SiteImportPlan& plan = question.plan;
    if (plan.refused()) {
        question.text = "这个文件不能导入，设置没有改变：\n" + plan.report(true);
    } else if (plan.changes.empty()) {
        question.text = "导入这个文件不会改变任何设置。";
    } else {
        question.text = "导入后将有这些改变：\n";
        for (const SiteImportChange& change : plan.changes) question.text += change.chinese + "\n";
        if (!plan.backups.empty()) {
            question.text += "\n原来的文件将保留为：\n";
            for (const std::string& backup : plan.backups) question.text += backup + "\n";
        }
        question.text += "\n要导入吗？";
    }
    return question;
}

std::optional<Settings> SettingsEditor::applyImport(const ImportQuestion& question, std::string& problem) {
    std::string error;
    std::optional<Settings> settings = question.plan.apply(error);
    if (!settings) problem = "无法导入站点：" + error;
    return settings;
}

SettingsContext settingsContextOf(ClientController& client, int focusedSlot, Text testKeyword) {
    SettingsContext context;
    context.focusedSlot = focusedSlot;
    context.testKeyword = std::move(testKeyword);
    context.inUse = client.settings();
    for (int n = 1; n <= static_cast<int>(context.inUse.sites.size()); ++n)
        context.lastRun.push_back(describeLastRun(client.searchFlow(), n));
    context.applied = [&client](const Settings& settings) { applySettings(client, settings); };
    return context;
}

}  // namespace lanqi

#include "app/core/settings_editor.h"

#include <algorithm>

#include "app/core/client_controller.h"
#include "scrape/site_definition.h"

namespace lanqi {

SettingsEditor::SettingsEditor(std::string file, const Settings& inUse)
    : m_file(std::move(file)), m_fileValues(loadSettings(m_file, false).settings) {
    for (size_t n = 0; n < m_fileValues.sites.size(); ++n) {
        const SiteSlotSettings& site = m_fileValues.sites[n];
        Row row;
        row.slot = static_cast<int>(n) + 1;
        row.enabled = site.enabled;
        row.base.value = site.base;
        row.definition = site.definition;
        if (n < inUse.sites.size() && inUse.sites[n].baseFrom == SettingOrigin::Environment)
            row.base = {inUse.sites[n].base, "LANQI_SITE" + std::to_string(row.slot) + "_BASE"};
        rows.push_back(std::move(row));
    }
    vendor.value = m_fileValues.vendorBase;
    if (inUse.vendorFrom == SettingOrigin::Environment) vendor = {inUse.vendorBase, "LANQI_VENDOR_BASE"};
    play.value = m_fileValues.playBase;
    if (inUse.playFrom == SettingOrigin::Environment) play = {inUse.playBase, "LANQI_PLAY_BASE"};
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

std::optional<SettingsEditor::Problem> SettingsEditor::check() const {
    for (const Row& row : rows)
        if (auto problem = checkField(row.slot)) return problem;
    if (auto problem = checkField(kVendor)) return problem;
    return checkField(kPlay);
}

Settings SettingsEditor::edited() const {
    Settings settings = m_fileValues;
    for (const Row& row : rows) {
        SiteSlotSettings& site = settings.sites[static_cast<size_t>(row.slot - 1)];
        if (!row.base.readOnly()) site.base = trimmedBase(row.base.value);
        site.enabled = row.enabled;
        site.definition = row.definition;
    }
    if (!vendor.readOnly()) settings.vendorBase = trimmedBase(vendor.value);
    if (!play.readOnly()) settings.playBase = trimmedBase(play.value);
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

}  // namespace lanqi

#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/settings.h"

namespace lanqi {

// A site bundle hands a working set of sites to another user: one TOML text holding every slot of a settings
// file and the definition files those slots name.
//
//   # 岚栖种子搜索神器 site bundle: ...
//   [site1]
//   enabled = true
//   base = "http://..."
//   definition = "site1"
//   ...
//   [site7]
//   ...
//
//   [definitions]
//   mysite = '''
//   ...the bytes of mysite.toml...'''
//
// Each slot is written with all three keys. A definition's text is a multi-line literal string when it can be
// one (no ''' in it, no control character but tabs and line ends, no "\r", no "'" at its end), else a
// multi-line basic string with "\", "\"" and those control characters escaped; either way every line of the file
// stays one line of the bundle and its bytes come back unchanged. The built-in definitions (site1 ... site6
// without a file of the user's) are not carried: every client has them. The vendor's and cloud-play addresses
// and the view are the user's own and are not carried either.

// A bundle is read only when it has at most this many bytes; an export that would be larger is refused.
inline constexpr std::size_t kMaxSiteBundleBytes = std::size_t{1} << 20;

// The folder of the definition files that go with the settings file `settingsFile`: "sites" beside it (for
// settingsFilePath() this is userSiteDefinitionFolder()).
std::string siteDefinitionFolderOf(const std::string& settingsFile);

// The bundle of the slots of `fileValues` (a settings file's own values: loadSettings(file, false), without the
// environment's) and of each NAME.toml of `definitionFolder` a slot names. "" with a short English reason in
// `error` when a definition file cannot be read or is not UTF-8 text, or the bundle would exceed
// kMaxSiteBundleBytes.
std::string exportSiteBundle(const Settings& fileValues, std::string& error,
                             const std::string& definitionFolder = siteDefinitionFolderOf(settingsFilePath()));

// The same written to `path` (UTF-8) in one step. False with a short English reason.
bool exportSiteBundleFile(const std::string& path, const Settings& fileValues, std::string& error,
                          const std::string& definitionFolder = siteDefinitionFolderOf(settingsFilePath()));

// One thing an import changes, for people.
struct SiteImportChange {
    std::string english;
    std::string chinese;  // UTF-8
};

// What importing a bundle into a settings file would do. An import replaces the file's set of slots with the
// bundle's (a slot the bundle lacks is removed; the six built-in ones keep what the bundle gives them, their
// built-in values where it says nothing) and writes the carried definitions beside the settings file; the
// file's vendor, cloud-play and view values stay.
struct SiteImportPlan {
    std::string bundle;        // the bundle's path, which problems name
    std::string settingsFile;  // the settings file the import writes
    // Every problem of the bundle (its file and line: "FILE:LINE: problem"); any one refuses the whole import.
    std::vector<SettingsProblem> problems;
    // One line per change, in slot order (site3.base, site3.enabled, site3.definition; "site8: new slot";
    // "site9: removed"), then the definitions by name ("definition NAME: new" or "changed"). Empty when the
    // import changes nothing.
    std::vector<SiteImportChange> changes;
    // The files apply() keeps as backups before it writes: FILE.bak of the settings file (when there is one)
    // and NAME.toml.bak of each definition file it overwrites.
    std::vector<std::string> backups;

    Settings imported;                                             // the settings file's values after the import
    std::vector<std::pair<std::string, std::string>> definitions;  // carried NAME and text, by name

    bool refused() const { return !problems.empty(); }
    // "FILE:LINE: problem" lines, in English or Chinese (UTF-8).
    std::string report(bool chinese) const;
    // Keeps the backups, then writes the new and changed definition files (the folder made when missing), then
    // the settings file (saveSettingsFile). The settings the client runs with from now on (the file's, with the
    // environment's), or nullopt with a short English reason in `error` (also when the plan is refused).
    std::optional<Settings> apply(std::string& error) const;
};

// Reads the bundle at `path` (at most kMaxSiteBundleBytes), checks it as the settings file is checked, parses
// every carried definition and compares both with `settingsFile` and the definitions beside it. A slot may name
// a definition the bundle does not carry only when this client has it (built in, beside the settings file or
// installed).
SiteImportPlan planSiteImport(const std::string& path, const std::string& settingsFile = settingsFilePath());

// The same for a bundle's text; `path` names it in problems.
SiteImportPlan planSiteImportText(std::string_view text, const std::string& path,
                                  const std::string& settingsFile = settingsFilePath());

}  // namespace lanqi

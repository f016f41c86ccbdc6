#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "platform/text.h"

namespace lanqi {

// The compiled-in base addresses of the six site slots and of the vendor's site and the cloud-play service.
// The public result sites are reached over plain HTTP; their real hosts change often, so deployments and
// tests point each slot elsewhere (the settings file, or LANQI_SITE<n>_BASE).
inline constexpr std::array<std::string_view, 6> kBuiltInSiteBases{
    "http://site1.lanqi-sites.example", "http://site2.lanqi-sites.example", "http://site3.lanqi-sites.example",
    "http://site4.lanqi-sites.example", "http://site5.lanqi-sites.example", "http://site6.lanqi-sites.example"};
inline constexpr std::string_view kBuiltInVendorBase = "http://www.lanqi-studio.example";
inline constexpr std::string_view kBuiltInPlayBase = "http://play.lanqi-studio.example";

// The slots a settings file may give: the six built-in ones, then [site7] ... [site32] of the user's own.
inline constexpr int kBuiltInSiteSlots = 6;
inline constexpr int kMaxSiteSlots = 32;

// Where a value came from: compiled in, the settings file, or an environment variable (which wins).
enum class SettingOrigin { BuiltIn, File, Environment };

// One site slot. A slot past the sixth has no built-in base or definition: until the file gives both they
// are empty, and a slot without them is not searched.
struct SiteSlotSettings {
    Text base;                // scheme, host, optional port and path; no "/" at the end
    bool enabled = true;      // a disabled slot is not fetched
    std::string definition;   // the site definition the slot runs: "site1" .. "site6" or a definition file's name
    long definitionLine = 0;  // the settings file's line that named it; 0 when it did not
    SettingOrigin baseFrom = SettingOrigin::BuiltIn;
    SettingOrigin enabledFrom = SettingOrigin::BuiltIn;
    SettingOrigin definitionFrom = SettingOrigin::BuiltIn;
};

// [swarm]: the swarm check of results (peers, seeds, the torrent's own metadata). It joins the BitTorrent
// network, so it stays off until the user agrees.
struct SwarmSettings {
    bool enabled = false;
    bool asked = false;                 // the user has answered the first check's question (No leaves `enabled` off)
    bool autoCheck = false;             // check the rows shown, as they are shown
    std::vector<std::string> trackers;  // announce addresses (http, https, udp) added to every check
    std::vector<std::string> dhtBootstrap;        // "host:port"; none: the library's public routers
    std::string listen;                           // the interface to listen on, "" for all
    int timeoutSeconds = 20;                      // one check's time limit
    int maxChecks = 4;                            // checks at once; the rest wait
    SettingOrigin from = SettingOrigin::BuiltIn;  // File when the file has a [swarm] table

    bool operator==(const SwarmSettings&) const = default;
};

// The bounds of [swarm]'s numbers; a value outside them keeps the built-in one.
inline constexpr int kMinSwarmTimeoutSeconds = 1;
inline constexpr int kMaxSwarmTimeoutSeconds = 300;
inline constexpr int kMinSwarmChecks = 1;
inline constexpr int kMaxSwarmChecks = 16;

struct Settings {
    std::vector<SiteSlotSettings> sites;  // slot n at n - 1: the six built-in slots, then the file's [site7]...
    Text vendorBase;
    Text playBase;
    SettingOrigin vendorFrom = SettingOrigin::BuiltIn;
    SettingOrigin playFrom = SettingOrigin::BuiltIn;
    // [view]: how the results are shown, as the user last chose (table: the table view; unique: one row per
    // torrent).
    bool tableView = false;
    bool uniqueRows = false;
    SettingOrigin tableViewFrom = SettingOrigin::BuiltIn;
    SettingOrigin uniqueRowsFrom = SettingOrigin::BuiltIn;
    SwarmSettings swarm;
};

// One thing wrong in the settings file. The entry it names keeps its built-in value.
struct SettingsProblem {
    enum Kind {
        Syntax,
        UnknownTable,
        UnknownKey,
        WrongType,
        BadAddress,
        MissingKey,  // a slot past the sixth without its base or definition: it is not searched
        SlotGap,     // [siteN] past the sixth without [siteN-1]: slots are numbered without gaps; not read
        UnknownDefinition,
        BadDefinition,
        TooDeep,           // keys, tables or arrays nested deeper than kMaxTomlDepth: the file is not parsed
        FileIsFolder,      // the settings file's place holds a folder
        NotARegularFile,   // ... a FIFO, a device or a socket, which is not read
        FileTooLarge,      // ... a file larger than kMaxSettingsFileBytes, which is not read
        LinkLoop,          // ... symbolic links that loop
        CannotRead,        // ... a file that cannot be opened or read
        NotInBundle,       // a table a site bundle does not carry (it holds [site1] ... and [definitions])
        BadBundledText,    // [definitions] NAME is not a definition's text under a definition's name
        NoRoomForFile,     // `file` holds a folder or a special file where a definition file is to be written
        BadTracker,        // a swarm.trackers entry (`subject`) that is not an http, https or udp address with a host
        BadBootstrapNode,  // a swarm.dht_bootstrap entry (`subject`) that is not "host:port"
        OutOfRange,        // swarm.timeout or swarm.max_checks outside its bounds
    } kind;
    long line = 0;          // 1-based; 0 when the file as a whole is meant
    std::string subject;    // the table or key ("site3.base"); for Syntax the parser's description; for
                            // BadDefinition what is wrong with the definition file, in English
    std::string file = {};  // the file the line is in when it is not the settings file (a site definition)
    std::string english() const;
    std::string chinese() const;  // UTF-8
    // "FILE:LINE" or "FILE", FILE being `file` or else `settingsFile`.
    std::string where(const std::string& settingsFile) const;
};

struct LoadedSettings {
    Settings settings;
    std::string file;  // the settings file that was read (or would have been)
    bool fileFound = false;
    std::vector<SettingsProblem> problems;
    // "FILE:LINE: problem" lines, in English or Chinese (UTF-8).
    std::string report(bool chinese) const;
};

// The settings file is read only when it is a regular file of at most this many bytes.
inline constexpr std::size_t kMaxSettingsFileBytes = std::size_t{1} << 20;

// The compiled-in values: the catalogue's six bases, every slot enabled with its own definition.
Settings builtInSettings();

// $XDG_CONFIG_HOME/lanqi-search/config.toml, or ~/.config/lanqi-search/config.toml when it is not set.
std::string settingsFilePath();

// The built-in values, then the file's (when it exists), then the environment's LANQI_SITE<n>_BASE (for
// every slot there is), LANQI_VENDOR_BASE and LANQI_PLAY_BASE, key by key. The environment is read here
// and nowhere else: what this returns is handed to the search flow and the windows. A file that cannot be parsed adds
// nothing but its problem; a bad entry keeps the built-in value and adds its problem.
LoadedSettings loadSettings(const std::string& file = settingsFilePath(), bool withEnvironment = true);

// The built-in values with those of `text`, read as the settings file `file` (which names it in problems);
// the environment is not consulted.
LoadedSettings parseSettingsText(std::string_view text, const std::string& file);

// The text of `previous` (a settings file) changed to hold `settings`, as a person would edit it: a value that
// differs is replaced on its own `key = value` line, a missing key goes to the end of its table, a missing table
// to the end of the file; every other byte (comments, blank lines, key order, unknown keys) stays. A value the
// file already gives is not written again. "" when the file cannot be edited that way (not parsed, or values
// in inline tables, dotted keys or multi-line strings); the caller then writes the whole file anew.
std::string editedSettingsText(std::string_view previous, const Settings& settings);

// Writes `settings` (every slot and both services, the environment's values not included) as the settings
// file: into a new file put in place in one step, the previous file kept beside it as FILE.bak, the folder
// made when missing. An existing file is edited in place (editedSettingsText) so its comments and order stay,
// else written whole. A settings file that is a symbolic link stays one: its target is written, as editors do.
// False, with a short English reason, when it cannot be written.
bool saveSettingsFile(const std::string& file, const Settings& settings, std::string& error);

// A site definition's name: 1 to 64 ASCII letters, digits, "-" and "_" (it names NAME.toml, never a path).
bool isDefinitionName(std::string_view name);

// A base address as a person typed it, without the blanks around it and the "/" at its end.
Text trimmedBase(std::string_view typed);

// http or https, a host, an optional port and path, nothing else: a base the client may search.
bool isSearchableBase(const Text& base);

// An announce address the swarm check may use: http, https or udp, a host, an optional port and the rest.
bool isTrackerAddress(std::string_view address);

// A DHT bootstrap node: "host:port" ("[v6]:port" for an IPv6 address), the port from 1 to 65535.
bool isBootstrapNode(std::string_view node);

}  // namespace lanqi

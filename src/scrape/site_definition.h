#pragma once

#include <array>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/settings.h"
#include "scrape/compiled_site.h"

namespace lanqi {

// How a site's request address is made: base + path + keyword + beforePage + page number + afterPage.
struct SiteAddress {
    std::string path;
    std::string beforePage;
    std::string afterPage;
};

// One site as data: what a definition file (docs/site-definitions.md) says, read and checked, with its
// table compiled. Made once by the reader and never changed or moved afterwards: the table's views and the
// compiled steps lead into `texts` and `steps`.
struct SiteDefinition {
    std::string name;                // what the settings call it: "site1" .. "site6" or a file's name without ".toml"
    std::string source;              // the file it was read from, or "built-in NAME.toml"
    std::string siteName;            // the site's own name, UTF-8, for people
    std::string encoding = "UTF-8";  // the charset of the site's pages
    bool utf8Pages = true;           // pages are scraped as they arrive; else converted to UTF-8 first
    SiteAddress address;
    scrape::SiteTable table;
    scrape::CompiledSite compiled;
    Bytes pageMarkerInPage;  // the page marker and the item anchor in the pages' charset: the checks that
    Bytes itemAnchorInPage;  // look at all six pages read them before any page is converted
    std::vector<scrape::Step> steps;
    std::deque<std::string> texts;  // every marker, label and tag the steps view

    SiteDefinition() = default;
    SiteDefinition(const SiteDefinition&) = delete;
    SiteDefinition& operator=(const SiteDefinition&) = delete;
};

using SiteDefinitionPtr = std::shared_ptr<const SiteDefinition>;
using SiteSlots = std::vector<SiteDefinitionPtr>;  // slot n's definition at n - 1; null: the slot has none

// Reads a definition from its TOML text. `source` names the file in problems. Null, with every problem
// found (kind BadDefinition, the file and the line), when the text is not a definition the item loop can run.
SiteDefinitionPtr parseSiteDefinition(std::string_view text, const std::string& name, const std::string& source,
                                      std::vector<SettingsProblem>& problems);

// The same for a file (at most 1 MiB is read).
SiteDefinitionPtr readSiteDefinitionFile(const std::string& path, const std::string& name,
                                         std::vector<SettingsProblem>& problems);

// The compiled-in definition "site<n>" (n = 1..6; others give site1's): the text of the installed
// sites/site<n>.toml, built into the program so that it runs without the installed files.
SiteDefinitionPtr builtInSiteDefinition(int number);
std::string_view builtInSiteDefinitionText(int number);
SiteSlots builtInSiteSlots();  // the six built-in slots' definitions

// The user's definitions: the "sites" folder beside the settings file. The installed ones:
// ../share/lanqi-search/sites from the program's folder ("" when the program's place is unknown).
std::string userSiteDefinitionFolder();
std::string installedSiteDefinitionFolder();

// The definition called `name`: NAME.toml in the user's folder, else in the installed folder, else the
// compiled-in one. Null when there is none (`broken` false) or the file that should give it is broken
// (`broken` true, its problems added).
SiteDefinitionPtr findSiteDefinition(const std::string& name, std::vector<SettingsProblem>& problems,
                                     bool* broken = nullptr);

// Every definition name there is: site1 .. site6, then the other files of both folders, sorted.
std::vector<std::string> siteDefinitionNames();

// Every slot's definition as `settings` name them, one per slot. A name that gives none, or a broken file,
// leaves a built-in slot its built-in definition and a slot past the sixth none (null), and adds a problem.
SiteSlots loadSiteDefinitions(const Settings& settings, std::vector<SettingsProblem>& problems);

}  // namespace lanqi

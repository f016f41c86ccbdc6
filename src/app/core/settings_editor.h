#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/core/site_bundle.h"
#include "platform/settings.h"

namespace lanqi {

class ClientController;

// What 站点设置 edits, whichever window shows it: a row per slot of the settings file (the six built-in ones,
// then the file's own), the vendor's and the cloud-play addresses, and which of them the environment sets
// (shown as used, read-only, never written to the file). The windows copy their controls into these values
// and back; checking and saving are done here.
class SettingsEditor {
  public:
    // An address the window shows: as the file gives it, or the environment's when `environment` names the
    // variable that sets it (then it is read-only).
    struct Address {
        Text value;               // GBK, as typed
        std::string environment;  // "LANQI_SITE3_BASE" when the environment sets it, else ""
        bool readOnly() const { return !environment.empty(); }
    };
    struct Row {
        int slot = 0;  // 1-based
        bool enabled = true;
        Address base;
        std::string definition;
        Text fileBase;  // the file's address under one the environment sets (what a save keeps)
    };
    // 健康度检查: the swarm check's settings as the page shows them, the lists one entry a line.
    struct SwarmPage {
        bool enabled = false;
        bool autoCheck = false;
        Text trackers;   // GBK, one announce address a line ("\n" or "\r\n" between them; blank lines skipped)
        Text bootstrap;  // GBK, one host:port a line; none: the library's public routers
        Text listen;     // GBK; "" for every interface
        Text timeout;    // GBK, as typed: seconds
        Text maxChecks;  // GBK, as typed
    };
    // Which field a problem is about: a slot's address (1-based), the vendor's (kVendor) or cloud play's
    // (kPlay), or one of the 健康度检查 page's.
    static constexpr int kVendor = -1;
    static constexpr int kPlay = -2;
    static constexpr int kSwarmTrackers = -3;
    static constexpr int kSwarmBootstrap = -4;
    static constexpr int kSwarmTimeout = -5;
    static constexpr int kSwarmChecks = -6;
    struct Problem {
        int field = 0;
        std::string chinese;  // UTF-8, for the line under the form
    };

    // `file`'s values (the built-in ones where it says nothing), with the environment's as `inUse` has them.
    SettingsEditor(std::string file, const Settings& inUse);

    const std::string& file() const { return m_file; }
    std::vector<Row> rows;
    Address vendor;
    Address play;
    SwarmPage swarm;

    // UTF-8: the tool tip of an address the environment sets.
    static std::string environmentNote(const Address& address);
    // UTF-8: what is wrong with a slot's, the vendor's or cloud play's address as typed; nullopt when it may be
    // searched (or the environment sets it).
    std::optional<Problem> checkField(int field) const;
    // UTF-8: what is wrong with the 健康度检查 page: the first tracker or bootstrap line that is not an address
    // (named with its line number), or a number out of its bounds; nullopt when nothing is.
    std::optional<Problem> checkSwarm() const;
    // The first problem of the rows, then of the vendor's and cloud play's addresses, then of the page.
    std::optional<Problem> check() const;
    // The file's values with the rows, addresses and page as edited (the environment's values left out). 启用
    // ticked counts as the answer to the first check's question.
    Settings edited() const;
    // Checks, then writes edited() to the file (the previous one kept as FILE.bak). The settings the client runs
    // with from now on (the file's, with the environment's), or the problem, in Chinese.
    std::optional<Settings> save(Problem& problem) const;

    // Whether a slot may be added: fewer than kMaxSiteSlots rows.
    bool canAddRow() const { return rows.size() < static_cast<size_t>(kMaxSiteSlots); }
    // Adds the next slot: enabled, no address yet (保存 refuses it until one is typed), the first definition
    // there is. Its number, or 0 when there are kMaxSiteSlots already.
    int addRow();
    // Whether `slot` may be removed: one of the user's own, past the six built-in ones.
    bool canRemoveRow(int slot) const { return slot > kBuiltInSiteSlots && slot <= static_cast<int>(rows.size()); }
    // Removes `slot`; the later ones move down one number, so the slots stay numbered without gaps (an
    // environment's LANQI_SITE<n>_BASE stays with its number, not with the row). False when it may not be.
    bool removeRow(int slot);

    // 导出…: the rows as edited (the environment's values left out) and the definition files they name, as a
    // site bundle written to `path` (UTF-8). "" when written, else what went wrong, in Chinese (UTF-8).
    std::string exportBundle(const std::string& path) const;

    // 导入…: what importing the bundle at `path` into the settings file would do, as the windows put it to the
    // user: refused with its problems, changing nothing, or a list of changes and backups to say Yes or No to.
    struct ImportQuestion {
        SiteImportPlan plan;
        std::string text;  // UTF-8, for a message box
        bool refused() const { return plan.refused(); }
        bool changesNothing() const { return !plan.refused() && plan.changes.empty(); }
    };
    ImportQuestion askImport(const std::string& path) const;
    // Carries out an import the user said Yes to: the settings the client runs with from now on, or nullopt with
    // what went wrong in Chinese (UTF-8) in `problem`.
    static std::optional<Settings> applyImport(const ImportQuestion& question, std::string& problem);

    // The definitions names a row may choose: the known ones, and the row's own when it is none of them.
    std::vector<std::string> definitionChoices(int slot) const;

  private:
    const Address* field(int field) const;
    // Shows row `k` as slot k + 1 with `fileBase` as its address, or the environment's when it sets that slot.
    void number(size_t k, const Text& fileBase);

    std::string m_file;
    Settings m_fileValues;
    std::vector<Text> m_environmentBases;  // slot n at n - 1: LANQI_SITE<n>_BASE as the client runs with it, or ""
};

// What 站点设置 opens with, whichever window shows it.
struct SettingsContext {
    std::string file = settingsFilePath();  // UTF-8
    Settings inUse = builtInSettings();     // what the client runs with now (the environment's values in it)
    Text testKeyword;                       // GBK; what 测试 searches
    std::vector<Text> lastRun;              // GBK, slot n at n - 1: what the last search found
    std::function<void(const Settings&)> applied = [](const Settings&) {};  // after a save
    int focusedSlot = 0;  // the slot whose address has the focus when the window opens (the strip's entry)
    // 导入… and 导出…: the bundle the user chose (UTF-8), "" for none. Unset, the window asks with its own
    // file dialog.
    std::function<std::string(bool forExport)> chooseBundle;
};

// The context of the client's 站点设置: its settings in use, what its last search found at each slot,
// `testKeyword` (the search box's keyword) for 测试, and a save applied to the client at once.
SettingsContext settingsContextOf(ClientController& client, int focusedSlot, Text testKeyword);

// Hands saved settings to the client: their site definitions loaded (a broken one keeps its slot's built-in
// definition; 测试 says why), then both at once.
void applySettings(ClientController& client, const Settings& settings);

}  // namespace lanqi

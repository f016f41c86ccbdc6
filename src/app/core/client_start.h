#pragma once

#include <functional>

#include "app/core/shell_commands.h"
#include "platform/desktop.h"
#include "platform/events.h"
#include "platform/settings.h"

namespace lanqi {

// Steps and messages that both desktop clients (Qt and Win32) run the same way.

// Start-up steps 6 to 8, once the main window is shown: the visit of this version's vendor page (a request on
// a thread of its own whose answer nobody reads, so start-up never waits for it), the fetch of the vendor's
// version file into the commands' versionInfoText (on a worker thread, `events` processed meanwhile), and
// the silent update check. When `programEnding` answers true meanwhile, the check is skipped.
void runVendorVisitAndUpdateCheck(ShellCommands& commands, EventPump& events,
                                  const std::function<bool()>& programEnding);

// What is wrong in the settings file, line by line, under a line that says those entries run with their
// built-in values; "" when the settings are sound.
Text settingsProblemsText(const LoadedSettings& settings);

// One message box over `owner` with settingsProblemsText; nothing when the settings are sound.
void reportSettingsProblems(MessageBoxes& messages, const Window* owner, const LoadedSettings& settings);

// The box that tells the user that the keyword holds a character the sites cannot be asked for.
void tellKeywordUnsearchable(MessageBoxes& messages, const Window* owner);

// The box of a search with no search site set up yet (every slot that is on holds a placeholder address):
// it says so and asks whether to open 站点设置. Yes or No.
MessageAnswer askToSetUpSites(MessageBoxes& messages, const Window* owner);

}  // namespace lanqi

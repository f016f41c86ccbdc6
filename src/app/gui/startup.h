#pragma once

#include "app/core/fade.h"
#include "app/gui/notice_dialog.h"

namespace lanqi {

class MainWindow;

// Start-up step 4: the usage notice, modal, with no owner. Its maker line opens the vendor's site.
NoticeOutcome runNoticeDialog();

// Start-up step 5, the main window's creation steps: the title, the fade-in, and the six controls that
// the player view moves put back to their design geometry.
void presentMainWindow(MainWindow& window, int stepDelay = kFadeInStepDelay);

// Start-up steps 6 to 8, once the main window is shown: the visit of the vendor's page for this version,
// the fetch of the vendor's version file and the silent update check. Not wired yet; this is where they go.
void runVendorVisitAndUpdateCheck(MainWindow& window);

// openAddress for the vendor's site: the desktop's handler for web addresses.
void openVendorAddress();

}  // namespace lanqi

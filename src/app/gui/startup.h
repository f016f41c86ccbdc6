#pragma once

#include "app/core/fade.h"
#include "app/gui/notice_dialog.h"
#include "platform/settings.h"

class QCoreApplication;

namespace lanqi {

class AppController;
class MainWindow;

// Start-up step 4: the usage notice, modal, with no owner. Its maker line shows and opens the vendor's site
// at `vendorBase`.
NoticeOutcome runNoticeDialog(const Text& vendorBase);

// Start-up step 5, the main window's creation steps: the title, the fade-in, and the six controls that
// the player view moves put back to their design geometry.
void presentMainWindow(MainWindow& window, int stepDelay = kFadeInStepDelay);

// Installs Qt's own Chinese translations (qtbase_zh_CN from Qt's translations folder) in `app`, so that a
// text box's edit menu and the standard dialogs read in Chinese whatever the system's language. False when
// they are not installed (the texts stay English).
bool loadQtTranslations(QCoreApplication& app);

// openAddress for the vendor's site.
void openVendorAddress(const Text& vendorBase);

}  // namespace lanqi

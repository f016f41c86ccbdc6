#pragma once

#include "platform/text.h"

namespace lanqi {

// `vendorBase` is the vendor's site as the settings give it: scheme and host, no "/" at the end.

// The vendor address without its scheme, as the windows print it ("www.lanqi-studio.example").
Text vendorAddressForDisplay(const Text& vendorBase);

// This version's page on the vendor's site, visited once at start-up (its answer is not read):
// vendorBase + "/soft/qabrelto/" + "qabrelto" + kProductVersionText + ".html".
Text vendorPageAddress(const Text& vendorBase);

// The vendor's version file, fetched once at start-up: vendorBase + "/soft/qabrelto/bbxx.txt".
Text versionFileAddress(const Text& vendorBase);

}  // namespace lanqi

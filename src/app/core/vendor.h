#pragma once

#include "platform/addresses.h"

namespace lanqi {

// The vendor address without its scheme, as the windows print it ("www.lanqi-studio.example").
Text vendorAddressForDisplay();

// This version's page on the vendor's site, visited once at start-up (its answer is not read):
// vendorBaseAddress + "/soft/qabrelto/" + "qabrelto" + kProductVersionText + ".html".
Text vendorPageAddress();

// The vendor's version file, fetched once at start-up: vendorBaseAddress + "/soft/qabrelto/bbxx.txt".
Text versionFileAddress();

}  // namespace lanqi

#pragma once

#include "platform/text.h"

namespace lanqi {

// Scheme and host of the vendor's web site, no trailing "/": LANQI_VENDOR_BASE when it is set and not
// empty, else the compiled-in address. Read on every call, so tests and the demo may change it.
Text vendorBaseAddress();

// The address without its scheme, as the windows print it ("www.lanqi-studio.example").
Text vendorAddressForDisplay();

}  // namespace lanqi

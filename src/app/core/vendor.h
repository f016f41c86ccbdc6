#pragma once

#include "platform/addresses.h"

namespace lanqi {

// The vendor address without its scheme, as the windows print it ("www.lanqi-studio.example").
Text vendorAddressForDisplay();

}  // namespace lanqi

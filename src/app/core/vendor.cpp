#include "app/core/vendor.h"

#include <cstdlib>

namespace lanqi {
namespace {

constexpr const char* kVendorBaseAddress = "http://www.lanqi-studio.example";

}  // namespace

Text vendorBaseAddress() {
    if (const char* value = std::getenv("LANQI_VENDOR_BASE"); value != nullptr && *value != '\0') return value;
    return kVendorBaseAddress;
}

Text vendorAddressForDisplay() {
    Text address = vendorBaseAddress();
    for (const char* scheme : {"http://", "https://"}) {
        if (address.rfind(scheme, 0) == 0) return address.substr(Text(scheme).size());
    }
    return address;
}

}  // namespace lanqi

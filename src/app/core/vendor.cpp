#include "app/core/vendor.h"

namespace lanqi {

Text vendorAddressForDisplay() {
    Text address = vendorBaseAddress();
    for (const char* scheme : {"http://", "https://"}) {
        if (address.rfind(scheme, 0) == 0) return address.substr(Text(scheme).size());
    }
    return address;
}

}  // namespace lanqi

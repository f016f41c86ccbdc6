#include "app/core/vendor.h"

#include "platform/product.h"

namespace lanqi {

Text vendorAddressForDisplay() {
    Text address = vendorBaseAddress();
    for (const char* scheme : {"http://", "https://"}) {
        if (address.rfind(scheme, 0) == 0) return address.substr(Text(scheme).size());
    }
    return address;
}

Text vendorPageAddress() { return vendorBaseAddress() + kUpdatePath + kProductCode + kProductVersionText + ".html"; }

Text versionFileAddress() { return vendorBaseAddress() + kUpdatePath + "bbxx.txt"; }

}  // namespace lanqi

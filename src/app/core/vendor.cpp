#include "app/core/vendor.h"

#include "platform/product.h"

namespace lanqi {

Text vendorAddressForDisplay(const Text& vendorBase) {
    for (const char* scheme : {"http://", "https://"}) {
        if (vendorBase.rfind(scheme, 0) == 0) return vendorBase.substr(Text(scheme).size());
    }
    return vendorBase;
}

Text vendorPageAddress(const Text& vendorBase) {
    return vendorBase + kUpdatePath + kProductCode + kProductVersionText + ".html";
}

Text versionFileAddress(const Text& vendorBase) { return vendorBase + kUpdatePath + "bbxx.txt"; }

}  // namespace lanqi

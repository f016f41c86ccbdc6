#include "platform/addresses.h"

#include <cstdlib>
#include <mutex>

#include "platform/settings.h"

namespace lanqi {
namespace {

Text fromEnvironment(const char* variable, const Text& configured) {
    const char* value = std::getenv(variable);
    return value != nullptr && *value != '\0' ? Text(value) : configured;
}

struct ServiceBases {
    std::mutex lock;
    Text vendor{kBuiltInVendorBase};
    Text play{kBuiltInPlayBase};
};

ServiceBases& serviceBases() {
    static ServiceBases bases;
    return bases;
}

Text configured(Text ServiceBases::*which) {
    ServiceBases& bases = serviceBases();
    const std::lock_guard hold(bases.lock);
    return bases.*which;
}

}  // namespace

void useServiceAddresses(const Text& vendorBase, const Text& playBase) {
    ServiceBases& bases = serviceBases();
    const std::lock_guard hold(bases.lock);
    bases.vendor = vendorBase;
    bases.play = playBase;
}

Text vendorBaseAddress() { return fromEnvironment("LANQI_VENDOR_BASE", configured(&ServiceBases::vendor)); }
Text playServiceBase() { return fromEnvironment("LANQI_PLAY_BASE", configured(&ServiceBases::play)); }
Text downloaderPageAddress() { return "http://dl.xunlei.com/"; }
Text playerPageAddress() { return "http://video.xunlei.com/"; }

}  // namespace lanqi

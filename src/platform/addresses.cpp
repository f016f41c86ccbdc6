#include "platform/addresses.h"

#include <cstdlib>

#include "platform/settings.h"

namespace lanqi {
namespace {

Text fromEnvironment(const char* variable, const Text& configured) {
    const char* value = std::getenv(variable);
    return value != nullptr && *value != '\0' ? Text(value) : configured;
}

}  // namespace

Text vendorBaseAddress() { return fromEnvironment("LANQI_VENDOR_BASE", activeSettings().vendorBase); }
Text playServiceBase() { return fromEnvironment("LANQI_PLAY_BASE", activeSettings().playBase); }
Text downloaderPageAddress() { return "http://dl.xunlei.com/"; }
Text playerPageAddress() { return "http://video.xunlei.com/"; }

}  // namespace lanqi

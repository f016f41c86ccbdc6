#include "platform/addresses.h"

#include <cstdlib>

namespace lanqi {
namespace {

Text fromEnvironment(const char* variable, const char* compiledIn) {
    const char* value = std::getenv(variable);
    return value != nullptr && *value != '\0' ? Text(value) : Text(compiledIn);
}

}  // namespace

Text vendorBaseAddress() { return fromEnvironment("LANQI_VENDOR_BASE", "http://www.lanqi-studio.example"); }
Text playServiceBase() { return fromEnvironment("LANQI_PLAY_BASE", "http://play.lanqi-studio.example"); }
Text downloaderPageAddress() { return "http://dl.xunlei.com/"; }
Text playerPageAddress() { return "http://video.xunlei.com/"; }

}  // namespace lanqi

#pragma once

#include "platform/text.h"

namespace lanqi {

// Outside addresses. The vendor site and the cloud-play service are the bases start-up (and a save in 站点设置)
// hands to useServiceAddresses, the built-in ones until then; LANQI_VENDOR_BASE and LANQI_PLAY_BASE win,
// read on every call. Each call returns its own copy.
void useServiceAddresses(const Text& vendorBase, const Text& playBase);
Text vendorBaseAddress();      // scheme and host, no trailing "/"
Text playServiceBase();        // scheme and host of the cloud-play service
Text downloaderPageAddress();  // the 迅雷 downloader's download page
Text playerPageAddress();      // the 迅雷影音 player's download page

}  // namespace lanqi

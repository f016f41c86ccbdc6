#pragma once

#include "platform/text.h"

namespace lanqi {

// Outside addresses, compiled in. The vendor site and the cloud-play service can be pointed elsewhere
// with LANQI_VENDOR_BASE and LANQI_PLAY_BASE (read on every call); there is no other setting.
Text vendorBaseAddress();      // scheme and host, no trailing "/"
Text playServiceBase();        // scheme and host of the cloud-play service
Text downloaderPageAddress();  // the 迅雷 downloader's download page
Text playerPageAddress();      // the 迅雷影音 player's download page

}  // namespace lanqi

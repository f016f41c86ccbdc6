#pragma once

#include "platform/text.h"

namespace lanqi {

// Outside addresses. The vendor site and the cloud-play service come from the active settings (the settings
// file's [vendor] and [play] bases, else the built-in ones); LANQI_VENDOR_BASE and LANQI_PLAY_BASE win, read
// on every call.
Text vendorBaseAddress();      // scheme and host, no trailing "/"
Text playServiceBase();        // scheme and host of the cloud-play service
Text downloaderPageAddress();  // the 迅雷 downloader's download page
Text playerPageAddress();      // the 迅雷影音 player's download page

}  // namespace lanqi

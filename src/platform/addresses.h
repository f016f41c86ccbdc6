#pragma once

#include "platform/text.h"

namespace lanqi {

// Outside addresses that are not the user's to set. The vendor's site and the cloud-play service are settings
// (Settings::vendorBase and playBase, LANQI_VENDOR_BASE and LANQI_PLAY_BASE over the file), handed to
// whatever uses them.
Text downloaderPageAddress();  // the 迅雷 downloader's download page
Text playerPageAddress();      // the 迅雷影音 player's download page

}  // namespace lanqi

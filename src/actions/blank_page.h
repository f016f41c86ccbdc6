#pragma once

#include "platform/text.h"

namespace lanqi {

// "wyhc.htm", the page the player's browser is sent to when play ends: it replaces the cloud-play page,
// so the video stops, and shows the product's name. Written into the temporary folder on every return.
inline constexpr const char* kBlankPageFileName = "wyhc.htm";
// What the browser shows instead when the blank page cannot be written: an empty page from memory.
inline constexpr const char* kEmptyPageAddress = "about:blank";

// The page's fixed 1171 bytes: GBK HTML declaring charset gb2312, titled with the product name; eleven
// centred paragraphs holding only a full-width space, then the name centred in 楷体 at 26 pt. No script,
// nothing fetched from anywhere.
const Bytes& localBlankPage();

}  // namespace lanqi

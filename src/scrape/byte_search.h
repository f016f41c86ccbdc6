#pragma once

#include <string_view>

#include "platform/text.h"

namespace lanqi {

// Positions are 1-based byte positions in the page; -1 means not found. A page is searched as raw
// bytes: markers are compared byte for byte (case matters). Nothing here reads outside `page`.

// Position of the first occurrence of `marker` that begins at or after `start`. A start of 0 or less
// searches from the first byte; a start past the last byte, and an empty marker, give -1.
int findFrom(std::string_view page, std::string_view marker, int start = 0);

// Position of the last occurrence of `marker` that lies wholly within the first `limit` bytes of the
// page; -1 when there is none, when `limit` is 0 or less, and for an empty marker.
int findLastBefore(std::string_view page, std::string_view marker, int limit);

// The bytes from position `first` up to the byte before position `end`, converted from UTF-8 to GBK.
// A first below 1 counts from the first byte and an end past the page stops after its last byte; no
// byte left gives "". Bytes that do not convert give "", never a partial text.
Text cutField(std::string_view page, int first, int end);

// `text` split at every occurrence of `tag` and joined again without it. An empty tag changes nothing.
Text stripTag(const Text& text, std::string_view tag);

// The bytes cutField converts, unconverted: a view into `page` clamped in the same way.
std::string_view sliceBytes(std::string_view page, int first, int end);

// Like findLastBefore, but the occurrence must also begin at or after position `from`; only the bytes
// between `from` and `limit` are read.
int findLastWithin(std::string_view page, std::string_view marker, int from, int limit);

// GBK form of UTF-8 bytes ("" when they do not convert). ASCII is the same in both and is copied
// without a converter.
Text gbkFromUtf8(std::string_view bytes);
// The same, appended to `out`; nothing is appended when the bytes do not convert.
void appendGbkFromUtf8(Text& out, std::string_view bytes);

}  // namespace lanqi

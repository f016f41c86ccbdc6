#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace lanqi {

// A decoded picture: `height` rows of `width` pixels, each pixel three bytes R, G, B, rows top to bottom
// with no padding. An empty image (0 × 0, no pixels) stands for "could not be decoded".
struct RgbImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> pixels;

    bool empty() const { return pixels.empty(); }
};

// What the decoder agrees to work on. A picture above these bounds is refused before any pixel memory is
// taken; the scan bound stops progressive files that would make the decoder run a very long time.
struct JpegLimits {
    int maxSide = 8192;
    long long maxPixels = 16LL * 1024 * 1024;
    int maxScans = 200;
    long maxDecoderMemory = 256L * 1024 * 1024;  // libjpeg's own working memory, in bytes
};

// Decodes a baseline or progressive JPEG (grey or YCbCr) into RGB with libjpeg. Returns an empty image for
// empty, truncated, corrupt or unsupported data (including CMYK), for anything libjpeg only warns about,
// and for pictures beyond `limits`. Never throws; safe to call from any thread.
RgbImage decodeJpeg(std::string_view bytes, const JpegLimits& limits = {});

}  // namespace lanqi

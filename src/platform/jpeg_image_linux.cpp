#include "platform/jpeg_image.h"

#include <csetjmp>
#include <cstddef>
#include <cstdio>  // jpeglib.h needs FILE declared first
#include <new>

#include <jpeglib.h>

namespace lanqi {
namespace {

// libjpeg reports fatal errors by calling error_exit, which must not return. It jumps back to the one
// setjmp in runDecoder; only libjpeg's C frames and these callbacks lie in between, so no C++ object is
// skipped. Warnings (premature end of data, corrupt entropy data, bad markers) are treated the same way:
// a picture that needed repairing is not shown half grey.
struct ErrorManager {
    jpeg_error_mgr base;  // first member: libjpeg hands back a pointer to it
    std::jmp_buf jump;
};

struct ScanGuard {
    jpeg_progress_mgr base;  // first member, as above
    int maxScans;
};

[[noreturn]] void abandonDecode(j_common_ptr cinfo) {
    auto* errors = reinterpret_cast<ErrorManager*>(cinfo->err);
    std::longjmp(errors->jump, 1);
}

void onMessage(j_common_ptr cinfo, int level) {
    if (level < 0) abandonDecode(cinfo);  // a warning; levels 0 and up are traces
}

void onOutputMessage(j_common_ptr) {}  // nothing is ever printed

void onProgress(j_common_ptr cinfo) {
    auto* guard = reinterpret_cast<ScanGuard*>(cinfo->progress);
    auto* decompress = reinterpret_cast<j_decompress_ptr>(cinfo);
    if (decompress->input_scan_number > guard->maxScans) abandonDecode(cinfo);
}

// Everything the decoder touches lives here, in the caller's frame, so that the values are still valid
// after libjpeg jumps back into runDecoder (locals of the function that calls setjmp would not be).
struct DecodeContext {
    jpeg_decompress_struct cinfo{};  // zeroed: jpeg_destroy_decompress is safe even if creation failed
    ErrorManager errors{};
    ScanGuard scans{};
    JpegLimits limits;
    std::string_view bytes;
    RgbImage image;
};

bool withinLimits(const JpegLimits& limits, long long width, long long height) {
    return width > 0 && height > 0 && width <= limits.maxSide && height <= limits.maxSide &&
           width * height <= limits.maxPixels;
}

// Holds the only setjmp. It keeps no state of its own: a jump back lands here and returns false.
bool runDecoder(DecodeContext& ctx) {
    if (setjmp(ctx.errors.jump) != 0) return false;

    jpeg_create_decompress(&ctx.cinfo);
    ctx.cinfo.mem->max_memory_to_use = ctx.limits.maxDecoderMemory;
    ctx.cinfo.progress = &ctx.scans.base;
    jpeg_mem_src(&ctx.cinfo, reinterpret_cast<const unsigned char*>(ctx.bytes.data()),
                 static_cast<unsigned long>(ctx.bytes.size()));

    if (jpeg_read_header(&ctx.cinfo, TRUE) != JPEG_HEADER_OK) return false;
    if (!withinLimits(ctx.limits, ctx.cinfo.image_width, ctx.cinfo.image_height)) return false;

    ctx.cinfo.out_color_space = JCS_RGB;
    jpeg_start_decompress(&ctx.cinfo);
    if (ctx.cinfo.output_components != 3) return false;
    const long long width = ctx.cinfo.output_width;  // no scaling: the size checked above
    const long long height = ctx.cinfo.output_height;

    ctx.image.width = static_cast<int>(width);
    ctx.image.height = static_cast<int>(height);
    const std::size_t rowBytes = static_cast<std::size_t>(width) * 3;
    ctx.image.pixels.resize(rowBytes * static_cast<std::size_t>(height));
    while (ctx.cinfo.output_scanline < ctx.cinfo.output_height) {
        JSAMPROW row = ctx.image.pixels.data() + rowBytes * ctx.cinfo.output_scanline;
        jpeg_read_scanlines(&ctx.cinfo, &row, 1);
    }
    jpeg_finish_decompress(&ctx.cinfo);  // reads up to the end marker: catches a cut-off tail
    return true;
}

}  // namespace

RgbImage decodeJpeg(std::string_view bytes, const JpegLimits& limits) {
    if (bytes.empty()) return {};
    DecodeContext ctx;
    ctx.limits = limits;
    ctx.bytes = bytes;
    ctx.cinfo.err = jpeg_std_error(&ctx.errors.base);
    ctx.errors.base.error_exit = abandonDecode;
    ctx.errors.base.emit_message = onMessage;
    ctx.errors.base.output_message = onOutputMessage;
    ctx.scans.base.progress_monitor = onProgress;
    ctx.scans.maxScans = limits.maxScans;

    bool decoded = false;
    try {
        decoded = runDecoder(ctx);
    } catch (const std::bad_alloc&) {  // only the pixel buffer is allocated by C++ code
        decoded = false;
    }
    jpeg_destroy_decompress(&ctx.cinfo);
    if (!decoded) return {};
    return std::move(ctx.image);
}

}  // namespace lanqi

#include "platform/jpeg_image.h"

#include <windows.h>
#include <objbase.h>
#include <wincodec.h>

#include <utility>
#include <vector>

namespace lanqi {
namespace {

// Releases a COM pointer when it goes.
template <typename Interface>
class Held {
  public:
    Held() = default;
    Held(const Held&) = delete;
    Held& operator=(const Held&) = delete;
    ~Held() {
        if (m_pointer != nullptr) m_pointer->Release();
    }
    Interface** out() { return &m_pointer; }
    Interface* operator->() const { return m_pointer; }
    Interface* get() const { return m_pointer; }

  private:
    Interface* m_pointer = nullptr;
};

// COM on the calling thread for as long as a decode runs; a thread that had it already keeps its own.
class ComScope {
  public:
    ComScope() : m_result(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ~ComScope() {
        if (SUCCEEDED(m_result)) ::CoUninitialize();
    }
    bool usable() const { return SUCCEEDED(m_result) || m_result == RPC_E_CHANGED_MODE; }

  private:
    HRESULT m_result;
};

// What the markers of a JPEG file say before any pixel is decoded: its size and how many scans it has.
struct FrameFacts {
    unsigned width = 0;
    unsigned height = 0;
    int scans = 0;
};

// Walks the marker segments from the start marker to the end marker (or the end of the data), stepping over
// each scan's entropy-coded bytes. False when the file is not laid out as a JPEG file: no start marker, a
// segment that runs past the end, a scan before the frame header.
bool readFrameFacts(std::string_view bytes, FrameFacts& facts) {
    const auto byteAt = [&bytes](size_t i) { return static_cast<unsigned char>(bytes[i]); };
    if (bytes.size() < 4 || byteAt(0) != 0xFF || byteAt(1) != 0xD8) return false;
    size_t at = 2;
    bool frame = false;
    while (at + 1 < bytes.size()) {
        if (byteAt(at) != 0xFF) return false;
        while (at + 1 < bytes.size() && byteAt(at + 1) == 0xFF) ++at;  // fill bytes
        if (at + 1 >= bytes.size()) break;
        const unsigned marker = byteAt(at + 1);
        at += 2;
        if (marker == 0xD9) break;                                           // end of the picture
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) continue;  // no length of their own
        if (at + 2 > bytes.size()) return false;
        const size_t length = byteAt(at) << 8 | byteAt(at + 1);
        if (length < 2 || at + length > bytes.size()) return false;
        const bool frameHeader = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (frameHeader) {
            if (length < 7) return false;
            facts.height = byteAt(at + 3) << 8 | byteAt(at + 4);
            facts.width = byteAt(at + 5) << 8 | byteAt(at + 6);
            frame = true;
        }
        at += length;
        if (marker == 0xDA) {  // a scan: its entropy-coded data runs to the next marker
            if (!frame) return false;
            ++facts.scans;
            while (at + 1 < bytes.size() &&
                   !(byteAt(at) == 0xFF && byteAt(at + 1) != 0x00 && (byteAt(at + 1) < 0xD0 || byteAt(at + 1) > 0xD7)))
                ++at;
        }
    }
    return frame;
}

bool withinLimits(const JpegLimits& limits, UINT width, UINT height) {
    return width > 0 && height > 0 && width <= static_cast<UINT>(limits.maxSide) &&
           height <= static_cast<UINT>(limits.maxSide) && static_cast<long long>(width) * height <= limits.maxPixels;
}

}  // namespace

// The Windows Imaging Component decodes the file; only JPEG is taken (the container is checked, so a PNG or
// a BMP handed in stays undecoded as it does with libjpeg), and CMYK pictures are refused as there. The pixels
// come out as 24-bit BGR rows, which are turned into the R, G, B rows of RgbImage. Unlike libjpeg here, the
// component repairs a scan that an end marker cuts short (the rest comes out grey); the client decodes only
// its own compiled-in pictures with it.
RgbImage decodeJpeg(std::string_view bytes, const JpegLimits& limits) {
    // The bounds are checked on the markers first: the component is never handed a picture it would have to
    // make room for.
    FrameFacts facts;
    if (bytes.size() > 0xFFFFFFFFu || !readFrameFacts(bytes, facts) ||
        !withinLimits(limits, facts.width, facts.height) || facts.scans > limits.maxScans)
        return {};
    const ComScope com;
    if (!com.usable()) return {};

    Held<IWICImagingFactory> factory;
    if (FAILED(::CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                  reinterpret_cast<void**>(factory.out()))))
        return {};
    Held<IWICStream> stream;
    if (FAILED(factory->CreateStream(stream.out())) ||
        FAILED(stream->InitializeFromMemory(reinterpret_cast<BYTE*>(const_cast<char*>(bytes.data())),
                                            static_cast<DWORD>(bytes.size()))))
        return {};
    Held<IWICBitmapDecoder> decoder;
    if (FAILED(factory->CreateDecoderFromStream(stream.get(), nullptr, WICDecodeMetadataCacheOnDemand, decoder.out())))
        return {};
    GUID container{};
    if (FAILED(decoder->GetContainerFormat(&container)) || container != GUID_ContainerFormatJpeg) return {};
    Held<IWICBitmapFrameDecode> frame;
    if (FAILED(decoder->GetFrame(0, frame.out()))) return {};

    UINT width = 0, height = 0;
    WICPixelFormatGUID format{};
    if (FAILED(frame->GetSize(&width, &height)) || !withinLimits(limits, width, height) ||
        FAILED(frame->GetPixelFormat(&format)) || format == GUID_WICPixelFormat32bppCMYK)
        return {};

    RgbImage image;
    image.width = static_cast<int>(width);
    image.height = static_cast<int>(height);
    image.pixels.resize(static_cast<size_t>(width) * 3 * height);
    if (format == GUID_WICPixelFormat8bppGray) {
        // Grey pictures are widened here: not every imaging component converts them to colour itself.
        std::vector<BYTE> grey(static_cast<size_t>(width) * height);
        if (FAILED(frame->CopyPixels(nullptr, width, static_cast<UINT>(grey.size()), grey.data()))) return {};
        for (size_t i = 0; i < grey.size(); ++i)
            image.pixels[i * 3] = image.pixels[i * 3 + 1] = image.pixels[i * 3 + 2] = grey[i];
        return image;
    }
    Held<IWICFormatConverter> converter;
    if (FAILED(factory->CreateFormatConverter(converter.out())) ||
        FAILED(converter->Initialize(frame.get(), GUID_WICPixelFormat24bppBGR, WICBitmapDitherTypeNone, nullptr, 0.0,
                                     WICBitmapPaletteTypeCustom)) ||
        FAILED(converter->CopyPixels(nullptr, width * 3, static_cast<UINT>(image.pixels.size()), image.pixels.data())))
        return {};
    for (size_t i = 0; i + 2 < image.pixels.size(); i += 3) std::swap(image.pixels[i], image.pixels[i + 2]);
    return image;
}

}  // namespace lanqi

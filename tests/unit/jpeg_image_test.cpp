#include "platform/jpeg_image.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

namespace lanqi {
namespace {

std::string readFixture(const std::string& name) {
    std::ifstream in(std::string(LANQI_FIXTURE_DIR) + "/jpeg/" + name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

using Rgb = std::array<int, 3>;

Rgb pixelAt(const RgbImage& image, int x, int y) {
    const size_t at = (static_cast<size_t>(y) * static_cast<size_t>(image.width) + static_cast<size_t>(x)) * 3;
    return {image.pixels[at], image.pixels[at + 1], image.pixels[at + 2]};
}

// JPEG is lossy: a solid area away from colour edges comes back within a few units per channel.
void expectColourNear(const RgbImage& image, int x, int y, Rgb expected, int tolerance) {
    const Rgb actual = pixelAt(image, x, y);
    for (int c = 0; c < 3; ++c) {
        EXPECT_LE(std::abs(actual[c] - expected[c]), tolerance)
            << "pixel " << x << "," << y << " channel " << c << ": " << actual[c] << " vs " << expected[c];
    }
}

// Offset of the first byte after the marker FF <code>, or npos.
size_t afterMarker(const std::string& jpeg, unsigned char code) {
    for (size_t i = 0; i + 1 < jpeg.size(); ++i) {
        if (static_cast<unsigned char>(jpeg[i]) == 0xFF && static_cast<unsigned char>(jpeg[i + 1]) == code)
            return i + 2;
    }
    return std::string::npos;
}

// Rewrites the height and width fields of the first frame header (SOF0 or SOF2).
std::string withFrameSize(std::string jpeg, int width, int height) {
    size_t sof = afterMarker(jpeg, 0xC0);
    if (sof == std::string::npos) sof = afterMarker(jpeg, 0xC2);
    // length (2), precision (1), height (2), width (2)
    jpeg[sof + 3] = static_cast<char>(height >> 8);
    jpeg[sof + 4] = static_cast<char>(height & 0xFF);
    jpeg[sof + 5] = static_cast<char>(width >> 8);
    jpeg[sof + 6] = static_cast<char>(width & 0xFF);
    return jpeg;
}

TEST(DecodeJpeg, BaselineColourPictureHasItsSizeAndColours) {
    const RgbImage image = decodeJpeg(readFixture("quadrants-444.jpg"));
    ASSERT_EQ(image.width, 64);
    ASSERT_EQ(image.height, 48);
    ASSERT_EQ(image.pixels.size(), 64u * 48u * 3u);
    expectColourNear(image, 12, 10, {200, 30, 40}, 6);
    expectColourNear(image, 50, 10, {20, 160, 60}, 6);
    expectColourNear(image, 12, 38, {30, 60, 200}, 6);
    expectColourNear(image, 50, 38, {250, 250, 250}, 6);
    // Rows are stored top to bottom and pixels left to right: the corners keep their quadrant's colour.
    expectColourNear(image, 0, 0, {200, 30, 40}, 12);
    expectColourNear(image, 63, 47, {250, 250, 250}, 12);
}

TEST(DecodeJpeg, ProgressiveSubsampledPictureWithOddSize) {
    const RgbImage image = decodeJpeg(readFixture("halves-420-progressive.jpg"));
    ASSERT_EQ(image.width, 101);
    ASSERT_EQ(image.height, 75);
    ASSERT_EQ(image.pixels.size(), 101u * 75u * 3u);
    expectColourNear(image, 20, 37, {240, 140, 20}, 10);
    expectColourNear(image, 80, 37, {20, 140, 160}, 10);
    // The last row and column, which lie in a partial block, are decoded too.
    expectColourNear(image, 100, 74, {20, 140, 160}, 12);
}

TEST(DecodeJpeg, GreyPictureComesBackAsEqualChannels) {
    const RgbImage image = decodeJpeg(readFixture("grey.jpg"));
    ASSERT_EQ(image.width, 33);
    ASSERT_EQ(image.height, 17);
    for (auto [x, y] : {std::pair{24, 8}, std::pair{32, 16}, std::pair{4, 4}}) {
        const Rgb p = pixelAt(image, x, y);
        EXPECT_EQ(p[0], p[1]);
        EXPECT_EQ(p[1], p[2]);
    }
    expectColourNear(image, 26, 8, {128, 128, 128}, 3);
    expectColourNear(image, 6, 8, {0, 0, 0}, 3);
}

TEST(DecodeJpeg, BytesAfterTheEndMarkerAreIgnored) {
    const std::string bytes = readFixture("quadrants-444.jpg");
    const RgbImage clean = decodeJpeg(bytes);
    const RgbImage padded = decodeJpeg(bytes + std::string(100, '\x55'));
    ASSERT_FALSE(padded.empty());
    EXPECT_EQ(padded.pixels, clean.pixels);
}

TEST(DecodeJpegRefuses, EveryTruncationOfABaselinePicture) {
    const std::string bytes = readFixture("quadrants-444.jpg");
    ASSERT_FALSE(decodeJpeg(bytes).empty());
    for (size_t cut = 0; cut < bytes.size(); ++cut) {
        const RgbImage image = decodeJpeg(std::string_view(bytes).substr(0, cut));
        EXPECT_TRUE(image.empty()) << "cut at " << cut << " of " << bytes.size();
        EXPECT_EQ(image.width, 0);
        EXPECT_EQ(image.height, 0);
    }
}

TEST(DecodeJpegRefuses, EveryTruncationOfAProgressivePicture) {
    const std::string bytes = readFixture("halves-420-progressive.jpg");
    for (size_t cut = 0; cut < bytes.size(); ++cut) {
        // A buffer of exactly the cut length, so that a sanitizer build catches any read past it.
        const std::string prefix = bytes.substr(0, cut);
        EXPECT_TRUE(decodeJpeg(prefix).empty()) << "cut at " << cut << " of " << bytes.size();
    }
}

TEST(DecodeJpegRefuses, DataThatIsNoJpeg) {
    EXPECT_TRUE(decodeJpeg("").empty());
    EXPECT_TRUE(decodeJpeg("GIF89a\x01\x00\x01\x00").empty());
    EXPECT_TRUE(decodeJpeg(std::string("\xFF\xD8\xFF\xD9", 4)).empty());  // start and end marker only
    EXPECT_TRUE(decodeJpeg(std::string(4096, '\0')).empty());
}

TEST(DecodeJpegRefuses, CorruptHeadersAndScans) {
    const std::string bytes = readFixture("quadrants-444.jpg");

    EXPECT_TRUE(decodeJpeg(withFrameSize(bytes, 0, 48)).empty()) << "zero width";
    EXPECT_TRUE(decodeJpeg(withFrameSize(bytes, 64, 0)).empty()) << "zero height";

    std::string badTable = bytes;  // the first Huffman table claims more codes than its segment holds
    const size_t dht = afterMarker(badTable, 0xC4);
    ASSERT_NE(dht, std::string::npos);
    for (size_t i = dht + 3; i < dht + 19; ++i) badTable[i] = '\x7F';
    EXPECT_TRUE(decodeJpeg(badTable).empty()) << "bogus Huffman table";

    std::string earlyEnd = bytes;  // an end marker in the middle of the entropy-coded data
    const size_t sos = afterMarker(earlyEnd, 0xDA);
    ASSERT_NE(sos, std::string::npos);
    const size_t middle = sos + (earlyEnd.size() - sos) / 2;
    earlyEnd[middle] = '\xFF';
    earlyEnd[middle + 1] = '\xD9';
#ifndef _WIN32  // the Windows Imaging Component repairs such a scan and gives no warning to refuse it on
    EXPECT_TRUE(decodeJpeg(earlyEnd).empty()) << "end marker inside the scan";
#endif

    std::string noFrame = bytes;  // the frame header's marker turned into an unknown application marker
    noFrame[afterMarker(noFrame, 0xC0) - 1] = '\xEF';
    EXPECT_TRUE(decodeJpeg(noFrame).empty()) << "scan without frame";
}

TEST(DecodeJpegRefuses, CmykPictures) {
    const std::string bytes = readFixture("cmyk.jpg");
    ASSERT_GT(bytes.size(), 100u);
    EXPECT_TRUE(decodeJpeg(bytes).empty());
}

TEST(DecodeJpegLimits, AbsurdDimensionsAreRefusedBeforeDecoding) {
    const std::string bytes = readFixture("quadrants-444.jpg");
    EXPECT_TRUE(decodeJpeg(withFrameSize(bytes, 65000, 65000)).empty());
    EXPECT_TRUE(decodeJpeg(withFrameSize(bytes, 8193, 1)).empty());
    EXPECT_TRUE(decodeJpeg(withFrameSize(bytes, 1, 8193)).empty());
}

TEST(DecodeJpegLimits, SideAndPixelBoundsAreInclusive) {
    const std::string bytes = readFixture("quadrants-444.jpg");  // 64 × 48 = 3072 pixels
    EXPECT_FALSE(decodeJpeg(bytes, JpegLimits{.maxSide = 64}).empty());
    EXPECT_TRUE(decodeJpeg(bytes, JpegLimits{.maxSide = 63}).empty());
    EXPECT_FALSE(decodeJpeg(bytes, JpegLimits{.maxPixels = 3072}).empty());
    EXPECT_TRUE(decodeJpeg(bytes, JpegLimits{.maxPixels = 3071}).empty());
}

TEST(DecodeJpegLimits, ProgressivePictureWithMoreScansThanAllowed) {
    const std::string bytes = readFixture("halves-420-progressive.jpg");  // ImageMagick writes 10 scans
    EXPECT_FALSE(decodeJpeg(bytes, JpegLimits{.maxScans = 10}).empty());
    EXPECT_TRUE(decodeJpeg(bytes, JpegLimits{.maxScans = 9}).empty());
    EXPECT_TRUE(decodeJpeg(bytes, JpegLimits{.maxScans = 1}).empty());
    // A baseline picture has one scan.
    EXPECT_FALSE(decodeJpeg(readFixture("quadrants-444.jpg"), JpegLimits{.maxScans = 1}).empty());
}

}  // namespace
}  // namespace lanqi

#include "app/gui/pictures.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QImageReader>

#include "window_test_support.h"

namespace lanqi {
namespace {

// Rough hue check on a decoded pixel: which channel dominates, by at least `margin`.
bool blueDominates(QRgb p, int margin) { return qBlue(p) > qRed(p) + margin && qBlue(p) > qGreen(p) + margin; }
bool greenDominates(QRgb p, int margin) { return qGreen(p) > qRed(p) + margin && qGreen(p) > qBlue(p) + margin; }
bool nearWhite(QRgb p) { return qRed(p) >= 240 && qGreen(p) >= 240 && qBlue(p) >= 240; }

class PicturesTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        // No image plugins at all: the pictures must come out of our own decoder.
        QCoreApplication::setLibraryPaths({});
    }
};

TEST_F(PicturesTest, DecodedWhereQtItselfCannotReadJpeg) {
    const QString logo = QStringLiteral(":/pictures/logo.jpg");
    EXPECT_FALSE(decodePictureResource(logo).isNull());
    EXPECT_FALSE(QImageReader::supportedImageFormats().contains("jpeg"));
    EXPECT_TRUE(QImage(logo).isNull()) << "Qt still reads JPEG here: these tests would not show our decoder at work";
}

TEST_F(PicturesTest, WindowPicturesHaveTheirControlSizes) {
    EXPECT_EQ(picture(Picture::Logo).size(), QSize(248, 48));
    EXPECT_EQ(picture(Picture::Home).size(), QSize(448, 37));
    EXPECT_EQ(picture(Picture::Notice).size(), QSize(421, 107));
    EXPECT_EQ(picture(Picture::NoticeStrip).size(), QSize(383, 48));
    EXPECT_EQ(picture(Picture::AboutFront).size(), QSize(176, 104));
    EXPECT_EQ(picture(Picture::AboutBack).size(), QSize(176, 104));
}

// At pixel ratio 2 each picture has twice the pixels at the same size in the window, and it is the same
// drawing: brought down to its window size it matches the ordinary one.
TEST_F(PicturesTest, ForARatioOfTwoEachPictureIsDrawnAtTwiceItsPixels) {
    for (const Picture which : {Picture::Logo, Picture::Home, Picture::Notice, Picture::NoticeStrip,
                                Picture::AboutFront, Picture::AboutBack}) {
        const QPixmap ordinary = picture(which, 1.0);
        const QPixmap sharp = picture(which, 2.0);
        ASSERT_FALSE(sharp.isNull());
        EXPECT_EQ(sharp.size(), ordinary.size() * 2);
        EXPECT_EQ(sharp.deviceIndependentSize(), QSizeF(ordinary.size()));
        const QImage down = sharp.toImage().scaled(ordinary.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        const QImage one = ordinary.toImage();
        long long difference = 0;
        for (int y = 0; y < one.height(); ++y)
            for (int x = 0; x < one.width(); ++x)
                difference += std::abs(qGray(one.pixel(x, y)) - qGray(down.pixel(x, y)));
        EXPECT_LT(difference / (one.width() * one.height()), 12) << static_cast<int>(which);
    }
    EXPECT_EQ(listPicture(2, 2.0).size(), QSize(160, 160));
}

TEST_F(PicturesTest, HomePictureIsGreyLetteringOnWhite) {
    const QImage home = picture(Picture::Home).toImage();
    ASSERT_FALSE(home.isNull());
    EXPECT_TRUE(nearWhite(home.pixel(0, 0)));
    EXPECT_TRUE(nearWhite(home.pixel(447, 36)));
    int lettering = 0;
    for (int y = 0; y < home.height(); ++y) {
        for (int x = 0; x < home.width(); ++x) {
            const QRgb p = home.pixel(x, y);
            if (qGray(p) > 200) continue;
            ++lettering;
            EXPECT_LE(std::abs(qRed(p) - qBlue(p)), 12) << "not grey at " << x << "," << y;
            EXPECT_GE(qGray(p), 110) << "grey, not black, at " << x << "," << y;
        }
    }
    EXPECT_GT(lettering, 1500);  // large lettering: thousands of pixels
}

TEST_F(PicturesTest, ListPicturesAreEightyByEightyOnWhiteInTheirColours) {
    QImage pictures[kListPictureCount];
    for (int i = 0; i < kListPictureCount; ++i) {
        pictures[i] = listPicture(i).toImage();
        ASSERT_EQ(pictures[i].size(), QSize(80, 80)) << i;
        EXPECT_TRUE(nearWhite(pictures[i].pixel(1, 1))) << i;
        EXPECT_TRUE(nearWhite(pictures[i].pixel(78, 78))) << i;
    }
    EXPECT_GT(qRed(pictures[0].pixel(20, 50)), qBlue(pictures[0].pixel(20, 50)) + 80) << "archive box: orange";
    EXPECT_TRUE(blueDominates(pictures[1].pixel(10, 40), 60)) << "blue film strip";
    EXPECT_TRUE(greenDominates(pictures[2].pixel(24, 60), 40)) << "green device";
    EXPECT_TRUE(greenDominates(pictures[3].pixel(10, 40), 40)) << "green film strip";
    // The two strips share a shape and differ in colour.
    EXPECT_TRUE(nearWhite(pictures[1].pixel(16, 22)));  // a sprocket hole
    EXPECT_TRUE(nearWhite(pictures[3].pixel(16, 22)));
}

TEST_F(PicturesTest, OutOfRangeIndexesAndMissingResourcesGiveNullPictures) {
    EXPECT_TRUE(listPicture(-1).isNull());
    EXPECT_TRUE(listPicture(4).isNull());
    EXPECT_TRUE(decodePictureResource(QStringLiteral(":/pictures/missing.jpg")).isNull());
}

}  // namespace
}  // namespace lanqi

#include "StationFixture.h"

#include "stations/Logo.h"

#include "app/PlayerState.h"

#include <QColor>

using namespace tembrik::stations;

namespace {

class LogoTest : public StationFixture {
protected:
    const QSize cell{88, 82};
};

} // namespace

TEST_F(LogoTest, DecodesEachPictureTypeStraightToTheCellSize) {
    const struct {
        const char* format;
        const char* extension;
        QSize size;
        QColor colour;
    } cases[] = {
        {"JPEG", ".jpg", {600, 400}, QColor(200, 30, 30)},
        {"JPEG", ".jpg", {40, 30}, QColor(30, 30, 200)}, // smaller than the cell: stretched
        {"PNG", ".png", {300, 300}, QColor(20, 160, 60)},
    };
    int n = 0;
    for (const auto& c : cases) {
        ++n;
        SCOPED_TRACE(std::string(c.format) + " " + std::to_string(c.size.width()));
        putLogo(std::to_string(n) + c.extension, c.format, c.colour, c.size);
        State().LogoExtensions[static_cast<std::size_t>(n)] = c.extension;
        const QImage logo = LoadLogo(n, cell);
        ASSERT_FALSE(logo.isNull());
        EXPECT_EQ(logo.size(), cell);
        EXPECT_FALSE(logo.hasAlphaChannel());
        const QColor centre = logo.pixelColor(44, 41);
        EXPECT_NEAR(centre.red(), c.colour.red(), 6);
        EXPECT_NEAR(centre.green(), c.colour.green(), 6);
        EXPECT_NEAR(centre.blue(), c.colour.blue(), 6);
    }
}

TEST_F(LogoTest, GifGivesItsFirstFrameOnItsWholeCanvasWithoutTransparency) {
    put(stations() / "3.gif", TwoFrameGif({4, 2}, {2, 2}, QColor(255, 0, 0), QColor(0, 0, 255)));
    State().LogoExtensions[3] = ".gif";
    const QImage logo = LoadLogo(3, {4, 2});
    ASSERT_FALSE(logo.isNull());
    EXPECT_EQ(logo.size(), QSize(4, 2));
    EXPECT_FALSE(logo.hasAlphaChannel());
    EXPECT_EQ(logo.pixelColor(0, 0), QColor(255, 0, 0));
    EXPECT_EQ(logo.pixelColor(1, 1), QColor(255, 0, 0));
    // Outside the frame the canvas is transparent in the file and white in the picture.
    EXPECT_EQ(logo.pixelColor(3, 1), QColor(255, 255, 255));
}

TEST_F(LogoTest, NoPictureForOtherExtensionsMissingOrBrokenFilesAndOtherNumbers) {
    putLogo("1.png", "PNG", Qt::red);
    putLogo("2.png", "PNG", Qt::red);
    put(stations() / "3.jpg", "\xFF\xD8 not really a JPEG");
    put(stations() / "4.txt", "");
    const struct {
        const char* name;
        int station;
        const char* extension;
    } cases[] = {
        {"entry .txt", 4, ".txt"},
        {"empty entry", 2, ""},
        {"upper-case extension is none of the three", 1, ".PNG"},
        {"missing file", 5, ".png"},
        {"broken file", 3, ".jpg"},
        {"station 0", 0, ".png"},
        {"station 1001", 1001, ".png"},
        {"negative station", -1, ".png"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.station >= 0 && c.station <= MaxStations)
            State().LogoExtensions[static_cast<std::size_t>(c.station)] = c.extension;
        EXPECT_TRUE(LoadLogo(c.station, cell).isNull());
    }
}

TEST_F(LogoTest, ContentDecidesOverTheFileName) {
    putLogo("6.jpg", "PNG", QColor(10, 20, 250));
    State().LogoExtensions[6] = ".jpg";
    const QImage logo = LoadLogo(6, cell);
    ASSERT_FALSE(logo.isNull());
    EXPECT_EQ(logo.pixelColor(10, 10), QColor(10, 20, 250));
}

TEST_F(LogoTest, TransparentPngBecomesOpaqueOnWhite) {
    QImage image(10, 10, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    image.setPixelColor(0, 0, QColor(0, 0, 0));
    ASSERT_TRUE(image.save(QString::fromStdString((stations() / "7.png").string()), "PNG"));
    State().LogoExtensions[7] = ".png";
    const QImage logo = LoadLogo(7, {10, 10});
    EXPECT_FALSE(logo.hasAlphaChannel());
    EXPECT_EQ(logo.pixelColor(0, 0), QColor(0, 0, 0));
    EXPECT_EQ(logo.pixelColor(9, 9), QColor(255, 255, 255));
}

TEST_F(LogoTest, BatchDecodingGivesTheSamePicturesInTheSameOrder) {
    const QColor colours[] = {Qt::red, Qt::green, Qt::blue, Qt::yellow};
    std::vector<int> stations;
    for (int n = 1; n <= 80; ++n) {
        const bool none = n % 9 == 0;
        if (!none) {
            putLogo(std::to_string(n) + (n % 2 ? ".png" : ".jpg"), n % 2 ? "PNG" : "JPEG", colours[n % 4],
                    {120, 90});
            State().LogoExtensions[static_cast<std::size_t>(n)] = n % 2 ? ".png" : ".jpg";
        }
        stations.push_back(n);
    }
    stations.push_back(0);
    const std::vector<QImage> batch = LoadLogos(stations, cell);
    ASSERT_EQ(batch.size(), stations.size());
    for (std::size_t i = 0; i < stations.size(); ++i)
        EXPECT_EQ(batch[i], LoadLogo(stations[i], cell)) << "station " << stations[i];
    EXPECT_TRUE(batch[8].isNull());
    EXPECT_FALSE(batch[0].isNull());
}

TEST(PictureExtension, OnlyTheThreeLowerCaseOnes) {
    for (const char* e : {".jpg", ".gif", ".png"})
        EXPECT_TRUE(IsPictureExtension(e)) << e;
    for (const char* e : {".txt", "", ".jpeg", ".JPG", "jpg", ".bmp"})
        EXPECT_FALSE(IsPictureExtension(e)) << e;
}

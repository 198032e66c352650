#include "platform/ImageStrip.h"
#include "platform/Png.h"
#include "platform/drawing/DrawingTestSupport.h"
#include "support/TempDirectory.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <png.h>
#include <unistd.h>

namespace ws::platform {
namespace {

using test::InkBounds;
using test::kBlack;
using test::kWhite;

constexpr Pixel kRed = MakePixel(200, 0, 0);
constexpr Pixel kGreen = MakePixel(0, 160, 0);

// Two 4x4 images side by side; the mask makes the right half of each transparent.
void MakeStrip(Image& strip, Image& mask) {
    strip = Image(8, 4, kRed);
    mask = Image(8, 4, kBlack);
    for (int y = 0; y < 4; ++y) {
        for (int x = 4; x < 8; ++x)
            strip.Set(x, y, kGreen);
        for (int x : {2, 3, 6, 7})
            mask.Set(x, y, kWhite);
    }
}

TEST(ImageStripTest, StripsSplitIntoImagesDrawnWithTheirMask) {
    ImageStrip list(4, 4);
    Image strip;
    Image mask;
    MakeStrip(strip, mask);
    EXPECT_EQ(list.Add(strip, mask), 0);
    EXPECT_EQ(list.Count(), 2);
    EXPECT_EQ(list.Add(Image(4, 4, MakePixel(0, 0, 0, 0))), 2); // alpha 0 everywhere: wholly transparent
    EXPECT_EQ(list.Count(), 3);

    Image target(10, 10, MakePixel(0, 0, 255));
    PixelCanvas canvas(target);
    EXPECT_TRUE(list.Draw(canvas, 1, 3, 2));
    EXPECT_EQ(InkBounds(target, MakePixel(0, 0, 255)), (Rect{3, 2, 5, 6}));
    EXPECT_EQ(target.At(3, 2), kGreen);
    EXPECT_EQ(target.At(5, 2), MakePixel(0, 0, 255));

    const Image before = target;
    EXPECT_TRUE(list.Draw(canvas, 2, 0, 0));
    EXPECT_FALSE(list.Draw(canvas, 3, 0, 0));
    EXPECT_FALSE(list.Draw(canvas, -1, 0, 0));
    EXPECT_EQ(target, before);
}

TEST(ImageStripTest, ImagesThatDoNotFitTheListAreRefused) {
    ImageStrip list(16, 16);
    EXPECT_THROW(list.Add(Image(16, 15)), EInvalidOperation);
    EXPECT_THROW(list.Add(Image(24, 16)), EInvalidOperation);
    EXPECT_THROW(list.Add(Image(16, 16), Image(8, 16)), EInvalidOperation);
    EXPECT_THROW(ImageStrip(0, 16), EInvalidOperation);
    EXPECT_EQ(list.Count(), 0);
}

class PngTest : public ::testing::Test {
protected:
    std::string Path(const char* name) const { return (m_Dir / name).string(); }

    ws::test::TempDirectory m_Temp{"ws-png"};
    const std::filesystem::path m_Dir = m_Temp.Path();
};

Image Sample() {
    Image image(5, 3, kWhite);
    image.Set(0, 0, MakePixel(1, 2, 3));
    image.Set(4, 2, MakePixel(250, 128, 7, 0));
    image.Set(2, 1, MakePixel(9, 8, 7, 100));
    return image;
}

TEST_F(PngTest, RoundTripKeepsEveryPixelAndAlpha) {
    const std::string path = Path("sample.png");
    WritePng(Sample(), path);
    EXPECT_EQ(ReadPng(path), Sample());
    EXPECT_FALSE(std::filesystem::exists(path + ".part"));

    WritePng(Image(2, 2, kBlack), path); // replaces the file
    EXPECT_EQ(ReadPng(path), Image(2, 2, kBlack));
}

TEST_F(PngTest, GreyAndPaletteFilesAreNormalisedToOpaqueArgb) {
    const std::string grey = Path("grey.png");
    png_image info{};
    info.version = PNG_IMAGE_VERSION;
    info.width = 2;
    info.height = 1;
    info.format = PNG_FORMAT_GRAY;
    const png_byte greyPixels[] = {0, 200};
    ASSERT_TRUE(png_image_write_to_file(&info, grey.c_str(), 0, greyPixels, 0, nullptr));
    const Image greyImage = ReadPng(grey);
    EXPECT_EQ(greyImage.At(0, 0), MakePixel(0, 0, 0));
    EXPECT_EQ(greyImage.At(1, 0), MakePixel(200, 200, 200));

    const std::string palette = Path("palette.png");
    png_image mapped{};
    mapped.version = PNG_IMAGE_VERSION;
    mapped.width = 3;
    mapped.height = 1;
    mapped.format = PNG_FORMAT_RGB_COLORMAP;
    mapped.colormap_entries = 2;
    const png_byte colors[] = {255, 0, 0, 0, 0, 255};
    const png_byte indices[] = {0, 1, 0};
    ASSERT_TRUE(png_image_write_to_file(&mapped, palette.c_str(), 0, indices, 0, colors));
    const Image paletteImage = ReadPng(palette);
    EXPECT_EQ(paletteImage.At(0, 0), MakePixel(255, 0, 0));
    EXPECT_EQ(paletteImage.At(1, 0), MakePixel(0, 0, 255));
}

void ExpectPngError(const std::string& path, const std::string& expected) {
    try {
        ReadPng(path);
        ADD_FAILURE() << "no error for " << path;
    } catch (const EPngError& e) {
        EXPECT_NE(e.Message().find(path), std::string::npos) << e.Message();
        EXPECT_NE(e.Message().find(expected), std::string::npos) << e.Message();
        EXPECT_STREQ(e.ClassName(), "EPngError");
    }
}

TEST_F(PngTest, DamagedTruncatedMissingOrForeignFilesRaiseAnErrorNamingTheFile) {
    const std::string good = Path("good.png");
    WritePng(Image(40, 30, MakePixel(10, 20, 30)), good);
    std::ifstream in(good, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_GT(bytes.size(), 60u);

    const std::string truncated = Path("truncated.png");
    std::ofstream(truncated, std::ios::binary) << bytes.substr(0, bytes.size() - 30);
    ExpectPngError(truncated, "Cannot read picture file");

    const std::string headerOnly = Path("header.png");
    std::ofstream(headerOnly, std::ios::binary) << bytes.substr(0, 20);
    ExpectPngError(headerOnly, "Cannot read picture file");

    std::string corrupt = bytes;
    for (size_t i = 50; i < 60; ++i)
        corrupt[i] = static_cast<char>(corrupt[i] ^ 0x5A);
    const std::string damaged = Path("damaged.png");
    std::ofstream(damaged, std::ios::binary) << corrupt;
    ExpectPngError(damaged, "Cannot read picture file");

    const std::string text = Path("text.png");
    std::ofstream(text) << "not a picture at all";
    ExpectPngError(text, "not a PNG file");
    ExpectPngError(Path("missing.png"), "No such file");
}

TEST_F(PngTest, FailedWritesReportTheFileAndLeaveTheOldOneAlone) {
    EXPECT_THROW(WritePng(Sample(), Path("no/such/folder/x.png")), EPngError);
    EXPECT_THROW(WritePng(Image(), Path("empty.png")), EPngError);
    EXPECT_FALSE(std::filesystem::exists(Path("empty.png")));

    const std::string path = Path("kept.png");
    WritePng(Sample(), path);
    std::filesystem::create_directory(path + ".part"); // the partial file cannot be created
    EXPECT_THROW(WritePng(Image(2, 2, kBlack), path), EPngError);
    EXPECT_EQ(ReadPng(path), Sample());
}

} // namespace
} // namespace ws::platform

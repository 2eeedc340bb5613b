#include "mainwindow/IconFile.h"

#include "IcoFixture.h"
#include "foundation/uFile.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <wx/bitmap.h>
#include <wx/image.h>
#include <wx/mstream.h>

using namespace icofixture;

namespace
{
// A colour per (x, y) that differs between neighbours in both directions.
Rgba PatternColour(int x, int y)
{
    return Rgba{static_cast<std::uint8_t>(x * 7 + 3), static_cast<std::uint8_t>(y * 11 + 5),
                static_cast<std::uint8_t>((x + y) * 5), static_cast<std::uint8_t>(255 - x - y)};
}

BitmapPlan PatternPlan(int size, int bitCount)
{
    BitmapPlan plan;
    plan.width = plan.height = size;
    plan.bitCount = bitCount;
    if (bitCount <= 8)
    {
        for (int i = 0; i < (1 << bitCount); ++i)
            plan.palette.push_back(Rgba{static_cast<std::uint8_t>(i * 37), static_cast<std::uint8_t>(i * 91),
                                        static_cast<std::uint8_t>(i * 53 + 1), 255});
        plan.index = [bitCount](int x, int y)
        { return static_cast<std::uint32_t>(x + 3 * y) % (1u << bitCount); };
    }
    plan.colour = PatternColour;
    plan.masked = [](int x, int y) { return (x + y) % 5 == 0; };
    return plan;
}

// What a correct decoder makes of PatternPlan, pixel by pixel.
Rgba Expected(const BitmapPlan& plan, int x, int y)
{
    Rgba c = plan.bitCount <= 8 ? plan.palette[plan.index(x, y)] : plan.colour(x, y);
    if (plan.bitCount != 32)
        c.alpha = plan.masked(x, y) ? 0 : 255;
    return c;
}

Rgba Decoded(const ico::RgbaImage& image, int x, int y)
{
    const std::uint8_t* p = image.pixels.data() + (static_cast<std::size_t>(y) * image.width + x) * 4;
    return Rgba{p[0], p[1], p[2], p[3]};
}

Bytes PngData(const wxImage& image)
{
    if (wxImage::FindHandler(wxBITMAP_TYPE_PNG) == nullptr)
        wxImage::AddHandler(new wxPNGHandler);
    wxMemoryOutputStream out;
    EXPECT_TRUE(image.SaveFile(out, wxBITMAP_TYPE_PNG));
    Bytes bytes(out.GetSize());
    out.CopyTo(bytes.data(), bytes.size());
    return bytes;
}

std::unique_ptr<ico::IconResource> Parse(const Bytes& file, std::string& error)
{
    return ico::ParseIconFile(file, error);
}

// The icon file as the tree's image list reads it: through a uFile.
std::unique_ptr<CIconFile> ReadIcon(const std::string& path)
{
    uFile file(path.c_str());
    return std::make_unique<CIconFile>(file);
}

wxImage IconImage(const CIconFile& file, int size)
{
    wxIcon icon = file.GetIcon(size);
    if (!icon.IsOk())
        return wxImage();
    wxBitmap bitmap;
    bitmap.CopyFromIcon(icon);
    return bitmap.ConvertToImage();
}

struct Format
{
    int size;
    int bitCount;
};

class IconFileFormats : public testing::TestWithParam<Format>
{
};
} // namespace

TEST_P(IconFileFormats, DecodesEveryPixelAndTheMask)
{
    const Format format = GetParam();
    const BitmapPlan plan = PatternPlan(format.size, format.bitCount);
    const Bytes file = IconFile({BitmapEntry(plan)});

    std::string error;
    auto icon = Parse(file, error);
    ASSERT_TRUE(icon) << error;
    const ico::IconImage* image = ico::FindImage(*icon, format.size);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->colours, format.bitCount);
    auto decoded = ico::DecodeBitmapImage(*icon, *image);
    ASSERT_TRUE(decoded);
    ASSERT_EQ(decoded->width, format.size);
    ASSERT_EQ(decoded->height, format.size);
    int wrong = 0;
    for (int y = 0; y < format.size; ++y)
        for (int x = 0; x < format.size; ++x)
            wrong += !(Decoded(*decoded, x, y) == Expected(plan, x, y));
    EXPECT_EQ(wrong, 0) << "pixels decoded wrongly";
}

INSTANTIATE_TEST_SUITE_P(SizesAndDepths, IconFileFormats,
                         testing::Values(Format{16, 1}, Format{16, 4}, Format{16, 8}, Format{16, 24},
                                         Format{16, 32}, Format{32, 4}, Format{32, 8}, Format{32, 32}),
                         [](const testing::TestParamInfo<Format>& info) {
                             return std::to_string(info.param.size) + "px" +
                                    std::to_string(info.param.bitCount) + "bit";
                         });

TEST(IconFile, ThirtyTwoBitImageWithoutAlphaFallsBackToTheMaskAndOddFormatsAreNotDecoded)
{
    BitmapPlan plan = PatternPlan(16, 32);
    plan.colour = [](int x, int y) { return Rgba{PatternColour(x, y).red, 10, 20, 0}; };
    std::string error;
    auto icon = Parse(IconFile({BitmapEntry(plan)}), error);
    ASSERT_TRUE(icon) << error;
    auto decoded = ico::DecodeBitmapImage(*icon, icon->images[0]);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(Decoded(*decoded, 0, 0).alpha, 0) << "masked";
    EXPECT_EQ(Decoded(*decoded, 1, 0).alpha, 255) << "not masked";
    EXPECT_EQ(Decoded(*decoded, 1, 0).red, PatternColour(1, 0).red);

    // 16-bit images (shorter rows) and compressed bitmaps are not decoded.
    Bytes sixteen = BitmapEntry(PatternPlan(16, 24));
    Put16(sixteen, 14, 16);
    sixteen.resize(40 + 32 * 16 + 4 * 16);
    Bytes compressed = BitmapEntry(PatternPlan(16, 8));
    Put32(compressed, 16, 1); // run-length encoded
    icon = Parse(IconFile({sixteen, compressed}), error);
    ASSERT_TRUE(icon) << error;
    EXPECT_FALSE(ico::DecodeBitmapImage(*icon, icon->images[0]));
    EXPECT_FALSE(ico::DecodeBitmapImage(*icon, icon->images[1]));
}

TEST(IconFile, PicksTheFirstImageOfTheAskedSizeByItsBitmapHeader)
{
    BitmapPlan red = PatternPlan(16, 24), blue = PatternPlan(16, 24), big = PatternPlan(32, 24);
    red.colour = [](int, int) { return Rgba{255, 0, 0, 255}; };
    blue.colour = [](int, int) { return Rgba{0, 0, 255, 255}; };
    red.masked = blue.masked = big.masked = [](int, int) { return false; };
    Bytes file = IconFile({BitmapEntry(big), BitmapEntry(red), BitmapEntry(blue)});
    // The directory's own size bytes are not what counts.
    file[DirectoryEntry(1)] = 48;
    file[DirectoryEntry(1) + 1] = 48;

    testsupport::TempDir dir;
    auto icon = ReadIcon(dir.write("three.ico", AsString(file)));
    wxImage sixteen = IconImage(*icon, 16);
    ASSERT_TRUE(sixteen.IsOk());
    EXPECT_EQ(sixteen.GetRed(5, 5), 255) << "the first 16 by 16 image in directory order";
    EXPECT_EQ(IconImage(*icon, 32).GetWidth(), 32);

    auto onlyBig = ReadIcon(dir.write("big.ico", AsString(IconFile({BitmapEntry(big)}))));
    EXPECT_FALSE(onlyBig->GetIcon(16).IsOk()) << "a 32 by 32 image is not scaled down";
    EXPECT_TRUE(onlyBig->GetIcon(32).IsOk());
}

TEST(IconFile, ReadsPngImagesInsideTheIconFile)
{
    wxImage png(16, 16);
    png.InitAlpha();
    for (int y = 0; y < 16; ++y)
    {
        for (int x = 0; x < 16; ++x)
        {
            png.SetRGB(x, y, 10 * x, 200, 10 * y);
            png.SetAlpha(x, y, x < 8 ? 255 : 0);
        }
    }
    BitmapPlan big = PatternPlan(32, 8);
    Bytes file = IconFile({BitmapEntry(big), PngData(png)});

    testsupport::TempDir dir;
    wxImage shown = IconImage(*ReadIcon(dir.write("png.ico", AsString(file))), 16);
    ASSERT_TRUE(shown.IsOk());
    EXPECT_EQ(shown.GetRed(3, 9), 30);
    EXPECT_EQ(shown.GetBlue(3, 9), 90);
    EXPECT_EQ(shown.GetAlpha(3, 9), 255);
    EXPECT_EQ(shown.GetAlpha(12, 9), 0);

    // A PNG body that is not the size its header claims gives no icon.
    Bytes lying = IconFile({PngData(png.Scale(20, 20))});
    Put32(lying, EntryData(lying, 0) + 16, 0x10000000); // IHDR width and height, big-endian 16
    Put32(lying, EntryData(lying, 0) + 20, 0x10000000);
    EXPECT_FALSE(ReadIcon(dir.write("lying.ico", AsString(lying)))->GetIcon(16).IsOk());
}

TEST(IconFile, RefusesFilesThatAreNotIconsOrDoNotHoldTogether)
{
    const Bytes good = IconFile({BitmapEntry(PatternPlan(16, 8))});
    const std::size_t data = EntryData(good, 0);
    struct Case
    {
        const char* name;
        std::function<void(Bytes&)> damage;
        const char* error;
    };
    const Case cases[] = {
        {"empty file", [](Bytes& b) { b.clear(); }, ico::kErrorHeader},
        {"cursor file", [](Bytes& b) { Put16(b, 2, 2); }, ico::kErrorHeader},
        {"more entries than the directory holds", [](Bytes& b) { Put16(b, 4, 400); }, ico::kErrorReading},
        {"offset beyond the end", [](Bytes& b) { Put32(b, DirectoryEntry(0) + 12, 100000); },
         ico::kErrorReading},
        {"size of 4 GiB", [](Bytes& b) { Put32(b, DirectoryEntry(0) + 8, 0xFFFFFFFF); }, ico::kErrorReading},
        {"data cut short", [](Bytes& b) { b.resize(b.size() - 1); }, ico::kErrorReading},
        {"entry too small for a header", [](Bytes& b) { Put32(b, DirectoryEntry(0) + 8, 20); },
         ico::kErrorConverting},
        {"mask missing", [](Bytes& b) { Put32(b, DirectoryEntry(0) + 8, b.size() - 22 - 64); },
         ico::kErrorConverting},
        {"oversized header size", [data](Bytes& b) { Put32(b, data, 0x7FFFFFFF); }, ico::kErrorConverting},
        {"negative width", [data](Bytes& b) { Put32(b, data + 4, 0xFFFFFFF0); }, ico::kErrorConverting},
        {"width beyond the rows", [data](Bytes& b) { Put32(b, data + 4, 200); }, ico::kErrorConverting},
        {"top-down height", [data](Bytes& b) { Put32(b, data + 8, static_cast<std::uint32_t>(-32)); },
         ico::kErrorConverting},
        {"seven bits per pixel", [data](Bytes& b) { Put16(b, data + 14, 7); }, ico::kErrorConverting},
        {"palette beyond the data", [data](Bytes& b) { Put32(b, data + 32, 300); }, ico::kErrorConverting},
        {"palette size overflowing", [data](Bytes& b) { Put32(b, data + 32, 0x40000001); },
         ico::kErrorConverting},
    };
    for (const Case& c : cases)
    {
        Bytes file = good;
        c.damage(file);
        std::string error;
        EXPECT_FALSE(Parse(file, error)) << c.name;
        EXPECT_EQ(error, c.error) << c.name;
    }

    wxImage png(16, 16);
    Bytes pngFile = IconFile({PngData(png)});
    Bytes badChunk = pngFile;
    badChunk[EntryData(badChunk, 0) + 15] = 'X'; // "IHDX"
    Bytes zeroWidth = pngFile;
    Put32(zeroWidth, EntryData(zeroWidth, 0) + 16, 0);
    for (const Bytes& file : {badChunk, zeroWidth})
    {
        std::string error;
        EXPECT_FALSE(Parse(file, error));
        EXPECT_EQ(error, ico::kErrorConverting);
    }
}

TEST(IconFile, RefusesMissingAndOversizedFilesAndStaysEmpty)
{
    testsupport::TempDir dir;
    std::string error;
    uFile missing(dir.file("missing.ico").c_str());
    EXPECT_FALSE(CIconFile::LoadIconFile(missing, error));
    EXPECT_EQ(error, ico::kErrorOpening);
    EXPECT_FALSE(ReadIcon(dir.file("missing.ico"))->GetIcon(16).IsOk());

    Bytes huge = IconFile({BitmapEntry(PatternPlan(16, 8))});
    huge.resize(ico::kMaxFileSize + 1);
    uFile hugeFile(dir.write("huge.ico", AsString(huge)).c_str());
    EXPECT_FALSE(CIconFile::LoadIconFile(hugeFile, error));
    EXPECT_EQ(error, ico::kErrorAllocating);
    EXPECT_FALSE(hugeFile.isOpen());

    uFile ok(dir.write("ok.ico", AsString(IconFile({}))).c_str());
    ASSERT_TRUE(CIconFile::LoadIconFile(ok, error)) << "a file without images is an icon file";
    EXPECT_FALSE(ok.isOpen()) << "closed again, so that others may open it";
}

#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

/// Reading Windows icon files (.ico): header, directory and images, with no
/// window code. Site icons come from arbitrary web servers, so every size and
/// offset is checked against the file before it is used.
namespace ico
{
inline constexpr const char* kErrorOpening = "Error Opening File for Reading";
inline constexpr const char* kErrorHeader = "Error Reading File Header";
inline constexpr const char* kErrorAllocating = "Error Allocating Memory";
inline constexpr const char* kErrorReading = "Error Reading File";
inline constexpr const char* kErrorConverting = "Error Converting to Internal Format";

/// Larger files are refused unread: icons are small, and the whole file is
/// held in memory.
inline constexpr std::size_t kMaxFileSize = 4 * 1024 * 1024;
/// Icon images are at most 256 pixels wide and high.
inline constexpr int kMaxImageSize = 256;

/// One image of the directory. Offsets are into the file's bytes.
struct IconImage
{
    int width = 0;   // of the image itself, not the directory's byte
    int height = 0;  // the bitmap header's height counts both masks: half of it
    int colours = 0; // planes x bit count (32 for a PNG image)
    std::size_t dataOffset = 0;
    std::size_t dataSize = 0;
    bool png = false; // the data is a whole PNG file
    // Bitmap images only:
    int bitCount = 0;
    std::uint32_t compression = 0;
    std::size_t paletteOffset = 0;
    std::size_t paletteEntries = 0;
    std::size_t colourOffset = 0; // colour (XOR) rows, bottom row first
    std::size_t colourRowSize = 0;
    std::size_t maskOffset = 0; // monochrome (AND) rows, bottom row first
    std::size_t maskRowSize = 0;
};

/// A loaded icon file: its path, its bytes and its images in directory order.
struct IconResource
{
    std::string path;
    std::vector<std::uint8_t> bytes;
    std::vector<IconImage> images;

    std::span<const std::uint8_t> Data(const IconImage& image) const
    {
        return std::span<const std::uint8_t>(bytes).subspan(image.dataOffset, image.dataSize);
    }
};

/// Straight (not premultiplied) RGBA pixels, top row first.
struct RgbaImage
{
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> pixels;
};

/// Parses a whole icon file held in memory. Null with one of the error texts
/// above when the file is not an icon file or does not hold together.
std::unique_ptr<IconResource> ParseIconFile(std::vector<std::uint8_t> bytes, std::string& error);

/// The first image, in directory order, whose width and height both equal
/// size; null when there is none.
const IconImage* FindImage(const IconResource& icon, int size);

/// Decodes a bitmap image (1, 4, 8, 24 or 32 bits per pixel, uncompressed).
/// Pixels the AND mask marks are transparent, unless a 32-bit image carries
/// its own alpha. Nothing for PNG images, 16-bit and compressed bitmaps.
std::optional<RgbaImage> DecodeBitmapImage(const IconResource& icon, const IconImage& image);
} // namespace ico

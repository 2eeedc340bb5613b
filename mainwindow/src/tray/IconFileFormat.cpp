#include "mainwindow/IconFileFormat.h"

#include <cstring>

namespace ico
{
namespace
{
constexpr std::size_t kHeaderSize = 6;
constexpr std::size_t kEntrySize = 16;
constexpr std::size_t kBitmapHeaderSize = 40;
constexpr std::uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
// Signature, IHDR length and type, then width and height.
constexpr std::size_t kPngHeaderSize = 24;

// Little-endian fields of the icon and bitmap headers; callers check bounds.
std::uint16_t Read16(const std::uint8_t* p)
{
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
std::uint32_t Read32(const std::uint8_t* p)
{
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
std::uint32_t ReadBigEndian32(const std::uint8_t* p)
{
    return (static_cast<std::uint32_t>(p[0]) << 24) | (static_cast<std::uint32_t>(p[1]) << 16) |
           (static_cast<std::uint32_t>(p[2]) << 8) | static_cast<std::uint32_t>(p[3]);
}

// Bytes of one row of a bottom-up bitmap: whole 32-bit words.
std::uint64_t RowSize(std::uint64_t width, std::uint64_t bitsPerPixel)
{
    return (width * bitsPerPixel + 31) / 32 * 4;
}

bool ReadPngImage(std::span<const std::uint8_t> data, IconImage& image)
{
    if (data.size() < kPngHeaderSize || std::memcmp(data.data() + 12, "IHDR", 4) != 0)
        return false;
    std::uint32_t width = ReadBigEndian32(data.data() + 16);
    std::uint32_t height = ReadBigEndian32(data.data() + 20);
    if (width == 0 || height == 0 || width > kMaxImageSize || height > kMaxImageSize)
        return false;
    image.png = true;
    image.width = static_cast<int>(width);
    image.height = static_cast<int>(height);
    image.colours = 32;
    return true;
}

// Lays the bitmap's parts over its data; false when a part would reach past
// the data or the header holds values no icon has.
bool ReadBitmapImage(std::span<const std::uint8_t> data, IconImage& image)
{
    if (data.size() < kBitmapHeaderSize)
        return false;
    const std::uint8_t* header = data.data();
    std::uint32_t headerSize = Read32(header);
    auto width = static_cast<std::int32_t>(Read32(header + 4));
    auto doubleHeight = static_cast<std::int32_t>(Read32(header + 8));
    std::uint16_t planes = Read16(header + 12);
    std::uint16_t bitCount = Read16(header + 14);
    std::uint32_t compression = Read32(header + 16);
    std::uint32_t coloursUsed = Read32(header + 32);

    if (headerSize < kBitmapHeaderSize || headerSize > data.size())
        return false;
    if (width <= 0 || width > kMaxImageSize || doubleHeight / 2 <= 0 || doubleHeight / 2 > kMaxImageSize)
        return false;
    if (planes != 1)
        return false;
    if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 16 && bitCount != 24 && bitCount != 32)
        return false;

    std::uint64_t paletteEntries = coloursUsed;
    if (paletteEntries == 0)
        paletteEntries = bitCount == 1 ? 2 : bitCount == 4 ? 16 : bitCount == 8 ? 256 : 0;
    int height = doubleHeight / 2;
    std::uint64_t paletteOffset = headerSize;
    std::uint64_t colourOffset = paletteOffset + 4 * paletteEntries;
    std::uint64_t colourRowSize = RowSize(static_cast<std::uint64_t>(width), bitCount);
    std::uint64_t maskOffset = colourOffset + colourRowSize * static_cast<std::uint64_t>(height);
    std::uint64_t maskRowSize = RowSize(static_cast<std::uint64_t>(width), 1);
    std::uint64_t end = maskOffset + maskRowSize * static_cast<std::uint64_t>(height);
    if (end > data.size())
        return false;

    image.width = width;
    image.height = height;
    image.colours = planes * bitCount;
    image.bitCount = bitCount;
    image.compression = compression;
    image.paletteOffset = paletteOffset;
    image.paletteEntries = paletteEntries;
    image.colourOffset = colourOffset;
    image.colourRowSize = colourRowSize;
    image.maskOffset = maskOffset;
    image.maskRowSize = maskRowSize;
    return true;
}

bool IsMasked(std::span<const std::uint8_t> data, const IconImage& image, int x, int row)
{
    std::uint8_t byte = data[image.maskOffset + static_cast<std::size_t>(row) * image.maskRowSize + x / 8];
    return (byte >> (7 - x % 8)) & 1;
}
} // namespace

std::unique_ptr<IconResource> ParseIconFile(std::vector<std::uint8_t> bytes, std::string& error)
{
    if (bytes.size() > kMaxFileSize)
    {
        error = kErrorAllocating;
        return nullptr;
    }
    if (bytes.size() < kHeaderSize || Read16(bytes.data()) != 0 || Read16(bytes.data() + 2) != 1)
    {
        error = kErrorHeader;
        return nullptr;
    }
    std::size_t count = Read16(bytes.data() + 4);
    if (bytes.size() < kHeaderSize + count * kEntrySize)
    {
        error = kErrorReading;
        return nullptr;
    }

    auto icon = std::make_unique<IconResource>();
    icon->images.resize(count);
    for (std::size_t i = 0; i < count; ++i)
    {
        const std::uint8_t* entry = bytes.data() + kHeaderSize + i * kEntrySize;
        std::uint64_t size = Read32(entry + 8);
        std::uint64_t offset = Read32(entry + 12);
        // An entry reaching past the end reads short, as it would from disk.
        if (offset + size > bytes.size())
        {
            error = kErrorReading;
            return nullptr;
        }
        IconImage& image = icon->images[i];
        image.dataOffset = static_cast<std::size_t>(offset);
        image.dataSize = static_cast<std::size_t>(size);
        std::span<const std::uint8_t> data = std::span<const std::uint8_t>(bytes).subspan(offset, size);
        bool isPng = data.size() >= sizeof kPngSignature &&
                     std::memcmp(data.data(), kPngSignature, sizeof kPngSignature) == 0;
        if (!(isPng ? ReadPngImage(data, image) : ReadBitmapImage(data, image)))
        {
            error = kErrorConverting;
            return nullptr;
        }
    }
    icon->bytes = std::move(bytes);
    return icon;
}

const IconImage* FindImage(const IconResource& icon, int size)
{
    for (const IconImage& image : icon.images)
    {
        if (image.width == size && image.height == size)
            return &image;
    }
    return nullptr;
}

std::optional<RgbaImage> DecodeBitmapImage(const IconResource& icon, const IconImage& image)
{
    if (image.png || image.compression != 0 || image.bitCount == 16 || image.width <= 0 || image.height <= 0)
        return std::nullopt;
    std::span<const std::uint8_t> data = icon.Data(image);
    const int width = image.width;
    const int height = image.height;
    RgbaImage out{width, height, std::vector<std::uint8_t>(static_cast<std::size_t>(width) * height * 4)};

    bool ownAlpha = false;
    if (image.bitCount == 32)
    {
        for (int row = 0; row < height && !ownAlpha; ++row)
        {
            const std::uint8_t* source = data.data() + image.colourOffset + row * image.colourRowSize;
            for (int x = 0; x < width && !ownAlpha; ++x)
                ownAlpha = source[x * 4 + 3] != 0;
        }
    }

    for (int row = 0; row < height; ++row)
    {
        const std::uint8_t* source = data.data() + image.colourOffset + row * image.colourRowSize;
        std::uint8_t* target = out.pixels.data() + static_cast<std::size_t>(height - 1 - row) * width * 4;
        for (int x = 0; x < width; ++x, target += 4)
        {
            std::uint8_t blue = 0, green = 0, red = 0, alpha = 255;
            if (image.bitCount <= 8)
            {
                int bitsPerPixel = image.bitCount;
                int bit = x * bitsPerPixel;
                int shift = 8 - bitsPerPixel - bit % 8;
                std::size_t index = (source[bit / 8] >> shift) & ((1 << bitsPerPixel) - 1);
                // A palette shorter than the pixel values reach leaves them black.
                if (index < image.paletteEntries)
                {
                    const std::uint8_t* entry = data.data() + image.paletteOffset + index * 4;
                    blue = entry[0];
                    green = entry[1];
                    red = entry[2];
                }
            }
            else
            {
                const std::uint8_t* pixel = source + x * (image.bitCount / 8);
                blue = pixel[0];
                green = pixel[1];
                red = pixel[2];
                if (ownAlpha)
                    alpha = pixel[3];
            }
            if (!ownAlpha && IsMasked(data, image, x, row))
                alpha = 0;
            target[0] = red;
            target[1] = green;
            target[2] = blue;
            target[3] = alpha;
        }
    }
    return out;
}
} // namespace ico

#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Icon files built byte by byte, the way a site's favicon.ico is laid out.
namespace icofixture
{
using Bytes = std::vector<std::uint8_t>;

struct Rgba
{
    std::uint8_t red, green, blue, alpha;
    bool operator==(const Rgba&) const = default;
};

// The image to encode, top row first: for 1, 4 and 8 bits per pixel the
// palette index of (x, y), else its colour; masked pixels get an AND bit.
struct BitmapPlan
{
    int width = 16;
    int height = 16;
    int bitCount = 8;
    std::vector<Rgba> palette;
    std::function<std::uint32_t(int x, int y)> index;
    std::function<Rgba(int x, int y)> colour;
    std::function<bool(int x, int y)> masked = [](int, int) { return false; };
};

// BITMAPINFOHEADER, palette, bottom-up colour rows and AND mask rows.
Bytes BitmapEntry(const BitmapPlan& plan);

// Header, directory and the entries' data, in order. The directory's own
// width and height bytes are set from the bitmap header.
Bytes IconFile(const std::vector<Bytes>& entries);

// Little-endian writes into an existing buffer.
void Put16(Bytes& bytes, std::size_t offset, std::uint16_t value);
void Put32(Bytes& bytes, std::size_t offset, std::uint32_t value);

// Where entry i's fields lie in a file made by IconFile.
inline std::size_t DirectoryEntry(int i)
{
    return 6 + 16 * static_cast<std::size_t>(i);
}
std::size_t EntryData(const Bytes& file, int i);

std::string AsString(const Bytes& bytes);
} // namespace icofixture

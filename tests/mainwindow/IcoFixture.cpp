#include "IcoFixture.h"

namespace icofixture
{
void Put16(Bytes& bytes, std::size_t offset, std::uint16_t value)
{
    bytes.at(offset) = value & 0xFF;
    bytes.at(offset + 1) = value >> 8;
}

void Put32(Bytes& bytes, std::size_t offset, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        bytes.at(offset + i) = (value >> (8 * i)) & 0xFF;
}

Bytes BitmapEntry(const BitmapPlan& plan)
{
    const int w = plan.width, h = plan.height, bits = plan.bitCount;
    const std::size_t colourRow = (static_cast<std::size_t>(w) * bits + 31) / 32 * 4;
    const std::size_t maskRow = (static_cast<std::size_t>(w) + 31) / 32 * 4;
    const std::size_t paletteBytes = plan.palette.size() * 4;
    Bytes data(40 + paletteBytes + colourRow * h + maskRow * h, 0);
    Put32(data, 0, 40);
    Put32(data, 4, w);
    Put32(data, 8, 2 * h);
    Put16(data, 12, 1);
    Put16(data, 14, bits);
    // Only a palette shorter than the bit count allows needs its length said.
    if (bits <= 8 && plan.palette.size() != (1u << bits))
        Put32(data, 32, plan.palette.size());
    for (std::size_t i = 0; i < plan.palette.size(); ++i)
    {
        data[40 + 4 * i] = plan.palette[i].blue;
        data[41 + 4 * i] = plan.palette[i].green;
        data[42 + 4 * i] = plan.palette[i].red;
    }
    const std::size_t colours = 40 + paletteBytes;
    const std::size_t mask = colours + colourRow * h;
    for (int y = 0; y < h; ++y)
    {
        const std::size_t row = static_cast<std::size_t>(h - 1 - y); // bottom row first
        for (int x = 0; x < w; ++x)
        {
            std::uint8_t* pixelRow = data.data() + colours + row * colourRow;
            if (bits <= 8)
            {
                std::uint32_t index = plan.index(x, y);
                int bit = x * bits;
                pixelRow[bit / 8] |= static_cast<std::uint8_t>(index << (8 - bits - bit % 8));
            }
            else
            {
                Rgba c = plan.colour(x, y);
                std::uint8_t* pixel = pixelRow + x * (bits / 8);
                pixel[0] = c.blue;
                pixel[1] = c.green;
                pixel[2] = c.red;
                if (bits == 32)
                    pixel[3] = c.alpha;
            }
            if (plan.masked(x, y))
                data[mask + row * maskRow + x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
        }
    }
    return data;
}

Bytes IconFile(const std::vector<Bytes>& entries)
{
    Bytes file(6 + 16 * entries.size(), 0);
    Put16(file, 2, 1);
    Put16(file, 4, static_cast<std::uint16_t>(entries.size()));
    for (std::size_t i = 0; i < entries.size(); ++i)
    {
        const Bytes& data = entries[i];
        std::size_t entry = DirectoryEntry(static_cast<int>(i));
        if (data.size() >= 16 && data[0] == 40)
        {
            file[entry] = data[4];
            file[entry + 1] = data[8] / 2;
            Put16(file, entry + 4, 1);
            Put16(file, entry + 6, data[14]);
        }
        Put32(file, entry + 8, static_cast<std::uint32_t>(data.size()));
        Put32(file, entry + 12, static_cast<std::uint32_t>(file.size()));
        file.insert(file.end(), data.begin(), data.end());
    }
    return file;
}

std::size_t EntryData(const Bytes& file, int i)
{
    std::size_t entry = DirectoryEntry(i) + 12;
    return file.at(entry) | (file.at(entry + 1) << 8) | (file.at(entry + 2) << 16) |
           (static_cast<std::size_t>(file.at(entry + 3)) << 24);
}

std::string AsString(const Bytes& bytes)
{
    return std::string(bytes.begin(), bytes.end());
}
} // namespace icofixture

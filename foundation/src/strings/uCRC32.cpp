#include "foundation/uHash.h"

#include <array>
#include <cstdio>

namespace
{

constexpr std::array<std::uint32_t, 256> makeTable()
{
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t n = 0; n < 256; ++n)
    {
        std::uint32_t c = n;
        for (int k = 0; k < 8; ++k)
            c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[n] = c;
    }
    return table;
}

constexpr std::array<std::uint32_t, 256> kTable = makeTable();

} // namespace

uCRC32::uCRC32() : uHash("CRC32") {}

void uCRC32::reset()
{
    m_register = 0xFFFFFFFFu;
}

void uCRC32::update(const unsigned char* buffer, int offset, int count)
{
    if (!buffer || count <= 0 || offset < 0)
        return;
    const unsigned char* p = buffer + offset;
    for (int i = 0; i < count; ++i)
        m_register = kTable[(m_register ^ p[i]) & 0xFF] ^ (m_register >> 8);
}

const unsigned char* uCRC32::final()
{
    m_register = ~m_register;
    for (int i = 0; i < 4; ++i)
        m_bytes[i] = static_cast<unsigned char>(m_register >> (8 * i));
    return m_bytes;
}

bool uCRC32::getHexDigest(uString& out)
{
    char text[9];
    std::snprintf(text, sizeof text, "%08x", static_cast<unsigned>(m_register));
    out.assign(text);
    return true;
}

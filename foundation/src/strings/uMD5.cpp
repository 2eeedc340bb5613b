#include "foundation/uHash.h"

#include <cstring>

namespace
{

constexpr std::uint32_t kSine[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391,
};

constexpr int kShift[64] = {
    7,  12, 17, 22, 7,  12, 17, 22, 7,  12, 17, 22, 7,  12, 17, 22, 5,  9,  14, 20, 5,  9,
    14, 20, 5,  9,  14, 20, 5,  9,  14, 20, 4,  11, 16, 23, 4,  11, 16, 23, 4,  11, 16, 23,
    4,  11, 16, 23, 6,  10, 15, 21, 6,  10, 15, 21, 6,  10, 15, 21, 6,  10, 15, 21,
};

std::uint32_t rotateLeft(std::uint32_t value, int bits)
{
    return (value << bits) | (value >> (32 - bits));
}

std::uint32_t readLittleEndian(const unsigned char* p)
{
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
           std::uint32_t(p[3]) << 24;
}

void writeLittleEndian(std::uint32_t value, unsigned char* p)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<unsigned char>(value >> (8 * i));
}

} // namespace

uMD5::uMD5(std::uint32_t seed) : uHash("MD5"), m_seed(seed)
{
    reset();
}

void uMD5::reset()
{
    m_countLow = 0;
    m_countHigh = 0;
    // Unsigned arithmetic wraps, as the seeded variant requires.
    m_state[0] = m_seed * 11u + 0x67452301u;
    m_state[1] = m_seed * 71u + 0xEFCDAB89u;
    m_state[2] = m_seed * 37u + 0x98BADCFEu;
    m_state[3] = m_seed * 97u + 0x10325476u;
}

void uMD5::update(const unsigned char* buffer, int offset, int count)
{
    if (!buffer || count <= 0 || offset < 0)
        return;
    const unsigned char* input = buffer + offset;
    auto length = static_cast<std::uint32_t>(count);

    std::uint32_t index = (m_countLow >> 3) & 0x3F;
    std::uint32_t added = length << 3;
    m_countLow += added;
    if (m_countLow < added)
        ++m_countHigh;
    m_countHigh += length >> 29;

    std::uint32_t used = 0;
    std::uint32_t room = 64 - index;
    if (length >= room)
    {
        std::memcpy(m_block + index, input, room);
        transform(m_block);
        for (used = room; used + 63 < length; used += 64)
            transform(input + used);
        index = 0;
    }
    std::memcpy(m_block + index, input + used, length - used);
}

const unsigned char* uMD5::final()
{
    unsigned char bits[8];
    writeLittleEndian(m_countLow, bits);
    writeLittleEndian(m_countHigh, bits + 4);

    static const unsigned char padding[64] = {0x80};
    std::uint32_t index = (m_countLow >> 3) & 0x3F;
    std::uint32_t padLength = index < 56 ? 56 - index : 120 - index;
    update(padding, 0, static_cast<int>(padLength));

    // The length goes straight into the block, not through update: the bit
    // count keeps the padding only, so a second final pads once more.
    std::memcpy(m_block + 56, bits, 8);
    transform(m_block);

    for (int i = 0; i < 4; ++i)
        writeLittleEndian(m_state[i], m_digest + 4 * i);
    return m_digest;
}

bool uMD5::getHexDigest(uString& out)
{
    static const char hex[] = "0123456789abcdef";
    char text[33];
    for (int i = 0; i < 16; ++i)
    {
        text[2 * i] = hex[m_digest[i] >> 4];
        text[2 * i + 1] = hex[m_digest[i] & 0x0F];
    }
    text[32] = '\0';
    out.assign(text);
    return true;
}

void uMD5::transform(const unsigned char block[64])
{
    std::uint32_t words[16];
    for (int i = 0; i < 16; ++i)
        words[i] = readLittleEndian(block + 4 * i);

    std::uint32_t a = m_state[0], b = m_state[1], c = m_state[2], d = m_state[3];
    for (int step = 0; step < 64; ++step)
    {
        std::uint32_t f;
        int g;
        switch (step / 16)
        {
        case 0:
            f = (b & c) | (~b & d);
            g = step;
            break;
        case 1:
            f = (d & b) | (~d & c);
            g = (5 * step + 1) % 16;
            break;
        case 2:
            f = b ^ c ^ d;
            g = (3 * step + 5) % 16;
            break;
        default:
            f = c ^ (b | ~d);
            g = (7 * step) % 16;
            break;
        }
        std::uint32_t next = d;
        d = c;
        c = b;
        b = b + rotateLeft(a + f + kSine[step] + words[g], kShift[step]);
        a = next;
    }
    m_state[0] += a;
    m_state[1] += b;
    m_state[2] += c;
    m_state[3] += d;
}

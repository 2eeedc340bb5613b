#include "Utf8.h"

namespace ado::detail
{

char* writeUtf8(char* out, char32_t c)
{
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
        c = 0xFFFD;
    if (c < 0x80)
    {
        *out++ = static_cast<char>(c);
    }
    else if (c < 0x800)
    {
        *out++ = static_cast<char>(0xC0 | (c >> 6));
        *out++ = static_cast<char>(0x80 | (c & 0x3F));
    }
    else if (c < 0x10000)
    {
        *out++ = static_cast<char>(0xE0 | (c >> 12));
        *out++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        *out++ = static_cast<char>(0x80 | (c & 0x3F));
    }
    else
    {
        *out++ = static_cast<char>(0xF0 | (c >> 18));
        *out++ = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        *out++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        *out++ = static_cast<char>(0x80 | (c & 0x3F));
    }
    return out;
}

void appendUtf8(std::string& out, char32_t c)
{
    char bytes[4];
    out.append(bytes, writeUtf8(bytes, c));
}

char32_t nextCodePoint(std::string_view text, std::size_t& index)
{
    const auto byteAt = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byteAt(index);
    if (lead < 0x80)
    {
        ++index;
        return lead;
    }
    std::size_t extra = 0;
    char32_t c = 0;
    char32_t minimum = 0;
    if (lead >= 0xC2 && lead <= 0xDF)
    {
        extra = 1;
        c = lead & 0x1F;
        minimum = 0x80;
    }
    else if (lead >= 0xE0 && lead <= 0xEF)
    {
        extra = 2;
        c = lead & 0x0F;
        minimum = 0x800;
    }
    else if (lead >= 0xF0 && lead <= 0xF4)
    {
        extra = 3;
        c = lead & 0x07;
        minimum = 0x10000;
    }
    else
    {
        ++index;
        return kInvalidBase + lead;
    }
    if (index + extra >= text.size())
    {
        ++index;
        return kInvalidBase + lead;
    }
    for (std::size_t k = 1; k <= extra; ++k)
    {
        const unsigned char b = byteAt(index + k);
        if ((b & 0xC0) != 0x80)
        {
            ++index;
            return kInvalidBase + lead;
        }
        c = (c << 6) | (b & 0x3F);
    }
    if (c < minimum || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
    {
        ++index;
        return kInvalidBase + lead;
    }
    index += extra + 1;
    return c;
}

} // namespace ado::detail

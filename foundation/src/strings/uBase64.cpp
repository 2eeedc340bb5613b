#include "foundation/uBase64.h"

#include "Base64Detail.h"

namespace
{

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr int kGroupsPerLine = 18;

} // namespace

namespace b64
{

int SextetOf(unsigned char c)
{
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+')
        return 62;
    if (c == '/')
        return 63;
    return -1;
}

void LineEncoder::addGroup(const unsigned char* group, int count, std::string& out)
{
    char encoded[4];
    Base64EncodeBlock(group, encoded, count);
    out.append(encoded, 4);
    if (++m_groupsInLine == kGroupsPerLine)
    {
        out += "\r\n";
        m_groupsInLine = 0;
    }
}

void LineEncoder::add(const unsigned char* bytes, size_t count, std::string& out)
{
    for (size_t i = 0; i < count; ++i)
    {
        m_pending[m_pendingCount++] = bytes[i];
        if (m_pendingCount == 3)
        {
            addGroup(m_pending, 3, out);
            m_pendingCount = 0;
        }
    }
}

void LineEncoder::finish(std::string& out)
{
    if (m_pendingCount > 0)
        addGroup(m_pending, m_pendingCount, out);
    m_pendingCount = 0;
    if (m_groupsInLine > 0)
        out += "\r\n";
    m_groupsInLine = 0;
}

} // namespace b64

void Base64EncodeBlock(const unsigned char* in, char* out, int n)
{
    const unsigned b0 = in[0];
    const unsigned b1 = n > 1 ? in[1] : 0;
    const unsigned b2 = n > 2 ? in[2] : 0;
    out[0] = kAlphabet[b0 >> 2];
    out[1] = kAlphabet[((b0 & 0x03) << 4) | (b1 >> 4)];
    out[2] = n > 1 ? kAlphabet[((b1 & 0x0F) << 2) | (b2 >> 6)] : '=';
    out[3] = n > 2 ? kAlphabet[b2 & 0x3F] : '=';
}

void Base64DecodeBlock(const unsigned char* in, unsigned char* out)
{
    out[0] = static_cast<unsigned char>((in[0] << 2) | (in[1] >> 4));
    out[1] = static_cast<unsigned char>((in[1] << 4) | (in[2] >> 2));
    out[2] = static_cast<unsigned char>((in[2] << 6) | in[3]);
}

void Base64Encode(const uString& in, uString& out)
{
    std::string text;
    b64::LineEncoder encoder;
    encoder.add(reinterpret_cast<const unsigned char*>(in.c_str()), static_cast<size_t>(in.getLength()),
                text);
    encoder.finish(text);
    out.setEmpty();
    out.append(text.data(), 0, static_cast<int>(text.size()));
}

void Base64Decode(uString& in, uString& out)
{
    in.replaceChar('\r', '\0');
    in.replaceChar('\n', '\0');
    out.setEmpty();
    const unsigned char* p = reinterpret_cast<const unsigned char*>(in.c_str());
    const unsigned char* end = p + in.getLength();
    while (p < end)
    {
        unsigned char values[4] = {0, 0, 0, 0};
        int filled = 0;
        while (filled < 4 && p < end)
        {
            const int value = b64::SextetOf(*p++);
            if (value >= 0)
                values[filled++] = static_cast<unsigned char>(value);
        }
        if (filled >= 2)
        {
            unsigned char decoded[3];
            Base64DecodeBlock(values, decoded);
            // Length-aware: decoded bytes may be NUL.
            for (int i = 0; i < filled - 1; ++i)
                out.append(static_cast<char>(decoded[i]));
        }
    }
}

uString Base64Encode(uString in)
{
    uString out;
    Base64Encode(in, out);
    return out;
}

uString Base64Decode(uString in)
{
    uString out;
    Base64Decode(in, out);
    return out;
}

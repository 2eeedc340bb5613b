#include "foundation/uBase64.h"

namespace
{

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr int kGroupsPerLine = 18;

// The 6-bit value of a Base64 character, or −1 for anything else ("=" too).
int sextet(unsigned char c)
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

} // namespace

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
    out.setEmpty();
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(in.c_str());
    const int length = in.getLength();
    out.reserve(length / 3 * 4 + length / 54 * 2 + 8);
    int groupsOnLine = 0;
    for (int i = 0; i < length; i += 3)
    {
        char group[4];
        Base64EncodeBlock(bytes + i, group, length - i < 3 ? length - i : 3);
        out.append(group, 0, 4);
        if (++groupsOnLine == kGroupsPerLine)
        {
            out.append("\r\n");
            groupsOnLine = 0;
        }
    }
    if (groupsOnLine > 0)
        out.append("\r\n");
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
            const int value = sextet(*p++);
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

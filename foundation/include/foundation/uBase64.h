#pragma once

#include "foundation/uString.h"

#include <cstddef>
#include <cstdint>
#include <string>

class uFile;

// Base64 (RFC 4648 alphabet, "=" padding). The encoder writes lines of 72
// characters (18 groups) and ends every line, the last partial one included,
// with "\r\n"; an empty input gives an empty output. The decoder skips every
// character outside the alphabet ("=" included) wherever it stands; its
// output is raw bytes and may hold NULs (use getLength, not strlen).

// Encodes n (1 to 3) bytes into 4 characters, padding with "=".
void Base64EncodeBlock(const unsigned char* in, char* out, int n);
// Turns 4 six-bit values into 3 bytes.
void Base64DecodeBlock(const unsigned char* in, unsigned char* out);

// Empties `out`, then writes the encoding of all bytes of `in`.
void Base64Encode(const uString& in, uString& out);
// Removes every CR and LF from `in` in place, empties `out`, then appends the decoded bytes.
void Base64Decode(uString& in, uString& out);
uString Base64Encode(uString in);
uString Base64Decode(uString in);

// The file forms: the source is opened for reading (mode 1), the target for
// writing with truncation (mode 2), and both are closed again in every case.
// False when either cannot be opened or a read or write fails part-way.
bool Base64EncodeFile(uFile& source, uFile& target);
bool Base64DecodeFile(uFile& source, uFile& target);

namespace b64
{

// Encodes a byte stream piece by piece into lines of 18 groups, each line ended by CR LF.
class LineEncoder
{
public:
    // Appends the text of every line completed by these bytes to out.
    void add(const unsigned char* bytes, size_t count, std::string& out);
    // Appends the rest: the last, partial group and line.
    void finish(std::string& out);

private:
    void addGroup(const unsigned char* group, int count, std::string& out);

    unsigned char m_pending[3] = {};
    int m_pendingCount = 0;
    int m_groupsInLine = 0;
};

} // namespace b64

// The encoder over any source with bool read(void*, uint32_t* count) (a count
// of 0 or 0xFFFFFFFF marks the end) and any target with
// bool write(const void*, uint32_t* count); uFile is both.
template <class Source, class Target> bool Base64EncodeStream(Source& in, Target& out)
{
    b64::LineEncoder encoder;
    unsigned char buffer[3 * 4096];
    std::string text;
    for (;;)
    {
        uint32_t count = sizeof buffer;
        if (!in.read(buffer, &count))
            return false;
        const bool end = count == 0 || count == 0xFFFFFFFFu;
        if (end)
            encoder.finish(text);
        else
            encoder.add(buffer, count, text);
        if (!text.empty())
        {
            uint32_t size = static_cast<uint32_t>(text.size());
            if (!out.write(text.data(), &size) || size != text.size())
                return false;
            text.clear();
        }
        if (end)
            return true;
    }
}

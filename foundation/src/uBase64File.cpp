#include "foundation/uBase64.h"
#include "foundation/uFile.h"

#include <string>

namespace
{

constexpr int kGroupsPerLine = 18;

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

bool WriteText(uFile& target, const std::string& text)
{
    if (text.empty())
        return true;
    uint32_t count = static_cast<uint32_t>(text.size());
    return target.write(text.data(), &count) && count == text.size();
}

bool OpenPair(uFile& source, uFile& target)
{
    source.setMode(uFile::kModeRead);
    target.setMode(uFile::kModeWrite);
    // The source first: a source that cannot be read never empties the target.
    return source.open() && target.open();
}

bool Decode(uFile& source, uFile& target)
{
    unsigned char buffer[64 * 1024];
    unsigned char values[4];
    int filled = 0;
    std::string bytes;
    for (;;)
    {
        uint32_t count = sizeof buffer;
        if (!source.read(buffer, &count))
            return false;
        if (count == uFile::kEndOfFile)
            break;
        for (uint32_t i = 0; i < count; ++i)
        {
            int value = SextetOf(buffer[i]);
            if (value < 0)
                continue;
            values[filled++] = static_cast<unsigned char>(value);
            if (filled == 4)
            {
                unsigned char decoded[3];
                Base64DecodeBlock(values, decoded);
                bytes.append(reinterpret_cast<const char*>(decoded), 3);
                filled = 0;
            }
        }
        if (!WriteText(target, bytes))
            return false;
        bytes.clear();
    }
    if (filled >= 2)
    {
        for (int i = filled; i < 4; ++i)
            values[i] = 0;
        unsigned char decoded[3];
        Base64DecodeBlock(values, decoded);
        bytes.append(reinterpret_cast<const char*>(decoded), static_cast<size_t>(filled - 1));
    }
    return WriteText(target, bytes);
}

} // namespace

namespace b64
{

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

bool Base64EncodeFile(uFile& source, uFile& target)
{
    bool result = OpenPair(source, target) && Base64EncodeStream(source, target);
    source.close();
    target.close();
    return result;
}

bool Base64DecodeFile(uFile& source, uFile& target)
{
    bool result = OpenPair(source, target) && Decode(source, target);
    source.close();
    target.close();
    return result;
}

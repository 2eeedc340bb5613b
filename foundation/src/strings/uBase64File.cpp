#include "Base64Detail.h"
#include "foundation/uBase64.h"
#include "foundation/uFile.h"

#include <string>

namespace
{

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
            int value = b64::SextetOf(buffer[i]);
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

// A write that fails part-way is reported: a cut target must not pass for a whole one.
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

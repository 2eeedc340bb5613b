#include "foundation/uHash.h"

#include <algorithm>
#include <cstring>

uHash::uHash(const char* name) : m_name(name) {}

uHash::~uHash() = default;

int uHash::getDigest(unsigned char* buffer, int offset, int size)
{
    const unsigned char* digest = final();
    if (!buffer || size <= 0 || offset < 0)
        return 0;
    int count = std::min(size, getDigestSize());
    std::memcpy(buffer + offset, digest, static_cast<size_t>(count));
    return count;
}

const unsigned char* uHash::hashString(const char* text)
{
    updateString(text);
    return final();
}

void uHash::updateString(const char* text)
{
    if (text)
        update(reinterpret_cast<const unsigned char*>(text), 0, static_cast<int>(std::strlen(text)));
}

void uHash::updateByte(unsigned char byte)
{
    update(&byte, 0, 1);
}

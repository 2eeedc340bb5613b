#include "foundation/uString.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <iconv.h>
#include <string>

namespace
{

// The whole text converted, or false: a half-converted text is worse than
// none, since nothing would tell where it stops.
bool Convert(const char* text, size_t length, const char* fromCharset, const char* toCharset,
             std::string& converted)
{
    if (!fromCharset || !toCharset)
        return false;
    iconv_t converter = iconv_open(toCharset, fromCharset);
    if (converter == reinterpret_cast<iconv_t>(-1))
        return false;
    converted.assign(length * 2 + 16, '\0');
    char* in = const_cast<char*>(text);
    size_t inLeft = length;
    size_t written = 0;
    bool ok = true;
    for (bool flushing = false;;)
    {
        char* out = converted.data() + written;
        size_t outLeft = converted.size() - written;
        // A null input at the end writes the shift sequence a stateful
        // charset (ISO-2022-JP) needs to return to its initial state.
        const size_t result = flushing ? iconv(converter, nullptr, nullptr, &out, &outLeft)
                                       : iconv(converter, &in, &inLeft, &out, &outLeft);
        written = converted.size() - outLeft;
        if (result != static_cast<size_t>(-1))
        {
            if (flushing)
                break;
            flushing = true;
            continue;
        }
        if (errno != E2BIG)
        {
            ok = false; // EILSEQ: not allowed in the source charset or not held by the target; EINVAL: cut
                        // short
            break;
        }
        converted.resize(converted.size() * 2);
    }
    iconv_close(converter);
    converted.resize(ok ? written : 0);
    return ok;
}

} // namespace

bool uString::convertCharset(const char* fromCharset, const char* toCharset)
{
    std::string converted;
    if (!Convert(c_str(), m_length, fromCharset, toCharset, converted))
        return false;
    return setBytes(converted.data(), converted.size());
}

bool uString::convertCharset(const char* source, int length, const char* fromCharset, const char* toCharset)
{
    if (!source)
    {
        setEmpty();
        return false;
    }
    const size_t count = length < 0 ? strlen(source) : static_cast<size_t>(length);
    std::string converted;
    if (!Convert(source, count, fromCharset, toCharset, converted))
    {
        if (count == 0)
            setEmpty();
        return false;
    }
    return setBytes(converted.data(), converted.size());
}

char* uString::toCharset(const char* text, int length, const char* fromCharset, const char* toCharset,
                         int* convertedLength)
{
    if (convertedLength)
        *convertedLength = 0;
    if (!text)
        return nullptr;
    const size_t count = length < 0 ? strlen(text) : static_cast<size_t>(length);
    std::string converted;
    if (!Convert(text, count, fromCharset, toCharset, converted) || converted.size() >= INT32_MAX)
        return nullptr;
    char* copy = static_cast<char*>(malloc(converted.size() + 1));
    if (!copy)
        return nullptr;
    memcpy(copy, converted.data(), converted.size());
    copy[converted.size()] = '\0';
    if (convertedLength)
        *convertedLength = static_cast<int>(converted.size());
    return copy;
}

#include "foundation/uString.h"

// Character-set conversion is not offered by the string class: text inside
// the program is UTF-8, and the few places that meet other charsets convert
// where they read them. These keep their callers' shape and report failure,
// leaving the text as it was.

bool uString::convertCharset(const char* /*fromCharset*/, const char* /*toCharset*/)
{
    return false;
}

bool uString::convertCharset(const char* source, int length, const char* /*fromCharset*/,
                             const char* /*toCharset*/)
{
    // Nothing to convert leaves nothing behind.
    if (!source || length == 0 || (length < 0 && *source == '\0'))
        setEmpty();
    return false;
}

char* uString::toCharset(const char* /*text*/, int /*length*/, const char* /*fromCharset*/,
                         const char* /*toCharset*/, int* convertedLength)
{
    if (convertedLength)
        *convertedLength = 0;
    return nullptr;
}

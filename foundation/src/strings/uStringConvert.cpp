#include "CLocale.h"
#include "foundation/uString.h"
#include "foundation/uUnicode.h"
#include "uStringDetail.h"

#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <string>

using namespace ustring_detail;

namespace
{

// Formats into a malloc'ed buffer, in the C locale. Each vsnprintf pass gets
// its own va_copy: a va_list cannot be reused after it has been consumed.
char* formatToHeap(const char* fmt, va_list args, size_t* length)
{
    if (!fmt)
        return nullptr;
    clocale_detail::CLocaleScope c;
    char first[256];
    va_list attempt;
    va_copy(attempt, args);
    const int needed = vsnprintf(first, sizeof first, fmt, attempt);
    va_end(attempt);
    if (needed < 0 || static_cast<size_t>(needed) >= kMaxCapacity)
        return nullptr;
    char* out = static_cast<char*>(malloc(static_cast<size_t>(needed) + 1));
    if (!out)
        return nullptr;
    if (static_cast<size_t>(needed) < sizeof first)
    {
        memcpy(out, first, static_cast<size_t>(needed) + 1);
    }
    else
    {
        va_copy(attempt, args);
        vsnprintf(out, static_cast<size_t>(needed) + 1, fmt, attempt);
        va_end(attempt);
    }
    *length = strlen(out);
    return out;
}

} // namespace

// ---- UTF-16 ---------------------------------------------------------------

bool uString::appendUtf16(const char16_t* source, size_t count)
{
    std::memcpy(m_encoding, "UTF-8", sizeof "UTF-8");
    // Every UTF-16 unit needs at most 3 bytes (a surrogate pair: 4 for two).
    if (!ensure(static_cast<size_t>(m_length) + count * 3 + 1))
        return false;
    const int mode = GetConversionFlag() == 0 ? unicode::lenientConversion : unicode::strictConversion;
    const char16_t* in = source;
    const char16_t* end = source + count;
    unsigned char* out = reinterpret_cast<unsigned char*>(m_data) + m_length;
    unsigned char* outEnd = reinterpret_cast<unsigned char*>(m_data) + m_capacity - 1;
    unicode::ConversionResult result = ConvertUTF16toUTF8(&in, end, &out, outEnd, mode);
    if (result == unicode::sourceExhausted && mode == unicode::lenientConversion)
    {
        // A high surrogate as the last unit: written in its own 3-byte form,
        // like every other unpaired surrogate in lenient mode.
        const char32_t unit = *in;
        *out++ = static_cast<unsigned char>(0xE0 | (unit >> 12));
        *out++ = static_cast<unsigned char>(0x80 | ((unit >> 6) & 0x3F));
        *out++ = static_cast<unsigned char>(0x80 | (unit & 0x3F));
        result = unicode::conversionOK;
    }
    m_length = static_cast<uint32_t>(out - reinterpret_cast<unsigned char*>(m_data));
    m_data[m_length] = '\0';
    // Dropped only now: the source may be this string's own UTF-16 copy.
    dropWide();
    return result == unicode::conversionOK;
}

bool uString::assignWide(const char16_t* source, int from, int to)
{
    if (!source || from < 0 || to < from)
        return false;
    if (!m_data && !reallocate(kInitialCapacity))
        return false;
    m_length = 0;
    m_data[0] = '\0';
    return appendUtf16(source + from, static_cast<size_t>(to - from));
}

bool uString::assignWide(const char16_t* text)
{
    if (!text)
    {
        setEmpty();
        return true;
    }
    return assignWide(text, 0, static_cast<int>(std::char_traits<char16_t>::length(text)));
}

bool uString::appendWide(const char16_t* source, int from, int to)
{
    if (!source || from < 0 || to < from)
        return false;
    return appendUtf16(source + from, static_cast<size_t>(to - from));
}

uString& uString::appendWideRange(const char16_t* source, int from, int to)
{
    appendWide(source, from, to);
    return *this;
}

bool uString::appendWideText(const char16_t* text)
{
    return text && appendUtf16(text, std::char_traits<char16_t>::length(text));
}

uString& uString::append(const char16_t* text)
{
    appendWideText(text);
    return *this;
}

uString& uString::operator+=(const char16_t* text)
{
    return append(text);
}

const char16_t* uString::getWide()
{
    dropWide();
    // One unit per byte is always enough: a 4-byte sequence gives two units,
    // and each replacement character consumes at least one byte.
    m_wide = static_cast<char16_t*>(malloc((static_cast<size_t>(m_length) + 1) * sizeof(char16_t)));
    if (!m_wide)
        return nullptr;
    const bool lenient = GetConversionFlag() == 0;
    const int mode = lenient ? unicode::lenientConversion : unicode::strictConversion;
    const unsigned char* in = reinterpret_cast<const unsigned char*>(c_str());
    const unsigned char* end = in + m_length;
    char16_t* out = m_wide;
    char16_t* outEnd = m_wide + m_length;
    while (in < end)
    {
        const unicode::ConversionResult result = ConvertUTF8toUTF16(&in, end, &out, outEnd, mode);
        if (result == unicode::conversionOK || result == unicode::targetExhausted || !lenient)
            break;
        // Lenient: one U+FFFD per ill-formed sequence and carry on, so a stray
        // Latin-1 byte does not cut off the rest of the text.
        *out++ = unicode::replacementCharacter;
        if (result == unicode::sourceExhausted)
        {
            bool truncatedAtEnd = true;
            for (const unsigned char* p = in + 1; p < end; ++p)
                truncatedAtEnd = truncatedAtEnd && (*p & 0xC0) == 0x80;
            if (truncatedAtEnd)
                break;
        }
        ++in;
    }
    *out = 0;
    return m_wide;
}

// ---- conversion and output -------------------------------------------------

char* uString::duplicate() const
{
    char* out = static_cast<char*>(malloc(static_cast<size_t>(m_length) + 1));
    if (out)
        memcpy(out, c_str(), static_cast<size_t>(m_length) + 1);
    return out;
}

char* uString::substring(int i) const
{
    if (i < 0 || asIndex(i) > m_length)
        return nullptr;
    const size_t count = m_length - asIndex(i);
    char* out = static_cast<char*>(malloc(count + 1));
    if (out)
        memcpy(out, c_str() + i, count + 1);
    return out;
}

char* uString::substring(int i, int j) const
{
    if (i < 0 || asIndex(i) > m_length || j < i)
        return nullptr;
    char* out = static_cast<char*>(malloc(static_cast<size_t>(j - i) + 1));
    if (!out)
        return nullptr;
    const uint32_t end = asIndex(j) < m_length ? asIndex(j) : m_length;
    const size_t count = end - asIndex(i);
    memcpy(out, c_str() + i, count);
    out[count] = '\0';
    return out;
}

char* uString::copyRange(int i, int j, char* dest, int at) const
{
    if (!dest || at < 0)
        return nullptr;
    char* target = dest + at;
    size_t count = 0;
    if (i >= 0 && asIndex(i) <= m_length && j > i)
    {
        const uint32_t end = asIndex(j) < m_length ? asIndex(j) : m_length;
        count = end - asIndex(i);
        memcpy(target, c_str() + i, count);
    }
    target[count] = '\0';
    return target;
}

bool uString::format(const char* fmt, ...)
{
    va_list args;
    va_start(args, fmt);
    size_t length = 0;
    // Formatted aside, so an argument may be this string's own text.
    char* text = formatToHeap(fmt, args, &length);
    va_end(args);
    if (!text)
    {
        setEmpty();
        return false;
    }
    const bool stored = setBytes(text, length);
    free(text);
    if (!stored)
        setEmpty();
    return stored;
}

char* uString::formatAlloc(const char* fmt, ...)
{
    va_list args;
    va_start(args, fmt);
    size_t length = 0;
    char* text = formatToHeap(fmt, args, &length);
    va_end(args);
    return text;
}

size_t uString::write(FILE* stream, int start, int count) const
{
    if (asIndex(start) > m_length)
        return m_length;
    if (!stream || count <= 0)
        return 0;
    size_t bytes = m_length - asIndex(start);
    if (static_cast<size_t>(count) < bytes)
        bytes = static_cast<size_t>(count);
    if (bytes == 0)
        return 0;
    return fwrite(c_str() + start, bytes, 1, stream);
}

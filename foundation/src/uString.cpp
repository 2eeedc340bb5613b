#include "foundation/uString.h"

#include "CLocale.h"
#include "foundation/uUnicode.h"
#include "uStringDetail.h"

#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

namespace ustring_detail
{

NumberText renderLong(long value)
{
    NumberText out;
    out.length = snprintf(out.text, sizeof out.text, "%ld", value);
    return out;
}

NumberText renderDouble(double value)
{
    clocale_detail::CLocaleScope c;
    NumberText out;
    out.length = snprintf(out.text, sizeof out.text, "%f", value);
    if (out.length < 0 || out.length >= static_cast<int>(sizeof out.text))
        out.length = static_cast<int>(strlen(out.text));
    return out;
}

} // namespace ustring_detail

using namespace ustring_detail;

namespace
{

constexpr uint32_t kInitialCapacity = 16;
constexpr size_t kMaxCapacity = UINT32_MAX;

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

// ---- construction -------------------------------------------------------

uString::uString()
{
    reallocate(kInitialCapacity);
}

uString::uString(const char* text)
{
    if (text)
        setBytes(text, strlen(text));
    if (!m_data)
        reallocate(kInitialCapacity);
}

uString::uString(const char* source, int from, int count)
{
    if (source)
        assign(source, from, count);
    if (!m_data)
        reallocate(kInitialCapacity);
}

uString::uString(const char16_t* text)
{
    if (text)
        assignWide(text);
    if (!m_data)
        reallocate(kInitialCapacity);
}

uString::uString(std::nullptr_t) : uString() {}

uString::uString(const uString& other)
{
    // The whole length, so decoded binary text keeps its bytes after a NUL.
    setBytes(other.c_str(), other.m_length);
    if (!m_data)
        reallocate(kInitialCapacity);
}

uString::uString(uString&& other) noexcept
    : m_data(other.m_data), m_capacity(other.m_capacity), m_length(other.m_length), m_wide(other.m_wide)
{
    other.m_data = nullptr;
    other.m_capacity = 0;
    other.m_length = 0;
    other.m_wide = nullptr;
}

uString::uString(const uString* other) : uString(other ? *other : uString()) {}

uString::uString(const uString& other, int from, int count)
{
    if (asIndex(from) <= other.m_length)
        assign(other.c_str(), from, count);
    if (!m_data)
        reallocate(kInitialCapacity);
}

uString::~uString()
{
    free(m_data);
    free(m_wide);
    m_capacity = 0;
    m_length = 0;
}

uString* uString::create(const char* source, int from, int count)
{
    return new (std::nothrow) uString(source, from, count);
}

uString* uString::valueOf(bool value)
{
    return valueOf(boolText(value));
}

uString* uString::valueOf(char value)
{
    uString* out = new (std::nothrow) uString();
    if (out)
        out->assign(value);
    return out;
}

uString* uString::valueOf(int value)
{
    return valueOf(static_cast<long>(value));
}

uString* uString::valueOf(long value)
{
    uString* out = new (std::nothrow) uString();
    if (out)
        *out = value;
    return out;
}

uString* uString::valueOf(float value)
{
    return valueOf(static_cast<double>(value));
}

uString* uString::valueOf(double value)
{
    uString* out = new (std::nothrow) uString();
    if (out)
        *out = value;
    return out;
}

uString* uString::valueOf(const char* text)
{
    return new (std::nothrow) uString(text);
}

// ---- buffer management ---------------------------------------------------

bool uString::reallocate(size_t capacity)
{
    if (capacity == 0 || capacity > kMaxCapacity)
        return false;
    char* grown = static_cast<char*>(realloc(m_data, capacity));
    if (!grown)
        return false;
    if (!m_data)
        m_length = 0;
    m_data = grown;
    m_capacity = static_cast<uint32_t>(capacity);
    if (m_length >= m_capacity)
        m_length = m_capacity - 1;
    m_data[m_length] = '\0';
    return true;
}

bool uString::ensure(size_t needed)
{
    if (needed <= m_capacity && m_data)
        return true;
    if (needed > kMaxCapacity)
        return false;
    // Geometric growth keeps repeated appends linear.
    size_t capacity = static_cast<size_t>(m_capacity) * 2;
    if (capacity < needed)
        capacity = needed;
    if (capacity > kMaxCapacity)
        capacity = kMaxCapacity;
    return reallocate(capacity);
}

bool uString::isInside(const char* pointer) const
{
    return m_data && pointer >= m_data && pointer < m_data + m_capacity;
}

void uString::dropWide()
{
    free(m_wide);
    m_wide = nullptr;
}

bool uString::reserve(int n)
{
    if (n < 0)
        return false;
    if (asIndex(n) <= m_capacity && m_data)
        return true;
    return reallocate(static_cast<size_t>(n));
}

bool uString::setCapacity(int n)
{
    if (n < 1)
        return false;
    char* resized = static_cast<char*>(malloc(static_cast<size_t>(n)));
    if (!resized)
        return false;
    const uint32_t kept = m_length < asIndex(n) ? m_length : asIndex(n) - 1;
    if (m_data)
        memcpy(resized, m_data, kept);
    resized[kept] = '\0';
    free(m_data);
    m_data = resized;
    m_capacity = asIndex(n);
    m_length = kept;
    return true;
}

void uString::setEmpty()
{
    if (!m_data && !reallocate(kInitialCapacity))
        return;
    m_length = 0;
    m_data[0] = '\0';
}

void uString::clear()
{
    free(m_data);
    m_data = nullptr;
    m_capacity = 0;
    m_length = 0;
    reallocate(kInitialCapacity);
}

uString& uString::attach(char* buffer, int length, int capacity)
{
    if (!buffer)
        return *this;
    free(m_data);
    dropWide();
    const size_t measured = strlen(buffer);
    size_t newLength = length > 0 ? static_cast<size_t>(length) : measured;
    size_t newCapacity = capacity > 0 ? static_cast<size_t>(capacity) : measured + 1;
    if (newCapacity <= newLength)
        newCapacity = newLength + 1;
    m_data = buffer;
    m_length = static_cast<uint32_t>(newLength);
    m_capacity = static_cast<uint32_t>(newCapacity);
    m_data[m_length] = '\0';
    return *this;
}

// ---- byte-level primitives ----------------------------------------------

bool uString::setBytes(const char* bytes, size_t count)
{
    if (isInside(bytes))
    {
        std::string copy(bytes, count);
        return setBytes(copy.data(), count);
    }
    if (!ensure(count + 1))
        return false;
    dropWide();
    if (count)
        memcpy(m_data, bytes, count);
    m_length = static_cast<uint32_t>(count);
    m_data[m_length] = '\0';
    return true;
}

bool uString::appendBytes(const char* bytes, size_t count)
{
    if (isInside(bytes))
    {
        std::string copy(bytes, count);
        return appendBytes(copy.data(), count);
    }
    if (!ensure(static_cast<size_t>(m_length) + count + 1))
        return false;
    dropWide();
    if (count)
        memcpy(m_data + m_length, bytes, count);
    m_length += static_cast<uint32_t>(count);
    m_data[m_length] = '\0';
    return true;
}

// `count` bytes from source + from, stopping at a NUL there and zero-filling
// the rest, so the length always grows by exactly `count`.
bool uString::appendCounted(const char* source, int from, int count)
{
    if (!source || from < 0 || count < 0)
        return false;
    const char* start = source + from;
    const size_t available = strnlen(start, static_cast<size_t>(count));
    std::string piece(start, available);
    piece.resize(static_cast<size_t>(count), '\0');
    return appendBytes(piece.data(), piece.size());
}

bool uString::insertBytes(size_t at, const char* bytes, size_t count)
{
    if (at >= m_length)
        return false;
    if (isInside(bytes))
    {
        std::string copy(bytes, count);
        return insertBytes(at, copy.data(), count);
    }
    if (!ensure(static_cast<size_t>(m_length) + count + 1))
        return false;
    memmove(m_data + at + count, m_data + at, m_length - at + 1);
    memcpy(m_data + at, bytes, count);
    m_length += static_cast<uint32_t>(count);
    return true;
}

bool uString::replaceBytes(size_t a, size_t b, const char* bytes, size_t count)
{
    if (b >= m_length || a > b)
        return false;
    if (isInside(bytes))
    {
        std::string copy(bytes, count);
        return replaceBytes(a, b, copy.data(), count);
    }
    const size_t newLength = m_length - (b - a) + count;
    if (!ensure(newLength + 1))
        return false;
    memmove(m_data + a + count, m_data + b, m_length - b + 1);
    if (count)
        memcpy(m_data + a, bytes, count);
    m_length = static_cast<uint32_t>(newLength);
    return true;
}

// ---- assignment ---------------------------------------------------------

bool uString::assign(const char* text)
{
    if (!text)
    {
        setEmpty();
        return true;
    }
    return setBytes(text, strlen(text));
}

bool uString::assign(const char* source, int from, int count)
{
    if (!source || from < 0 || count < 0)
        return false;
    const char* start = source + from;
    const size_t available = strnlen(start, static_cast<size_t>(count));
    std::string piece(start, available);
    piece.resize(static_cast<size_t>(count), '\0');
    return setBytes(piece.data(), piece.size());
}

uString& uString::assign(char c)
{
    setBytes(&c, 1);
    return *this;
}

uString& uString::operator=(const uString& other)
{
    if (this != &other)
        setBytes(other.c_str(), other.m_length);
    return *this;
}

uString& uString::operator=(uString&& other) noexcept
{
    if (this != &other)
    {
        free(m_data);
        free(m_wide);
        m_data = other.m_data;
        m_capacity = other.m_capacity;
        m_length = other.m_length;
        m_wide = other.m_wide;
        other.m_data = nullptr;
        other.m_capacity = 0;
        other.m_length = 0;
        other.m_wide = nullptr;
    }
    return *this;
}

uString& uString::operator=(const char* text)
{
    if (text)
        assign(text);
    return *this;
}

uString& uString::operator=(const char16_t* text)
{
    assignWide(text);
    return *this;
}

uString& uString::operator=(char c)
{
    return assign(c);
}

uString& uString::operator=(bool value)
{
    assign(boolText(value));
    return *this;
}

uString& uString::operator=(int value)
{
    return *this = static_cast<long>(value);
}

uString& uString::operator=(long value)
{
    const NumberText number = renderLong(value);
    setBytes(number.text, static_cast<size_t>(number.length));
    return *this;
}

uString& uString::operator=(float value)
{
    return *this = static_cast<double>(value);
}

uString& uString::operator=(double value)
{
    const NumberText number = renderDouble(value);
    setBytes(number.text, static_cast<size_t>(number.length));
    return *this;
}

// ---- appending ----------------------------------------------------------

bool uString::appendText(const char* text)
{
    return text && appendBytes(text, strlen(text));
}

uString& uString::append(const char* text)
{
    appendText(text);
    return *this;
}

uString& uString::operator+=(const char* text)
{
    return append(text);
}

bool uString::append(const char* source, int from, int count)
{
    return appendCounted(source, from, count);
}

uString& uString::appendRange(const char* source, int from, int count)
{
    appendCounted(source, from, count);
    return *this;
}

bool uString::appendString(const uString* other)
{
    return other && appendBytes(other->c_str(), other->m_length);
}

uString& uString::append(const uString* other)
{
    appendString(other);
    return *this;
}

uString& uString::operator+=(const uString& other)
{
    appendString(&other);
    return *this;
}

uString& uString::append(char c)
{
    appendBytes(&c, 1);
    return *this;
}

uString& uString::appendCharAsText(char c)
{
    if (c)
        appendBytes(&c, 1);
    return *this;
}

uString& uString::operator+=(char c)
{
    return append(c);
}

uString& uString::append(bool value)
{
    return append(boolText(value));
}

uString& uString::operator+=(bool value)
{
    return append(value);
}

uString& uString::append(int value)
{
    return append(static_cast<long>(value));
}

uString& uString::append(long value)
{
    const NumberText number = renderLong(value);
    appendBytes(number.text, static_cast<size_t>(number.length));
    return *this;
}

uString& uString::operator+=(int value)
{
    return append(value);
}

uString& uString::operator+=(long value)
{
    return append(value);
}

bool uString::appendInt(int value)
{
    const NumberText number = renderLong(value);
    return appendBytes(number.text, static_cast<size_t>(number.length));
}

uString& uString::append(float value)
{
    return append(static_cast<double>(value));
}

uString& uString::append(double value)
{
    const NumberText number = renderDouble(value);
    appendBytes(number.text, static_cast<size_t>(number.length));
    return *this;
}

uString& uString::operator+=(float value)
{
    return append(value);
}

uString& uString::operator+=(double value)
{
    return append(value);
}

// ---- UTF-16 ---------------------------------------------------------------

bool uString::appendUtf16(const char16_t* source, size_t count)
{
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
    if (!stream || asIndex(start) > m_length || count <= 0)
        return 0;
    size_t bytes = m_length - asIndex(start);
    if (static_cast<size_t>(count) < bytes)
        bytes = static_cast<size_t>(count);
    if (bytes == 0)
        return 0;
    return fwrite(c_str() + start, bytes, 1, stream);
}

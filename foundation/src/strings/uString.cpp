#include "foundation/uString.h"

#include "CLocale.h"
#include "uStringDetail.h"

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

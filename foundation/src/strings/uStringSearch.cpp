#include "foundation/uString.h"
#include "uStringDetail.h"

#include <cstring>

using namespace ustring_detail;

namespace
{

int sign(int value)
{
    return value < 0 ? -1 : (value > 0 ? 1 : 0);
}

} // namespace

// ---- comparison -----------------------------------------------------------

int uString::compare(const char* text) const
{
    return text ? sign(strcmp(c_str(), text)) : -1;
}

int uString::compare(const uString* other) const
{
    return other ? compare(other->c_str()) : -1;
}

bool uString::equals(const char* text) const
{
    return text && compare(text) == 0;
}

bool uString::equals(const uString* other) const
{
    return other && compare(other) == 0;
}

bool uString::operator==(const char* text) const
{
    if (!text)
        return m_length == 0;
    return strlen(text) == m_length && memcmp(c_str(), text, m_length) == 0;
}

int uString::compareNoCase(const char* text) const
{
    const unsigned char* a = reinterpret_cast<const unsigned char*>(c_str());
    const unsigned char* b = reinterpret_cast<const unsigned char*>(text ? text : "");
    for (;; ++a, ++b)
    {
        const unsigned char la = static_cast<unsigned char>(asciiLower(static_cast<char>(*a)));
        const unsigned char lb = static_cast<unsigned char>(asciiLower(static_cast<char>(*b)));
        if (la != lb)
            return la < lb ? -1 : 1;
        if (la == 0)
            return 0;
    }
}

int uString::compareNoCase(const uString& other) const
{
    return compareNoCase(other.c_str());
}

bool uString::equalsNoCase(const char* text) const
{
    return compareNoCase(text) == 0;
}

bool uString::equalsNoCase(const uString& other) const
{
    return compareNoCase(other) == 0;
}

bool operator==(const uString& a, const uString& b)
{
    return a.getLength() == b.getLength() && memcmp(a.c_str(), b.c_str(), a.getLength()) == 0;
}

bool operator!=(const uString& a, const uString& b)
{
    return !(a == b);
}

bool operator<(const uString& a, const uString& b)
{
    const int shorter = a.getLength() < b.getLength() ? a.getLength() : b.getLength();
    const int order = memcmp(a.c_str(), b.c_str(), static_cast<size_t>(shorter));
    if (order != 0)
        return order < 0;
    return a.getLength() < b.getLength();
}

// ---- search ---------------------------------------------------------------

int uString::findBytes(const char* needle, size_t needleLength, size_t from) const
{
    if (from > m_length)
        return -1;
    if (needleLength == 0)
        return static_cast<int>(from);
    const void* hit = memmem(c_str() + from, m_length - from, needle, needleLength);
    return hit ? static_cast<int>(static_cast<const char*>(hit) - c_str()) : -1;
}

bool uString::contains(const char* needle) const
{
    return find(needle) >= 0;
}

bool uString::contains(const uString& needle) const
{
    return find(needle) >= 0;
}

bool uString::startsWith(const char* needle) const
{
    return startsWith(needle, 0);
}

bool uString::startsWith(const uString& needle) const
{
    return startsWith(needle, 0);
}

bool uString::startsWith(const char* needle, int at) const
{
    if (!needle || asIndex(at) > m_length)
        return false;
    const size_t needleLength = strlen(needle);
    return needleLength <= m_length - asIndex(at) && memcmp(c_str() + at, needle, needleLength) == 0;
}

bool uString::startsWith(const uString& needle, int at) const
{
    if (asIndex(at) > m_length)
        return false;
    return needle.m_length <= m_length - asIndex(at) &&
           memcmp(c_str() + at, needle.c_str(), needle.m_length) == 0;
}

bool uString::endsWith(const char* needle) const
{
    if (!needle)
        return false;
    const size_t needleLength = strlen(needle);
    return needleLength <= m_length && memcmp(c_str() + m_length - needleLength, needle, needleLength) == 0;
}

bool uString::endsWith(const uString& needle) const
{
    return needle.m_length <= m_length &&
           memcmp(c_str() + m_length - needle.m_length, needle.c_str(), needle.m_length) == 0;
}

int uString::findChar(char c) const
{
    return findChar(c, 0);
}

int uString::findChar(char c, int from) const
{
    if (asIndex(from) > m_length)
        return -1;
    if (c == '\0')
        return static_cast<int>(m_length);
    const void* hit = memchr(c_str() + from, c, m_length - asIndex(from));
    return hit ? static_cast<int>(static_cast<const char*>(hit) - c_str()) : -1;
}

int uString::find(const char* needle) const
{
    return find(needle, 0);
}

int uString::find(const uString& needle) const
{
    return findBytes(needle.c_str(), needle.m_length, 0);
}

int uString::find(const char* needle, int from) const
{
    return needle ? findBytes(needle, strlen(needle), asIndex(from)) : -1;
}

int uString::reverseFindChar(char c) const
{
    return reverseFindChar(c, 0);
}

int uString::reverseFindChar(char c, int n) const
{
    if (asIndex(n) > m_length)
        return -1;
    // Indexes length − n down to 0; with n = 0 that includes the terminating NUL.
    const void* hit = memrchr(c_str(), c, m_length - asIndex(n) + 1);
    return hit ? static_cast<int>(static_cast<const char*>(hit) - c_str()) : -1;
}

int uString::reverseFind(const char* needle) const
{
    if (!needle || !*needle)
        return -1;
    const size_t needleLength = strlen(needle);
    int last = -1;
    for (int hit = findBytes(needle, needleLength, 0); hit >= 0;
         hit = findBytes(needle, needleLength, static_cast<size_t>(hit) + needleLength))
        last = hit;
    return last;
}

int uString::reverseFind(const uString& needle, int n) const
{
    if (asIndex(n) > m_length || needle.m_length == 0)
        return -1;
    const size_t limit = m_length - asIndex(n);
    int last = -1;
    for (size_t from = 0; from + needle.m_length <= limit;)
    {
        const void* hit = memmem(c_str() + from, limit - from, needle.c_str(), needle.m_length);
        if (!hit)
            break;
        last = static_cast<int>(static_cast<const char*>(hit) - c_str());
        from = static_cast<size_t>(last) + needle.m_length;
    }
    return last;
}

char uString::getAt(int i) const
{
    return asIndex(i) < m_length ? m_data[i] : '\0';
}

// ---- concatenation ------------------------------------------------------------

uString operator+(const uString& a, const uString& b)
{
    uString out(a);
    out += b;
    return out;
}

uString operator+(const uString& a, const char* b)
{
    uString out(a);
    out += b;
    return out;
}

uString operator+(const char* a, const uString& b)
{
    uString out(a);
    out += b;
    return out;
}

namespace
{

template <typename T> uString joinedRight(const uString& a, T b)
{
    uString out(a);
    out.append(b);
    return out;
}

template <typename T> uString joinedLeft(T a, const uString& b)
{
    uString out;
    out.append(a);
    out += b;
    return out;
}

} // namespace

uString operator+(const uString& a, bool b)
{
    return joinedRight(a, b);
}
uString operator+(bool a, const uString& b)
{
    return joinedLeft(a, b);
}
uString operator+(const uString& a, char b)
{
    return joinedRight(a, b);
}
uString operator+(char a, const uString& b)
{
    return joinedLeft(a, b);
}
uString operator+(const uString& a, int b)
{
    return joinedRight(a, b);
}
uString operator+(int a, const uString& b)
{
    return joinedLeft(a, b);
}
uString operator+(const uString& a, long b)
{
    return joinedRight(a, b);
}
uString operator+(long a, const uString& b)
{
    return joinedLeft(a, b);
}
uString operator+(const uString& a, float b)
{
    return joinedRight(a, b);
}
uString operator+(float a, const uString& b)
{
    return joinedLeft(a, b);
}
uString operator+(const uString& a, double b)
{
    return joinedRight(a, b);
}
uString operator+(double a, const uString& b)
{
    return joinedLeft(a, b);
}

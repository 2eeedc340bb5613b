#include "foundation/uString.h"
#include "uStringDetail.h"

#include <cstring>
#include <string>

using namespace ustring_detail;

namespace
{

bool isTrimmed(char c)
{
    return c == '\r' || c == '\n' || c == ' ' || c == '\t';
}

} // namespace

// ---- editing ----------------------------------------------------------------

bool uString::insert(int i, const char* text)
{
    return text && insertBytes(asIndex(i), text, strlen(text));
}

bool uString::insert(int i, const uString& text)
{
    return insertBytes(asIndex(i), text.c_str(), text.m_length);
}

bool uString::insert(int i, const char* source, int from, int count)
{
    if (!source || from < 0 || count < 0 || asIndex(i) >= m_length)
        return false;
    const char* start = source + from;
    std::string piece(start, strnlen(start, static_cast<size_t>(count)));
    piece.resize(static_cast<size_t>(count), '\0');
    return insertBytes(asIndex(i), piece.data(), piece.size());
}

bool uString::insert(int i, bool value)
{
    return insert(i, boolText(value));
}

bool uString::insert(int i, char c)
{
    return insertBytes(asIndex(i), &c, 1);
}

bool uString::insert(int i, int value)
{
    return insert(i, static_cast<long>(value));
}

bool uString::insert(int i, long value)
{
    const NumberText number = renderLong(value);
    return insertBytes(asIndex(i), number.text, static_cast<size_t>(number.length));
}

bool uString::insert(int i, float value)
{
    return insert(i, static_cast<double>(value));
}

bool uString::insert(int i, double value)
{
    const NumberText number = renderDouble(value);
    return insertBytes(asIndex(i), number.text, static_cast<size_t>(number.length));
}

void uString::erase(int a, int b)
{
    const uint32_t from = asIndex(a);
    const uint32_t to = asIndex(b);
    if (to > m_length || from >= to)
        return;
    memmove(m_data + from, m_data + to, m_length - to + 1);
    m_length -= to - from;
}

void uString::eraseAt(int i)
{
    if (asIndex(i) < m_length)
        erase(i, i + 1);
}

bool uString::truncate(int n)
{
    if (asIndex(n) >= m_length)
        return false;
    m_length = asIndex(n);
    m_data[m_length] = '\0';
    return true;
}

bool uString::setAt(int i, char c)
{
    if (asIndex(i) >= m_length)
        return false;
    m_data[i] = c;
    return true;
}

bool uString::replaceAll(const char* a, size_t aLength, const char* b, size_t bLength, bool firstOnly)
{
    if (aLength == 0)
        return false;
    int hit = findBytes(a, aLength, 0);
    if (hit < 0)
        return false;
    // Built aside: the scan continues on the original text behind each match,
    // so an inserted `b` is never searched again.
    std::string result;
    size_t from = 0;
    while (hit >= 0)
    {
        result.append(c_str() + from, static_cast<size_t>(hit) - from);
        result.append(b, bLength);
        from = static_cast<size_t>(hit) + aLength;
        hit = firstOnly ? -1 : findBytes(a, aLength, from);
    }
    result.append(c_str() + from, m_length - from);
    if (!ensure(result.size() + 1))
        return false;
    memcpy(m_data, result.data(), result.size());
    m_length = static_cast<uint32_t>(result.size());
    m_data[m_length] = '\0';
    return true;
}

bool uString::replace(const char* a, const char* b)
{
    return a && b && replaceAll(a, strlen(a), b, strlen(b), /*firstOnly=*/false);
}

bool uString::replace(const uString& a, const uString& b)
{
    return replaceAll(a.c_str(), a.m_length, b.c_str(), b.m_length, /*firstOnly=*/false);
}

bool uString::replaceFirst(const char* a, const char* b)
{
    return a && b && replaceAll(a, strlen(a), b, strlen(b), /*firstOnly=*/true);
}

bool uString::replaceFirst(const uString& a, const uString& b)
{
    return replaceAll(a.c_str(), a.m_length, b.c_str(), b.m_length, /*firstOnly=*/true);
}

bool uString::replaceRange(int a, int b, const char* text)
{
    return text && replaceBytes(asIndex(a), asIndex(b), text, strlen(text));
}

bool uString::replaceRange(int a, int b, const uString& text)
{
    return replaceBytes(asIndex(a), asIndex(b), text.c_str(), text.m_length);
}

void uString::replaceChar(char from, char to)
{
    uint32_t kept = 0;
    for (uint32_t i = 0; i < m_length; ++i)
    {
        if (m_data[i] != from)
            m_data[kept++] = m_data[i];
        else if (to != '\0')
            m_data[kept++] = to;
    }
    if (m_data)
    {
        m_length = kept;
        m_data[m_length] = '\0';
    }
}

void uString::makeLower()
{
    for (uint32_t i = 0; i < m_length; ++i)
        m_data[i] = asciiLower(m_data[i]);
}

void uString::makeUpper()
{
    for (uint32_t i = 0; i < m_length; ++i)
        m_data[i] = asciiUpper(m_data[i]);
}

void uString::toLower(char* text)
{
    for (; text && *text; ++text)
        *text = asciiLower(*text);
}

void uString::toUpper(char* text)
{
    for (; text && *text; ++text)
        *text = asciiUpper(*text);
}

bool uString::trim()
{
    if (m_length == 0)
        return false;
    uint32_t end = m_length;
    while (end > 1 && isTrimmed(m_data[end - 1]))
        --end;
    uint32_t start = 0;
    while (start < end && isTrimmed(m_data[start]))
        ++start;
    memmove(m_data, m_data + start, end - start);
    m_length = end - start;
    m_data[m_length] = '\0';
    return true;
}

bool uString::trimTrailingNewlines()
{
    uint32_t end = m_length;
    while (end > 1 && (m_data[end - 1] == '\r' || m_data[end - 1] == '\n'))
        --end;
    if (end == m_length)
        return false;
    m_length = end;
    m_data[m_length] = '\0';
    return true;
}

bool uString::stripPhp()
{
    bool removed = false;
    for (;;)
    {
        const int start = find("<?php");
        if (start < 0)
            break;
        int end = find("?>", start);
        if (end < 1 || end <= start)
            break;
        end += 2;
        if (m_data[end] == '\r')
            ++end;
        if (m_data[end] == '\n')
            ++end;
        erase(start, end);
        removed = true;
    }
    return removed;
}

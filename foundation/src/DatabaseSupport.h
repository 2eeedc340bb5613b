#pragma once

#include "foundation/uString.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

// Small text helpers shared by the database objects.
namespace dbsupport
{

inline std::string text(const char* value)
{
    return value ? std::string(value) : std::string();
}

// Sets a uString to exactly these bytes, NUL bytes included.
inline void assignBytes(uString& out, std::string_view bytes)
{
    char* buffer = static_cast<char*>(std::malloc(bytes.size() + 1));
    if (!buffer)
    {
        out.setEmpty();
        return;
    }
    std::memcpy(buffer, bytes.data(), bytes.size());
    buffer[bytes.size()] = '\0';
    out.attach(buffer, static_cast<int>(bytes.size()), static_cast<int>(bytes.size() + 1));
}

// A malloc'ed, NUL-terminated copy (release with free()).
inline char* mallocCopy(std::string_view bytes)
{
    char* buffer = static_cast<char*>(std::malloc(bytes.size() + 1));
    if (buffer)
    {
        std::memcpy(buffer, bytes.data(), bytes.size());
        buffer[bytes.size()] = '\0';
    }
    return buffer;
}

// Without blanks (space, tab, CR, LF) at either end.
inline std::string_view trimmed(std::string_view text)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    return text;
}

// " where <condition>", or nothing for a null condition.
inline std::string whereClause(const char* condition)
{
    return condition ? std::string(" where ") + condition : std::string();
}

// The table a schema call is about: an INSERT's target as written may carry
// brackets, quotes or the column list ("item(a)", "[image]").
inline std::string bareTableName(const char* table)
{
    std::string name = text(table);
    const std::size_t paren = name.find('(');
    if (paren != std::string::npos && paren > 0)
        name.erase(paren);
    name = std::string(trimmed(name));
    if (name.size() >= 2 &&
        ((name.front() == '[' && name.back() == ']') || (name.front() == '"' && name.back() == '"') ||
         (name.front() == '`' && name.back() == '`')))
        name = name.substr(1, name.size() - 2);
    return name;
}

} // namespace dbsupport

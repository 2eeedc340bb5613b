#pragma once

#include <cstddef>
#include <cstdint>

// Small text helpers shared by the foundation source files.
namespace ustring_detail
{

inline constexpr uint32_t kInitialCapacity = 16; // the buffer of an empty text
inline constexpr size_t kMaxCapacity = UINT32_MAX;

inline char asciiLower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}
inline char asciiUpper(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// The value of a hexadecimal digit of either case, or -1.
inline int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Unsigned view of an index argument: a negative index counts as past the end.
inline uint32_t asIndex(int value)
{
    return static_cast<uint32_t>(value);
}

inline const char* boolText(bool value)
{
    return value ? "true" : "false";
}

// A number rendered as text; always in the C locale, whatever LC_NUMERIC says.
struct NumberText
{
    char text[400];
    int length;
};

NumberText renderLong(long value);     // "%ld"
NumberText renderDouble(double value); // "%f"

} // namespace ustring_detail

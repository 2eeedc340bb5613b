#pragma once

#include <cstddef>
#include <cstdint>

// Small helpers shared by the uString source files.
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

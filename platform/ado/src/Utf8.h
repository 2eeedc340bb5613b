#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace ado::detail
{

// Writes the UTF-8 form of a code point (U+FFFD for anything not a scalar
// value) at `out`, which has room for four bytes; returns the end.
char* writeUtf8(char* out, char32_t codePoint);
// Appends the UTF-8 form of a code point, as writeUtf8.
void appendUtf8(std::string& out, char32_t codePoint);

// Reads the code point at `index` and advances past it. A malformed byte is
// read on its own as kInvalidBase + byte, a value no scalar value can equal,
// so that malformed text still compares byte for byte.
inline constexpr char32_t kInvalidBase = 0x110000;
char32_t nextCodePoint(std::string_view text, std::size_t& index);

} // namespace ado::detail

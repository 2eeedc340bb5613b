#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// HTML character references: the five XML entities and the HTML 4 Latin-1
// names (code points 160 to 255).
namespace html
{

// Number of named entities in the table (101).
std::size_t EntityCount();

// The code point of a named entity, or -1. Accented letters with a capital
// and a small form ("Agrave"/"agrave", "ETH"/"eth", ...) take their case from
// the first letter and match the rest with case ignored; other names match
// with case ignored.
long LookupEntity(std::string_view name);

// Decodes the reference that starts with "&" at text[0]: "&name;", "&#123;"
// or "&#x7B;". The ";" must stand at least three bytes after the "&".
// Appends the character's UTF-8 bytes to out and returns the number of bytes
// consumed (through the ";"); returns 0 and leaves out alone when there is no
// valid reference (unknown name, bad number, 0, a surrogate or a value past
// U+10FFFF).
std::size_t DecodeReference(std::string_view text, std::string& out);

// The text with &, <, >, " and ' written as character references, safe as
// element content and inside a quoted attribute value.
std::string EscapeText(std::string_view text);

} // namespace html

#pragma once

#include <cstddef>
#include <string_view>

// The HTML entity names a feed may use without declaring them: all 252 of
// HTML 4.01 and the HTML5 names that turn up in published text. Used by the
// XML repair step only; the HTML parser keeps its own smaller table.
namespace xmlentities
{

// The code point of the name, matched with its case as written ("Alpha" and
// "alpha" are different letters), or -1.
long Lookup(std::string_view name);

// Number of names known.
std::size_t Count();

} // namespace xmlentities

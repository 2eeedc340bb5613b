#pragma once

#include <string_view>

// The HTML entity names a feed may use without declaring them: all 252 of
// HTML 4.01 and the HTML5 names that turn up in published text. Used by the
// XML repair step only; the HTML parser reads only the Latin-1 names, whose
// table this one extends rather than repeats.
namespace xmlentities
{

// The code point of the name, or -1. Names beyond Latin-1 match with their
// case as written ("Alpha" and "alpha" are different letters); the Latin-1
// names match as the HTML parser reads them, so a case-mangled "&NBSP;" is
// still a no-break space.
long Lookup(std::string_view name);

} // namespace xmlentities

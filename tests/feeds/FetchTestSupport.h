#pragma once

// Text conversions shared by the web-fetch, page-save and discovery tests.
#include "foundation/uString.h"

#include <string>

namespace fetchtest
{

inline std::string S(const uString& text)
{
    return std::string(text.c_str(), static_cast<std::size_t>(text.getLength()));
}

inline uString U(const std::string& text)
{
    return uString(text.data(), 0, static_cast<int>(text.size()));
}

} // namespace fetchtest

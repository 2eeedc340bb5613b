#pragma once

#include "foundation/uString.h"

#include <initializer_list>
#include <string_view>

namespace feeds
{

inline std::string_view SqlPiece(const uString& text)
{
    return {text.c_str(), static_cast<std::size_t>(text.getLength())};
}

// The pieces of a statement joined in one allocation. The statements that
// store items carry hex literals of kilobytes, which a printf-style format
// would read twice and copy through the C library's stream code.
inline uString JoinSql(std::initializer_list<std::string_view> pieces)
{
    std::size_t total = 0;
    for (const std::string_view piece : pieces)
        total += piece.size();
    uString sql;
    sql.reserve(static_cast<int>(total + 1));
    for (const std::string_view piece : pieces)
        sql.append(piece.data(), 0, static_cast<int>(piece.size()));
    return sql;
}

} // namespace feeds

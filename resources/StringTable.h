#pragma once

#include <string_view>

// The string table: texts the program shows, under their original ids.
namespace resources
{
struct StringEntry
{
    int id;
    std::string_view text;
};

inline constexpr StringEntry kStringTable[] = {
    {3001, "Failed to load/parse XML Document"},
    {3009, "Failed to download %s"},
    {59137, "CAP"},  // ID_INDICATOR_CAPS
    {59138, "NUM"},  // ID_INDICATOR_NUM
    {59139, "SCRL"}, // ID_INDICATOR_SCRL
};

/// The text of a string id; empty when the table has no such id.
constexpr std::string_view FindString(int id)
{
    for (const StringEntry& entry : kStringTable)
    {
        if (entry.id == id)
            return entry.text;
    }
    return {};
}
} // namespace resources

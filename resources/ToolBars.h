#pragma once

#include <span>
#include <string_view>

// Tool bars as data: the buttons in order, 0 for a separator. A button shows
// the image of its art name (wxArtProvider ids) and the tip text.
namespace resources
{
struct ToolButton
{
    int command; // 0: a separator
    std::string_view art = {};
    std::string_view tip = {};
};

// Tool bar 128: the main tool bar. Its buttons give the commands that no menu
// holds (224, 32812) a place, next to the everyday ones.
inline constexpr ToolButton kToolBar128[] = {
    {32770, "wxART_NEW", "New Subscription"},
    {32785, "wxART_FILE_OPEN", "Open URL"},
    {129, "wxART_FILE_SAVE", "Save"},
    {0},
    {32776, "wxART_REDO", "Refresh Now"},
    {32791, "wxART_GO_DOWN", "Download Now"},
    {0},
    {224, "wxART_FIND_AND_REPLACE", "Look for News Feed from Current Page"},
    {32812, "wxART_GO_FORWARD", "Export Playlists and Launch It in Default Player"},
    {0},
    {57607, "wxART_PRINT", "Print"},
    {57664, "wxART_HELP", "About Kestrova"},
};

// Tool bar 168: the search bar. The separators at positions 1 and 3 become the
// phrase combo (173) and the list combo (174).
inline constexpr ToolButton kToolBar168[] = {
    {32792, "wxART_FIND", "Find"},
    {0},
    {32793, "wxART_GO_FORWARD", "Find"},
    {0},
    {32798, "wxART_DELETE", "Remove All Outdated Feeds"},
};

struct ToolBarTable
{
    int id;
    std::span<const ToolButton> buttons;
};

inline constexpr ToolBarTable kToolBars[] = {
    {128, kToolBar128},
    {168, kToolBar168},
};

/// The buttons of a tool bar; empty when there is no such tool bar.
constexpr std::span<const ToolButton> FindToolBar(int id)
{
    for (const ToolBarTable& table : kToolBars)
    {
        if (table.id == id)
            return table.buttons;
    }
    return {};
}
} // namespace resources

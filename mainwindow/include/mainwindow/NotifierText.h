#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace notifier
{
/// Width in pixels of a piece of UTF-8 text in the font being drawn.
using MeasureText = std::function<int(std::string_view text)>;

inline constexpr std::string_view kEllipsis = "...";

/// Breaks UTF-8 text into the lines a box of the given width shows, top line
/// first: line feeds start a new line, lines wrap between words, and a word
/// wider than the box wraps between characters. When more lines follow than
/// fit (maxLines), the last one shown ends in an ellipsis.
std::vector<std::string> LayoutText(std::string_view text, int width, int maxLines,
                                    const MeasureText& measure);
} // namespace notifier

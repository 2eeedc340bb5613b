#pragma once

#include "foundation/uString.h"

#include <functional>
#include <string>
#include <vector>

// Texts the owner-drawn list and its header fit into their cells, without a
// window: the caller measures with its own font.

// The width in pixels a UTF-8 text takes.
using XTextMeasure = std::function<int(const std::string&)>;

// The text as it stands when it fits the width, else its longest start (cut
// between characters, never inside one) followed by "..." that fits; as much
// of "..." as fits when not even one character does.
std::string EllipsizeEnd(const std::string& text, int width, const XTextMeasure& measure);

// The text broken into lines no wider than the width, at spaces and line
// breaks; a word wider than the width stands alone on its line, whole.
std::vector<std::string> WrapWords(const std::string& text, int width, const XTextMeasure& measure);

// A cell's tool id: row x 1000 + column + 1, so that 0 never names a cell.
int ToolTipId(int row, int column);

// The most a tool tip shows: its first 80 characters.
inline constexpr int kToolTipLength = 80;
// The text cut to kToolTipLength characters (not bytes).
uString CutToolTip(const uString& text);

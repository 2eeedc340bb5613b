#include "downloads/XListText.h"

namespace
{
constexpr const char* kEllipsis = "...";

bool IsContinuationByte(char byte)
{
    return (static_cast<unsigned char>(byte) & 0xC0) == 0x80;
}

// The byte offsets where characters start, and the end.
std::vector<size_t> CharacterStarts(const std::string& text)
{
    std::vector<size_t> starts;
    for (size_t offset = 0; offset < text.size(); ++offset)
    {
        if (!IsContinuationByte(text[offset]))
            starts.push_back(offset);
    }
    starts.push_back(text.size());
    return starts;
}
} // namespace

std::string EllipsizeEnd(const std::string& text, int width, const XTextMeasure& measure)
{
    if (measure(text) <= width)
        return text;
    const std::vector<size_t> starts = CharacterStarts(text);
    // The longest start that fits with the ellipsis; wider starts never fit
    // better, so a binary search over the character count finds it.
    size_t low = 0;                  // fits (or nothing fits)
    size_t high = starts.size() - 1; // the whole text did not fit
    while (high - low > 1)
    {
        const size_t middle = (low + high) / 2;
        if (measure(text.substr(0, starts[middle]) + kEllipsis) <= width)
            low = middle;
        else
            high = middle;
    }
    if (low > 0 || measure(kEllipsis) <= width)
        return text.substr(0, starts[low]) + kEllipsis;
    std::string dots = kEllipsis;
    while (!dots.empty() && measure(dots) > width)
        dots.pop_back();
    return dots;
}

std::vector<std::string> WrapWords(const std::string& text, int width, const XTextMeasure& measure)
{
    std::vector<std::string> lines;
    size_t start = 0;
    while (start <= text.size())
    {
        // One paragraph: up to the next line break.
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line;
        size_t position = start;
        while (position < end)
        {
            size_t wordEnd = text.find(' ', position);
            if (wordEnd == std::string::npos || wordEnd > end)
                wordEnd = end;
            const std::string word = text.substr(position, wordEnd - position);
            position = wordEnd + 1;
            if (word.empty())
                continue;
            if (line.empty())
                line = word;
            else if (measure(line + " " + word) <= width)
                line += " " + word;
            else
            {
                lines.push_back(line);
                line = word;
            }
        }
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

int ToolTipId(int row, int column)
{
    return row * 1000 + column + 1;
}

uString CutToolTip(const uString& text)
{
    const std::string source = text.c_str();
    const std::vector<size_t> starts = CharacterStarts(source);
    if (starts.size() - 1 <= static_cast<size_t>(kToolTipLength))
        return text;
    return uString(source.substr(0, starts[kToolTipLength]).c_str());
}

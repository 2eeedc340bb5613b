#include "mainwindow/NotifierText.h"

namespace notifier
{
namespace
{
// Length of the UTF-8 sequence starting at text[i] (1 for a stray byte).
size_t SequenceLength(std::string_view text, size_t i)
{
    size_t end = i + 1;
    while (end < text.size() && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
        ++end;
    return end - i;
}

// Drops whole characters from the end of line.
void DropLastCharacter(std::string& line)
{
    size_t end = line.size();
    while (end > 0 && (static_cast<unsigned char>(line[end - 1]) & 0xC0) == 0x80)
        --end;
    line.resize(end > 0 ? end - 1 : 0);
}

std::vector<std::string_view> Words(std::string_view paragraph)
{
    std::vector<std::string_view> words;
    size_t i = 0;
    while (i < paragraph.size())
    {
        while (i < paragraph.size() && (paragraph[i] == ' ' || paragraph[i] == '\t'))
            ++i;
        size_t start = i;
        while (i < paragraph.size() && paragraph[i] != ' ' && paragraph[i] != '\t')
            ++i;
        if (i > start)
            words.push_back(paragraph.substr(start, i - start));
    }
    return words;
}

// Wraps one paragraph (no line feeds) into lines.
void WrapParagraph(std::string_view paragraph, int width, const MeasureText& measure,
                   std::vector<std::string>& lines)
{
    std::string line;
    for (std::string_view word : Words(paragraph))
    {
        std::string candidate = line.empty() ? std::string(word) : line + ' ' + std::string(word);
        if (measure(candidate) <= width)
        {
            line = std::move(candidate);
            continue;
        }
        if (!line.empty())
            lines.push_back(std::move(line));
        line.clear();
        if (measure(word) <= width)
        {
            line = std::string(word);
            continue;
        }
        // Too wide for any line: break between characters, at least one per line.
        for (size_t i = 0; i < word.size();)
        {
            size_t length = SequenceLength(word, i);
            std::string longer = line + std::string(word.substr(i, length));
            if (!line.empty() && measure(longer) > width)
            {
                lines.push_back(std::move(line));
                line = std::string(word.substr(i, length));
            }
            else
            {
                line = std::move(longer);
            }
            i += length;
        }
    }
    lines.push_back(std::move(line));
}
} // namespace

std::vector<std::string> LayoutText(std::string_view text, int width, int maxLines,
                                    const MeasureText& measure)
{
    std::vector<std::string> lines;
    size_t start = 0;
    while (start <= text.size())
    {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view paragraph = text.substr(start, end - start);
        if (!paragraph.empty() && paragraph.back() == '\r')
            paragraph.remove_suffix(1);
        WrapParagraph(paragraph, width, measure, lines);
        start = end + 1;
    }
    // Titles each end in a line feed: empty lines at the end are no more text.
    while (!lines.empty() && lines.back().empty())
        lines.pop_back();

    if (maxLines < 1)
        maxLines = 1;
    if (static_cast<int>(lines.size()) <= maxLines)
        return lines;
    lines.resize(maxLines);
    std::string& last = lines.back();
    while (!last.empty() && measure(last + std::string(kEllipsis)) > width)
        DropLastCharacter(last);
    while (!last.empty() && last.back() == ' ')
        last.pop_back();
    last += kEllipsis;
    return lines;
}
} // namespace notifier

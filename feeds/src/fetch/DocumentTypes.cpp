#include "feeds/DocumentTypes.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

// Pass after pass over the whole text would take one pass per level of
// nesting: "<!DOC" k times, "<!DOCTYPE>", "TYPE>" k times costs k passes.
// After the first pass, a declaration can only stand across the place of a
// cut (any other one was cut, swallowed, or has no ">" after it), so each
// later pass looks only around the cuts of the pass before. The kept text is
// a list of runs of the original bytes, and a cut only relinks runs.

namespace
{

constexpr std::string_view kDeclaration = "<!DOCTYPE";
constexpr std::size_t kNone = std::numeric_limits<std::size_t>::max();

class DocumentTypeCutter
{
public:
    explicit DocumentTypeCutter(std::string_view text) : m_text(text), m_noGreaterFrom(text.size())
    {
        m_runs.push_back(Run{0, text.size(), kNone, kNone, false});
    }

    // False when nothing was cut.
    bool Cut()
    {
        std::vector<std::size_t> joins = FirstPass();
        while (!joins.empty())
            joins = LaterPass(joins);
        return m_cut;
    }

    std::string Kept() const
    {
        std::string kept;
        for (std::size_t run = m_head; run != kNone; run = m_runs[run].next)
            kept.append(m_text.substr(m_runs[run].begin, m_runs[run].end - m_runs[run].begin));
        return kept;
    }

private:
    // Bytes [begin, end) of the text, kept; runs are linked in text order.
    struct Run
    {
        std::size_t begin, end;
        std::size_t previous, next;
        bool gone;
    };
    struct Cursor
    {
        std::size_t run;
        std::size_t at; // index into the text
    };

    bool Advance(Cursor& cursor) const
    {
        const Run& run = m_runs[cursor.run];
        if (cursor.at + 1 < run.end)
        {
            ++cursor.at;
            return true;
        }
        if (run.next == kNone)
            return false;
        cursor = Cursor{run.next, m_runs[run.next].begin};
        return true;
    }

    bool Retreat(Cursor& cursor) const
    {
        const Run& run = m_runs[cursor.run];
        if (cursor.at > run.begin)
        {
            --cursor.at;
            return true;
        }
        if (run.previous == kNone)
            return false;
        cursor = Cursor{run.previous, m_runs[run.previous].end - 1};
        return true;
    }

    // The kept ">" first at or after the cursor, before m_noGreaterFrom.
    bool FindGreater(Cursor from, Cursor& found) const
    {
        for (std::size_t run = from.run, at = from.at; run != kNone && at < m_noGreaterFrom;)
        {
            const std::size_t end = std::min(m_runs[run].end, m_noGreaterFrom);
            if (const void* hit = std::memchr(m_text.data() + at, '>', end - at))
            {
                found = Cursor{run, static_cast<std::size_t>(static_cast<const char*>(hit) - m_text.data())};
                return true;
            }
            run = m_runs[run].next;
            at = run == kNone ? kNone : m_runs[run].begin;
        }
        return false;
    }

    // Removes the kept bytes from `first` through `last`. Returns the run
    // that now starts right after the cut, kNone when the cut took the end.
    std::size_t Remove(Cursor first, Cursor last)
    {
        Run& a = m_runs[first.run];
        std::size_t before, after;
        if (first.run == last.run && first.at > a.begin && last.at + 1 < a.end)
        {
            // Inside one run: split it.
            after = m_runs.size();
            const Run tail{last.at + 1, a.end, first.run, a.next, false};
            if (a.next != kNone)
                m_runs[a.next].previous = after;
            a.next = after;
            a.end = first.at;
            m_runs.push_back(tail);
            return after;
        }
        Run& b = m_runs[last.run];
        before = first.at > a.begin ? first.run : a.previous;
        after = last.at + 1 < b.end ? last.run : b.next;
        std::size_t drop = before == first.run ? a.next : first.run;
        if (before == first.run)
            a.end = first.at;
        if (after == last.run)
            b.begin = last.at + 1;
        while (drop != after)
        {
            m_runs[drop].gone = true;
            drop = m_runs[drop].next;
        }
        if (before == kNone)
            m_head = after;
        else
            m_runs[before].next = after;
        if (after != kNone)
            m_runs[after].previous = before;
        return after;
    }

    // Cuts the declaration that starts at the cursor through its ">", and
    // notes the run after the cut in `joins` when kept bytes stand on both
    // sides of it: a new declaration can only form there. False when no ">"
    // follows: then none follows any later declaration either.
    bool CutAt(Cursor start, std::size_t& after, std::size_t& resume, std::vector<std::size_t>& joins)
    {
        Cursor greater{};
        if (start.at >= m_noGreaterFrom || !FindGreater(start, greater))
        {
            m_noGreaterFrom = std::min(m_noGreaterFrom, start.at);
            return false;
        }
        resume = greater.at + 1;
        after = Remove(start, greater);
        m_cut = true;
        if (after != kNone && m_runs[after].previous != kNone)
            joins.push_back(after);
        return true;
    }

    std::vector<std::size_t> FirstPass()
    {
        std::vector<std::size_t> joins;
        // Everything at or after `position` is still the one last run.
        std::size_t tail = 0;
        std::size_t position = 0;
        while (tail != kNone)
        {
            const std::size_t start = m_text.find(kDeclaration, position);
            if (start == std::string_view::npos || !CutAt(Cursor{tail, start}, tail, position, joins))
                break;
        }
        return joins;
    }

    // The declaration that stands across the start of the run, in bytes that
    // no cut of this pass has touched (at or after `position`).
    bool FindAcross(std::size_t run, std::size_t position, Cursor& start) const
    {
        constexpr std::size_t kLength = kDeclaration.size();
        Cursor first{run, m_runs[run].begin};
        std::size_t before = 0;
        for (Cursor back = first; before + 1 < kLength && Retreat(back) && back.at >= position; ++before)
            first = back;
        Cursor window[2 * kLength];
        std::size_t count = 0;
        for (Cursor walk = first; count < before + kLength - 1;)
        {
            window[count++] = walk;
            if (!Advance(walk))
                break;
        }
        for (std::size_t offset = 0; offset < before && offset + kLength <= count; ++offset)
        {
            bool match = true;
            for (std::size_t i = 0; match && i < kLength; ++i)
                match = m_text[window[offset + i].at] == kDeclaration[i];
            if (match)
            {
                start = window[offset];
                return true;
            }
        }
        return false;
    }

    std::vector<std::size_t> LaterPass(const std::vector<std::size_t>& joins)
    {
        std::vector<std::size_t> next;
        std::size_t position = 0;
        for (const std::size_t run : joins)
        {
            if (m_runs[run].gone || m_runs[run].begin < position)
                continue;
            Cursor start{};
            std::size_t after = kNone;
            if (FindAcross(run, position, start) && !CutAt(start, after, position, next))
                break;
        }
        return next;
    }

    std::string_view m_text;
    std::vector<Run> m_runs;
    std::size_t m_head = 0;
    std::size_t m_noGreaterFrom;
    bool m_cut = false;
};

} // namespace

namespace feeds
{

void RemoveDocumentTypes(uString& text)
{
    DocumentTypeCutter cutter(std::string_view(text.c_str(), static_cast<std::size_t>(text.getLength())));
    if (!cutter.Cut())
        return;
    const std::string kept = cutter.Kept();
    text.assign(kept.c_str(), 0, static_cast<int>(kept.size()));
}

} // namespace feeds

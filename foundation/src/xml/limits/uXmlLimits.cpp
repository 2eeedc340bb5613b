#include "foundation/uXmlLimits.h"

#include <algorithm>
#include <deque>
#include <string>
#include <string_view>
#include <unordered_map>

namespace xmllimits
{
namespace
{

constexpr std::int64_t kOver = kMaxEntityExpansionBytes + 1; // sizes saturate here

bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool IsNameChar(char c)
{
    const auto u = static_cast<unsigned char>(c);
    return (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') || u == '_' ||
           u == ':' || u == '-' || u == '.' || u >= 0x80;
}

bool IsPredefined(std::string_view name)
{
    return name == "lt" || name == "gt" || name == "amp" || name == "quot" || name == "apos";
}

// UTF-16 and UTF-32 texts become one byte per code unit: the markup is ASCII,
// and every other character only has to keep its place.
bool NarrowWideText(const unsigned char* b, std::size_t n, std::string& narrow)
{
    int width = 0;
    bool little = false;
    std::size_t skip = 0;
    auto starts = [&](std::initializer_list<unsigned char> prefix)
    { return n >= prefix.size() && std::equal(prefix.begin(), prefix.end(), b); };
    if (starts({0xFF, 0xFE, 0, 0}))
        width = 4, little = true, skip = 4;
    else if (starts({0, 0, 0xFE, 0xFF}))
        width = 4, skip = 4;
    else if (starts({0x3C, 0, 0, 0}))
        width = 4, little = true;
    else if (starts({0, 0, 0, 0x3C}))
        width = 4;
    else if (starts({0xFF, 0xFE}))
        width = 2, little = true, skip = 2;
    else if (starts({0xFE, 0xFF}))
        width = 2, skip = 2;
    else if (starts({0x3C, 0, 0x3F, 0}))
        width = 2, little = true;
    else if (starts({0, 0x3C, 0, 0x3F}))
        width = 2;
    if (width == 0)
        return false;
    narrow.reserve((n - skip) / static_cast<std::size_t>(width));
    for (std::size_t i = skip; i + static_cast<std::size_t>(width) <= n; i += static_cast<std::size_t>(width))
    {
        std::uint32_t unit = 0;
        for (int k = 0; k < width; ++k)
        {
            const int shift = little ? 8 * k : 8 * (width - 1 - k);
            unit |= static_cast<std::uint32_t>(b[i + static_cast<std::size_t>(k)]) << shift;
        }
        narrow.push_back(unit < 0x80 ? static_cast<char>(unit) : 'x');
    }
    return true;
}

struct Entity
{
    std::string_view value; // the replacement text, character references resolved
    int state = 0;          // 0 not measured, 1 being measured, 2 measured
    std::int64_t size = 0;  // bytes of the full expansion
    int depth = 0;          // deepest element nesting inside the expansion
};

struct Cost
{
    std::int64_t size = 0;
    int depth = 0;
};

std::int64_t Saturated(std::int64_t a, std::int64_t b)
{
    return std::min(kOver, a + b);
}

class Scanner
{
public:
    explicit Scanner(std::string_view text) : m_text(text) {}

    Refusal Run()
    {
        const std::string_view t = m_text;
        std::size_t p = 0;
        int depth = 0;
        while (p < t.size() && m_refusal == Refusal::kNone)
        {
            p = t.find_first_of("<&", p);
            if (p == std::string_view::npos)
                break;
            if (t[p] == '&')
            {
                p = BodyReference(t, p, depth);
                continue;
            }
            if (Starts(t, p, "<!--"))
                p = SkipPast(t, p + 4, "-->");
            else if (Starts(t, p, "<![CDATA["))
                p = SkipPast(t, p + 9, "]]>");
            else if (Starts(t, p, "<?"))
                p = SkipPast(t, p + 2, "?>");
            else if (Starts(t, p, "<!DOCTYPE"))
                p = DocumentType(p + 9);
            else if (Starts(t, p, "</"))
            {
                depth = std::max(0, depth - 1);
                p = SkipPast(t, p + 2, ">");
            }
            else if (Starts(t, p, "<!"))
                p = SkipMarkup(t, p + 2);
            else
                p = StartTag(p + 1, depth);
        }
        return m_refusal;
    }

private:
    static bool Starts(std::string_view t, std::size_t p, std::string_view token)
    {
        return t.compare(p, token.size(), token) == 0;
    }
    static std::size_t SkipPast(std::string_view t, std::size_t p, std::string_view token)
    {
        const std::size_t at = t.find(token, p);
        return at == std::string_view::npos ? t.size() : at + token.size();
    }
    // To just past the ">" that ends a declaration, skipping quoted literals.
    static std::size_t SkipMarkup(std::string_view t, std::size_t p)
    {
        while (p < t.size())
        {
            const char c = t[p];
            if (c == '"' || c == '\'')
            {
                const std::size_t close = t.find(c, p + 1);
                p = close == std::string_view::npos ? t.size() : close + 1;
            }
            else if (c == '>')
                return p + 1;
            else
                ++p;
        }
        return p;
    }
    static std::string_view NameAt(std::string_view t, std::size_t p)
    {
        std::size_t end = p;
        while (end < t.size() && IsNameChar(t[end]))
            ++end;
        return t.substr(p, end - p);
    }
    static std::size_t SkipSpace(std::string_view t, std::size_t p)
    {
        while (p < t.size() && IsSpace(t[p]))
            ++p;
        return p;
    }

    void Add(std::int64_t bytes)
    {
        m_expanded = Saturated(m_expanded, bytes);
        if (m_expanded > kMaxEntityExpansionBytes)
            Refuse(Refusal::kEntityExpansion);
    }
    void Refuse(Refusal refusal)
    {
        if (m_refusal == Refusal::kNone)
            m_refusal = refusal;
    }

    // "&name;" in text: its expansion counts, and so does the nesting it brings.
    std::size_t BodyReference(std::string_view t, std::size_t p, int depth)
    {
        if (p + 1 < t.size() && t[p + 1] == '#')
            return p + 2;
        const std::string_view name = NameAt(t, p + 1);
        const std::size_t end = p + 1 + name.size();
        if (name.empty() || end >= t.size() || t[end] != ';')
            return p + 1;
        if (!IsPredefined(name))
        {
            const Cost cost = Expand(name);
            Add(cost.size);
            if (depth + cost.depth > kMaxNestingDepth)
                Refuse(Refusal::kTooDeep);
        }
        return end + 1;
    }

    std::size_t StartTag(std::size_t p, int& depth)
    {
        const std::string_view t = m_text;
        const std::string_view name = NameAt(t, p);
        if (name.empty())
            return p;
        if (auto found = m_defaults.find(name); found != m_defaults.end())
            Add(found->second);
        p += name.size();
        bool closed = false;
        while (p < t.size())
        {
            const char c = t[p];
            if (c == '"' || c == '\'')
            {
                std::size_t close = t.find(c, p + 1);
                if (close == std::string_view::npos)
                    close = t.size();
                Add(ReferenceCost(t.substr(p + 1, close - p - 1)));
                p = close + 1;
            }
            else if (c == '>')
            {
                closed = t[p - 1] == '/';
                ++p;
                break;
            }
            else
                ++p;
        }
        if (!closed && ++depth > kMaxNestingDepth)
            Refuse(Refusal::kTooDeep);
        return p;
    }

    // What the general entity references in a literal add when it is used.
    std::int64_t ReferenceCost(std::string_view s)
    {
        std::int64_t cost = 0;
        for (std::size_t p = s.find('&'); p != std::string_view::npos && cost < kOver; p = s.find('&', p + 1))
        {
            const std::string_view name = NameAt(s, p + 1);
            const std::size_t end = p + 1 + name.size();
            if (!name.empty() && end < s.size() && s[end] == ';' && !IsPredefined(name))
                cost = Saturated(cost, Expand(name).size);
        }
        return cost;
    }

    // The size and nesting of a general entity's full expansion, measured once.
    Cost Expand(std::string_view name)
    {
        auto found = m_general.find(name);
        if (found == m_general.end())
            return {}; // undeclared: the parser reports it
        Entity& entity = found->second;
        if (entity.state == 1)
        {
            Refuse(Refusal::kEntityExpansion); // an entity that contains itself
            return {kOver, 0};
        }
        if (entity.state == 0)
        {
            entity.state = 1;
            const Cost cost = Measure(entity.value);
            entity.size = cost.size;
            entity.depth = cost.depth;
            entity.state = 2;
        }
        return {entity.size, entity.depth};
    }

    Cost Measure(std::string_view s)
    {
        Cost cost;
        int depth = 0;
        std::size_t p = 0;
        while (p < s.size() && cost.size < kOver && m_refusal == Refusal::kNone)
        {
            const std::size_t at = s.find_first_of("<&", p);
            const std::size_t stop = at == std::string_view::npos ? s.size() : at;
            cost.size = Saturated(cost.size, static_cast<std::int64_t>(stop - p));
            if (at == std::string_view::npos)
                break;
            p = at + 1;
            cost.size = Saturated(cost.size, 1);
            if (s[at] == '<')
            {
                if (p < s.size() && s[p] == '/')
                    depth = std::max(0, depth - 1);
                else if (p < s.size() && IsNameChar(s[p]))
                {
                    const std::size_t gt = s.find('>', p);
                    if (gt != std::string_view::npos && s[gt - 1] != '/')
                        cost.depth = std::max(cost.depth, ++depth);
                }
                continue;
            }
            const std::string_view child = NameAt(s, p);
            const std::size_t end = p + child.size();
            if (child.empty() || end >= s.size() || s[end] != ';' || IsPredefined(child))
                continue;
            const Cost inner = Expand(child);
            cost.size = Saturated(cost.size, inner.size);
            cost.depth = std::max(cost.depth, depth + inner.depth);
            p = end + 1;
        }
        return cost;
    }

    std::size_t DocumentType(std::size_t p)
    {
        const std::string_view t = m_text;
        while (p < t.size() && t[p] != '[' && t[p] != '>')
        {
            if (t[p] == '"' || t[p] == '\'')
            {
                const std::size_t close = t.find(t[p], p + 1);
                p = close == std::string_view::npos ? t.size() : close + 1;
            }
            else
                ++p;
        }
        if (p < t.size() && t[p] == '[')
            p = Subset(t, p + 1, /*internal=*/true);
        return SkipPast(t, p, ">");
    }

    // Declarations of the internal subset (which ends at "]"), or of a
    // parameter entity's replacement text (which ends at its end).
    std::size_t Subset(std::string_view t, std::size_t p, bool internal)
    {
        while (p < t.size() && m_refusal == Refusal::kNone)
        {
            const char c = t[p];
            if (c == ']' && internal)
                return p + 1;
            if (c == '%')
            {
                const std::string_view name = NameAt(t, p + 1);
                const std::size_t end = p + 1 + name.size();
                if (!name.empty() && end < t.size() && t[end] == ';')
                {
                    ExpandParameter(name);
                    p = end + 1;
                }
                else
                    ++p;
            }
            else if (Starts(t, p, "<!--"))
                p = SkipPast(t, p + 4, "-->");
            else if (Starts(t, p, "<?"))
                p = SkipPast(t, p + 2, "?>");
            else if (Starts(t, p, "<!ENTITY"))
                p = EntityDeclaration(t, p + 8);
            else if (Starts(t, p, "<!ATTLIST"))
                p = AttributeListDeclaration(t, p + 9);
            else if (Starts(t, p, "<!"))
                p = SkipMarkup(t, p + 2);
            else
                ++p;
        }
        return p;
    }

    void ExpandParameter(std::string_view name)
    {
        auto found = m_parameter.find(name);
        if (found == m_parameter.end())
            return;
        Entity& entity = found->second;
        if (entity.state == 1)
        {
            Refuse(Refusal::kEntityExpansion);
            return;
        }
        Add(static_cast<std::int64_t>(entity.value.size()));
        if (m_refusal != Refusal::kNone)
            return;
        entity.state = 1;
        Subset(entity.value, 0, /*internal=*/false);
        entity.state = 0; // may be used again, each use counted
    }

    std::size_t EntityDeclaration(std::string_view t, std::size_t p)
    {
        p = SkipSpace(t, p);
        bool parameter = false;
        if (p < t.size() && t[p] == '%')
        {
            parameter = true;
            p = SkipSpace(t, p + 1);
        }
        const std::string_view name = NameAt(t, p);
        p = SkipSpace(t, p + name.size());
        Entity entity;
        if (p < t.size() && (t[p] == '"' || t[p] == '\''))
        {
            std::size_t close = t.find(t[p], p + 1);
            if (close == std::string_view::npos)
                close = t.size();
            entity.value = ResolveCharacterReferences(t.substr(p + 1, close - p - 1));
            p = close + 1;
        }
        // External entities read as empty: the loader refuses to fetch them.
        if (!name.empty())
            (parameter ? m_parameter : m_general).emplace(name, entity); // the first declaration wins
        return SkipMarkup(t, p);
    }

    std::size_t AttributeListDeclaration(std::string_view t, std::size_t p)
    {
        p = SkipSpace(t, p);
        const std::string_view element = NameAt(t, p);
        p += element.size();
        std::int64_t cost = 0;
        while (p < t.size())
        {
            const char c = t[p];
            if (c == '"' || c == '\'')
            {
                std::size_t close = t.find(c, p + 1);
                if (close == std::string_view::npos)
                    close = t.size();
                cost = Saturated(cost, ReferenceCost(t.substr(p + 1, close - p - 1)));
                p = close + 1;
            }
            else if (c == '>')
            {
                ++p;
                break;
            }
            else
                ++p;
        }
        // Defaults are given to every such element: counted at each start tag.
        if (cost > 0 && !element.empty())
            m_defaults[element] = Saturated(m_defaults[element], cost);
        return p;
    }

    // Character references in an entity value are replaced when it is
    // declared, so "&#38;" can make a reference and "&#60;" markup.
    std::string_view ResolveCharacterReferences(std::string_view value)
    {
        if (value.find("&#") == std::string_view::npos)
            return value;
        std::string out;
        out.reserve(value.size());
        for (std::size_t i = 0; i < value.size(); ++i)
        {
            if (value[i] == '&' && i + 1 < value.size() && value[i + 1] == '#')
            {
                const bool hex = i + 2 < value.size() && value[i + 2] == 'x';
                std::size_t j = i + (hex ? 3 : 2);
                std::uint32_t code = 0;
                while (j < value.size() && value[j] != ';' && code <= 0x10FFFF)
                {
                    const char d = value[j];
                    int digit = -1;
                    if (d >= '0' && d <= '9')
                        digit = d - '0';
                    else if (hex && d >= 'a' && d <= 'f')
                        digit = d - 'a' + 10;
                    else if (hex && d >= 'A' && d <= 'F')
                        digit = d - 'A' + 10;
                    if (digit < 0)
                        break;
                    code = code * (hex ? 16 : 10) + static_cast<std::uint32_t>(digit);
                    ++j;
                }
                if (j < value.size() && value[j] == ';')
                {
                    if (code < 0x80)
                        out.push_back(static_cast<char>(code));
                    else
                        out.append(code < 0x800 ? 2 : code < 0x10000 ? 3 : 4, 'x');
                    i = j;
                    continue;
                }
            }
            out.push_back(value[i]);
        }
        m_owned.push_back(std::move(out));
        return m_owned.back();
    }

    std::string_view m_text;
    std::deque<std::string> m_owned; // resolved entity values; names may point into them
    std::unordered_map<std::string_view, Entity> m_general;
    std::unordered_map<std::string_view, Entity> m_parameter;
    std::unordered_map<std::string_view, std::int64_t> m_defaults;
    std::int64_t m_expanded = 0;
    Refusal m_refusal = Refusal::kNone;
};

} // namespace

Refusal Check(const char* bytes, std::size_t length)
{
    if (static_cast<std::int64_t>(length) > kMaxDocumentBytes)
        return Refusal::kTooLarge;
    if (!bytes)
        return Refusal::kNone;
    std::string narrow;
    if (NarrowWideText(reinterpret_cast<const unsigned char*>(bytes), length, narrow))
        return Scanner(narrow).Run();
    return Scanner(std::string_view(bytes, length)).Run();
}

const char* Describe(Refusal refusal)
{
    switch (refusal)
    {
    case Refusal::kTooLarge:
        return "the document is larger than 64 MiB";
    case Refusal::kEntityExpansion:
        return "its entities expand to more than 1 MiB";
    case Refusal::kTooDeep:
        return "its elements nest deeper than 1000 levels";
    case Refusal::kNone:
        break;
    }
    return "";
}

} // namespace xmllimits

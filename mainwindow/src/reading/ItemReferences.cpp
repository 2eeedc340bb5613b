#include "feeds/PageUrl.h"
#include "foundation/uAscii.h"
#include "foundation/uHtmlEntities.h"
#include "mainwindow/ItemPage.h"

#include <cctype>
#include <string>
#include <string_view>

namespace itempage
{
namespace
{
bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

std::string Lower(std::string_view text)
{
    std::string lower(text);
    for (char& c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower;
}

// An attribute value as the browser reads it: character references decoded.
std::string DecodeValue(std::string_view value)
{
    std::string decoded;
    for (std::size_t i = 0; i < value.size();)
    {
        if (value[i] == '&')
        {
            if (std::size_t used = html::DecodeReference(value.substr(i), decoded))
            {
                i += used;
                continue;
            }
        }
        decoded += value[i++];
    }
    return decoded;
}

std::string Trim(std::string_view text)
{
    std::size_t start = 0, end = text.size();
    while (start < end && IsSpace(text[start]))
        ++start;
    while (end > start && IsSpace(text[end - 1]))
        --end;
    return std::string(text.substr(start, end - start));
}

// One reference made absolute. Kept as written: an empty one, one with a
// scheme, and one that names a place in the page itself ("#top").
std::string ResolveOne(const std::string& reference, const uString& base)
{
    const std::string trimmed = Trim(reference);
    if (trimmed.empty() || trimmed[0] == '#' || pageurl::HasScheme(uString(trimmed.c_str())))
        return reference;
    // The feed's own links are resolved by the same rule.
    return pageurl::ResolveReference(base, uString(trimmed.c_str())).c_str();
}

// "a.png 1x, b.png 2x": each candidate's address, its descriptor kept.
std::string ResolveSourceSet(const std::string& value, const uString& base)
{
    std::string result;
    std::size_t start = 0;
    while (start <= value.size())
    {
        std::size_t comma = value.find(',', start);
        if (comma == std::string::npos)
            comma = value.size();
        const std::string candidate = Trim(std::string_view(value).substr(start, comma - start));
        if (!candidate.empty())
        {
            std::size_t space = 0;
            while (space < candidate.size() && !IsSpace(candidate[space]))
                ++space;
            if (!result.empty())
                result += ", ";
            result += ResolveOne(candidate.substr(0, space), base) + candidate.substr(space);
        }
        start = comma + 1;
    }
    return result;
}

bool IsReferenceAttribute(const std::string& name)
{
    return name == "href" || name == "src" || name == "poster" || name == "action" || name == "background" ||
           name == "cite" || name == "longdesc" || name == "data";
}

// Copies one start tag from `text` at `at` (just past "<name") into `out`,
// its references resolved; returns where the tag ends (past ">").
std::size_t CopyTag(std::string_view text, std::size_t at, const uString& base, std::string& out)
{
    while (at < text.size() && text[at] != '>')
    {
        if (IsSpace(text[at]) || text[at] == '/')
        {
            out += text[at++];
            continue;
        }
        const std::size_t nameStart = at;
        while (at < text.size() && !IsSpace(text[at]) && text[at] != '/' && text[at] != '>' &&
               text[at] != '=')
            ++at;
        const std::string name = Lower(text.substr(nameStart, at - nameStart));
        if (nameStart == at)
        {
            out += text[at++]; // a stray "=": copied as it stands
            continue;
        }
        std::size_t afterName = at;
        while (afterName < text.size() && IsSpace(text[afterName]))
            ++afterName;
        if (afterName >= text.size() || text[afterName] != '=')
        {
            out.append(text.substr(nameStart, at - nameStart));
            continue;
        }
        std::size_t valueStart = afterName + 1;
        while (valueStart < text.size() && IsSpace(text[valueStart]))
            ++valueStart;
        std::size_t valueEnd = valueStart, next = valueStart;
        if (valueStart < text.size() && (text[valueStart] == '"' || text[valueStart] == '\''))
        {
            const char quote = text[valueStart++];
            valueEnd = text.find(quote, valueStart);
            if (valueEnd == std::string_view::npos)
                valueEnd = text.size();
            next = valueEnd < text.size() ? valueEnd + 1 : valueEnd;
        }
        else
        {
            while (valueEnd < text.size() && !IsSpace(text[valueEnd]) && text[valueEnd] != '>')
                ++valueEnd;
            next = valueEnd;
        }
        if (name == "srcset" || IsReferenceAttribute(name))
        {
            const std::string value = DecodeValue(text.substr(valueStart, valueEnd - valueStart));
            const std::string resolved =
                name == "srcset" ? ResolveSourceSet(value, base) : ResolveOne(value, base);
            out.append(text.substr(nameStart, at - nameStart));
            out += "=\"" + html::EscapeText(resolved) + "\"";
        }
        else
        {
            out.append(text.substr(nameStart, next - nameStart));
        }
        at = next;
    }
    if (at < text.size())
        out += text[at++];
    return at;
}
} // namespace

uString ResolveReferences(const uString& html, const uString& base)
{
    const std::string_view text(html.c_str(), static_cast<std::size_t>(html.getLength()));
    if (!IsNetworkLink(base))
        return html;
    std::string out;
    out.reserve(text.size() + 256);
    std::size_t at = 0;
    while (at < text.size())
    {
        const std::size_t open = text.find('<', at);
        if (open == std::string_view::npos)
        {
            out.append(text.substr(at));
            break;
        }
        out.append(text.substr(at, open - at));
        at = open;
        if (text.compare(at, 4, "<!--") == 0)
        {
            std::size_t end = text.find("-->", at + 4);
            end = end == std::string_view::npos ? text.size() : end + 3;
            out.append(text.substr(at, end - at));
            at = end;
            continue;
        }
        if (at + 1 >= text.size() || !std::isalpha(static_cast<unsigned char>(text[at + 1])))
        {
            out += text[at++];
            continue;
        }
        std::size_t nameEnd = at + 1;
        while (nameEnd < text.size() &&
               (std::isalnum(static_cast<unsigned char>(text[nameEnd])) || text[nameEnd] == '-'))
            ++nameEnd;
        const std::string name = Lower(text.substr(at + 1, nameEnd - at - 1));
        if (name == "base")
        {
            // A base of the text's own would move the whole page, the
            // template's own references with it.
            std::size_t end = text.find('>', nameEnd);
            at = end == std::string_view::npos ? text.size() : end + 1;
            continue;
        }
        out.append(text.substr(at, nameEnd - at));
        at = CopyTag(text, nameEnd, base, out);
        if (name == "script" || name == "style")
        {
            // Their text is no markup: copied up to their end tag.
            const std::string close = "</" + name;
            std::size_t end = at;
            while (end < text.size() && !StartsWithNoCase(text.substr(end), close))
                end =
                    text.find('<', end + 1) == std::string_view::npos ? text.size() : text.find('<', end + 1);
            out.append(text.substr(at, end - at));
            at = end;
        }
    }
    return uString(out.c_str());
}
} // namespace itempage

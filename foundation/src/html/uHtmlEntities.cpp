#include "foundation/uHtmlEntities.h"

#include "uStringDetail.h"

#include <iterator>

namespace html
{
namespace
{

struct Entity
{
    const char* name;
    long codePoint;
};

// The XML five, then code points 160 to 255 in order.
constexpr Entity kEntities[] = {
    {"quot", 34},    {"amp", 38},     {"apos", 39},    {"lt", 60},      {"gt", 62},      {"nbsp", 160},
    {"iexcl", 161},  {"cent", 162},   {"pound", 163},  {"curren", 164}, {"yen", 165},    {"brvbar", 166},
    {"sect", 167},   {"uml", 168},    {"copy", 169},   {"ordf", 170},   {"laquo", 171},  {"not", 172},
    {"shy", 173},    {"reg", 174},    {"macr", 175},   {"deg", 176},    {"plusmn", 177}, {"sup2", 178},
    {"sup3", 179},   {"acute", 180},  {"micro", 181},  {"para", 182},   {"middot", 183}, {"cedil", 184},
    {"sup1", 185},   {"ordm", 186},   {"raquo", 187},  {"frac14", 188}, {"frac12", 189}, {"frac34", 190},
    {"iquest", 191}, {"Agrave", 192}, {"Aacute", 193}, {"Acirc", 194},  {"Atilde", 195}, {"Auml", 196},
    {"Aring", 197},  {"AElig", 198},  {"Ccedil", 199}, {"Egrave", 200}, {"Eacute", 201}, {"Ecirc", 202},
    {"Euml", 203},   {"Igrave", 204}, {"Iacute", 205}, {"Icirc", 206},  {"Iuml", 207},   {"ETH", 208},
    {"Ntilde", 209}, {"Ograve", 210}, {"Oacute", 211}, {"Ocirc", 212},  {"Otilde", 213}, {"Ouml", 214},
    {"times", 215},  {"Oslash", 216}, {"Ugrave", 217}, {"Uacute", 218}, {"Ucirc", 219},  {"Uuml", 220},
    {"Yacute", 221}, {"THORN", 222},  {"szlig", 223},  {"agrave", 224}, {"aacute", 225}, {"acirc", 226},
    {"atilde", 227}, {"auml", 228},   {"aring", 229},  {"aelig", 230},  {"ccedil", 231}, {"egrave", 232},
    {"eacute", 233}, {"ecirc", 234},  {"euml", 235},   {"igrave", 236}, {"iacute", 237}, {"icirc", 238},
    {"iuml", 239},   {"eth", 240},    {"ntilde", 241}, {"ograve", 242}, {"oacute", 243}, {"ocirc", 244},
    {"otilde", 245}, {"ouml", 246},   {"divide", 247}, {"oslash", 248}, {"ugrave", 249}, {"uacute", 250},
    {"ucirc", 251},  {"uuml", 252},   {"yacute", 253}, {"thorn", 254},  {"yuml", 255},
};

bool isReferenceChar(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isUpperAscii(char c)
{
    return c >= 'A' && c <= 'Z';
}

bool equalsNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (ustring_detail::asciiLower(a[i]) != ustring_detail::asciiLower(b[i]))
            return false;
    return true;
}

void appendUtf8(long cp, std::string& out)
{
    if (cp < 0x80)
    {
        out += static_cast<char>(cp);
    }
    else if (cp < 0x800)
    {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
    else if (cp < 0x10000)
    {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
    else
    {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// -1 for anything that is not a decimal or hexadecimal number of a usable
// code point. The whole code point is kept, never cut to 16 bits: &#128512;
// would otherwise turn into an unrelated character.
long parseNumber(std::string_view digits)
{
    int base = 10;
    if (!digits.empty() && (digits[0] == 'x' || digits[0] == 'X'))
    {
        base = 16;
        digits.remove_prefix(1);
    }
    if (digits.empty())
        return -1;
    long value = 0;
    for (char c : digits)
    {
        int d = base == 16 ? ustring_detail::hexValue(c) : (c >= '0' && c <= '9' ? c - '0' : -1);
        if (d < 0)
            return -1;
        value = value * base + d;
        if (value > 0x10FFFF)
            return -1;
    }
    if (value == 0 || (value >= 0xD800 && value <= 0xDFFF))
        return -1;
    return value;
}

} // namespace

std::size_t EntityCount()
{
    return std::size(kEntities);
}

long LookupEntity(std::string_view name)
{
    if (name.empty())
        return -1;
    const Entity* found = nullptr;
    for (const Entity& entity : kEntities)
    {
        if (!equalsNoCase(name, entity.name))
            continue;
        // Two entries match only for a letter with a capital and a small
        // form; the first letter of the reference picks one.
        if (!found || isUpperAscii(entity.name[0]) == isUpperAscii(name[0]))
            found = &entity;
    }
    return found ? found->codePoint : -1;
}

std::size_t DecodeReference(std::string_view text, std::string& out)
{
    if (text.size() < 4 || text[0] != '&')
        return 0;
    // A reference is "#" and digits or a name of letters and digits: stop at
    // the first other character instead of searching the rest of the text
    // for a ";", which made decoding a text of many "&" quadratic.
    std::size_t end = text[1] == '#' ? 2 : 1;
    while (end < text.size() && isReferenceChar(text[end]))
        ++end;
    if (end == text.size() || text[end] != ';' || end < 3)
        return 0;
    std::string_view body = text.substr(1, end - 1);
    long cp;
    if (body[0] == '#')
    {
        body.remove_prefix(1);
        bool numeric = body[0] == 'x' || body[0] == 'X' || (body[0] >= '0' && body[0] <= '9');
        cp = numeric ? parseNumber(body) : -1;
    }
    else
    {
        cp = LookupEntity(body);
    }
    if (cp <= 0)
        return 0;
    appendUtf8(cp, out);
    return end + 1;
}

std::string EscapeText(std::string_view text)
{
    std::string escaped;
    escaped.reserve(text.size() + 16);
    for (const char c : text)
    {
        switch (c)
        {
        case '&':
            escaped += "&amp;";
            break;
        case '<':
            escaped += "&lt;";
            break;
        case '>':
            escaped += "&gt;";
            break;
        case '"':
            escaped += "&quot;";
            break;
        case '\'':
            escaped += "&#39;";
            break;
        default:
            escaped += c;
        }
    }
    return escaped;
}

} // namespace html

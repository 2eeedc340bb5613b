#include "XmlEntityNames.h"
#include "foundation/uFile.h"
#include "foundation/uXml.h"

#include <string>
#include <string_view>
#include <unordered_set>

// The repairs tried on a document the strict loads could read only in part:
// the faults that feeds as the web writes them commonly have, and nothing
// that would change a well-formed document's meaning.

namespace
{

bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool IsNameChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '-' || c == '.' || c == ':' || static_cast<unsigned char>(c) >= 0x80;
}

// The length of the white space and UTF-8 byte-order marks before the first
// byte of the document: a server that sends a blank line before "<?xml"
// makes the declaration illegal.
std::size_t LeadingJunk(std::string_view text)
{
    std::size_t i = 0;
    for (;;)
    {
        if (i < text.size() && IsSpace(text[i]))
            ++i;
        else if (text.substr(i, 3) == "\xEF\xBB\xBF")
            i += 3;
        else
            return i;
    }
}

std::string_view NameAt(std::string_view text, std::size_t position)
{
    std::size_t end = position;
    while (end < text.size() && IsNameChar(text[end]))
        ++end;
    return text.substr(position, end - position);
}

// The general entities the document declares itself. Any "<!ENTITY name"
// counts, also one that is really text inside a CDATA section: a name taken
// for declared is only left alone.
std::unordered_set<std::string_view> DeclaredEntities(std::string_view text)
{
    std::unordered_set<std::string_view> names = {"amp", "lt", "gt", "quot", "apos"};
    for (std::size_t at = text.find("<!ENTITY"); at != std::string_view::npos;
         at = text.find("<!ENTITY", at + 1))
    {
        std::size_t name = at + 8;
        while (name < text.size() && IsSpace(text[name]))
            ++name;
        if (name < text.size() && text[name] != '%')
            names.insert(NameAt(text, name));
    }
    return names;
}

// Rewrites "&name;" for a name the document does not declare into the
// numeric reference HTML gives it (every HTML 4.01 name and the common HTML5 ones). Comments, CDATA sections
// and processing instructions are copied untouched: a reference there is text. A name the table does not know
// stays, and the document stays broken.
bool RewriteHtmlEntities(std::string& text)
{
    if (text.find('&') == std::string::npos)
        return false;
    const std::unordered_set<std::string_view> declared = DeclaredEntities(text);
    static const std::pair<std::string_view, std::string_view> kVerbatim[] = {
        {"<!--", "-->"}, {"<![CDATA[", "]]>"}, {"<?", "?>"}};
    std::string out;
    std::size_t copied = 0;
    std::size_t i = 0;
    while (i < text.size())
    {
        const std::size_t next = text.find_first_of("<&", i);
        if (next == std::string::npos)
            break;
        i = next;
        if (text[i] == '<')
        {
            std::size_t skipTo = i + 1;
            for (const auto& [open, close] : kVerbatim)
                if (text.compare(i, open.size(), open) == 0)
                {
                    const std::size_t end = text.find(close, i + open.size());
                    skipTo = end == std::string::npos ? text.size() : end + close.size();
                    break;
                }
            i = skipTo;
            continue;
        }
        const std::string_view name = NameAt(text, i + 1);
        const std::size_t end = i + 1 + name.size();
        long codePoint = -1;
        if (!name.empty() && end < text.size() && text[end] == ';' && !declared.count(name))
            codePoint = xmlentities::Lookup(name);
        if (codePoint > 0)
        {
            out.append(text, copied, i - copied);
            out += "&#" + std::to_string(codePoint) + ";";
            copied = end + 1;
        }
        i = end;
    }
    if (copied == 0)
        return false;
    out.append(text, copied, std::string::npos);
    text.swap(out);
    return true;
}

} // namespace

bool uXmlDocument::loadRepaired(const char* path, bool keepPartial)
{
    releaseDocument();
    uFile file(path, uFile::kModeRead);
    uString bytes;
    const bool read = path && file.open() && file.readAll(bytes);
    file.close();
    if (!read)
        return false;
    std::string text(bytes.c_str(), static_cast<std::size_t>(bytes.getLength()));
    const std::size_t junk = LeadingJunk(text);
    text.erase(0, junk);
    const bool rewritten = RewriteHtmlEntities(text);
    // Nothing repaired: the strict loads have read this very text already.
    if (junk == 0 && !rewritten)
        return false;
    // Without namespaces the second time: a prefix used but never declared
    // (common in podcast feeds) stops a namespace-aware parse, and the
    // readers compare names as written, prefix included.
    for (const bool namespaces : {true, false})
    {
        releaseDocument();
        parse(text.data(), text.size(), uString(path), path, namespaces, namespaces, false, true);
        if (getDocumentElement() && !isPartial())
            return true;
    }
    if (!keepPartial)
        releaseDocument();
    return false;
}

#include "foundation/uUrl.h"

#include "foundation/uAscii.h"
#include "uStringDetail.h"

#include <cctype>
#include <cstdlib>
#include <string>
#include <string_view>

namespace
{

using ustring_detail::hexValue;

std::string_view View(const uString& text)
{
    return std::string_view(text.c_str(), static_cast<std::size_t>(text.getLength()));
}

uString Make(std::string_view text)
{
    return uString(text.data(), 0, static_cast<int>(text.size()));
}

// Where the authority of a URL lies, and where the rest (path, query, fragment) starts.
struct UrlLayout
{
    std::size_t authorityStart = 0;
    std::size_t authorityEnd = 0;
};

UrlLayout Layout(std::string_view url)
{
    UrlLayout layout;
    std::size_t marker = url.find("://");
    layout.authorityStart = marker == std::string_view::npos ? 0 : marker + 3;
    std::size_t end = url.find_first_of("/?#", layout.authorityStart);
    layout.authorityEnd = end == std::string_view::npos ? url.size() : end;
    return layout;
}

std::string_view Authority(std::string_view url)
{
    UrlLayout layout = Layout(url);
    return url.substr(layout.authorityStart, layout.authorityEnd - layout.authorityStart);
}

// Host and port without the user-info.
std::string_view HostAndPort(std::string_view authority)
{
    std::size_t at = authority.rfind('@');
    return at == std::string_view::npos ? authority : authority.substr(at + 1);
}

// Position of the ":" that introduces the port inside host-and-port, or npos.
std::size_t PortColon(std::string_view hostAndPort)
{
    std::size_t colon = hostAndPort.rfind(':');
    if (colon == std::string_view::npos)
        return colon;
    std::size_t bracket = hostAndPort.rfind(']');
    if (bracket != std::string_view::npos && bracket > colon)
        return std::string_view::npos; // a colon inside an IPv6 literal
    return colon;
}

} // namespace

uString ExtractScheme(uString url)
{
    std::string_view text = View(url);
    std::size_t colon = text.find(':');
    if (colon == std::string_view::npos || colon == 0)
        return uString("http");
    return Make(text.substr(0, colon));
}

uString ExtractUserInfo(uString url)
{
    std::string_view authority = Authority(View(url));
    std::size_t at = authority.rfind('@');
    return at == std::string_view::npos ? uString() : Make(authority.substr(0, at));
}

uString ExtractHost(uString url)
{
    std::string_view hostAndPort = HostAndPort(Authority(View(url)));
    return Make(hostAndPort.substr(0, PortColon(hostAndPort)));
}

uString ExtractPath(uString url)
{
    std::string_view text = View(url);
    std::string_view rest = text.substr(Layout(text).authorityEnd);
    if (rest.empty() || rest[0] != '/')
        return uString("/") + Make(rest);
    return Make(rest);
}

uString ExtractQuery(uString url)
{
    std::string_view text = View(url);
    text = text.substr(0, text.find('#'));
    std::size_t mark = text.find('?');
    return mark == std::string_view::npos ? uString() : Make(text.substr(mark + 1));
}

uString ExtractFragment(uString url)
{
    std::string_view text = View(url);
    std::size_t hash = text.find('#');
    return hash == std::string_view::npos ? uString() : Make(text.substr(hash + 1));
}

uString ExtractFilePath(uString url)
{
    std::string_view text = View(url);
    UrlLayout layout = Layout(text);
    std::size_t end = text.find_first_of("?#", layout.authorityEnd);
    std::string_view path =
        text.substr(layout.authorityEnd, end == std::string_view::npos ? end : end - layout.authorityEnd);
    return path.empty() ? uString("/") : Make(path);
}

int ExtractPort(uString url)
{
    std::string_view text = View(url);
    std::size_t colon = text.find(':');
    if (colon == std::string_view::npos || text.substr(colon, 3) != "://")
        return GetDefaultPort(url);
    std::string_view hostAndPort = HostAndPort(Authority(text));
    std::size_t portColon = PortColon(hostAndPort);
    if (portColon == std::string_view::npos || portColon + 1 >= hostAndPort.size() ||
        !std::isdigit(static_cast<unsigned char>(hostAndPort[portColon + 1])))
        return GetDefaultPort(url);
    std::string digits(hostAndPort.substr(portColon + 1));
    return static_cast<int>(std::strtol(digits.c_str(), nullptr, 10));
}

int GetDefaultPort(uString url)
{
    static const struct
    {
        const char* prefix;
        int port;
    } schemes[] = {{"http://", 80}, {"https://", 443}, {"ftp://", 21},   {"gopher://", 70},
                   {"mailto:", 25}, {"news:", 119},    {"telnet://", 23}};
    std::string_view text = View(url);
    for (const auto& scheme : schemes)
        if (StartsWithNoCase(text, scheme.prefix))
            return scheme.port;
    return -1;
}

uString GetBaseURL(uString url)
{
    std::string_view text = View(url);
    std::size_t marker = text.find("://");
    if (marker == std::string_view::npos)
        return url;
    std::size_t slash = text.find('/', marker + 3);
    if (slash == std::string_view::npos)
        return url + "/";
    return Make(text.substr(0, slash + 1));
}

uString escape(uString text)
{
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    for (char c : View(text))
    {
        unsigned char byte = static_cast<unsigned char>(c);
        bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        if (plain || c == '-' || c == '_' || c == '.')
        {
            out += c;
        }
        else
        {
            out += '%';
            out += hex[byte >> 4];
            out += hex[byte & 15];
        }
    }
    return Make(out);
}

uString unescape(uString text)
{
    std::string_view in = View(text);
    std::string out;
    for (std::size_t i = 0; i < in.size(); ++i)
    {
        if (in[i] == '%' && i + 2 < in.size() && hexValue(in[i + 1]) >= 0 && hexValue(in[i + 2]) >= 0)
        {
            out += static_cast<char>(hexValue(in[i + 1]) * 16 + hexValue(in[i + 2]));
            i += 2;
        }
        else
        {
            out += in[i];
        }
    }
    return Make(out);
}

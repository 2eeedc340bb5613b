#include "mainwindow/HtmlCtrlPolicy.h"

#include "common/Messages.h"
#include "foundation/uUrl.h"
#include "mainwindow/ItemPage.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <string_view>

namespace htmlctrl
{
bool IsAppCommand(const uString& address, uString& command)
{
    if (address.getLength() < 4 || uString(address.c_str(), 0, 4).compareNoCase("app:") != 0)
        return false;
    command = uString(address.c_str(), 4, address.getLength() - 4);
    return true;
}

NavigationVerdict MayNavigate(PageShown shown, const Navigation& navigation, bool usersOwn)
{
    if (usersOwn || shown == PageShown::kBrowsed || navigation.redirect)
        return NavigationVerdict::kLeave;
    // A frame's history step would take the whole page's.
    if (shown == PageShown::kWrittenLoading && navigation.kind != NavigationKind::kBackForward)
        return NavigationVerdict::kFrame;
    return NavigationVerdict::kRefuse;
}

namespace
{
bool IsUnreserved(unsigned char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_' || c == '~';
}

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
}

std::string Lower(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return text;
}

// Escapes in their one spelling; a "%" that starts no escape stays.
std::string NormalEscapes(const std::string& text)
{
    static const char kHex[] = "0123456789ABCDEF";
    std::string normal;
    for (std::size_t i = 0; i < text.size(); ++i)
    {
        auto c = static_cast<unsigned char>(text[i]);
        if (c == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 && HexValue(text[i + 2]) >= 0)
        {
            c = static_cast<unsigned char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
            i += 2;
            if (IsUnreserved(c))
                normal += static_cast<char>(c);
            else
                normal.append({'%', kHex[c >> 4], kHex[c & 15]});
        }
        else if (c <= 0x20 || c >= 0x7f || std::strchr("\"<>\\^`{|}", c) != nullptr)
            normal.append({'%', kHex[c >> 4], kHex[c & 15]});
        else
            normal += static_cast<char>(c);
    }
    return normal;
}

bool IsDefaultPort(const std::string& scheme, const std::string& port)
{
    return (port == "80" && (scheme == "http" || scheme == "ws")) ||
           (port == "443" && (scheme == "https" || scheme == "wss")) || (port == "21" && scheme == "ftp");
}
} // namespace

std::string NormalAddress(const std::string& address)
{
    const std::size_t colon = address.find(':');
    if (colon == 0 || colon == std::string::npos ||
        address.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789+-.") <
            colon)
        return NormalEscapes(address);
    const std::string scheme = Lower(address.substr(0, colon));
    if (address.compare(colon + 1, 2, "//") != 0)
        return scheme + ":" + NormalEscapes(address.substr(colon + 1));
    const std::size_t start = colon + 3;
    const std::size_t end = std::min(address.find_first_of("/?#", start), address.size());
    std::string authority = address.substr(start, end - start);
    authority.erase(0, authority.rfind('@') + 1);
    // The port follows the last ":" outside an IPv6 literal's brackets.
    const std::size_t portAt = authority.rfind(':');
    std::string host = authority;
    std::string port;
    if (portAt != std::string::npos && authority.find(']', portAt) == std::string::npos)
    {
        host = authority.substr(0, portAt);
        port = authority.substr(portAt + 1);
        if (!port.empty() && port.find_first_not_of("0123456789") == std::string::npos)
            port.erase(0, std::min(port.find_first_not_of('0'), port.size() - 1));
    }
    std::string normal = scheme + "://" + Lower(NormalEscapes(host));
    if (!port.empty() && !IsDefaultPort(scheme, port))
        normal += ":" + port;
    std::string rest = NormalEscapes(address.substr(end));
    if (rest.empty() || rest[0] != '/')
        rest.insert(0, "/");
    return normal + rest;
}

bool DiffersInFragmentOnly(const uString& first, const uString& second)
{
    const std::string one(first.c_str(), static_cast<std::size_t>(first.getLength()));
    const std::string two(second.c_str(), static_cast<std::size_t>(second.getLength()));
    return one != two && one.substr(0, one.find('#')) == two.substr(0, two.find('#'));
}

void CCommandedNavigation::ExpectAddress(const uString& address)
{
    m_pending = true;
    m_byAddress = true;
    m_address = address;
}

void CCommandedNavigation::ExpectEntry(NavigationKind kind, const uString& address, const void* entry)
{
    m_pending = true;
    m_byAddress = false;
    m_kind = kind;
    m_address = address;
    m_entry = entry;
    m_atEntry = false;
}

bool CCommandedNavigation::IsCommanded(const Navigation& navigation) const
{
    if (!m_pending || navigation.redirect)
        return false;
    const bool kindMatches =
        m_byAddress ? navigation.kind != NavigationKind::kBackForward : navigation.kind == m_kind;
    if (!m_byAddress && m_entry != nullptr && navigation.entry != m_entry)
        return false;
    return kindMatches && MayHaveCommitted(navigation.url);
}

bool CCommandedNavigation::MayHaveCommitted(const uString& address) const
{
    return m_pending && NormalAddress(address.c_str()) == NormalAddress(m_address.c_str());
}

void CCommandedNavigation::OnDecided(const Navigation& navigation)
{
    if (m_pending && !m_byAddress && navigation.kind == NavigationKind::kBackForward &&
        !IsCommanded(navigation))
        m_pending = false;
}

void CCommandedNavigation::OnAddressChanged(const uString& address)
{
    // A load's address may come late, from a page begun before the command.
    if (DiffersInFragmentOnly(m_shown, address) && !MayHaveCommitted(address))
        m_pending = false;
    m_shown = address;
}

void CCommandedNavigation::OnEntryChanged(const void* entry)
{
    if (!m_pending || m_byAddress || m_entry == nullptr)
        return;
    if (entry == m_entry)
        m_atEntry = true;
    else if (m_atEntry)
        m_pending = false;
}

namespace
{
std::string WrittenPrefix()
{
    return std::string(PageBaseUrl().c_str()) + "?page=";
}

// The number of the write whose address `address` is; 0 for any other.
std::uint64_t WriteNumber(const uString& address)
{
    const std::string prefix = WrittenPrefix();
    const std::string text(address.c_str(), static_cast<std::size_t>(address.getLength()));
    if (text.size() <= prefix.size() || text.size() > prefix.size() + 19 ||
        text.compare(0, prefix.size(), prefix) != 0 || text[prefix.size()] == '0')
        return 0;
    std::uint64_t number = 0;
    for (std::size_t i = prefix.size(); i < text.size(); ++i)
    {
        if (text[i] < '0' || text[i] > '9')
            return 0;
        number = number * 10 + static_cast<std::uint64_t>(text[i] - '0');
    }
    return number;
}
} // namespace

uString CWrittenPages::OnPut()
{
    // Below 10^18 for a process's writes, each step below 2^32.
    static std::mt19937_64 steps{std::random_device{}()};
    static std::uint64_t last = steps() >> 8;
    last += 1 + (steps() >> 32);
    m_newest = last;
    m_unasked.insert(m_newest);
    return uString((WrittenPrefix() + std::to_string(m_newest)).c_str());
}

bool CWrittenPages::OnAsked(const uString& address)
{
    const auto unasked = m_unasked.find(WriteNumber(address));
    if (unasked == m_unasked.end())
        return false;
    m_asked = *unasked;
    m_unasked.erase(m_unasked.begin(), std::next(unasked));
    return true;
}

bool CWrittenPages::IsWritten(const uString& address)
{
    return WriteNumber(address) != 0;
}

bool MayOpenOutside(const uString& address)
{
    for (const char* scheme : {"http://", "https://", "ftp://"})
    {
        int length = static_cast<int>(std::strlen(scheme));
        if (address.getLength() > length && uString(address.c_str(), 0, length).compareNoCase(scheme) == 0)
            return true;
    }
    return false;
}

bool MayShowFromFeed(const uString& address, const uString& dataDir)
{
    if (MayOpenOutside(address))
        return true;
    constexpr std::string_view kFileScheme = "file://";
    const std::string_view text(address.c_str(), static_cast<std::size_t>(address.getLength()));
    if (dataDir.isEmpty() || text.size() <= kFileScheme.size() ||
        uString(std::string(text.substr(0, kFileScheme.size())).c_str()).compareNoCase("file://") != 0)
        return false;
    // "%00" would end the decoded name early, where the browser reads on.
    if (text.find("%00") != std::string_view::npos)
        return false;
    // A query or fragment is no part of the file.
    std::string raw(text.substr(kFileScheme.size()));
    raw = raw.substr(0, raw.find_first_of("?#"));
    if (raw.compare(0, 9, "localhost") == 0)
        raw.erase(0, 9);
    const std::string path = unescape(uString(raw.c_str())).c_str();
    if (path.empty() || path[0] != '/')
        return false;
    // ".." steps are resolved before the comparison, so they cannot leave.
    const std::string file = std::filesystem::path(path).lexically_normal().string();
    std::string root = std::filesystem::path(dataDir.c_str()).lexically_normal().string();
    if (root.empty() || root.back() != '/')
        root += '/';
    return file.size() > root.size() && file.compare(0, root.size(), root) == 0;
}

uString PageBaseUrl()
{
    return uString(kPageScheme) + "://template/";
}

uString PageFileUrl(const uString& path)
{
    // The file URI's path part is already percent-encoded.
    const uString uri = itempage::FileUri(path);
    return uString(kPageScheme) + "://file" + uString(uri.c_str() + std::strlen("file://"));
}

bool ResolvePageAddress(const uString& address, const uString& templateDir,
                        const std::set<std::string>& pageFiles, std::string& path)
{
    path.clear();
    const std::string text(address.c_str(), static_cast<std::size_t>(address.getLength()));
    const std::string scheme = std::string(kPageScheme) + "://";
    if (text.compare(0, scheme.size(), scheme) != 0 || text.find("%00") != std::string::npos)
        return false;
    std::string rest = text.substr(scheme.size());
    rest = rest.substr(0, rest.find_first_of("?#"));
    const std::size_t slash = rest.find('/');
    if (slash == std::string::npos)
        return false;
    const std::string host = rest.substr(0, slash);
    const std::string decoded = unescape(uString(rest.substr(slash).c_str())).c_str();
    // ".." steps are resolved first, so they cannot leave the folder.
    const std::string file = std::filesystem::path(decoded).lexically_normal().string();
    if (host == "file")
    {
        if (pageFiles.count(file) == 0)
            return false;
        path = file;
        return true;
    }
    if (host != "template" || templateDir.isEmpty())
        return false;
    std::string root = std::filesystem::path(templateDir.c_str()).lexically_normal().string();
    while (root.size() > 1 && root.back() == '/')
        root.pop_back();
    const std::string inside = std::filesystem::path(root + "/" + decoded).lexically_normal().string();
    if (inside.size() <= root.size() + 1 || inside.compare(0, root.size() + 1, root + "/") != 0)
        return false;
    path = inside;
    return true;
}
} // namespace htmlctrl

#include "mainwindow/PaneDownloadRules.h"

#include "common/Messages.h"
#include "foundation/uDirectory.h"
#include "mainwindow/StartupRules.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <unistd.h>
#include <vector>

namespace panedownload
{
namespace
{
constexpr const char* kDownloadPrefix = "page-";

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; });
    return text;
}

// The bare value: no parameters, no blanks, lower case.
std::string BareType(const std::string& mimeType)
{
    std::string type = Lower(mimeType.substr(0, mimeType.find(';')));
    const std::size_t first = type.find_first_not_of(" \t");
    if (first == std::string::npos)
        return std::string();
    return type.substr(first, type.find_last_not_of(" \t") - first + 1);
}

// The path of an address, without its host, query or fragment: a host
// name's ending says nothing about the file.
std::string AddressPath(const std::string& address)
{
    std::string rest = address.substr(0, address.find_first_of("?#"));
    const std::size_t scheme = rest.find("://");
    if (scheme == std::string::npos)
        return rest;
    const std::size_t slash = rest.find('/', scheme + 3);
    return slash == std::string::npos ? std::string() : rest.substr(slash);
}
} // namespace

std::uint32_t MessageForType(const std::string& mimeType)
{
    const std::string type = BareType(mimeType);
    if (type == "application/x-bittorrent")
        return WM_APP_OPENTORRENTFILE;
    if (type == "application/rss+xml" || type == "application/atom+xml" || type == "application/rdf+xml")
        return WM_APP_OPENRSSFILE;
    if (type == "text/x-opml" || type == "application/x-opml" || type == "text/x-opml+xml")
        return WM_APP_OPENOPMLFILE;
    return 0;
}

std::uint32_t MessageFor(const std::string& mimeType, const std::string& suggestedName,
                         const std::string& address)
{
    if (std::uint32_t message = MessageForType(mimeType); message != 0)
        return message;
    if (std::uint32_t message = startup::DocumentMessageFor(suggestedName); message != 0)
        return message;
    return startup::DocumentMessageFor(AddressPath(address));
}

std::string FileEndingFor(std::uint32_t message)
{
    switch (message)
    {
    case WM_APP_OPENTORRENTFILE:
        return ".torrent";
    case WM_APP_OPENRSSFILE:
        return ".rss";
    case WM_APP_OPENOPMLFILE:
        return ".opml";
    default:
        return std::string();
    }
}

std::uint64_t ExpectedSize(std::uint64_t contentLength, const std::string& contentEncoding)
{
    const std::string coding = BareType(contentEncoding);
    if (!coding.empty() && coding != "identity")
        return 0;
    // Beyond any file: the engine's "unknown" seen as unsigned.
    if (contentLength >= (std::uint64_t{1} << 62))
        return 0;
    return contentLength;
}

bool MakeDownloadFile(const std::string& folder, std::uint32_t message, std::string& path)
{
    path.clear();
    const std::string ending = FileEndingFor(message);
    if (folder.empty() || ending.empty())
        return false;
    std::string name = folder;
    if (name.back() != '/')
        name += '/';
    name += kDownloadPrefix + std::string("XXXXXX") + ending;
    std::vector<char> buffer(name.begin(), name.end());
    buffer.push_back('\0');
    // Made with O_EXCL: a file or link already there is never reused.
    const int fd = ::mkstemps(buffer.data(), static_cast<int>(ending.size()));
    if (fd < 0)
        return false;
    ::close(fd);
    path = buffer.data();
    return true;
}
bool IsAttachment(const std::string& contentDisposition)
{
    return BareType(contentDisposition) == "attachment";
}

std::string SaveName(const std::string& suggestedName)
{
    std::string name = suggestedName.substr(suggestedName.find_last_of("/\\") + 1);
    name.erase(
        std::remove_if(name.begin(), name.end(), [](unsigned char c) { return c < 0x20 || c == 0x7f; }),
        name.end());
    const std::size_t first = name.find_first_not_of(" .");
    if (first == std::string::npos)
        return "download";
    return name.substr(first);
}

namespace
{
constexpr std::size_t kMaxRedirects = 30;

std::string WithoutFragment(const std::string& address)
{
    return address.substr(0, address.find('#'));
}

bool IsWebAddress(const std::string& address)
{
    const std::string scheme = Lower(address.substr(0, address.find(':')));
    return address.find("://") == scheme.size() && (scheme == "http" || scheme == "https");
}
} // namespace

void CUserStarts::OnNavigation(const std::string& target, bool userStarted, bool redirect)
{
    const std::string address = WithoutFragment(target);
    m_accepted.clear();
    m_newest = redirect ? std::string() : address;
    m_newestIsUsers = userStarted && !redirect;
    if (!redirect && !userStarted)
        m_pageLoad.erase(std::remove(m_pageLoad.begin(), m_pageLoad.end(), address), m_pageLoad.end());
}

void CUserStarts::OnPageLoadStarted()
{
    m_accepted.clear();
    m_pageLoad.clear();
    if (m_newestIsUsers && !m_newest.empty())
        m_pageLoad.push_back(m_newest);
    // Each navigation starts one load at most.
    m_newest.clear();
    m_newestIsUsers = false;
}

void CUserStarts::OnPageRedirected(const std::string& target)
{
    if (!m_pageLoad.empty() && m_pageLoad.size() < kMaxRedirects)
        m_pageLoad.push_back(WithoutFragment(target));
}

void CUserStarts::OnPageLoadEnded(bool becameDownload)
{
    // The engine ends a load that became a download before that download
    // starts.
    if (!becameDownload)
        m_accepted.clear();
    m_pageLoad.clear();
}

void CUserStarts::Accept(const std::string& address)
{
    m_accepted = UseUp(address);
}

bool CUserStarts::TakeAccepted(const std::string& target)
{
    const bool taken =
        std::find(m_accepted.begin(), m_accepted.end(), WithoutFragment(target)) != m_accepted.end();
    m_accepted.clear();
    return taken;
}

bool CUserStarts::IsUserStarted(const std::string& target) const
{
    return std::find(m_pageLoad.begin(), m_pageLoad.end(), WithoutFragment(target)) != m_pageLoad.end();
}

std::string CUserStarts::UsersPageLoad() const
{
    return m_pageLoad.empty() ? std::string() : m_pageLoad.back();
}

bool CUserStarts::IsUnansweredUsers(const std::string& target, const std::string& referrer,
                                    const std::string& shownPage) const
{
    // The referrer is the document the link is in: a frame's differs from
    // the page's, as the engine never frames a page inside itself.
    const std::string page = WithoutFragment(shownPage);
    return m_newestIsUsers && m_newest == WithoutFragment(target) && IsWebAddress(page) &&
           WithoutFragment(referrer) == page;
}

std::vector<std::string> CUserStarts::UseUp(const std::string& target)
{
    const std::string address = WithoutFragment(target);
    std::vector<std::string> used;
    if (IsUserStarted(address))
        used.swap(m_pageLoad);
    else if (m_newestIsUsers && m_newest == address)
        used.push_back(address);
    // Used once: no later download of these addresses is the user's.
    if (std::find(used.begin(), used.end(), m_newest) != used.end())
        m_newestIsUsers = false;
    return used;
}

bool IsDownloadFileName(const std::string& name)
{
    constexpr std::size_t kUnique = 6; // what mkstemps puts for the X's
    const std::size_t prefix = std::strlen(kDownloadPrefix);
    if (name.compare(0, prefix, kDownloadPrefix) != 0 || name.size() <= prefix + kUnique)
        return false;
    for (std::size_t i = prefix; i < prefix + kUnique; ++i)
        if (!std::isalnum(static_cast<unsigned char>(name[i])))
            return false;
    const std::string ending = name.substr(prefix + kUnique);
    return ending == FileEndingFor(WM_APP_OPENTORRENTFILE) || ending == FileEndingFor(WM_APP_OPENRSSFILE) ||
           ending == FileEndingFor(WM_APP_OPENOPMLFILE);
}

int RemoveLeftoverFiles(const std::string& folder)
{
    return RemoveFilesNamed(folder.c_str(), IsDownloadFileName);
}
} // namespace panedownload

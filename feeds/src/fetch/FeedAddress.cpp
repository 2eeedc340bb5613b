#include "feeds/FeedAddress.h"

#include "foundation/uAscii.h"

#include <string>
#include <string_view>

namespace feeds
{
namespace
{
// The host between "//" and the path, without user information and port.
bool HasHost(std::string_view afterSlashes)
{
    std::string_view authority = afterSlashes.substr(0, afterSlashes.find_first_of("/?#"));
    std::size_t at = authority.rfind('@');
    if (at != std::string_view::npos)
        authority.remove_prefix(at + 1);
    if (!authority.empty() && authority.front() == '[')
    {
        std::size_t close = authority.find(']');
        return close != std::string_view::npos && close > 1;
    }
    return !authority.substr(0, authority.find(':')).empty();
}
} // namespace

uString FeedAddress(const uString& address)
{
    uString trimmed = address;
    trimmed.trim();
    std::string text(trimmed.c_str(), static_cast<std::size_t>(trimmed.getLength()));
    for (char c : text)
    {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            return uString();
    }
    // "feed:" only marks an address as a feed's; what follows says where it is.
    if (StartsWithNoCase(text, "feed://"))
        text = "http:" + text.substr(5);
    else if (StartsWithNoCase(text, "feed:"))
        text = text.substr(5);
    for (std::string_view scheme : {"http://", "https://", "ftp://"})
    {
        if (StartsWithNoCase(text, scheme) && HasHost(std::string_view(text).substr(scheme.size())))
            return uString(text.c_str());
    }
    return uString();
}

uString LocalFeedPath(const uString& address)
{
    constexpr std::string_view kScheme = "file://";
    std::string_view text(address.c_str(), static_cast<std::size_t>(address.getLength()));
    if (text.substr(0, kScheme.size()) != kScheme || text.size() <= kScheme.size() ||
        text[kScheme.size()] != '/')
        return uString();
    for (char c : text)
    {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            return uString();
    }
    return uString(std::string(text.substr(kScheme.size())).c_str());
}

uString ListAddresses(const std::vector<uString>& addresses, std::size_t shown)
{
    uString list;
    for (std::size_t i = 0; i < addresses.size(); ++i)
    {
        if (i == shown)
            return list + "...";
        list += addresses[i].isEmpty() ? uString("(empty)") : addresses[i];
        list += "\n";
    }
    return list;
}
} // namespace feeds

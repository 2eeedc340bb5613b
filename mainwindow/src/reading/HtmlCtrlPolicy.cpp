#include "mainwindow/HtmlCtrlPolicy.h"

#include "foundation/uUrl.h"
#include "mainwindow/ItemPage.h"

#include <cstring>
#include <filesystem>
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

uString PageBaseUrl(const uString& templateDir)
{
    uString base = itempage::FileUri(templateDir);
    if (!base.endsWith("/"))
        base += "/";
    return base;
}
} // namespace htmlctrl

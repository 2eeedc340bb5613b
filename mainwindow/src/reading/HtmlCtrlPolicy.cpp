#include "mainwindow/HtmlCtrlPolicy.h"

#include "mainwindow/ItemPage.h"

#include <cstring>

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

uString PageBaseUrl(const uString& templateDir)
{
    uString base = itempage::FileUri(templateDir);
    if (!base.endsWith("/"))
        base += "/";
    return base;
}
} // namespace htmlctrl

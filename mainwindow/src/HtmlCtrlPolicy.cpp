#include "mainwindow/HtmlCtrlPolicy.h"

#include "mainwindow/ItemPage.h"

namespace htmlctrl
{
bool IsAppCommand(const uString& address, uString& command)
{
    if (address.getLength() < 4 || uString(address.c_str(), 0, 4).compareNoCase("app:") != 0)
        return false;
    command = uString(address.c_str(), 4, address.getLength() - 4);
    return true;
}

uString PageBaseUrl(const uString& templateDir)
{
    uString base = itempage::FileUri(templateDir);
    if (!base.endsWith("/"))
        base += "/";
    return base;
}
} // namespace htmlctrl

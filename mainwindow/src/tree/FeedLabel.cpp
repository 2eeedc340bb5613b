#include "mainwindow/FeedLabel.h"

namespace subscription
{
uString FeedLabel(const uString& title, int unread)
{
    uString label = title;
    if (unread > 0)
    {
        uString count;
        count.format(" (%d)", unread);
        label += count;
    }
    return label;
}

uString StripUnreadCount(const uString& label)
{
    int open = label.reverseFindChar('(');
    int close = label.reverseFindChar(')');
    if (open < 0 || close < open + 2)
        return label;
    for (int i = close + 1; i < label.getLength(); ++i)
    {
        char c = label.getAt(i);
        if (c != ' ' && c != '\t')
            return label;
    }
    bool nonZero = false;
    for (int i = open + 1; i < close; ++i)
    {
        char c = label.getAt(i);
        if (c < '0' || c > '9')
            return label;
        nonZero = nonZero || c != '0';
    }
    if (!nonZero)
        return label;
    uString stripped(label.c_str(), 0, open);
    stripped.trim();
    return stripped;
}

uString NumberedName(const char* base, int n)
{
    uString name(base);
    if (n > 0)
    {
        uString number;
        number.format(" %d", n);
        name += number;
    }
    return name;
}
} // namespace subscription

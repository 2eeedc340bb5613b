#include "PageUrl.h"

#include "foundation/uUrl.h"

namespace pageurl
{

namespace
{

// Index of the first of "?" or "#" at or after `from`, or the length.
int EndOfPath(const uString& url, int from)
{
    for (int i = from; i < url.getLength(); ++i)
    {
        char c = url.getAt(i);
        if (c == '?' || c == '#')
            return i;
    }
    return url.getLength();
}

uString SchemeOf(const uString& siteRoot)
{
    int colon = siteRoot.findChar(':');
    return colon > 0 ? uString(siteRoot, 0, colon) : uString("http");
}

bool HasSiteRoot(const PageBase& base)
{
    return !base.siteRoot.isEmpty();
}

} // namespace

bool SplitPageUrl(const uString& url, PageBase& base)
{
    base = PageBase();
    int scheme = url.find("://");
    if (scheme < 1)
        return false;
    int hostEnd = url.getLength();
    for (int i = scheme + 3; i < url.getLength(); ++i)
    {
        char c = url.getAt(i);
        if (c == '/' || c == '?' || c == '#')
        {
            hostEnd = i;
            break;
        }
    }
    base.siteRoot = uString(url, 0, hostEnd);

    // The directory is cut from the path alone: a "/" inside the query names no folder.
    int pathEnd = EndOfPath(url, hostEnd);
    int lastSlash = -1;
    for (int i = hostEnd; i < pathEnd; ++i)
    {
        if (url.getAt(i) == '/')
            lastSlash = i;
    }
    base.directory = lastSlash < 0 ? base.siteRoot + "/" : uString(url, 0, lastSlash + 1);

    int fragment = url.findChar('#');
    base.document = fragment < 0 ? url : uString(url, 0, fragment);
    return true;
}

void TakePageBase(const uString& pageUrl, uString& siteRoot, uString& directory)
{
    PageBase base;
    if (SplitPageUrl(pageUrl, base))
    {
        siteRoot = base.siteRoot;
        directory = base.directory;
    }
    else
    {
        directory.setEmpty();
    }
}

uString ResolveLink(const PageBase& base, const uString& link)
{
    if (link.startsWith("//"))
        return HasSiteRoot(base) ? SchemeOf(base.siteRoot) + ":" + link : link;
    if (link.startsWith("/"))
        return base.siteRoot + link;
    int length = link.getLength();
    if ((length > 4 && link.getAt(4) == ':') || (length > 5 && link.getAt(5) == '/') ||
        (length > 6 && link.getAt(6) == '/'))
        return link;
    return base.directory + link;
}

uString ResolveAction(const PageBase& base, const uString& action)
{
    if (action.startsWith("//"))
        return HasSiteRoot(base) ? SchemeOf(base.siteRoot) + ":" + action : action;
    if (action.startsWith("/"))
        return base.siteRoot + action;
    if (action.contains("://"))
        return action;
    if (action.isEmpty())
        return base.document;
    if (action.startsWith("?"))
        return uString(base.document, 0, EndOfPath(base.document, 0)) + action;
    return base.directory + action;
}

bool SameOrigin(const uString& a, const uString& b)
{
    if (a.find("://") < 1 || b.find("://") < 1)
        return false;
    return ExtractScheme(a).equalsNoCase(ExtractScheme(b)) && ExtractHost(a).equalsNoCase(ExtractHost(b)) &&
           ExtractPort(a) == ExtractPort(b);
}

} // namespace pageurl

#include "feeds/MediaTypes.h"
#include "feeds/WebFetch.h"

bool IsTorrentLink(uString link)
{
    uString lower(link);
    lower.makeLower();
    if (lower.find(".torrent") < 1)
        return false;

    uString headers;
    if (!FetchUrlHeader(link, headers, 0, /*login=*/false, /*prompt=*/false))
        return false;
    headers.makeLower();
    // The first content-type of all the responses the request received; after
    // a redirect that is the redirect's own.
    const int at = headers.find("content-type");
    if (at <= 0)
        return false;
    uString rest(headers.c_str() + at + 12);
    rest.trim();
    if (!rest.startsWith(":"))
        return false;
    uString type(rest.c_str() + 1);
    type.trim();
    return type.startsWith("application/x-bittorrent");
}

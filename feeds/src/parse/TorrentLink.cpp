#include "feeds/MediaTypes.h"
#include "feeds/Preference.h"
#include "feeds/WebFetch.h"

namespace
{

// The store asks this for every item link with ".torrent" in it on every
// refresh: a silent server must not hold the update task for ever.
constexpr int kFallbackTimeoutSeconds = 60;

} // namespace

bool IsTorrentLink(uString link, const std::atomic<bool>* abortFlag)
{
    uString lower(link);
    lower.makeLower();
    if (lower.find(".torrent") < 1)
        return false;

    int timeout = CPreference::GetInstance()->GetGeneralSection().nDefaultTimeout;
    if (timeout <= 0)
        timeout = kFallbackTimeoutSeconds;
    uString headers;
    if (!FetchUrlHeader(link, headers, timeout, /*login=*/false, /*prompt=*/false, abortFlag) ||
        (abortFlag && abortFlag->load()))
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

#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Which cookies a site's jar lets go. Each cookie domain keeps at most
// uCurlTransfer::kMostCookiesPerDomain, so that a host a redirect reaches can
// never push out the site's own; a jar still holding more than
// uCurlTransfer::kMostCookiesPerSite lets the domain holding the most give way
// first, the domains whose cookies the site's own host is sent last of all.
// Within a domain the least recently set go first. The records of deleted
// cookies take room too, but give way before any cookie.
class uCookieBound
{
public:
    struct Cookie
    {
        std::int64_t setAt;     // ns since 1970
        const std::string* key; // domain, path and name, tab-separated
        bool gone = false;      // the record of a deletion, not a cookie
    };

    // The keys of those beyond the bounds in the jar of the site whose host
    // is `siteHost`; n log n in the cookies.
    static std::vector<const std::string*> beyond(std::vector<Cookie> cookies, std::string_view siteHost);
};

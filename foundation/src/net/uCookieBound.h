#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Which cookies a site's jar lets go. Each cookie domain keeps at most
// uCurlTransfer::kMostCookiesPerDomain, so that a host a redirect reaches can
// never push out the site's own; a jar still holding more than
// uCurlTransfer::kMostCookiesPerSite lets the domain holding the most give way
// first. Within a domain the least recently set go first.
class uCookieBound
{
public:
    struct Cookie
    {
        std::int64_t setAt;     // ns since 1970
        const std::string* key; // domain, path and name, tab-separated
    };

    // The keys of those beyond the bounds; n log n in the cookies.
    static std::vector<const std::string*> beyond(std::vector<Cookie> cookies);
};

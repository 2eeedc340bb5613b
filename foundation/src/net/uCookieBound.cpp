#include "uCookieBound.h"

#include "foundation/uCurlTransfer.h"

#include <algorithm>
#include <cctype>
#include <queue>
#include <string_view>
#include <unordered_map>

namespace
{

// ".example.com" (sent to subdomains too) and "example.com" (to that host
// only) are two domains: a host under example.com may set the first but never
// the second, so it must not make the host's own give way.
std::string DomainOf(const std::string& key)
{
    std::string_view domain(key);
    domain = domain.substr(0, domain.find('\t'));
    while (domain.size() > 1 && domain[0] == '.' && domain[1] == '.')
        domain.remove_prefix(1);
    std::string lower(domain);
    for (char& c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower;
}

bool Older(const uCookieBound::Cookie& a, const uCookieBound::Cookie& b)
{
    return a.setAt != b.setAt ? a.setAt < b.setAt : *a.key < *b.key;
}

// Within a domain the records of deletions go before any cookie.
bool GivesWayBefore(const uCookieBound::Cookie& a, const uCookieBound::Cookie& b)
{
    return a.gone != b.gone ? a.gone : Older(a, b);
}

std::string_view WithoutBrackets(std::string_view host)
{
    if (host.size() > 1 && host.front() == '[' && host.back() == ']')
        return host.substr(1, host.size() - 2);
    return host;
}

// Whether the host (lower case) is sent the cookies of this domain.
bool SentTo(std::string_view domain, std::string_view host)
{
    const bool subdomainsToo = !domain.empty() && domain.front() == '.';
    if (subdomainsToo)
        domain.remove_prefix(1);
    domain = WithoutBrackets(domain);
    if (domain.empty() || host.empty())
        return false;
    if (host == domain)
        return true;
    return subdomainsToo && host.size() > domain.size() && host.ends_with(domain) &&
           host[host.size() - domain.size() - 1] == '.';
}

} // namespace

std::vector<const std::string*> uCookieBound::beyond(std::vector<Cookie> cookies, std::string_view siteHost)
{
    constexpr std::size_t kPerDomain = uCurlTransfer::kMostCookiesPerDomain;
    constexpr std::size_t kPerSite = uCurlTransfer::kMostCookiesPerSite;
    std::vector<const std::string*> beyond;
    if (cookies.size() <= kPerDomain && cookies.size() <= kPerSite)
        return beyond;
    std::string host(WithoutBrackets(siteHost));
    for (char& c : host)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    std::sort(cookies.begin(), cookies.end(), GivesWayBefore);
    // Each domain's cookies in the order they give way; `first` is the first one kept.
    struct Domain
    {
        std::vector<const Cookie*> cookies;
        std::size_t first = 0;
        bool site = false; // the site's own host is sent its cookies
        std::size_t held() const { return cookies.size() - first; }
    };
    std::vector<Domain> domains;
    std::unordered_map<std::string, std::size_t> indexOf;
    for (const Cookie& cookie : cookies)
    {
        std::string name = DomainOf(*cookie.key);
        const auto [at, added] = indexOf.try_emplace(name, domains.size());
        if (added)
        {
            domains.emplace_back();
            domains.back().site = SentTo(name, host);
        }
        domains[at->second].cookies.push_back(&cookie);
    }
    std::size_t held = 0;
    for (Domain& domain : domains)
    {
        for (; domain.held() > kPerDomain; ++domain.first)
            beyond.push_back(domain.cookies[domain.first]->key);
        held += domain.held();
    }
    if (held <= kPerSite)
        return beyond;
    // The records of deletions go first, the oldest first; each domain's
    // are at its front, in that order.
    std::vector<std::pair<const Cookie*, std::size_t>> records;
    for (std::size_t i = 0; i < domains.size(); ++i)
        for (std::size_t at = domains[i].first;
             at < domains[i].cookies.size() && domains[i].cookies[at]->gone; ++at)
            records.emplace_back(domains[i].cookies[at], i);
    std::sort(records.begin(), records.end(),
              [](const auto& a, const auto& b) { return Older(*a.first, *b.first); });
    for (auto record = records.begin(); record != records.end() && held > kPerSite; ++record, --held)
    {
        ++domains[record->second].first;
        beyond.push_back(record->first->key);
    }
    if (held <= kPerSite)
        return beyond;
    // The domain holding the most gives way, the site's own last; of two
    // holding as many, the one whose oldest is older.
    auto givesWayLater = [&domains](std::size_t a, std::size_t b)
    {
        const Domain& one = domains[a];
        const Domain& other = domains[b];
        if (one.site != other.site)
            return one.site;
        if (one.held() != other.held())
            return one.held() < other.held();
        return Older(*other.cookies[other.first], *one.cookies[one.first]);
    };
    std::priority_queue<std::size_t, std::vector<std::size_t>, decltype(givesWayLater)> next(givesWayLater);
    for (std::size_t i = 0; i < domains.size(); ++i)
        if (domains[i].held() > 0)
            next.push(i);
    for (; held > kPerSite; --held)
    {
        const std::size_t index = next.top();
        next.pop();
        Domain& domain = domains[index];
        beyond.push_back(domain.cookies[domain.first++]->key);
        if (domain.held() > 0)
            next.push(index);
    }
    return beyond;
}

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

} // namespace

std::vector<const std::string*> uCookieBound::beyond(std::vector<Cookie> cookies)
{
    constexpr std::size_t kPerDomain = uCurlTransfer::kMostCookiesPerDomain;
    constexpr std::size_t kPerSite = uCurlTransfer::kMostCookiesPerSite;
    std::vector<const std::string*> beyond;
    if (cookies.size() <= kPerDomain && cookies.size() <= kPerSite)
        return beyond;
    std::sort(cookies.begin(), cookies.end(), Older);
    // Each domain's cookies, oldest first; `first` is the oldest one kept.
    struct Domain
    {
        std::vector<const Cookie*> cookies;
        std::size_t first = 0;
        std::size_t held() const { return cookies.size() - first; }
    };
    std::vector<Domain> domains;
    std::unordered_map<std::string, std::size_t> indexOf;
    for (const Cookie& cookie : cookies)
    {
        const auto [at, added] = indexOf.try_emplace(DomainOf(*cookie.key), domains.size());
        if (added)
            domains.emplace_back();
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
    // The domain holding the most gives way; of two holding as many, the one
    // whose oldest is older.
    auto givesWayLater = [&domains](std::size_t a, std::size_t b)
    {
        const Domain& one = domains[a];
        const Domain& other = domains[b];
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

#include "foundation/MxLookup.h"

#include <algorithm>
#include <arpa/nameser.h>
#include <cstring>
#include <netinet/in.h>
#include <resolv.h>

bool ParseMxAnswer(const unsigned char* answer, int length, std::vector<CMxRecord>& records)
{
    records.clear();
    ns_msg message;
    if (length <= 0 || ns_initparse(answer, length, &message) != 0)
        return false;
    int count = ns_msg_count(message, ns_s_an);
    for (int i = 0; i < count; ++i)
    {
        ns_rr record;
        if (ns_parserr(&message, ns_s_an, i, &record) != 0)
            return false;
        if (ns_rr_type(record) != ns_t_mx || ns_rr_class(record) != ns_c_in || ns_rr_rdlen(record) < 3)
            continue;
        const unsigned char* data = ns_rr_rdata(record);
        char name[NS_MAXDNAME];
        if (dn_expand(ns_msg_base(message), ns_msg_end(message), data + 2, name, sizeof name) < 0)
            return false;
        records.push_back({static_cast<int>(ns_get16(data)), name});
    }
    return true;
}

std::vector<std::string> OrderMxHosts(std::vector<CMxRecord> records)
{
    std::stable_sort(records.begin(), records.end(),
                     [](const CMxRecord& a, const CMxRecord& b) { return a.preference < b.preference; });
    std::vector<std::string> hosts;
    for (CMxRecord& record : records)
    {
        // "." (a null MX, RFC 7505) means the domain takes no mail.
        if (!record.host.empty() && record.host != ".")
            hosts.push_back(std::move(record.host));
    }
    return hosts;
}

std::vector<std::string> CDnsMxResolver::GetMXHosts(const std::string& domain)
{
    struct __res_state state;
    std::memset(&state, 0, sizeof state);
    if (res_ninit(&state) != 0)
        return {};
    unsigned char answer[NS_MAXMSG];
    int length = res_nquery(&state, domain.c_str(), ns_c_in, ns_t_mx, answer, sizeof answer);
    res_nclose(&state);
    std::vector<CMxRecord> records;
    if (length <= 0 || !ParseMxAnswer(answer, length, records))
        return {};
    return OrderMxHosts(std::move(records));
}

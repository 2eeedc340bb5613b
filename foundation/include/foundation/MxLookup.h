#pragma once

#include <string>
#include <vector>

// Finds the mail exchangers of a domain. Delivery takes one as an argument,
// so that tests never let a name that is not local reach the system's resolver.
class CMxResolver
{
public:
    virtual ~CMxResolver() = default;
    // The exchanger host names, most preferred first; empty when the query
    // failed or the domain has none. Blocks; any thread.
    virtual std::vector<std::string> GetMXHosts(const std::string& domain) = 0;
};

// The system's resolver (res_nquery, each thread with its own state).
class CDnsMxResolver : public CMxResolver
{
public:
    std::vector<std::string> GetMXHosts(const std::string& domain) override;
};

struct CMxRecord
{
    int preference = 0;
    std::string host;
};

// The MX records of the answer section of a DNS reply, in answer order;
// records of other types are skipped. False for a reply that does not parse.
bool ParseMxAnswer(const unsigned char* answer, int length, std::vector<CMxRecord>& records);
// The hosts by ascending preference, equal ones in answer order (RFC 5321
// 5.1: trying a backup exchanger first only delays the mail).
std::vector<std::string> OrderMxHosts(std::vector<CMxRecord> records);

#pragma once

#include <ctime>
#include <map>
#include <set>
#include <string>
#include <vector>

// The cookie file of one site, as one transfer sees it. Transfers of a site
// run at once, each with the copy of the cookies it read when it started;
// writing a whole copy back would put the older values of a slow transfer
// over newer ones another transfer received meanwhile. So a transfer writes
// only what it received itself, merged over what the file holds at that
// moment, as soon as it received it.
//
// The file keeps libcurl's Netscape format. Writers of one file take turns:
// a lock per file inside the process and flock on its folder between
// processes. A write replaces the file by rename, also while someone holds
// the old one open, so no save is dropped.
class uCookieJar
{
public:
    // Cookie lines as libcurl lists them (CURLINFO_COOKIELIST).
    using Lines = std::vector<std::string>;

    uCookieJar(const std::string& path, const Lines& held);

    const std::string& path() const { return m_path; }

    // What the transfer holds now. The cookies that are new or changed since
    // the last call go into the file; those the transfer dropped before they
    // expired (the server deleted them) leave it. The rest of the file stays
    // as it is. False when the file could not be written.
    bool record(const Lines& held, std::time_t now);

private:
    using Cookies = std::map<std::string, std::string>; // key (domain, path, name) -> line

    static Cookies parse(const Lines& lines);
    // The file with these cookies set and those keys removed.
    static bool merge(const std::string& path, const Cookies& set, const std::set<std::string>& removed);

    std::string m_path;
    Cookies m_held;
};

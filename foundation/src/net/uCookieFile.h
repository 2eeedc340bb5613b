#pragma once

#include <array>
#include <cstdint>
#include <ctime>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <utility>
#include <vector>

// A site's cookie file, and how the times it holds are counted.
//
// The file keeps libcurl's Netscape format, oldest cookie first, each
// cookie's line after a comment line (which libcurl skips) saying when it
// was set: "# set" and the time in seconds since 1970 with nine decimals. A
// cookie the site deleted leaves "# gone", the time and the cookie's domain,
// path and name in its place. A line without a time (libcurl's own file,
// another tool's) was set as long before the file was written as its place
// says: newest first in libcurl's, else oldest.
//
// Of two values of a cookie the one set later wins, each copy of the program
// dating what it sets by its own clock. Clocks disagree, and file times lag
// behind them (a coarse kernel clock, FAT's two seconds, a file server's
// clock, a copy that kept an old time), so no file's time ranks a dated
// record. A copy reads the file's times at every read of the file and also
// before it dates what an answer set, and counts each time at its first read:
// - not ahead of its clock, as it stands: the clock has passed it, so what
//   the copy dates from then on is later;
// - ahead of its clock, as that first read, for as long as the record stays
//   (also once the clock passes it). So a clock ahead never keeps the site
//   from setting the cookie, nor makes a record look young, and the record is
//   written back at its count: no time ahead of its reader's clock stays in
//   the file.
// Like a logical clock, then: whatever a copy read counts as older than what
// it dates afterwards. Only two values set while neither copy had seen the
// other's are ranked by the clocks alone.
struct uCookieRecord
{
    std::string line;       // empty: the site deleted the cookie at setAt
    std::int64_t setAt = 0; // ns since 1970
    bool gone() const { return line.empty(); }
};
// Key (domain, path and name, tab-separated) -> record.
using uCookieRecords = std::map<std::string, uCookieRecord>;

class uCookieFile
{
public:
    using Lines = std::vector<std::string>;

    // Now, in ns since 1970; in the process never twice the same nor back, so
    // that the order in which a store took its cookies holds when the clock
    // is set back.
    static std::int64_t now();
    // Tests: the clock runs this far from the system's.
    static void setClockOffset(std::int64_t ns);

    // A cookie is the same cookie when domain, path and name are; empty for a
    // line that is no cookie (a comment, a blank line, one no site could set,
    // or one holding a NUL byte, at which libcurl stops reading a file).
    static std::string keyOf(std::string_view line);
    // The tab-separated fields of a cookie line: domain, tail match, path,
    // secure, expiry, name, value.
    static std::vector<std::string_view> fields(std::string_view line);
    static bool hasRunOut(const std::string& line, long long now);
    // A site deletes a cookie by sending it expired; one that ran out only
    // later was not deleted.
    static bool sentExpired(const std::string& line, std::int64_t setAt);
    static long long expiryOf(const std::string& line);
    // The line of the same cookie, expired long ago: it takes the cookie out
    // of a store.
    static std::string expiredLine(const std::string& line);
    static bool isPlainFile(const std::string& path);
    // Keys in the order they were set, oldest first.
    static std::vector<const std::string*> oldestFirst(const uCookieRecords& records);
    // The file's text for these records, oldest first.
    static std::string textOf(const uCookieRecords& records);

    // The file's lines and its records, their times counted; those that ran
    // out and deletions long past are left out. `written`: the file's time
    // (0 when unknown), for lines without a time of their own. False when a
    // file is there that could not be read whole (no permission, a read
    // error): it is no empty jar, and must not be replaced. A link is never
    // read through.
    bool read(const std::string& path, std::int64_t written, Lines& lines, uCookieRecords& records);
    // Counts the times of the file before the clock dates a value, when the
    // file changed since it was last looked at here. Any thread.
    void look(const std::string& path);

private:
    uCookieRecords parse(const Lines& lines, std::int64_t written, std::uint64_t read);
    // When a record of the cookie stamped `stamped` counts as made.
    std::int64_t counted(const std::string& key, std::int64_t stamped, std::uint64_t read);

    std::mutex m_lock;
    struct Ahead
    {
        std::int64_t count = 0;
        std::uint64_t seen = 0; // the reads begun by then
    };
    // The records read with a time ahead of the clock. Under m_lock.
    std::map<std::pair<std::string, std::int64_t>, Ahead> m_ahead;
    std::uint64_t m_reads = 0; // begun; under m_lock
    // The file as last looked at: device, inode, size, modified, changed.
    std::array<long long, 5> m_looked{};
};

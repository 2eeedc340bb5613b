#pragma once

#include "uCookieFile.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <ctime>
#include <curl/curl.h>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <sys/types.h>
#include <thread>
#include <vector>

// The cookies of one site for the whole process, and the site's cookie file.
//
// Every transfer of the site works on one libcurl cookie store (a share
// object), which takes each Set-Cookie as libcurl parses it, in the order the
// answers arrive; a transfer therefore never holds an older copy of its own.
// The store is read from the file when the process first meets the site,
// and the file is written from the store.
//
// When to write: a site that one thread fetches from has its file written as
// each transfer ends, so once a transfer is gone the file holds its cookies.
// Transfers of a site on several threads (an update pass runs one thread per
// feed) leave it to a thread of the jars' own, which gathers the answers of a
// short moment into one write: a pass over many feeds of one site would
// otherwise rewrite and sync the file once per feed. The cookies an answer
// set are handed to that thread too, so they reach the file while a long
// body is still arriving.
//
// The file (its format and times: uCookieFile) is written 0600, only once
// the site has set a cookie. A cookie the site deleted leaves a line in its
// place saying when, so that a copy holding an older value gives it up rather
// than write it back; these lines go after 30 days, or sooner when the bounds
// need their room. Each cookie domain keeps at most
// uCurlTransfer::kMostCookiesPerDomain cookies and the site at most
// kMostCookiesPerSite (uCookieBound), the cookies sent to the site's own host
// giving way last, in the store and in the file; a longer file (an older
// version's, libcurl's, another tool's) is read whole and bounded the same
// way. Writers take turns: one at a time inside the process, and flock on
// the file's folder between processes. That lock is only tried:
// a save that cannot take it at once (another process holds it) stays due and
// is made at the next save of the site, so no stop ever waits on it. A save
// writes what changed in the store since the last one, merged over what the
// file holds then, so what another process wrote meanwhile stays; and what
// that process wrote comes into the store, then and before each transfer,
// unless the store changed the same cookie itself later: of two values the
// one set later wins: the site sent it last (the store takes no answer's
// cookie from its listing until the file's values are in, and dates none
// before it read the file's times).
// The file is replaced by rename, also while someone holds the old one open.
// A process's close writes even without the lock; the holder therefore swaps
// its new file with the old in one step, and when the old one is no longer
// the one it read (a write came between), puts that back and merges it,
// rather than undo it.
// A file that exists but could not be read whole is never replaced: its
// site's cookies stay in memory and are written once it can be read. One
// that others may read is made the user's own (0600) when read.
//
// Jars are never destroyed: transfers still running at exit keep using theirs.
class uCookieJar
{
public:
    // Cookie lines as libcurl lists them (CURLINFO_COOKIELIST).
    using Lines = std::vector<std::string>;

    // The jar of this file, made and read from the file on first use by a
    // transfer of the site whose host is `host`: the cookies sent to that
    // host give way last when the jar is full. Null when libcurl cannot make
    // a store.
    static uCookieJar* forFile(const std::string& path, const std::string& host);

    const std::string& path() const { return m_path; }
    // The store that transfers of the site attach to (CURLOPT_SHARE).
    CURLSH* share() const { return m_share; }

    // A transfer starts or stops using the store; attach's ticket goes to
    // detach. A transfer that had the site to itself, on the thread that
    // used the site last, saves what is due as it stops; otherwise the last
    // one to stop leaves it to the jars' thread.
    std::uint64_t attach();
    void detach(std::uint64_t ticket, std::time_t now);
    // An answer set this cookie (the name, a tab and the value), now.
    void arrived(const std::string& cookie);
    // An answer's headers, which set cookies, ended: they go to the file
    // soon, from the jars' thread.
    void answered();
    // Takes in what another process wrote into the file since this jar last
    // read or wrote it (a transfer of the site is about to start).
    void refresh();
    // Writes the store into the file when a save is due and it changed,
    // after a save running now (waited for). False when that is still due (the lock was
    // taken elsewhere, or the write failed); the next save tries again.
    // `withoutTurn`: written even while another process holds the folder's
    // lock (the close's last try).
    bool save(std::time_t now, bool withoutTurn = false);
    // The close's save of every jar still due, or being saved now (waited
    // for: the exit would cut it). Nothing comes after it: a
    // jar the folder's lock still refuses after a moment is written without
    // its turn, merged with what the file holds then, so that this run's
    // cookies are not lost to a lock held for minutes.
    static void saveAll(std::time_t now);

    uCookieJar(const uCookieJar&) = delete;
    uCookieJar& operator=(const uCookieJar&) = delete;

    // Tests: runs inside every save that writes, with the new file flushed
    // beside the old one, just before the look at the file and the rename.
    using SaveHook = void (*)(const std::string& path);
    static void setSaveHook(SaveHook hook);
    // Tests: runs whenever the jar takes in the file, after listing the store
    // and before the file's values go into it.
    static void setMergeHook(SaveHook hook);
    // Tests: the clock that dates cookies runs this far from the system's.
    static void setClockOffset(std::int64_t ns);

private:
    using Cookies = std::map<std::string, std::string>; // key (domain, path, name) -> line
    using Setting = uCookieRecord;
    using Settings = uCookieRecords; // key -> line and when it was set
    struct Stamp
    {
        dev_t device = 0;
        ino_t inode = 0;
        off_t size = 0;
        long long modified = 0; // ns
        bool operator==(const Stamp&) const = default;
    };
    static Stamp stampOf(const std::string& path);

    uCookieJar(const std::string& path, const std::string& host);
    bool open();
    void load();
    Lines held() const;
    bool write(std::time_t now, bool withoutTurn);

    // The file's lines and the cookies and deletions it records, within the
    // bounds, as it stands when its stamp is `stamp`. False when it could not
    // be read whole.
    bool read(const Stamp& stamp, Lines& lines, Settings& cookies);
    // Drops those beyond the bounds.
    void bound(Settings& cookies) const;
    // Every cookie of the lines (the store's listing).
    static Cookies keyed(const Lines& lines);
    // The store's cookies now; each whose line changed was set, and each
    // gone went, when an answer last set its name, or else now.
    Cookies list();
    // When this jar's store set or lost the cookie; 0 when unknown.
    std::int64_t changedAt(const std::string& key) const;
    // When the site deleted the cookie, which `current` holds expired or
    // the store lost since the last write; -1 when it did not (it ran out,
    // or the bounds let it go).
    std::int64_t deletedAt(const std::string& key, const Cookies& current) const;
    // Drops from the store, and from `cookies`, those beyond the bounds.
    void trim(Cookies& cookies);
    // Takes the cookie out of the store.
    void forget(const std::string& line);
    // What the file is to take of the store `current`: lines to set, keys to remove.
    void changes(const Cookies& current, std::time_t now, Cookies& set, std::set<std::string>& removed) const;
    // The file with these cookies set and those keys removed, after taking
    // in what another process wrote (into `current` too, and out of `set`
    // and `removed` where it was set later). False when the folder lock is
    // taken, the file could not be read whole, or it could not be written.
    bool merge(std::time_t now, Cookies& current, Cookies& set, std::set<std::string>& removed,
               bool withoutTurn);
    enum class Put
    {
        kDone,
        kRaced, // the file is not the one read any more: merge again
        kFailed
    };
    // Puts the written temporary file in the file's place, unless the file
    // there is no longer the one read (its stamp `read`).
    Put replace(const std::string& temporary, const Stamp& read) const;
    // The file's text for these cookies within the bounds, oldest first.
    std::string textOf(Settings& cookies) const;
    // Takes into the store `current` what another process changed in the
    // file since this jar last read or wrote it, where the store kept the
    // value it had then or changed it earlier; `record`, `set` and `removed`
    // follow when given.
    void adopt(const Settings& disk, Cookies& current, Cookies* record, Cookies* set,
               std::set<std::string>* removed);

    static void lockData(CURL* handle, curl_lock_data data, curl_lock_access access, void* jar);
    static void unlockData(CURL* handle, curl_lock_data data, void* jar);
    // No answer's cookie goes into the store while this is held.
    std::unique_lock<std::recursive_mutex> holdStore();

    std::string m_path;
    std::string m_host; // of the site
    CURLSH* m_share = nullptr;
    CURL* m_reader = nullptr; // attached to the store; used while m_saving is held
    // Recursive: the jar holds the store's lock over its listing and what it
    // puts in, and libcurl takes it again inside each.
    std::array<std::recursive_mutex, CURL_LOCK_DATA_LAST> m_dataLocks;
    std::mutex m_saving;
    std::atomic<bool> m_due{false};
    std::mutex m_using;
    int m_transfers = 0;          // using the store now
    std::uint64_t m_attached = 0; // ever
    std::thread::id m_lastThread; // that attached
    Cookies m_written;            // the store as the file last held it
    // When each cookie of the store took its line, and that line; and when
    // those that left it since the last write went. Under m_saving.
    Settings m_setAt;
    struct Gone
    {
        std::int64_t at = 0;
        bool bySite = false; // not run out, nor let go by the bounds
    };
    std::map<std::string, Gone> m_goneAt;
    // When answers set cookies of each name, and of each name and value,
    // since the store was last listed: that, not the listing, is when the
    // store took them.
    std::mutex m_arriving;
    std::map<std::string, std::int64_t> m_arrived;
    // Set again with the line they had since the last write: the file is to
    // say so, over a deletion another copy recorded meanwhile. Under m_saving.
    std::set<std::string> m_resent;
    Stamp m_stamp;      // of the file as this jar last read or wrote it
    uCookieFile m_file; // its format, and how its times are counted
};

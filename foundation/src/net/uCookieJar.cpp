#include "uCookieJar.h"

#include "foundation/uCurlTransfer.h"
#include "foundation/uFile.h"
#include "uCookieBound.h"
#include "uCookieFile.h"
#include "uFileSystem.h"
#include "uGatheredCookieSaves.h"

#include <cerrno>
#include <chrono>
#include <ctime>
#include <fcntl.h>
#include <map>
#include <memory>
#include <mutex>
#include <string_view>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace
{

std::atomic<uCookieJar::SaveHook> g_saveHook{nullptr};
std::atomic<uCookieJar::SaveHook> g_mergeHook{nullptr};

// Writers of the folder's files inside the process take turns here, so the
// folder lock below is only ever refused because another process holds it.
std::mutex& ProcessTurn()
{
    static auto* turn = new std::mutex; // never destroyed: savers may run at exit
    return *turn;
}

// The turn between processes: flock on the file's folder, since the file
// itself is replaced by every write. Only tried, never waited for: whoever
// holds it (a second copy that was stopped, a backup tool) may hold it for
// minutes, and a save runs inside a transfer that must stay stoppable.
class FolderLock
{
public:
    explicit FolderLock(const std::string& path)
    {
        const std::size_t slash = path.rfind('/');
        const std::string folder = slash == std::string::npos ? "."
                                   : slash == 0               ? "/"
                                                              : path.substr(0, slash);
        m_fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        int result = -1;
        while (m_fd >= 0 && (result = ::flock(m_fd, LOCK_EX | LOCK_NB)) != 0 && errno == EINTR)
        {
        }
        m_held = m_fd >= 0 && result == 0;
    }
    ~FolderLock()
    {
        if (m_fd >= 0)
            ::close(m_fd); // releases the lock
    }
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

    bool held() const { return m_held; }

private:
    int m_fd = -1;
    bool m_held = false;
};

std::mutex& JarsLock()
{
    static auto* lock = new std::mutex;
    return *lock;
}

std::map<std::string, uCookieJar*>& Jars()
{
    static auto* jars = new std::map<std::string, uCookieJar*>;
    return *jars;
}

} // namespace

uCookieJar* uCookieJar::forFile(const std::string& path, const std::string& host)
{
    std::lock_guard hold(JarsLock());
    uCookieJar*& jar = Jars()[path];
    if (!jar)
    {
        auto made = std::unique_ptr<uCookieJar>(new uCookieJar(path, host));
        if (!made->open())
        {
            Jars().erase(path);
            return nullptr;
        }
        made->load();
        jar = made.release();
    }
    return jar;
}

void uCookieJar::saveAll(std::time_t now)
{
    std::vector<uCookieJar*> jars;
    {
        std::lock_guard hold(JarsLock());
        for (const auto& [path, jar] : Jars())
            jars.push_back(jar);
    }
    // A moment for a lock held only briefly (another copy's own save).
    constexpr int kTries = 20;
    constexpr std::chrono::milliseconds kPause{50};
    for (int tried = 0;; ++tried)
    {
        bool due = false;
        // Every jar, not only those due: one being saved on the jars' thread
        // is no longer marked due, and the exit would cut its write.
        for (uCookieJar* jar : jars)
            if (!jar->save(now))
                due = true;
        if (!due)
            return;
        if (tried + 1 == kTries)
            break;
        std::this_thread::sleep_for(kPause);
    }
    for (uCookieJar* jar : jars)
        if (jar->m_due.load())
            jar->save(now, /*withoutTurn=*/true);
}

uCookieJar::uCookieJar(const std::string& path, const std::string& host) : m_path(path), m_host(host) {}

bool uCookieJar::open()
{
    m_share = curl_share_init();
    m_reader = curl_easy_init();
    if (!m_share || !m_reader ||
        curl_share_setopt(m_share, CURLSHOPT_LOCKFUNC, &uCookieJar::lockData) != CURLSHE_OK ||
        curl_share_setopt(m_share, CURLSHOPT_UNLOCKFUNC, &uCookieJar::unlockData) != CURLSHE_OK ||
        curl_share_setopt(m_share, CURLSHOPT_USERDATA, this) != CURLSHE_OK ||
        curl_share_setopt(m_share, CURLSHOPT_SHARE, CURL_LOCK_DATA_COOKIE) != CURLSHE_OK ||
        curl_easy_setopt(m_reader, CURLOPT_SHARE, m_share) != CURLE_OK)
    {
        if (m_reader)
            curl_easy_cleanup(m_reader);
        if (m_share)
            curl_share_cleanup(m_share);
        m_reader = nullptr;
        m_share = nullptr;
        return false;
    }
    return true;
}

void uCookieJar::setSaveHook(SaveHook hook)
{
    g_saveHook = hook;
}

void uCookieJar::setMergeHook(SaveHook hook)
{
    g_mergeHook = hook;
}

void uCookieJar::setClockOffset(std::int64_t ns)
{
    uCookieFile::setClockOffset(ns);
}

void uCookieJar::load()
{
    const Stamp stamp = stampOf(m_path);
    Lines lines;
    Settings file;
    // Unread, the stamp stays unset: the next transfer tries again.
    if (!read(stamp, lines, file))
        return;
    m_stamp = stamp;
    for (const std::string* key : uCookieFile::oldestFirst(file))
        if (!file.at(*key).gone())
            curl_easy_setopt(m_reader, CURLOPT_COOKIELIST, file.at(*key).line.c_str());
    m_written = keyed(held());
    const std::int64_t now = uCookieFile::now();
    for (const auto& [key, line] : m_written)
    {
        const auto read = file.find(key);
        m_setAt[key] = {line, read == file.end() || read->second.gone() ? now : read->second.setAt};
    }
}

uCookieJar::Stamp uCookieJar::stampOf(const std::string& path)
{
    struct stat info = {};
    if (::lstat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return Stamp();
    return Stamp{info.st_dev, info.st_ino, info.st_size,
                 static_cast<long long>(info.st_mtim.tv_sec) * 1000000000LL + info.st_mtim.tv_nsec};
}

void uCookieJar::refresh()
{
    std::lock_guard turn(m_saving);
    // Files are replaced whole, by rename: what is read is one whole version.
    const Stamp stamp = stampOf(m_path);
    if (stamp == m_stamp)
        return;
    Lines lines;
    Settings disk;
    if (!read(stamp, lines, disk))
        return;
    // As in a save: no answer's cookie comes between the listing and the file's values.
    const auto still = holdStore();
    Cookies current = list();
    if (const SaveHook hook = g_mergeHook.load())
        hook(m_path);
    adopt(disk, current, &m_written, nullptr, nullptr);
    trim(current);
    m_stamp = stamp;
}

void uCookieJar::adopt(const Settings& disk, Cookies& current, Cookies* record, Cookies* set,
                       std::set<std::string>* removed)
{
    // The store kept the cookie as this jar last saw it in the file.
    auto kept = [&](const std::string& key)
    {
        if (m_resent.count(key) != 0)
            return false;
        const auto seen = m_written.find(key);
        const auto now = current.find(key);
        return seen == m_written.end() ? now == current.end()
                                       : now != current.end() && now->second == seen->second;
    };
    auto holds = [&disk](const std::string& key)
    {
        const auto cookie = disk.find(key);
        return cookie != disk.end() && !cookie->second.gone();
    };
    std::vector<std::string> gone;
    for (const auto& [key, line] : m_written)
        if (!holds(key) && kept(key))
            gone.push_back(key);
    std::vector<std::string> taken;
    for (const auto& [key, cookie] : disk)
    {
        if (cookie.gone())
        {
            // The site deleted it after the store changed it: it leaves.
            const auto held = current.find(key);
            if (held == current.end() || kept(key) || cookie.setAt <= changedAt(key))
                continue;
            forget(held->second);
            current.erase(held);
            m_setAt.erase(key);
            m_goneAt[key] = Gone{cookie.setAt, true};
            if (set)
                set->erase(key);
            if (record)
                record->erase(key);
            continue;
        }
        const auto seen = m_written.find(key);
        if (seen != m_written.end() && seen->second == cookie.line)
            continue;
        const auto held = current.find(key);
        const bool same = held != current.end() && held->second == cookie.line;
        // Changed here too: of the two, the one set later stays.
        if (!same && !kept(key) && cookie.setAt <= changedAt(key))
            continue;
        if (!same)
        {
            curl_easy_setopt(m_reader, CURLOPT_COOKIELIST, cookie.line.c_str());
            taken.push_back(key);
            current[key] = cookie.line;
            m_setAt[key] = cookie;
            m_goneAt.erase(key);
            if (set)
                set->erase(key);
            if (removed)
                removed->erase(key);
        }
        if (record)
            (*record)[key] = cookie.line;
    }
    for (const std::string& key : gone)
    {
        // Deleted there: it leaves the store.
        forget(m_written[key]);
        m_setAt.erase(key);
        current.erase(key);
        if (record)
            record->erase(key);
    }
    if (taken.empty())
        return;
    // As the store lists them: a line written otherwise (another tool's) must
    // not look changed here at the next listing, as if the site set it then.
    const Cookies listed = keyed(held());
    for (const std::string& key : taken)
    {
        const auto line = listed.find(key);
        if (line == listed.end())
        {
            // libcurl took none of it, nor holds another value.
            current.erase(key);
            m_setAt.erase(key);
            if (record)
                record->erase(key);
            continue;
        }
        current[key] = line->second;
        m_setAt[key].line = line->second;
        if (record)
            (*record)[key] = line->second;
    }
}

std::int64_t uCookieJar::changedAt(const std::string& key) const
{
    if (const auto at = m_setAt.find(key); at != m_setAt.end())
        return at->second.setAt;
    const auto gone = m_goneAt.find(key);
    return gone == m_goneAt.end() ? 0 : gone->second.at;
}

std::int64_t uCookieJar::deletedAt(const std::string& key, const Cookies& current) const
{
    // libcurl still lists it.
    if (const auto held = current.find(key); held != current.end())
        return uCookieFile::sentExpired(held->second, changedAt(key)) ? changedAt(key) : -1;
    const auto gone = m_goneAt.find(key);
    return gone != m_goneAt.end() && gone->second.bySite ? gone->second.at : -1;
}

void uCookieJar::forget(const std::string& line)
{
    const std::string expired = uCookieFile::expiredLine(line);
    if (!expired.empty())
        curl_easy_setopt(m_reader, CURLOPT_COOKIELIST, expired.c_str());
}

void uCookieJar::lockData(CURL*, curl_lock_data data, curl_lock_access, void* jar)
{
    static_cast<uCookieJar*>(jar)->m_dataLocks[static_cast<std::size_t>(data)].lock();
}

void uCookieJar::unlockData(CURL*, curl_lock_data data, void* jar)
{
    static_cast<uCookieJar*>(jar)->m_dataLocks[static_cast<std::size_t>(data)].unlock();
}

std::unique_lock<std::recursive_mutex> uCookieJar::holdStore()
{
    return std::unique_lock(m_dataLocks[CURL_LOCK_DATA_COOKIE]);
}

uCookieJar::Lines uCookieJar::held() const
{
    Lines lines;
    struct curl_slist* cookies = nullptr;
    if (curl_easy_getinfo(m_reader, CURLINFO_COOKIELIST, &cookies) != CURLE_OK)
        return lines;
    for (const curl_slist* cookie = cookies; cookie; cookie = cookie->next)
        lines.emplace_back(cookie->data);
    curl_slist_free_all(cookies);
    return lines;
}

uCookieJar::Cookies uCookieJar::keyed(const Lines& lines)
{
    Cookies cookies;
    for (const std::string& line : lines)
    {
        std::string key = uCookieFile::keyOf(line);
        if (!key.empty())
            cookies[std::move(key)] = line;
    }
    return cookies;
}

bool uCookieJar::read(const Stamp& stamp, Lines& lines, Settings& cookies)
{
    if (!m_file.read(m_path, stamp.modified, lines, cookies))
        return false;
    bound(cookies);
    return true;
}

void uCookieJar::bound(Settings& cookies) const
{
    std::vector<uCookieBound::Cookie> ranked;
    ranked.reserve(cookies.size());
    for (const auto& [key, cookie] : cookies)
        ranked.push_back({cookie.setAt, &key, cookie.gone()});
    for (const std::string* key : uCookieBound::beyond(std::move(ranked), m_host))
        cookies.erase(cookies.find(*key));
}

uCookieJar::Cookies uCookieJar::list()
{
    // Taken before the listing: each answer counted here is in it.
    std::map<std::string, std::int64_t> arrived;
    {
        std::lock_guard hold(m_arriving);
        arrived.swap(m_arrived);
    }
    Cookies cookies = keyed(held());
    const std::int64_t now = uCookieFile::now();
    auto arrival = [&](const std::string& key)
    {
        const auto at = arrived.find(key.substr(key.find('\t', key.find('\t') + 1) + 1));
        return at == arrived.end() ? now : at->second;
    };
    const long long seconds = static_cast<long long>(std::time(nullptr));
    for (auto at = m_setAt.begin(); at != m_setAt.end();)
    {
        if (cookies.count(at->first) != 0)
        {
            ++at;
            continue;
        }
        // libcurl lists a cookie sent expired until it next clears them out.
        const Setting& last = at->second;
        m_goneAt[at->first] = uCookieFile::sentExpired(last.line, last.setAt)
                                  ? Gone{last.setAt, true}
                                  : Gone{arrival(at->first), !uCookieFile::hasRunOut(last.line, seconds)};
        at = m_setAt.erase(at);
    }
    for (const auto& [key, line] : cookies)
    {
        Setting& at = m_setAt[key];
        if (at.line != line)
        {
            at = {line, arrival(key)};
            m_goneAt.erase(key);
            continue;
        }
        // The site sent it again as it was: set later than any deletion
        // another copy recorded since it was first.
        const std::vector<std::string_view> fields = uCookieFile::fields(line);
        const auto again = fields.size() > 6
                               ? arrived.find(std::string(fields[5]).append("\t").append(fields[6]))
                               : arrived.end();
        if (again != arrived.end() && again->second > at.setAt)
        {
            at.setAt = again->second;
            m_resent.insert(key);
        }
    }
    return cookies;
}

void uCookieJar::trim(Cookies& cookies)
{
    // What ran out goes anyway: it takes no place.
    const long long now = static_cast<long long>(std::time(nullptr));
    std::vector<uCookieBound::Cookie> live;
    for (const auto& [key, line] : cookies)
        if (!uCookieFile::hasRunOut(line, now))
            live.push_back({changedAt(key), &key});
    const std::int64_t goneAt = uCookieFile::now();
    for (const std::string* key : uCookieBound::beyond(std::move(live), m_host))
    {
        const auto cookie = cookies.find(*key);
        forget(cookie->second);
        m_setAt.erase(cookie->first);
        m_goneAt[cookie->first] = Gone{goneAt, false};
        cookies.erase(cookie);
    }
}

std::string uCookieJar::textOf(Settings& cookies) const
{
    bound(cookies);
    return uCookieFile::textOf(cookies);
}

std::uint64_t uCookieJar::attach()
{
    std::lock_guard hold(m_using);
    const std::thread::id thread = std::this_thread::get_id();
    const bool sameThread = m_lastThread == std::thread::id() || m_lastThread == thread;
    m_lastThread = thread;
    ++m_attached;
    return ++m_transfers == 1 && sameThread ? m_attached : 0;
}

void uCookieJar::detach(std::uint64_t ticket, std::time_t now)
{
    bool alone = false;
    bool last = false;
    {
        std::lock_guard hold(m_using);
        last = --m_transfers == 0;
        alone = ticket != 0 && ticket == m_attached;
    }
    if (!m_due.load())
        return;
    if (alone)
        save(now);
    else if (last)
        uGatheredCookieSaves::add(this);
}

void uCookieJar::arrived(const std::string& cookie)
{
    // Dated after the times of the file as it is now: another copy's record
    // written before this answer came never goes over its value.
    m_file.look(m_path);
    std::lock_guard hold(m_arriving);
    const std::int64_t now = uCookieFile::now();
    m_arrived[cookie] = now;
    m_arrived[cookie.substr(0, cookie.find('\t'))] = now;
}

void uCookieJar::answered()
{
    m_due = true;
    uGatheredCookieSaves::add(this);
}

bool uCookieJar::save(std::time_t now, bool withoutTurn)
{
    // Waits only for a save running now: it never waits for anything itself.
    std::lock_guard turn(m_saving);
    if (!m_due.exchange(false))
        return true;
    if (write(now, withoutTurn))
        return true;
    m_due = true;
    return false;
}

bool uCookieJar::write(std::time_t now, bool withoutTurn)
{
    // The listing dates what no answer did.
    m_file.look(m_path);
    Cookies current;
    {
        const auto still = holdStore();
        current = list();
        trim(current);
    }
    Cookies set;
    std::set<std::string> removed;
    changes(current, now, set, removed);
    // What could not be written is still news at the next save.
    if ((!set.empty() || !removed.empty()) && !merge(now, current, set, removed, withoutTurn))
        return false;
    m_written = std::move(current);
    m_goneAt.clear();
    m_resent.clear();
    return true;
}

void uCookieJar::changes(const Cookies& current, std::time_t now, Cookies& set,
                         std::set<std::string>& removed) const
{
    // A file that went away (or was replaced by a link) holds none of them.
    const bool fileGone = !uCookieFile::isPlainFile(m_path);
    for (const auto& [key, line] : current)
    {
        auto before = m_written.find(key);
        if (!fileGone && before != m_written.end() && before->second == line && m_resent.count(key) == 0)
            continue;
        // A server deletes a cookie by sending it expired; libcurl may list it so.
        const long long expiry = uCookieFile::expiryOf(line);
        if (expiry != 0 && expiry <= static_cast<long long>(now))
            removed.insert(key);
        else
            set[key] = line;
    }
    for (const auto& [key, line] : m_written)
    {
        if (current.count(key) != 0)
            continue;
        // Gone before its time: the server deleted it. One that merely
        // expired says nothing about what the file holds now.
        const long long expiry = uCookieFile::expiryOf(line);
        if (expiry == 0 || expiry > static_cast<long long>(now))
            removed.insert(key);
    }
    // Set and deleted since: another copy may hold an older value.
    for (const auto& [key, gone] : m_goneAt)
        if (gone.bySite && current.count(key) == 0)
            removed.insert(key);
}

bool uCookieJar::merge(std::time_t now, Cookies& current, Cookies& set, std::set<std::string>& removed,
                       bool withoutTurn)
{
    std::lock_guard inProcess(ProcessTurn());
    FolderLock turn(m_path);
    if (!turn.held() && !withoutTurn)
        return false;
    const std::size_t slash = m_path.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : m_path.substr(0, slash + 1);
    const std::string name = m_path.substr(folder.size());
    // Another process's close writes without the lock: when the file changed
    // while this write was made, it is made again over what is there now.
    constexpr int kRounds = 10;
    for (int round = 0; round < kRounds; ++round)
    {
        const Stamp read = stampOf(m_path);
        Lines lines;
        Settings cookies;
        if (!this->read(read, lines, cookies))
            return false;
        {
            // Listed again with the store held still until the file's values
            // are in: a cookie an answer set after the listing would count as
            // unchanged, and the file's older value would go over it.
            const auto still = holdStore();
            current = list();
            trim(current);
            set.clear();
            removed.clear();
            changes(current, now, set, removed);
            if (const SaveHook hook = g_mergeHook.load())
                hook(m_path);
            adopt(cookies, current, nullptr, &set, &removed);
            trim(current);
        }
        for (const std::string& key : removed)
        {
            const std::int64_t deleted = deletedAt(key, current);
            const auto onDisk = cookies.find(key);
            if (deleted >= 0)
            {
                if (onDisk == cookies.end() || !onDisk->second.gone() || onDisk->second.setAt < deleted)
                    cookies[key] = Setting{std::string(), deleted};
            }
            // Another's record of a deletion stays.
            else if (onDisk != cookies.end() && !onDisk->second.gone())
                cookies.erase(onDisk);
        }
        for (const auto& [key, line] : set)
            cookies[key] = Setting{line, changedAt(key)};
        const std::string jar = textOf(cookies);
        std::string old;
        for (const std::string& line : lines)
            old.append(line).append("\n");
        if (old == jar)
        {
            m_stamp = read;
            return true;
        }
        const std::string temporary = fsutil::WriteReplacement(folder, name, jar.data(), jar.size(), 0600);
        if (temporary.empty())
            return false;
        if (const SaveHook hook = g_saveHook.load())
            hook(m_path);
        const Put put = replace(temporary, read);
        if (put == Put::kRaced)
            continue;
        if (put == Put::kFailed)
            return false;
        m_stamp = stampOf(m_path); // still under the folder lock: this write's
        return true;
    }
    return false;
}

uCookieJar::Put uCookieJar::replace(const std::string& temporary, const Stamp& read) const
{
    const char* path = m_path.c_str();
    // The two swap places at once, so that a write made meanwhile is never
    // overwritten unseen: it is found where the new file was, and put back.
    struct stat info = {};
    const bool there = ::lstat(path, &info) == 0;
    if (there && S_ISDIR(info.st_mode))
    {
        ::unlink(temporary.c_str());
        return Put::kFailed;
    }
    const unsigned int how = there ? RENAME_EXCHANGE : RENAME_NOREPLACE;
    Put put = Put::kFailed;
    if (::renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, path, how) == 0)
    {
        put = !there || stampOf(temporary) == read ? Put::kDone : Put::kRaced;
        if (put == Put::kRaced && ::renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, path, RENAME_EXCHANGE) != 0)
            return Put::kFailed; // the other write stays beside it, for the clean-up at start
    }
    else if (errno == EEXIST || errno == ENOENT)
        put = Put::kRaced;
    else if (errno == EINVAL || errno == ENOSYS)
        // No swapping here (some file systems): only the look just before.
        put = !(stampOf(m_path) == read)                  ? Put::kRaced
              : ::rename(temporary.c_str(), path) == 0 ? Put::kDone
                                                        : Put::kFailed;
    ::unlink(temporary.c_str());
    if (put == Put::kDone)
        fsutil::SyncParentDirectory(m_path);
    return put;
}

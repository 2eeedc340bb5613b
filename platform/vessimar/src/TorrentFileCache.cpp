#include "TorrentFileCache.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace vessimar
{

namespace
{

// Larger .torrent files are refused; libtorrent's own default limit.
constexpr long long kMaxTorrentFileSize = 10 * 1024 * 1024;
// Bound on remembered files; the cache starts afresh beyond it.
constexpr std::size_t kMaxEntries = 512;

bool ReadWholeFile(const std::string& path, long long size, std::vector<char>& bytes)
{
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    bytes.resize(static_cast<std::size_t>(size));
    std::size_t got = 0;
    while (got < bytes.size())
    {
        ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    ::close(fd);
    bytes.resize(got);
    return got == static_cast<std::size_t>(size);
}

} // namespace

bool TorrentFileCache::ReadStamp(const std::string& path, Stamp& stamp)
{
    struct stat st;
    if (path.empty() || ::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    stamp.size = st.st_size;
    stamp.modifiedNanoseconds = static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
    stamp.inode = st.st_ino;
    return true;
}

std::shared_ptr<const libtorrent::torrent_info> TorrentFileCache::Parse(const std::string& path,
                                                                        const Stamp& stamp)
{
    if (stamp.size <= 0 || stamp.size > kMaxTorrentFileSize)
        return nullptr;
    std::vector<char> bytes;
    if (!ReadWholeFile(path, stamp.size, bytes))
        return nullptr;
    libtorrent::error_code error;
    auto info = std::make_shared<libtorrent::torrent_info>(
        libtorrent::span<const char>(bytes.data(), static_cast<std::ptrdiff_t>(bytes.size())), error,
        libtorrent::from_span);
    if (error || !info->is_valid())
        return nullptr;
    return info;
}

std::shared_ptr<const libtorrent::torrent_info> TorrentFileCache::Load(const std::string& path)
{
    Stamp stamp;
    if (!ReadStamp(path, stamp))
        return nullptr;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        auto found = m_entries.find(path);
        if (found != m_entries.end() && found->second.stamp == stamp)
            return found->second.info;
    }
    // Parsed outside the lock: a large file must not hold up the other callers.
    auto info = Parse(path, stamp);
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!info)
    {
        m_entries.erase(path);
        return nullptr;
    }
    if (m_entries.size() >= kMaxEntries)
        m_entries.clear();
    m_entries[path] = Entry{stamp, info};
    return info;
}

std::string TorrentKey(const libtorrent::info_hash_t& hashes)
{
    static const char kDigits[] = "0123456789abcdef";
    const libtorrent::sha1_hash hash = hashes.has_v1() ? hashes.v1 : hashes.get_best();
    std::string key;
    for (std::uint8_t value : hash)
    {
        key += kDigits[value >> 4];
        key += kDigits[value & 15];
    }
    return key;
}

std::string TorrentKey(const libtorrent::torrent_info& info)
{
    return TorrentKey(info.info_hashes());
}

bool ParseTorrentKey(const std::string& key, libtorrent::sha1_hash& hash)
{
    if (key.size() != 2 * static_cast<std::size_t>(libtorrent::sha1_hash::size()))
        return false;
    auto digit = [](char c) -> int
    {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        return -1;
    };
    for (std::ptrdiff_t i = 0; i < libtorrent::sha1_hash::size(); ++i)
    {
        const int high = digit(key[2 * i]);
        const int low = digit(key[2 * i + 1]);
        if (high < 0 || low < 0)
            return false;
        hash[i] = static_cast<std::uint8_t>(high * 16 + low);
    }
    return true;
}

} // namespace vessimar

#pragma once

#include <libtorrent/torrent_info.hpp>
#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace vessimar
{

// Parsed .torrent files by path. The torrent panel asks for the status of every
// row's file every two seconds; parsing each time would read and hash the file
// again, so a parse is kept until the file's size, time stamp or inode change.
// Called from several threads at once.
class TorrentFileCache
{
public:
    // Null when the file cannot be read or is no valid .torrent file.
    std::shared_ptr<const libtorrent::torrent_info> Load(const std::string& path);

private:
    struct Stamp
    {
        long long size = 0;
        long long modifiedNanoseconds = 0;
        unsigned long long inode = 0;
        bool operator==(const Stamp&) const = default;
    };
    struct Entry
    {
        Stamp stamp;
        std::shared_ptr<const libtorrent::torrent_info> info;
    };

    static bool ReadStamp(const std::string& path, Stamp& stamp);
    static std::shared_ptr<const libtorrent::torrent_info> Parse(const std::string& path, const Stamp& stamp);

    std::mutex m_mutex;
    std::map<std::string, Entry> m_entries;
};

// The key the program knows a torrent by: the v1 info-hash as 40 lower-case hex
// digits, or the truncated v2 hash of a torrent without v1 hash.
std::string TorrentKey(const libtorrent::torrent_info& info);
std::string TorrentKey(const libtorrent::info_hash_t& hashes);

// Reads a key back; false unless it is exactly 40 hex digits.
bool ParseTorrentKey(const std::string& key, libtorrent::sha1_hash& hash);

} // namespace vessimar

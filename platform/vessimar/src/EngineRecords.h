#pragma once

#include <cstdint>
#include <string>

// The engine's figures in plain standard types. The session works with these;
// the exported engine object copies them into the program's records.
namespace vessimar
{

struct Status
{
    bool finished = false;
    bool active = false;
    std::uint64_t done = 0;
    std::uint64_t total = 0;
    std::uint64_t downloaded = 0;
    std::uint64_t uploaded = 0;
    float uploadRate = 0;
    float downloadRate = 0;
    float health = 0;
    int pieceSize = 0;
    int seeds = 0;
    int peers = 0;
    int state = 0;           // one of CTorrentStatus::kQueued...kPaused
    std::string name;        // the v1 info-hash as 40 lower-case hex digits
    std::string displayName; // the torrent's data in the torrent folder
    std::string comment;
};

struct TrackerEntry
{
    int tier = 0;
    std::string url;
};

struct FileEntry
{
    std::uint64_t size = 0;
    std::uint64_t done = 0; // bytes verified; the file on disk is sparse, so its size says nothing
    std::string path;       // relative to the torrent folder, "/" between components
};

struct PeerEntry
{
    std::string address; // "address:port", IPv6 addresses in brackets
    std::string status;  // the peer's client name
    float uploadRate = 0;
    float downloadRate = 0;
    std::uint64_t uploaded = 0;
    std::uint64_t downloaded = 0;
};

} // namespace vessimar

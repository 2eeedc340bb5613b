#include "StatusFigures.h"

#include "TorrentFileCache.h"
#include "downloads/TorrentEngine.h"

#include <algorithm>
#include <libtorrent/torrent_info.hpp>

namespace lt = libtorrent;

namespace vessimar
{

namespace
{

std::uint64_t Bytes(std::int64_t count)
{
    return count > 0 ? static_cast<std::uint64_t>(count) : 0;
}

} // namespace

lt::status_flags_t StatusQueryFlags()
{
    return lt::torrent_handle::query_name | lt::torrent_handle::query_torrent_file |
           lt::torrent_handle::query_distributed_copies;
}

int MapState(const lt::torrent_status& status)
{
    const bool complete = status.is_finished || status.is_seeding;
    const bool paused = static_cast<bool>(status.flags & lt::torrent_flags::paused);
    if (paused && !complete)
        return (status.flags & lt::torrent_flags::auto_managed) ? CTorrentStatus::kQueued
                                                                : CTorrentStatus::kPaused;
    switch (status.state)
    {
    case lt::torrent_status::checking_files:
    case lt::torrent_status::checking_resume_data:
        return CTorrentStatus::kChecking;
    case lt::torrent_status::downloading_metadata:
        return CTorrentStatus::kMetadata;
    case lt::torrent_status::downloading:
        return status.num_peers == 0 ? CTorrentStatus::kConnecting : CTorrentStatus::kDownloading;
    case lt::torrent_status::finished:
        return CTorrentStatus::kFinished;
    case lt::torrent_status::seeding:
        return CTorrentStatus::kSeeding;
    default:
        return CTorrentStatus::kAllocating;
    }
}

Status MakeStatus(const lt::torrent_status& status)
{
    Status out;
    out.finished = status.is_finished || status.is_seeding;
    out.active = !(status.flags & lt::torrent_flags::paused);
    out.done = Bytes(status.total_wanted_done);
    out.total = Bytes(status.total_wanted);
    out.downloaded = Bytes(status.all_time_download);
    out.uploaded = Bytes(status.all_time_upload);
    out.downloadRate = static_cast<float>(status.download_payload_rate);
    out.uploadRate = static_cast<float>(status.upload_payload_rate);
    // libtorrent gives -1 when it does not count copies (for a seed, for example).
    out.health = std::max(status.distributed_copies, 0.0f);
    out.seeds = status.num_seeds;
    out.peers = status.num_peers;
    out.state = MapState(status);
    out.name = TorrentKey(status.info_hashes);
    out.displayName = status.name;
    if (auto info = status.torrent_file.lock())
    {
        out.pieceSize = info->piece_length();
        out.comment = info->comment();
    }
    return out;
}

std::vector<FileEntry> MakeFileList(const lt::file_storage& files, const std::vector<std::int64_t>& progress)
{
    std::vector<FileEntry> list;
    for (lt::file_index_t index : files.file_range())
    {
        if (files.pad_file_at(index))
            continue;
        FileEntry entry;
        entry.path = files.file_path(index);
        entry.size = Bytes(files.file_size(index));
        const auto position = static_cast<std::size_t>(static_cast<int>(index));
        if (position < progress.size())
            entry.done = Bytes(progress[position]);
        list.push_back(std::move(entry));
    }
    return list;
}

PeerEntry MakePeer(const lt::peer_info& peer)
{
    PeerEntry out;
    const auto address = peer.ip.address();
    out.address = address.is_v6() ? "[" + address.to_string() + "]" : address.to_string();
    out.address += ":" + std::to_string(peer.ip.port());
    out.status = peer.client;
    out.downloadRate = static_cast<float>(peer.payload_down_speed);
    out.uploadRate = static_cast<float>(peer.payload_up_speed);
    out.downloaded = Bytes(peer.total_download);
    out.uploaded = Bytes(peer.total_upload);
    return out;
}

} // namespace vessimar

#pragma once

#include "EngineRecords.h"

#include <libtorrent/peer_info.hpp>
#include <libtorrent/torrent_handle.hpp>
#include <libtorrent/torrent_status.hpp>
#include <vector>

namespace vessimar
{

// What GetStatus asks libtorrent for: the name, the .torrent data and the
// distributed copies are left out of a status unless asked for.
libtorrent::status_flags_t StatusQueryFlags();

Status MakeStatus(const libtorrent::torrent_status& status);

// The program's state for a libtorrent state. A paused torrent that is not
// complete reads "Paused", so that the panel offers to start it again.
int MapState(const libtorrent::torrent_status& status);

// The files of a torrent without libtorrent's padding files, which are not on
// disk and would turn a one-file torrent into several. progress holds the
// verified bytes per file index (empty: nothing done).
std::vector<FileEntry> MakeFileList(const libtorrent::file_storage& files,
                                    const std::vector<std::int64_t>& progress);

PeerEntry MakePeer(const libtorrent::peer_info& peer);

} // namespace vessimar

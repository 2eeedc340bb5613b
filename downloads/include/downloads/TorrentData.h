#pragma once

#include "downloads/TorrentEngine.h"
#include "foundation/uFile.h"
#include "foundation/uString.h"

namespace torrent
{

// Deletes a torrent's data: the file or folder dataName directly inside the
// torrent folder (CTorrentEngine::GetDataName, CTorrentStatus::displayName).
// A name that is empty, "." or "..", or holds a "/", deletes nothing and gives
// false, so that a bad name can never take the torrent folder or anything
// outside it. A symbolic link is removed itself, never what it points to.
// True when nothing of that name is left.
bool DeleteTorrentData(const uFile& torrentFolder, const uString& dataName);

// Whether a torrent other than the one named `key` holds dataName in the
// torrent folder: one the engine runs, or one whose .torrent file lies in the
// folder (it comes back to its data from there). The engine adds no torrent
// whose data name another holds, and no command deletes data held so.
bool IsDataHeldByOther(CTorrentEngine& engine, const uFile& torrentFolder, const uString& key,
                       const uString& dataName);

} // namespace torrent

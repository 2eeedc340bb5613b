#pragma once

#include "foundation/uString.h"

#include <cstdint>

class uFile;

// What the feed engine needs of the download manager, which lives in a higher
// layer and implements CDownloadQueue. The feed engine never builds a transfer
// record itself: it describes the enclosure in a CTransferRequest and the
// download manager makes its record from that.

// The arguments of a transfer record's full constructor, plus the enclosure's
// length. The record's identity is derived from listName, feed, item and link.
struct CTransferRequest
{
    int type = 0;       // 0 plain download, 1 BitTorrent
    int media = 0;      // 0 other, 1 audio, 2 video
    uString label;      // the channel title: names the library sub-folder
    uString listName;   // the list database file name
    uString feed;       // feed URL
    uString item;       // item link
    uString link;       // enclosure link
    int64_t length = 0; // bytes, as the feed announced them
};

class CDownloadQueue
{
public:
    virtual ~CDownloadQueue() = default;

    // Every operation may be called from update-task threads and from the
    // user-interface thread at the same time.

    // Queues a record for the request unless one with the same identity is
    // queued; true when such a record is queued afterwards.
    virtual bool AddItem(const CTransferRequest& request) = 0;
    // Removes the queued record with the request's identity; false when none.
    virtual bool RemoveItem(const CTransferRequest& request) = 0;
    // Removes the queued record whose local file is this path.
    virtual void RemoveByPath(const uFile& path) = 0;
    // True while Download Now is starting the pending transfers; the feed
    // engine then leaves the list databases uncompacted.
    virtual bool IsBusy() const = 0;
    // False when the BitTorrent engine did not load.
    virtual bool HasTorrentEngine() const = 0;
    // Stops the torrent of this .torrent file and removes it from the engine;
    // false when there is no engine or it refused.
    virtual bool RemoveTorrent(const uFile& torrentFile) = 0;
};

// Whether the iTunes hand-off is available. It never is on this platform; the
// configuration asks when it reads the playlist format.
bool IsITunesInstalled();

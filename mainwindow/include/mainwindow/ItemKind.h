#pragma once

#include "feeds/FeedRecords.h"
#include "foundation/uFile.h"
#include "foundation/uString.h"

// What an item of the item list is, and how its row looks: decided from the
// enclosure when the list is filled. Nothing here needs a window.
namespace itemkind
{
enum Kind : int
{
    kPlain = 0,
    kAudio = 1,
    kVideo = 2,
    kOtherMedia = 3,
    kTorrent = 5,
    kStream = 6,
};

// Images of the item image list.
enum Image : int
{
    kImageUnread = 1,
    kImageRead = 2,
    kImageAudio = 8,
    kImageVideo = 9,
    kImageUnreadKept = 10,
    kImageReadKept = 11,
    kImageAudioKept = 12,
    kImageVideoKept = 13,
    kImageOther = 14,
    kImageOtherKept = 15,
    kImageTorrent = 18,
    kImageTorrentReady = 19,
};

// Context menus of the item list: without and with the download commands.
constexpr int kMenuPlain = 210;
constexpr int kMenuAttachment = 211;

// Audio, video, stream, torrent (by type or link), other media, else plain.
int Classify(const uString& enclosureLink, const uString& enclosureType);
inline int Classify(const CItemRecord& item)
{
    return Classify(item.enclosureLink, item.enclosureType);
}

// The row image. `torrentReady` tells that the engine knows the item's
// .torrent file; `read` matters for plain items only.
int ImageFor(int kind, bool kept, bool read, bool torrentReady);
// 210 for plain and stream items, 211 for the others.
int MenuFor(int kind);

// "<torrent folder>/<md5 of the enclosure link>.torrent".
uFile TorrentFile(const uFile& torrentDir, const uString& enclosureLink);
// The offline copy of an item: "<archive folder>/<channel title made safe as
// a folder name>/<md5 of the link>.html", named as the feed store names the
// copies it starts for auto-archiving channels.
uFile ArchiveFile(const uFile& archiveDir, const uString& channelTitle, const uString& link);
} // namespace itemkind

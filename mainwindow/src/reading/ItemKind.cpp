#include "mainwindow/ItemKind.h"

#include "feeds/LibraryFiles.h"
#include "feeds/MediaTypes.h"

namespace itemkind
{

int Classify(const uString& enclosureLink, const uString& enclosureType)
{
    if (enclosureLink.isEmpty())
        return kPlain;
    if (IsAudioType(enclosureType))
        return kAudio;
    if (IsVideoType(enclosureType))
        return kVideo;
    if (IsStreamType(enclosureType))
        return kStream;
    if (IsTorrentType(enclosureType) || IsTorrentType(enclosureLink))
        return kTorrent;
    if (IsOtherMediaType(enclosureType))
        return kOtherMedia;
    return kPlain;
}

int ImageFor(int kind, bool kept, bool read, bool torrentReady)
{
    switch (kind)
    {
    case kAudio:
        return kept ? kImageAudioKept : kImageAudio;
    case kVideo:
    case kStream:
        return kept ? kImageVideoKept : kImageVideo;
    case kOtherMedia:
        return kept ? kImageOtherKept : kImageOther;
    case kTorrent:
        return torrentReady ? kImageTorrentReady : kImageTorrent;
    default:
        if (read)
            return kept ? kImageReadKept : kImageRead;
        return kept ? kImageUnreadKept : kImageUnread;
    }
}

int MenuFor(int kind)
{
    return kind == kPlain || kind == kStream ? kMenuPlain : kMenuAttachment;
}

uFile TorrentFile(const uFile& torrentDir, const uString& enclosureLink)
{
    return uFile(torrentDir.getPath().c_str(), (feeds::Md5Hex(enclosureLink) + ".torrent").c_str());
}

uFile ArchiveFile(const uFile& archiveDir, const uString& channelTitle, const uString& link)
{
    return feeds::ArchivePageFile(archiveDir, channelTitle, link);
}
} // namespace itemkind

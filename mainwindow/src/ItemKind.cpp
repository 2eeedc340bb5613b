#include "mainwindow/ItemKind.h"

#include "feeds/MediaTypes.h"
#include "foundation/uHash.h"

namespace itemkind
{
namespace
{
uString Md5Hex(const uString& text)
{
    uMD5 md5(0);
    md5.hashString(text.c_str());
    uString hex;
    md5.getHexDigest(hex);
    return hex;
}
} // namespace

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
    return uFile(torrentDir.getPath().c_str(), (Md5Hex(enclosureLink) + ".torrent").c_str());
}

uString SafeFolderName(const uString& title)
{
    uString name;
    const char* p = title.c_str();
    while (*p != '\0')
    {
        unsigned char c = static_cast<unsigned char>(*p);
        // Whole UTF-8 sequences only, so the cut never splits a character.
        int length = c < 0x80 ? 1 : (c >= 0xF0 ? 4 : (c >= 0xE0 ? 3 : 2));
        if (name.getLength() + length > 200)
            break;
        bool reserved = c < 0x20 || c == 0x7F || c == '/' || c == '\\' || c == ':' || c == '*' || c == '?' ||
                        c == '"' || c == '<' || c == '>' || c == '|';
        if (reserved)
        {
            name += '_';
            ++p;
            continue;
        }
        for (int i = 0; i < length && *p != '\0'; ++i)
            name += *p++;
    }
    name.trim();
    if (name.isEmpty() || name == "." || name == "..")
        return uString("_");
    return name;
}

uFile ArchiveFile(const uFile& archiveDir, const uString& channelTitle, const uString& link)
{
    return uFile(archiveDir.getPath().c_str(), SafeFolderName(channelTitle).c_str(),
                 (Md5Hex(link) + ".html").c_str());
}
} // namespace itemkind

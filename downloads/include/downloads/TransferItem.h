#pragma once

#include "foundation/uFile.h"
#include "foundation/uString.h"

#include <atomic>
#include <cstdint>

// What a record needs from its surroundings to fetch its link: the folders of
// the data folder it downloads into and the flag that aborts a running fetch
// (set from another thread by Stop and Cancel). The fetch itself applies the
// configured proxy and the site's cookies.
struct CTransferContext
{
    uFile tempDir;    // plain downloads: each record in a sub-folder of its own
    uFile torrentDir; // fetched .torrent files
    const std::atomic<bool>* abortFlag = nullptr;
};

// One queued download: an enclosure fetched over HTTP, HTTPS or FTP, or a
// .torrent file handed on to the BitTorrent engine.
class CTransferItem
{
public:
    // Values of type.
    static constexpr int kTypePlain = 0;
    static constexpr int kTypeTorrent = 1;

    // Values of file, the media kind.
    static constexpr int kMediaOther = 0;
    static constexpr int kMediaAudio = 1;
    static constexpr int kMediaVideo = 2;

    // Values of status.
    static constexpr int kNew = 0;
    static constexpr int kQueued = 1;
    static constexpr int kDownloading = 2;
    static constexpr int kDownloaded = 3;
    static constexpr int kComplete = 4;
    static constexpr int kStopped = 5;
    static constexpr int kFailed = 6;
    static constexpr int kCancelled = 7;
    static constexpr int kOutdated = 8;
    static constexpr int kDuplicated = 9;
    static constexpr int kStatusCount = 10;

    CTransferItem() = default;
    // Derives filename, extension and id from the link and the four keys.
    CTransferItem(int type, int file, const uString& label, const uString& ds, const uString& feed,
                  const uString& item, const uString& link);
    CTransferItem(const CTransferItem& other);
    CTransferItem& operator=(const CTransferItem& other);
    virtual ~CTransferItem() = default;

    // Fixes localfile (a sub-folder of the temp folder named after the id, or
    // the torrent folder) and, when length is 0, asks the server for it. False,
    // with status Failed, when the header request fails.
    virtual bool Prepare(const CTransferContext& context);
    // Downloads the link into localfile, continuing a partial file: status
    // Downloaded and true, or Failed and false.
    virtual bool Start(const CTransferContext& context);

    // The file name of localfile when that is an existing regular file, else empty.
    uString GetLocalFileName() const;
    int64_t GetLocalFileSize() const;
    // Queued, Downloading or Downloaded.
    bool IsActive() const;

    // "New", "Queued", ... ; "" outside 0 to 9.
    static const char* GetStatusName(int status);

    int type = kTypePlain;
    int status = kNew;
    int file = kMediaOther;
    int retry = 0;
    uint64_t length = 0; // expected bytes; 0 while unknown
    uString id;
    uString ds;    // the list database that holds the item
    uString feed;  // the feed the item came from
    uString label; // the channel title
    uString item;  // the item's link: the feed store's key for its enclosures
    uString link;  // the enclosure URL
    uFile localfile;
    uString filename;
    uString extension;
};

// The Content-Length of the final response in a header text (a redirect's
// headers come first); 0 when it has none.
uint64_t GetContentLength(const uString& headers);

// 32 lower-case hex digits of the MD5 of the text's bytes.
uString Md5Hex(const uString& text);

#pragma once

#include "downloads/TransferItem.h"
#include "foundation/uFile.h"
#include "foundation/uString.h"

#include <cstdint>

// The settings and folders the download manager works with, copied at one
// moment: the preferences may change them on the window thread while
// transfers run.
struct CDownloadSettings
{
    // Section "download".
    int nMaxDownloadingThreads = 1;
    int nMinFreeSpace = 0; // MiB
    bool bIntervalScheduler = false;
    int nSchedulerInterval = 0; // minutes
    // Index N-1 holds daily time N; only the local hour and minute count.
    bool bEnableTimer[6] = {};
    int64_t timer[6] = {};

    // Section "podcast": run after each finished transfer; "%f" is the file's
    // path, "%n" the channel title.
    uString strPostProcessCommand;

    // Section "torrent".
    int nMaxDownloadRateLimit = 0; // bytes per second, 0 = no limit
    int nMaxUploadRateLimit = 0;
    int nMaxConnections = 0;
    int nMaxUploadTask = 0;
    int nListenPortNumber1 = 0;
    int nListenPortNumber2 = 0;

    // Folders of the data folder.
    uFile tempDir;
    uFile torrentDir;
    uFile subscriptionDir;   // holds download.xml
    uFile libraryDir;        // the configured library
    uFile defaultLibraryDir; // the library of start-up
    uFile downloadDir;       // "My Download" under the library
    uFile musicDir;          // "My Music"
    uFile movieDir;          // "My Movie"
    uString programDir;      // holds the engine plug-in; empty: no engine
};

// The manager's view of the configuration and of the feed stores. Called from
// the window thread, the download starter and transfer tasks at once.
class CDownloadEnvironment
{
public:
    virtual ~CDownloadEnvironment() = default;

    // A copy of the settings; the media folders exist when it returns.
    virtual CDownloadSettings GetSettings() = 0;
    // Stores a corrected scheduler interval (minutes) in the configuration.
    virtual void SetSchedulerInterval(int minutes) = 0;

    // Whether the list database ds holds an enclosure entry for the item; its
    // local file name (relative to a library folder, may be empty) into file.
    virtual bool GetEnclosureFile(const uString& ds, const uString& item, uString& file) = 0;
    // Records a download result for the item's enclosures: the file's name
    // relative to the library folder, its size and its MIME type (null: keep).
    virtual void SetEnclosureFile(const uString& ds, const uString& item, const uString& localFile,
                                  uint64_t length, const char* type) = 0;
};

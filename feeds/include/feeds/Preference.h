#pragma once

#include "feeds/AuthList.h"
#include "foundation/uFile.h"
#include "foundation/uMutex.h"
#include "foundation/uString.h"

#include <cstdint>
#include <mutex>
#include <utility>
#include <vector>

// The configuration of the process: the per-user data-folder tree, the seven
// sections of "config.xml" and the stored site credentials of "auth.xml".
// Both files are read once when the object is made and written once when it
// is released.
//
// Worker threads read settings and folders while the preferences sheet on the
// user-interface thread changes them, so every section and folder is handed
// out as a copy taken under the object's lock, and changed by a setter.
class CPreference
{
public:
    struct WindowSection
    {
        int left = 0;
        int top = 0;
        int width = 0;
        int height = 0;
    };

    struct GeneralSection
    {
        int nRefreshRate = 0;    // minutes
        int nDefaultTimeout = 0; // seconds
        int nPurgeDayToLive = 0; // days
        int nStartupMode = 0;
        bool bNotifyUponNewArrival = false;
        bool bAutoPurge = false;
        bool bPurgeItemOldThan = false;
        bool bStartupAtLogon = false;
        // A news aggregator whose item links are redirects: links that start
        // with strAggregatorPrefix are matched with stored items by their
        // "url=" target, and those naming strAggregatorDroppedHost are not
        // stored. Empty (the default) turns the rule off. Written only when set.
        uString strAggregatorPrefix;
        uString strAggregatorDroppedHost;
    };

    struct DownloadSection
    {
        bool bAutoDownload = false;
        int nMinFreeSpace = 0;
        int nMaxScanningThreads = 0;
        int nMaxDownloadingThreads = 0;
        bool bIntervalScheduler = false;
        int nSchedulerInterval = 0; // minutes
        // Index N-1 holds daily timer N ("bEnableTimerN", "timerN" in the file).
        // The times are seconds since 1970; only their local time of day counts.
        bool bEnableTimer[6] = {};
        int64_t timer[6] = {};
    };

    struct ProxySection
    {
        uString strHostname;
        uString strPort;
        uString strUsername;
        uString strPassword; // plain in memory, Base64 in the file
        bool bSock5 = false;
    };

    struct PodcastSection
    {
        uString strPodcastDirectory;
        uString strPostProcessCommand; // only edited, never run
        int nFormatPlayLists = 0;      // 0 Windows Media Player, 1 M3U playlist, 2 iTunes
    };

    struct TorrentSection
    {
        int nMaxDownloadRateLimit = 0; // bytes per second
        int nMaxUploadRateLimit = 0;   // bytes per second
        int nMaxConnections = 0;
        int nMaxUploadTask = 0;
        int nListenPortNumber1 = 0;
        int nListenPortNumber2 = 0;
    };

    struct PersonalSection
    {
        uString strServerSMTP;
        uString strEmailAdress;
        uString strEmailName;
    };

    // The one configuration object, made and loaded on the first call. Safe on
    // any thread.
    static CPreference* GetInstance();
    // Saves and deletes the object; a later GetInstance makes a fresh one.
    // Nothing may still use the old pointer.
    static void Release();

    // Section defaults, each applied to one record.
    static void DefaultWindow(WindowSection& section);
    static void DefaultGeneral(GeneralSection& section);
    static void DefaultDownload(DownloadSection& section); // timers at now + 2, 4, ... 12 hours
    static void DefaultProxy(ProxySection& section);
    static void DefaultPodcast(PodcastSection& section);
    static void DefaultTorrent(TorrentSection& section);
    static void DefaultPersonal(PersonalSection& section);

    // Settings: copies for readers, whole records for writers.
    void GetWindowRect(int& left, int& top, int& width, int& height) const;
    void SetWindowRect(int left, int top, int width, int height);
    GeneralSection GetGeneralSection() const;
    void SetGeneralSection(const GeneralSection& section);
    DownloadSection GetDownloadSection() const;
    void SetDownloadSection(const DownloadSection& section);
    ProxySection GetProxySection() const;
    void SetProxySection(const ProxySection& section);
    PodcastSection GetPodcastSection() const;
    void SetPodcastSection(const PodcastSection& section);
    TorrentSection GetTorrentSection() const;
    void SetTorrentSection(const TorrentSection& section);
    PersonalSection GetPersonalSection() const;
    void SetPersonalSection(const PersonalSection& section);

    // The folder of the running program, source of the seed files and templates.
    uString GetProgramDir() const;
    // Empty, or the last failure met while building the data folders.
    uString GetLastErrorText() const;
    CAuthList& GetAuthList() { return m_authList; }
    // The damaged settings files ("config.xml", "auth.xml") that were moved
    // aside at construction, as messages for the user in the interface
    // language of the call; emptied by the call.
    std::vector<uString> TakeSetAsideMessages();
    // Removes what killed fetches and saves of earlier runs left: downloaded
    // feeds in the temp folder, the marked temporary files of replacing
    // writes (".config.xml.kestrova-XXXXXX" and the like, see
    // ReplacementTempPrefix) of the settings, the credentials, the
    // subscription tree, the feed directory and the cookie files, and what
    // page saves left beside the archived pages. Each by its exact form, never
    // through a link: a file of the user's stays whatever its name. Only
    // while no other instance runs. Returns the count.
    int RemoveLeftoverTempFiles() const;

    // Folders. Those below create their folder when nothing exists at its path
    // (the folder may have been deleted while the program runs). Every one of
    // them is empty when the data folder could not be built, and nothing is
    // then created anywhere.
    uFile GetTempDir() const;
    uFile GetIconsDir() const;
    uFile GetCacheDir() const; // created private (0700): it holds the cookie files
    uFile GetTorrentDir() const;
    uFile GetLibraryDir() const;
    uFile GetDefaultLibraryDir() const;
    uFile GetArchiveDir() const; // always under the default library
    uFile GetDownloadDir() const;
    uFile GetMusicDir() const;
    uFile GetMovieDir() const;
    // Used as they are.
    uFile GetDataDir() const;
    uFile GetSubscriptionDir() const;
    uFile GetSubscriptionTreeFile() const;
    // True when this start copied the tree file from the program's seed:
    // its names are the seed's English ones, for the window to translate.
    bool IsSubscriptionTreeSeeded() const;
    uFile GetDownloadLogFile() const;

    // Moves the library (the preferences sheet does this when it applies a
    // podcast folder that exists); call the three Ensure operations after it.
    void SetLibraryDir(const uFile& folder);
    // Derive a media folder again under the library: the library's
    // "My Download" (or "My Music", "My Movie"), or the library itself when
    // that cannot be created. Nothing while the library folder is missing.
    void EnsureDownloadDir();
    void EnsureMusicDir();
    void EnsureMovieDir();
    // Writes "config.xml" now (the preferences sheet's OK); the release writes it too.
    void Save() const;

private:
    CPreference();
    virtual ~CPreference();
    CPreference(const CPreference&) = delete;
    CPreference& operator=(const CPreference&) = delete;

    void BuildFolders();
    void SeedSubscriptionFolder();
    void Load();
    // Sets a damaged settings file aside and records the message.
    void SetAside(const uFile& file);
    void EnsureMediaDirLocked(uFile& member, const char* name);

    // Folders. Every uString and uFile member and every section is guarded by m_lock.
    uFile m_dataDir;
    uFile m_tempDir;
    uFile m_subscriptionTreeFile;
    bool m_subscriptionTreeSeeded = false;
    uFile m_subscriptionDir;
    uFile m_iconsDir;
    uFile m_defaultLibraryDir;
    uFile m_libraryDir;
    uFile m_downloadDir;
    uFile m_musicDir;
    uFile m_movieDir;
    uFile m_cacheDir;
    uFile m_archiveDir;
    uFile m_torrentDir;
    uString m_programDir;
    uString m_lastError;
    CAuthList m_authList;
    // Each damaged file and where it was kept (empty: it could not be moved).
    std::vector<std::pair<uString, uString>> m_setAsideFiles;

    WindowSection m_window;
    GeneralSection m_general;
    DownloadSection m_download;
    ProxySection m_proxy;
    PodcastSection m_podcast;
    TorrentSection m_torrent;
    PersonalSection m_personal;

    // Kept for the life of the object; nothing waits on it.
    uMutex m_instanceMutex{"Win32-Mutex"};
    uFile m_downloadLog;

    // False when the data folder could not be built: then no settings file is
    // read or written, and no folder is formed on an empty base.
    bool m_dataFolderReady = false;
    mutable std::mutex m_lock;
};

#include "downloads/PreferenceEnvironment.h"

#include "feeds/FeedStore.h"
#include "feeds/Preference.h"

CPreferenceEnvironment::CPreferenceEnvironment(CPreference& preference) : m_preference(preference) {}

CDownloadSettings CPreferenceEnvironment::GetSettings()
{
    CDownloadSettings settings;
    const CPreference::DownloadSection download = m_preference.GetDownloadSection();
    settings.nMaxDownloadingThreads = download.nMaxDownloadingThreads;
    settings.nMinFreeSpace = download.nMinFreeSpace;
    settings.bIntervalScheduler = download.bIntervalScheduler;
    settings.nSchedulerInterval = download.nSchedulerInterval;
    for (int i = 0; i < 6; ++i)
    {
        settings.bEnableTimer[i] = download.bEnableTimer[i];
        settings.timer[i] = download.timer[i];
    }
    settings.strPostProcessCommand = m_preference.GetPodcastSection().strPostProcessCommand;

    const CPreference::TorrentSection torrent = m_preference.GetTorrentSection();
    settings.nMaxDownloadRateLimit = torrent.nMaxDownloadRateLimit;
    settings.nMaxUploadRateLimit = torrent.nMaxUploadRateLimit;
    settings.nMaxConnections = torrent.nMaxConnections;
    settings.nMaxUploadTask = torrent.nMaxUploadTask;
    settings.nListenPortNumber1 = torrent.nListenPortNumber1;
    settings.nListenPortNumber2 = torrent.nListenPortNumber2;

    settings.tempDir = m_preference.GetTempDir();
    settings.torrentDir = m_preference.GetTorrentDir();
    settings.subscriptionDir = m_preference.GetSubscriptionDir();
    settings.libraryDir = m_preference.GetLibraryDir();
    settings.defaultLibraryDir = m_preference.GetDefaultLibraryDir();
    settings.downloadDir = m_preference.GetDownloadDir();
    settings.musicDir = m_preference.GetMusicDir();
    settings.movieDir = m_preference.GetMovieDir();
    settings.programDir = m_preference.GetProgramDir();
    return settings;
}

void CPreferenceEnvironment::SetSchedulerInterval(int minutes)
{
    CPreference::DownloadSection section = m_preference.GetDownloadSection();
    section.nSchedulerInterval = minutes;
    m_preference.SetDownloadSection(section);
}

bool CPreferenceEnvironment::GetEnclosureFile(const uString& ds, const uString& item, uString& file)
{
    CFeedStore store(m_preference.GetSubscriptionDir().getPath());
    return store.GetEnclosureFile(ds, item, file);
}

void CPreferenceEnvironment::SetEnclosureFile(const uString& ds, const uString& item,
                                              const uString& localFile, uint64_t length, const char* type)
{
    CFeedStore store(m_preference.GetSubscriptionDir().getPath());
    store.SetDatabase(ds);
    store.SetEnclosureFile(item, localFile, static_cast<int64_t>(length), type);
}

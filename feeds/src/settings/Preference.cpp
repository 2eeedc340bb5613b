#include "feeds/Preference.h"

#include "StringTable.h"
#include "feeds/PageSave.h"
#include "foundation/uProgramFolder.h"
#include "foundation/uSetAside.h"

#include <cstdio>
#include <ctime>

namespace
{
constexpr int kNotSetAsideText = 3078;
constexpr int kSetAsideText = 3079;

uString SetAsideMessage(const uString& path, const uString& target)
{
    uString message;
    if (target.isEmpty())
        message.format(resources::StringText(kNotSetAsideText).c_str(), path.c_str());
    else
        message.format(resources::StringText(kSetAsideText).c_str(), path.c_str(), target.c_str());
    return message;
}

constexpr uint32_t kPageSaveWaitMs = 5000;

std::mutex g_instanceLock;
CPreference* g_instance = nullptr;

} // namespace

CPreference* CPreference::GetInstance()
{
    std::lock_guard hold(g_instanceLock);
    if (!g_instance)
        g_instance = new CPreference();
    return g_instance;
}

void CPreference::Release()
{
    // Page saves read the proxy and the cache folder: end them first.
    CPageSaveTask::CancelAllAndWait(kPageSaveWaitMs);
    CPreference* instance = nullptr;
    {
        std::lock_guard hold(g_instanceLock);
        instance = g_instance;
        g_instance = nullptr;
    }
    delete instance;
}

CPreference::CPreference()
{
    m_programDir = GetModuleDirectory();
    BuildFolders();
    Load();
    if (m_dataFolderReady)
    {
        m_downloadLog = m_dataDir;
        m_downloadLog.append("download.log");
        const uFile auth(m_dataDir.getPath().c_str(), "auth.xml");
        if (!m_authList.Load(auth))
            SetAside(auth);
    }
}

CPreference::~CPreference()
{
    if (!m_dataFolderReady)
        return;
    m_authList.Save(uFile(m_dataDir.getPath().c_str(), "auth.xml"));
    Save();
}

void CPreference::DefaultWindow(WindowSection& section)
{
    section = WindowSection{};
}

void CPreference::DefaultGeneral(GeneralSection& section)
{
    section = GeneralSection{};
    section.nRefreshRate = 5;
    section.nDefaultTimeout = 300;
    section.nPurgeDayToLive = 7;
    section.nStartupMode = 1;
    section.bNotifyUponNewArrival = true;
    section.bAutoPurge = true;
    section.bPurgeItemOldThan = true;
}

void CPreference::DefaultDownload(DownloadSection& section)
{
    section = DownloadSection{};
    section.nMinFreeSpace = 200;
    section.nMaxScanningThreads = 2;
    section.nMaxDownloadingThreads = 2;
    section.bIntervalScheduler = true;
    section.nSchedulerInterval = 60;
    const int64_t now = static_cast<int64_t>(std::time(nullptr));
    for (int i = 0; i < 6; ++i)
        section.timer[i] = now + int64_t(2 * (i + 1)) * 3600;
}

void CPreference::DefaultProxy(ProxySection& section)
{
    section = ProxySection{};
}

void CPreference::DefaultPodcast(PodcastSection& section)
{
    section = PodcastSection{};
}

void CPreference::DefaultTorrent(TorrentSection& section)
{
    section = TorrentSection{};
    section.nMaxUploadRateLimit = 56000;
    section.nMaxConnections = 20;
    section.nMaxUploadTask = 10;
    section.nListenPortNumber1 = 6881;
    section.nListenPortNumber2 = 6889;
}

void CPreference::DefaultPersonal(PersonalSection& section)
{
    section = PersonalSection{};
}

void CPreference::GetWindowRect(int& left, int& top, int& width, int& height) const
{
    std::lock_guard hold(m_lock);
    left = m_window.left;
    top = m_window.top;
    width = m_window.width;
    height = m_window.height;
}

void CPreference::SetWindowRect(int left, int top, int width, int height)
{
    std::lock_guard hold(m_lock);
    m_window = WindowSection{left, top, width, height};
}

#define KESTROVA_SECTION_ACCESS(Type, member)                                                                \
    CPreference::Type CPreference::Get##Type() const                                                         \
    {                                                                                                        \
        std::lock_guard hold(m_lock);                                                                        \
        return member;                                                                                       \
    }                                                                                                        \
    void CPreference::Set##Type(const Type& section)                                                         \
    {                                                                                                        \
        std::lock_guard hold(m_lock);                                                                        \
        member = section;                                                                                    \
    }

KESTROVA_SECTION_ACCESS(GeneralSection, m_general)
KESTROVA_SECTION_ACCESS(DownloadSection, m_download)
KESTROVA_SECTION_ACCESS(ProxySection, m_proxy)
KESTROVA_SECTION_ACCESS(PodcastSection, m_podcast)
KESTROVA_SECTION_ACCESS(TorrentSection, m_torrent)
KESTROVA_SECTION_ACCESS(PersonalSection, m_personal)

#undef KESTROVA_SECTION_ACCESS

uString CPreference::GetProgramDir() const
{
    std::lock_guard hold(m_lock);
    return m_programDir;
}

void CPreference::SetAside(const uFile& file)
{
    const uString target = SetAsideDamagedFile(file.getPath());
    std::fprintf(stderr, "%s\n", SetAsideMessage(file.getPath(), target).c_str());
    std::lock_guard hold(m_lock);
    m_setAsideFiles.emplace_back(file.getPath(), target);
}

std::vector<uString> CPreference::TakeSetAsideMessages()
{
    // Formatted now, not when the files were set aside: the configuration is
    // read before the interface language is chosen.
    std::lock_guard hold(m_lock);
    std::vector<uString> messages;
    for (const auto& [path, target] : m_setAsideFiles)
        messages.push_back(SetAsideMessage(path, target));
    m_setAsideFiles.clear();
    return messages;
}

uString CPreference::GetLastErrorText() const
{
    std::lock_guard hold(m_lock);
    return m_lastError;
}

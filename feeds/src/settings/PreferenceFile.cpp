// Reading and writing "config.xml" in the data folder.

#include "XmlAttributes.h"
#include "feeds/DownloadQueue.h"
#include "feeds/Preference.h"
#include "foundation/uBase64.h"
#include "foundation/uSplit.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <ctime>
#include <vector>

using namespace xercesc;

namespace
{

// The C library's decimal reading (white space and a sign, then digits up to
// the first other character, 0 when there are none), held to the int range.
int toInt(const uString& text)
{
    long value = std::strtol(text.c_str(), nullptr, 10);
    if (value > INT_MAX)
        return INT_MAX;
    if (value < INT_MIN)
        return INT_MIN;
    return static_cast<int>(value);
}

// Only the exact text "true" is true.
bool toBool(const uString& text)
{
    return text == uString("true");
}

const char* boolText(bool value)
{
    return value ? "true" : "false";
}

uString intText(int value)
{
    uString text;
    text.format("%d", value);
    return text;
}

// "H:M" replaces the local hour and minute of `time`, keeping its date and
// seconds; any text that does not split into exactly two numbers leaves it.
void readDailyTime(const uString& text, int64_t& time)
{
    std::vector<int> parts;
    SplitToIntList(text.c_str(), ':', parts);
    if (parts.size() != 2)
        return;
    time_t current = static_cast<time_t>(time);
    struct tm local = {};
    if (!localtime_r(&current, &local))
        return;
    local.tm_hour = parts[0];
    local.tm_min = parts[1];
    local.tm_isdst = -1; // the C library decides whether daylight saving applies
    time_t changed = std::mktime(&local);
    if (changed != static_cast<time_t>(-1))
        time = static_cast<int64_t>(changed);
}

// The local hour and minute, each padded with spaces to two places.
uString dailyTimeText(int64_t time)
{
    time_t value = static_cast<time_t>(time);
    struct tm local = {};
    localtime_r(&value, &local);
    uString text;
    text.format("%2d:%2d", local.tm_hour, local.tm_min);
    return text;
}

uString timerName(const char* prefix, int index)
{
    uString name;
    name.format("%s%d", prefix, index + 1);
    return name;
}

} // namespace

void CPreference::Load()
{
    DefaultWindow(m_window);
    DefaultGeneral(m_general);
    DefaultDownload(m_download);
    DefaultProxy(m_proxy);
    DefaultPodcast(m_podcast);
    DefaultTorrent(m_torrent);
    DefaultPersonal(m_personal);

    uXmlDocument document;
    const uFile file(m_dataDir.getPath().c_str(), "config.xml");
    const bool exists = m_dataFolderReady && file.exists();
    bool loaded = exists && document.load(file.getPath().c_str(), true, true, false, true) &&
                  document.getDocument() != nullptr && !document.isPartial();
    // A damaged file would lose the settings it still holds at the next save.
    if (exists && !loaded)
    {
        document.releaseDocument();
        SetAside(file);
    }
    // An absent attribute reads as "" and so gives 0, false or "", not the default.
    auto get = [](const DOMElement* element, const char* name)
    { return xmlattr::Get(element, uXmlString(name).get()); };

    if (const DOMElement* e = loaded ? xmlattr::FirstElement(document, u"window") : nullptr)
    {
        m_window.left = toInt(get(e, "left"));
        m_window.top = toInt(get(e, "top"));
        m_window.width = toInt(get(e, "width"));
        m_window.height = toInt(get(e, "height"));
    }

    if (const DOMElement* e = loaded ? xmlattr::FirstElement(document, u"general") : nullptr)
    {
        m_general.bNotifyUponNewArrival = toBool(get(e, "bNotifyUponNewArrival"));
        m_general.bAutoPurge = toBool(get(e, "bAutoPurge"));
        m_general.bStartupAtLogon = toBool(get(e, "bStartupAtLogon"));
        m_general.bPurgeItemOldThan = toBool(get(e, "bPurgeItemOldThan"));
        m_general.nRefreshRate = toInt(get(e, "nRefreshRate"));
        m_general.nDefaultTimeout = toInt(get(e, "nDefaultTimeout"));
        m_general.nPurgeDayToLive = toInt(get(e, "nPurgeDayToLive"));
        m_general.nStartupMode = toInt(get(e, "nStartupMode"));
        m_general.strAggregatorPrefix = get(e, "strAggregatorPrefix");
        m_general.strAggregatorDroppedHost = get(e, "strAggregatorDroppedHost");
    }

    if (const DOMElement* e = loaded ? xmlattr::FirstElement(document, u"download") : nullptr)
    {
        m_download.bAutoDownload = toBool(get(e, "bAutoDownload"));
        m_download.nMinFreeSpace = toInt(get(e, "nMinFreeSpace"));
        m_download.nMaxScanningThreads = toInt(get(e, "nMaxScanningThreads"));
        m_download.nMaxDownloadingThreads = toInt(get(e, "nMaxDownloadingThreads"));
        m_download.bIntervalScheduler = toBool(get(e, "bIntervalScheduler"));
        // Each mode reads only its own settings; the others keep their defaults.
        if (m_download.bIntervalScheduler)
            m_download.nSchedulerInterval = toInt(get(e, "nSchedulerInterval"));
        else
            for (int i = 0; i < 6; ++i)
            {
                m_download.bEnableTimer[i] = toBool(get(e, timerName("bEnableTimer", i).c_str()));
                if (m_download.bEnableTimer[i])
                    readDailyTime(get(e, timerName("timer", i).c_str()), m_download.timer[i]);
            }
    }

    if (const DOMElement* e = loaded ? xmlattr::FirstElement(document, u"proxy") : nullptr)
    {
        m_proxy.bSock5 = toBool(get(e, "bSock5"));
        m_proxy.strHostname = get(e, "strHostname");
        m_proxy.strPort = get(e, "strPort");
        m_proxy.strUsername = get(e, "strUsername");
        m_proxy.strPassword = Base64Decode(get(e, "strPassword"));
    }

    if (const DOMElement* e = loaded ? xmlattr::FirstElement(document, u"podcast") : nullptr)
    {
        m_podcast.nFormatPlayLists = toInt(get(e, "nFormatPlayLists"));
        m_podcast.strPodcastDirectory = get(e, "strPodcastDirectory");
        if (!m_podcast.strPodcastDirectory.isEmpty() && IsDirectory(m_podcast.strPodcastDirectory.c_str()))
        {
            m_libraryDir.setPath(m_podcast.strPodcastDirectory.c_str());
            EnsureMediaDirLocked(m_downloadDir, "My Download");
            EnsureMediaDirLocked(m_musicDir, "My Music");
            EnsureMediaDirLocked(m_movieDir, "My Movie");
        }
        m_podcast.strPostProcessCommand = get(e, "strPostProcessCommand");
    }
    // Neither Windows Media Player (0) nor iTunes (2) exists here: the M3U
    // playlist (1) is the hand-off that works. Applies to the default too.
    if (m_podcast.nFormatPlayLists == 0 || (m_podcast.nFormatPlayLists == 2 && !IsITunesInstalled()))
        m_podcast.nFormatPlayLists = 1;

    if (const DOMElement* e = loaded ? xmlattr::FirstElement(document, u"torrent") : nullptr)
    {
        m_torrent.nMaxDownloadRateLimit = toInt(get(e, "nMaxDownloadRateLimit"));
        m_torrent.nMaxUploadRateLimit = toInt(get(e, "nMaxUploadRateLimit"));
        m_torrent.nMaxConnections = toInt(get(e, "nMaxConnections"));
        m_torrent.nMaxUploadTask = toInt(get(e, "nMaxUploadTask"));
        m_torrent.nListenPortNumber1 = toInt(get(e, "nListenPortNumber1"));
        m_torrent.nListenPortNumber2 = toInt(get(e, "nListenPortNumber2"));
    }

    if (const DOMElement* e = loaded ? xmlattr::FirstElement(document, u"personal") : nullptr)
    {
        m_personal.strServerSMTP = get(e, "strServerSMTP");
        m_personal.strEmailAdress = get(e, "strEmailAdress");
        m_personal.strEmailName = get(e, "strEmailName");
    }
}

void CPreference::Save() const
{
    WindowSection window;
    GeneralSection general;
    DownloadSection download;
    ProxySection proxy;
    PodcastSection podcast;
    TorrentSection torrent;
    PersonalSection personal;
    uFile dataDir;
    {
        std::lock_guard hold(m_lock);
        window = m_window;
        general = m_general;
        download = m_download;
        proxy = m_proxy;
        podcast = m_podcast;
        torrent = m_torrent;
        personal = m_personal;
        dataDir = m_dataDir;
    }
    if (!m_dataFolderReady || dataDir.getPath().isEmpty())
        return;

    uXmlDocument document(u"Preference", nullptr, nullptr);
    DOMElement* root = document.getDocumentElement();
    if (!root)
        return;
    auto set = [](DOMElement* e, const char* name, const char* value)
    { xmlattr::Set(e, uXmlString(name).get(), value); };
    auto setInt = [&](DOMElement* e, const char* name, int value) { set(e, name, intText(value).c_str()); };
    auto setBool = [&](DOMElement* e, const char* name, bool value) { set(e, name, boolText(value)); };

    if (DOMElement* e = xmlattr::AppendElement(document, root, u"window"))
    {
        setInt(e, "left", window.left);
        setInt(e, "top", window.top);
        setInt(e, "width", window.width);
        setInt(e, "height", window.height);
    }
    if (DOMElement* e = xmlattr::AppendElement(document, root, u"general"))
    {
        setBool(e, "bNotifyUponNewArrival", general.bNotifyUponNewArrival);
        setBool(e, "bAutoPurge", general.bAutoPurge);
        setBool(e, "bStartupAtLogon", general.bStartupAtLogon);
        setBool(e, "bPurgeItemOldThan", general.bPurgeItemOldThan);
        setInt(e, "nRefreshRate", general.nRefreshRate);
        setInt(e, "nDefaultTimeout", general.nDefaultTimeout);
        setInt(e, "nPurgeDayToLive", general.nPurgeDayToLive);
        setInt(e, "nStartupMode", general.nStartupMode);
        if (!general.strAggregatorPrefix.isEmpty())
            set(e, "strAggregatorPrefix", general.strAggregatorPrefix.c_str());
        if (!general.strAggregatorDroppedHost.isEmpty())
            set(e, "strAggregatorDroppedHost", general.strAggregatorDroppedHost.c_str());
    }
    if (DOMElement* e = xmlattr::AppendElement(document, root, u"download"))
    {
        setBool(e, "bAutoDownload", download.bAutoDownload);
        setInt(e, "nMinFreeSpace", download.nMinFreeSpace);
        setInt(e, "nMaxScanningThreads", download.nMaxScanningThreads);
        setInt(e, "nMaxDownloadingThreads", download.nMaxDownloadingThreads);
        setBool(e, "bIntervalScheduler", download.bIntervalScheduler);
        if (download.bIntervalScheduler)
            setInt(e, "nSchedulerInterval", download.nSchedulerInterval);
        else
            for (int i = 0; i < 6; ++i)
            {
                setBool(e, timerName("bEnableTimer", i).c_str(), download.bEnableTimer[i]);
                if (download.bEnableTimer[i])
                    set(e, timerName("timer", i).c_str(), dailyTimeText(download.timer[i]).c_str());
            }
    }
    if (DOMElement* e = xmlattr::AppendElement(document, root, u"proxy"))
    {
        setBool(e, "bSock5", proxy.bSock5);
        set(e, "strHostname", proxy.strHostname.c_str());
        set(e, "strPort", proxy.strPort.c_str());
        set(e, "strUsername", proxy.strUsername.c_str());
        set(e, "strPassword", Base64Encode(proxy.strPassword).c_str());
    }
    if (DOMElement* e = xmlattr::AppendElement(document, root, u"podcast"))
    {
        if (!podcast.strPodcastDirectory.isEmpty())
            set(e, "strPodcastDirectory", podcast.strPodcastDirectory.c_str());
        if (!podcast.strPostProcessCommand.isEmpty())
            set(e, "strPostProcessCommand", podcast.strPostProcessCommand.c_str());
        setInt(e, "nFormatPlayLists", podcast.nFormatPlayLists);
    }
    if (DOMElement* e = xmlattr::AppendElement(document, root, u"torrent"))
    {
        setInt(e, "nMaxDownloadRateLimit", torrent.nMaxDownloadRateLimit);
        setInt(e, "nMaxUploadRateLimit", torrent.nMaxUploadRateLimit);
        setInt(e, "nMaxConnections", torrent.nMaxConnections);
        setInt(e, "nMaxUploadTask", torrent.nMaxUploadTask);
        setInt(e, "nListenPortNumber1", torrent.nListenPortNumber1);
        setInt(e, "nListenPortNumber2", torrent.nListenPortNumber2);
    }
    if (DOMElement* e = xmlattr::AppendElement(document, root, u"personal"))
    {
        if (!personal.strEmailAdress.isEmpty())
            set(e, "strEmailAdress", personal.strEmailAdress.c_str());
        if (!personal.strEmailName.isEmpty())
            set(e, "strEmailName", personal.strEmailName.c_str());
        if (!personal.strServerSMTP.isEmpty())
            set(e, "strServerSMTP", personal.strServerSMTP.c_str());
    }

    document.setStandalone(true);
    // Holds the proxy password: private to the user, and replaced atomically
    // so a crash while writing leaves the previous file.
    document.save(uFile(dataDir.getPath().c_str(), "config.xml").getPath().c_str(), 0600);
}

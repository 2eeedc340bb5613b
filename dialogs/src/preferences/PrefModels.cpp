#include "dialogs/PrefModels.h"

#include "StringTable.h"
#include "downloads/TorrentEngine.h"
#include "feeds/AuthList.h"
#include "foundation/uFile.h"

#include <cstdlib>
#include <ctime>
#include <string>

namespace prefs
{
namespace
{
constexpr int kMissingFolder = 3032;
constexpr int kNoLimit = 3034;
// The framework's data-exchange message for a number out of its range.
constexpr int kIntegerRange = 61714;

// The edits whose numbers can be refused.
constexpr int kRefreshEdit = 1043;
constexpr int kPurgeDaysEdit = 1035;
constexpr int kFreeSpaceEdit = 1050;
constexpr int kScanThreadsCombo = 1053;
constexpr int kDownloadThreadsCombo = 1054;
constexpr int kProxyPortEdit = 1045;
constexpr int kFirstPortEdit = 1095;
constexpr int kLastPortEdit = 1096;

uString Text(int stringId)
{
    return resources::StringText(stringId);
}

uString Number(int value)
{
    return uString(std::to_string(value).c_str());
}

std::vector<uString> Texts(std::initializer_list<int> ids)
{
    std::vector<uString> texts;
    for (int id : ids)
        texts.push_back(Text(id));
    return texts;
}

// A whole number typed into a digits-only edit, within [low, high]; false
// for an empty text, anything but digits, or a value out of range.
bool ParseNumber(const uString& text, int low, int high, int& value)
{
    std::string digits = text.c_str();
    if (digits.empty() || digits.size() > 9 || digits.find_first_not_of("0123456789") != std::string::npos)
        return false;
    value = std::atoi(digits.c_str());
    return value >= low && value <= high;
}

Refusal RangeRefusal(int control, int low, int high)
{
    uString text = Text(kIntegerRange);
    text.replace(uString("%1"), Number(low));
    text.replace(uString("%2"), Number(high));
    return Refusal{control, text};
}

// The item's index in the list, -1 when the text matches none exactly.
int ItemIndex(const std::vector<uString>& items, const uString& text)
{
    for (size_t i = 0; i < items.size(); ++i)
    {
        if (items[i] == text)
            return static_cast<int>(i);
    }
    return -1;
}

template <typename T> void CopyWhenChanged(const T& shown, const T& edited, T& target)
{
    if (!(shown == edited))
        target = edited;
}
} // namespace

int PersonalPageIndex(bool hasEngine)
{
    return hasEngine ? 5 : 4;
}

int StartPage(int index, bool hasEngine)
{
    return index >= 0 && index <= PersonalPageIndex(hasEngine) ? index : kGeneralPage;
}

std::vector<uString> TimeoutItems()
{
    return Texts({2138, 2136, 2137, 2139, 2129});
}

std::vector<uString> RefreshUnitItems(const uString& number)
{
    // The leading digits, as the page reads them; 0 when there are none.
    unsigned long count = std::strtoul(number.c_str(), nullptr, 10);
    std::vector<uString> items;
    for (int id : {2140, 2141})
        items.emplace_back(std::string(resources::FindPluralString(id, count)).c_str());
    return items;
}

std::vector<uString> IntervalItems()
{
    return Texts({2131, 2132, 2133, 2134, 2135});
}

GeneralForm ShowGeneral(const CPreference::GeneralSection& section)
{
    GeneralForm form;
    // Hours only when the rate is a whole number of them: 90 minutes shown
    // as "1 hour" would be stored as 60 by an OK that changed nothing.
    bool hours = section.nRefreshRate > 60 && section.nRefreshRate % 60 == 0;
    form.refreshNumber = Number(hours ? section.nRefreshRate / 60 : section.nRefreshRate);
    form.refreshUnit = RefreshUnitItems(form.refreshNumber)[hours ? 1 : 0];
    form.timeout = TimeoutItems()[0];
    for (size_t i = 0; i < std::size(kTimeoutSeconds); ++i)
    {
        if (kTimeoutSeconds[i] == section.nDefaultTimeout)
            form.timeout = TimeoutItems()[i];
    }
    form.purgeDays = Number(section.nPurgeDayToLive);
    form.notify = section.bNotifyUponNewArrival;
    form.autoPurge = section.bAutoPurge;
    form.purgeOlder = section.bPurgeItemOldThan;
    form.startAtLogon = section.bStartupAtLogon;
    form.startupMode = section.nStartupMode;
    return form;
}

bool ApplyGeneral(const GeneralForm& shown, const GeneralForm& edited, CPreference::GeneralSection& section,
                  Refusal& refusal)
{
    CPreference::GeneralSection result = section;
    if (edited.refreshNumber != shown.refreshNumber || edited.refreshUnit != shown.refreshUnit)
    {
        int unit = ItemIndex(RefreshUnitItems(edited.refreshNumber), edited.refreshUnit);
        int number = 0;
        int factor = unit == 1 ? 60 : 1;
        if (unit >= 0 && !ParseNumber(edited.refreshNumber, 1, kMaxRefreshMinutes / factor, number))
        {
            refusal = RangeRefusal(kRefreshEdit, 1, kMaxRefreshMinutes / factor);
            return false;
        }
        if (unit >= 0) // a unit that is no item leaves the rate as it was
            result.nRefreshRate = number * factor;
    }
    // Stored whether changed or not: a stored value that is no item shows as
    // the first item, and the program must then use what the page showed.
    int timeoutIndex = ItemIndex(TimeoutItems(), edited.timeout);
    if (timeoutIndex >= 0)
        result.nDefaultTimeout = kTimeoutSeconds[timeoutIndex];
    if (edited.purgeDays != shown.purgeDays &&
        !ParseNumber(edited.purgeDays, 1, kMaxPurgeDays, result.nPurgeDayToLive))
    {
        refusal = RangeRefusal(kPurgeDaysEdit, 1, kMaxPurgeDays);
        return false;
    }
    CopyWhenChanged(shown.notify, edited.notify, result.bNotifyUponNewArrival);
    CopyWhenChanged(shown.autoPurge, edited.autoPurge, result.bAutoPurge);
    CopyWhenChanged(shown.purgeOlder, edited.purgeOlder, result.bPurgeItemOldThan);
    CopyWhenChanged(shown.startAtLogon, edited.startAtLogon, result.bStartupAtLogon);
    CopyWhenChanged(shown.startupMode, edited.startupMode, result.nStartupMode);
    section = result;
    return true;
}

int MinuteOfDay(int64_t time)
{
    time_t value = static_cast<time_t>(time);
    tm local{};
    localtime_r(&value, &local);
    return local.tm_hour * 60 + local.tm_min;
}

int64_t WithMinuteOfDay(int64_t time, int minute)
{
    time_t value = static_cast<time_t>(time);
    tm local{};
    localtime_r(&value, &local);
    local.tm_hour = minute / 60;
    local.tm_min = minute % 60;
    local.tm_sec = 0;
    local.tm_isdst = -1;
    return static_cast<int64_t>(mktime(&local));
}

DownloadForm ShowDownload(const CPreference::DownloadSection& section)
{
    DownloadForm form;
    form.autoDownload = section.bAutoDownload;
    form.freeSpace = Number(section.nMinFreeSpace);
    // A value that is no item shows as itself, so that OK keeps it.
    form.scanThreads = Number(section.nMaxScanningThreads);
    form.downloadThreads = Number(section.nMaxDownloadingThreads);
    form.intervalScheduler = section.bIntervalScheduler;
    form.interval = Number(section.nSchedulerInterval) + " min.";
    for (size_t i = 0; i < std::size(kIntervalMinutes); ++i)
    {
        if (kIntervalMinutes[i] == section.nSchedulerInterval)
            form.interval = IntervalItems()[i];
    }
    for (int i = 0; i < 6; ++i)
    {
        form.timerEnabled[i] = section.bEnableTimer[i];
        form.timerMinute[i] = MinuteOfDay(section.timer[i]);
    }
    return form;
}

bool ApplyDownload(const DownloadForm& shown, const DownloadForm& edited,
                   CPreference::DownloadSection& section, Refusal& refusal)
{
    CPreference::DownloadSection result = section;
    CopyWhenChanged(shown.autoDownload, edited.autoDownload, result.bAutoDownload);
    if (edited.freeSpace != shown.freeSpace &&
        !ParseNumber(edited.freeSpace, 0, kMaxFreeSpaceMegabytes, result.nMinFreeSpace))
    {
        refusal = RangeRefusal(kFreeSpaceEdit, 0, kMaxFreeSpaceMegabytes);
        return false;
    }
    if (edited.scanThreads != shown.scanThreads &&
        !ParseNumber(edited.scanThreads, 1, 8, result.nMaxScanningThreads))
    {
        refusal = RangeRefusal(kScanThreadsCombo, 1, 8);
        return false;
    }
    if (edited.downloadThreads != shown.downloadThreads &&
        !ParseNumber(edited.downloadThreads, 1, 4, result.nMaxDownloadingThreads))
    {
        refusal = RangeRefusal(kDownloadThreadsCombo, 1, 4);
        return false;
    }
    CopyWhenChanged(shown.intervalScheduler, edited.intervalScheduler, result.bIntervalScheduler);
    if (edited.intervalScheduler)
    {
        int index = ItemIndex(IntervalItems(), edited.interval);
        if (edited.interval != shown.interval && index >= 0)
            result.nSchedulerInterval = kIntervalMinutes[index];
    }
    else
    {
        // A disabled timer keeps its stored time, whatever its picker shows.
        for (int i = 0; i < 6; ++i)
        {
            CopyWhenChanged(shown.timerEnabled[i], edited.timerEnabled[i], result.bEnableTimer[i]);
            if (edited.timerEnabled[i] && edited.timerMinute[i] != shown.timerMinute[i])
                result.timer[i] = WithMinuteOfDay(section.timer[i], edited.timerMinute[i]);
        }
    }
    section = result;
    return true;
}

ProxyForm ShowProxy(const CPreference::ProxySection& section)
{
    return ProxyForm{section.strHostname, section.strPort, section.strUsername, section.strPassword,
                     section.bSock5};
}

bool ApplyProxy(const ProxyForm& shown, const ProxyForm& edited, CPreference::ProxySection& section,
                Refusal& refusal)
{
    if (edited.port != shown.port && !edited.port.isEmpty() && ParsePort(edited.port) == 0)
    {
        refusal = RangeRefusal(kProxyPortEdit, 1, 65535);
        return false;
    }
    CopyWhenChanged(shown.host, edited.host, section.strHostname);
    CopyWhenChanged(shown.port, edited.port, section.strPort);
    CopyWhenChanged(shown.user, edited.user, section.strUsername);
    CopyWhenChanged(shown.password, edited.password, section.strPassword);
    CopyWhenChanged(shown.sock5, edited.sock5, section.bSock5);
    return true;
}

PodcastForm ShowPodcast(const CPreference::PodcastSection& section)
{
    return PodcastForm{section.strPodcastDirectory, section.strPostProcessCommand, section.nFormatPlayLists};
}

int CheckedPlaylistButton(int format, bool itunesInstalled)
{
    if (format == 0 || format == 1)
        return format;
    return format == 2 && itunesInstalled ? 2 : -1;
}

void ApplyPodcast(const PodcastForm& shown, const PodcastForm& edited, CPreference::PodcastSection& section)
{
    CopyWhenChanged(shown.folder, edited.folder, section.strPodcastDirectory);
    CopyWhenChanged(shown.command, edited.command, section.strPostProcessCommand);
    CopyWhenChanged(shown.format, edited.format, section.nFormatPlayLists);
}

SpinRange TorrentRange(int row)
{
    switch (row)
    {
    case kDownloadRateRow:
    case kUploadRateRow:
        return {0, 512};
    case kConnectionsRow:
        return {2, 128};
    default:
        return {1, 64};
    }
}

int SpinValue(int row, int position, int delta)
{
    SpinRange range = TorrentRange(row);
    long value = static_cast<long>(position) + delta;
    return static_cast<int>(value < range.low ? range.low : value > range.high ? range.high : value);
}

uString TorrentValueText(int row, int value)
{
    if ((row == kDownloadRateRow || row == kUploadRateRow) && value < 1)
        return Text(kNoLimit);
    return Number(value);
}

int ParsePort(const uString& text)
{
    int port = 0;
    return ParseNumber(text, 1, 65535, port) ? port : 0;
}

Refusal PortRefusal(int control)
{
    return RangeRefusal(control, 1, 65535);
}

TorrentForm ShowTorrent(const CPreference::TorrentSection& section)
{
    TorrentForm form;
    form.firstPort = Number(section.nListenPortNumber1);
    form.lastPort = Number(section.nListenPortNumber2);
    form.downloadRate = section.nMaxDownloadRateLimit / 1000;
    form.uploadRate = section.nMaxUploadRateLimit / 1000;
    form.connections = section.nMaxConnections;
    form.uploads = section.nMaxUploadTask;
    return form;
}

bool ApplyTorrent(const TorrentForm& shown, const TorrentForm& edited, CPreference::TorrentSection& section,
                  Refusal& refusal)
{
    CPreference::TorrentSection result = section;
    if (edited.firstPort != shown.firstPort && (result.nListenPortNumber1 = ParsePort(edited.firstPort)) == 0)
    {
        refusal = PortRefusal(kFirstPortEdit);
        return false;
    }
    if (edited.lastPort != shown.lastPort && (result.nListenPortNumber2 = ParsePort(edited.lastPort)) == 0)
    {
        refusal = PortRefusal(kLastPortEdit);
        return false;
    }
    // Rates go back to bytes per second only when changed: a stored 1999
    // shows as 1 kB/s and must not come back as 1000.
    if (edited.downloadRate != shown.downloadRate)
        result.nMaxDownloadRateLimit = SpinValue(kDownloadRateRow, edited.downloadRate, 0) * 1000;
    if (edited.uploadRate != shown.uploadRate)
        result.nMaxUploadRateLimit = SpinValue(kUploadRateRow, edited.uploadRate, 0) * 1000;
    if (edited.connections != shown.connections)
        result.nMaxConnections = SpinValue(kConnectionsRow, edited.connections, 0);
    if (edited.uploads != shown.uploads)
        result.nMaxUploadTask = SpinValue(kUploadsRow, edited.uploads, 0);
    section = result;
    return true;
}

PersonalForm ShowPersonal(const CPreference::PersonalSection& section)
{
    return PersonalForm{section.strEmailName, section.strEmailAdress, section.strServerSMTP};
}

void ApplyPersonal(const PersonalForm& shown, const PersonalForm& edited,
                   CPreference::PersonalSection& section)
{
    CopyWhenChanged(shown.name, edited.name, section.strEmailName);
    CopyWhenChanged(shown.address, edited.address, section.strEmailAdress);
    CopyWhenChanged(shown.server, edited.server, section.strServerSMTP);
}

SheetForms ShowAll(const CPreference& preference)
{
    SheetForms forms;
    forms.general = ShowGeneral(preference.GetGeneralSection());
    forms.download = ShowDownload(preference.GetDownloadSection());
    forms.proxy = ShowProxy(preference.GetProxySection());
    forms.podcast = ShowPodcast(preference.GetPodcastSection());
    forms.torrent = ShowTorrent(preference.GetTorrentSection());
    forms.personal = ShowPersonal(preference.GetPersonalSection());
    return forms;
}

namespace
{
// Tells the engine what differs between the stored sections and the new ones.
void TellEngine(CTorrentEngine& engine, const CPreference::TorrentSection& stored,
                const CPreference::TorrentSection& torrent, const CPreference::ProxySection& storedProxy,
                const CPreference::ProxySection& proxy)
{
    if (torrent.nMaxDownloadRateLimit != stored.nMaxDownloadRateLimit)
        engine.SetDownloadRateLimit(torrent.nMaxDownloadRateLimit);
    if (torrent.nMaxUploadRateLimit != stored.nMaxUploadRateLimit)
        engine.SetUploadRateLimit(torrent.nMaxUploadRateLimit);
    if (torrent.nMaxConnections != stored.nMaxConnections)
        engine.SetMaxConnections(torrent.nMaxConnections);
    if (torrent.nMaxUploadTask != stored.nMaxUploadTask)
        engine.SetMaxUploads(torrent.nMaxUploadTask);
    if (torrent.nListenPortNumber1 != stored.nListenPortNumber1 ||
        torrent.nListenPortNumber2 != stored.nListenPortNumber2)
        engine.SetListenPorts(torrent.nListenPortNumber1, torrent.nListenPortNumber2);
    // The engine has no SOCKS switch: the flag is stored for the fetches only.
    if (proxy.strHostname != storedProxy.strHostname || proxy.strPort != storedProxy.strPort ||
        proxy.strUsername != storedProxy.strUsername || proxy.strPassword != storedProxy.strPassword)
        engine.SetProxy(proxy.strHostname, std::atoi(proxy.strPort.c_str()), proxy.strUsername,
                        proxy.strPassword);
}
} // namespace

SheetSections StoredSections(const CPreference& preference)
{
    return SheetSections{preference.GetGeneralSection(), preference.GetDownloadSection(),
                         preference.GetProxySection(),   preference.GetPodcastSection(),
                         preference.GetTorrentSection(), preference.GetPersonalSection()};
}

void StoreAll(CPreference& preference, CTorrentEngine* engine, const SheetSections& sections,
              const ApplyHooks& hooks)
{
    const CPreference::ProxySection storedProxy = preference.GetProxySection();
    const CPreference::PodcastSection storedPodcast = preference.GetPodcastSection();
    const CPreference::TorrentSection storedTorrent = preference.GetTorrentSection();

    preference.SetGeneralSection(sections.general);
    preference.SetDownloadSection(sections.download);
    CPreference::PodcastSection podcast = sections.podcast;
    preference.SetPodcastSection(podcast);
    if (!podcast.strPodcastDirectory.isEmpty())
    {
        uFile library(podcast.strPodcastDirectory.c_str());
        if (library.isDirectory())
            preference.SetLibraryDir(library);
        else
        {
            // Never made here: a mistyped path must not become a folder.
            if (hooks.message)
                hooks.message(kMissingFolder, podcast.strPodcastDirectory);
            podcast.strPodcastDirectory.setEmpty();
            preference.SetPodcastSection(podcast);
        }
        preference.EnsureDownloadDir();
        preference.EnsureMusicDir();
        preference.EnsureMovieDir();
    }
    else if (!storedPodcast.strPodcastDirectory.isEmpty())
    {
        // Emptied by the user: "Leave it empty to use the default download
        // directory" holds from now on, not only after a restart.
        preference.SetLibraryDir(preference.GetDefaultLibraryDir());
        preference.EnsureDownloadDir();
        preference.EnsureMusicDir();
        preference.EnsureMovieDir();
    }
    if (engine != nullptr)
    {
        TellEngine(*engine, storedTorrent, sections.torrent, storedProxy, sections.proxy);
        preference.SetTorrentSection(sections.torrent);
    }
    preference.SetProxySection(sections.proxy);
    preference.SetPersonalSection(sections.personal);
    // Also written at exit; written now as well so that a crash or a killed
    // session does not lose what the user just confirmed.
    preference.Save();
    if (hooks.settingsChanged)
        hooks.settingsChanged();
}

bool ApplyAll(CPreference& preference, CTorrentEngine* engine, const SheetForms& shown,
              const SheetForms& edited, const ApplyHooks& hooks, int& failedPage, Refusal& refusal)
{
    // Every page is applied into copies first, so that a refused value
    // stores nothing at all.
    SheetSections sections = StoredSections(preference);
    failedPage = -1;
    if (!ApplyGeneral(shown.general, edited.general, sections.general, refusal))
        failedPage = kGeneralPage;
    else if (!ApplyDownload(shown.download, edited.download, sections.download, refusal))
        failedPage = kDownloadPage;
    else if (!ApplyProxy(shown.proxy, edited.proxy, sections.proxy, refusal))
        failedPage = kProxyPage;
    else if (engine != nullptr && !ApplyTorrent(shown.torrent, edited.torrent, sections.torrent, refusal))
        failedPage = kTorrentPage;
    if (failedPage >= 0)
        return false;
    ApplyPodcast(shown.podcast, edited.podcast, sections.podcast);
    ApplyPersonal(shown.personal, edited.personal, sections.personal);
    StoreAll(preference, engine, sections, hooks);
    return true;
}

std::vector<uString> CPasswordManager::Urls() const
{
    std::vector<uString> urls;
    m_credentials.GetUrls(urls);
    return urls;
}

void CPasswordManager::Select(const uString& url)
{
    m_selected = url;
    login.setEmpty();
    password.setEmpty();
    retype.setEmpty();
    uString user;
    uString stored;
    if (!url.isEmpty() && m_credentials.GetCredentials(url.c_str(), user, stored))
    {
        login = user;
        password = stored;
        retype = stored;
    }
}

void CPasswordManager::LoginLeft(const uString& text)
{
    login = text;
    uString user;
    uString stored;
    if (m_selected.isEmpty() || !m_credentials.GetCredentials(m_selected.c_str(), user, stored))
        return;
    if (text != user)
        m_credentials.SetCredentials(m_selected.c_str(), text.c_str(), stored.c_str());
}

void CPasswordManager::RetypeLeft(const uString& typed, const uString& typedAgain)
{
    password = typed;
    retype = typedAgain;
    uString user;
    uString stored;
    if (m_selected.isEmpty() || !m_credentials.GetCredentials(m_selected.c_str(), user, stored))
        return;
    if (typed == typedAgain && typed != stored)
    {
        m_credentials.SetCredentials(m_selected.c_str(), user.c_str(), typed.c_str());
        return;
    }
    password = stored;
    retype = stored;
}

void CPasswordManager::RemoveSelected()
{
    if (!m_selected.isEmpty())
        m_credentials.Remove(m_selected.c_str());
    Select(uString());
}

int RowAfterRemoval(int row, int count)
{
    if (count <= 0)
        return -1;
    return row < count ? row : count - 1;
}
} // namespace prefs

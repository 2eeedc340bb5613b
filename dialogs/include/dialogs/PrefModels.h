#pragma once

#include "feeds/Preference.h"
#include "foundation/uString.h"

#include <cstdint>
#include <functional>
#include <vector>

class CAuthList;
class CTorrentEngine;

// What the preference pages show, as plain values, and how an edited page
// goes back into its section. No window is involved: the pages fill their
// controls from a form and read a form back.
//
// Every Apply compares the form the page showed with the form the user left
// and writes only the settings whose controls changed, so a value the page
// cannot show exactly (a rate of 90 minutes, a hand-edited time-out) is never
// rewritten behind the user's back. A changed number that is out of range is
// refused: Apply returns false with the refusal and leaves the section as it
// was.
namespace prefs
{
/// Why a page refused OK: the edit holding the value and the text to show
/// (from the string table, in the interface language).
struct Refusal
{
    int control = 0;
    uString text;
};

/// Page order of the sheet, which is also the start-page numbering.
enum PageIndex
{
    kGeneralPage = 0,
    kDownloadPage = 1,
    kProxyPage = 2,
    kPodcastPage = 3,
    kTorrentPage = 4, ///< only with an engine; Personal is 4 without one
};

/// The Personal page's index: 5 with an engine, 4 without.
int PersonalPageIndex(bool hasEngine);
/// The page a start index names; General for an index that names no page.
int StartPage(int index, bool hasEngine);

inline constexpr int kMaxRefreshMinutes = 35791; // the timer's milliseconds still fit an int
inline constexpr int kMaxPurgeDays = 36500;
inline constexpr int kMaxFreeSpaceMegabytes = 1048576;

struct GeneralForm
{
    uString refreshNumber; ///< edit 1043
    uString refreshUnit;   ///< combo 1042: "minute" or "hour"
    uString timeout;       ///< combo 1041
    uString purgeDays;     ///< edit 1035
    bool notify = false;
    bool autoPurge = false;
    bool purgeOlder = false;
    bool startAtLogon = false;
    int startupMode = 0;
    bool operator==(const GeneralForm&) const = default;
};

/// The five time-out items (strings 2138, 2136, 2137, 2139, 2129) and their seconds.
std::vector<uString> TimeoutItems();
inline constexpr int kTimeoutSeconds[] = {5, 15, 30, 60, 300};
/// The two unit items (strings 2140, 2141) in the form that goes with the
/// number typed before them.
std::vector<uString> RefreshUnitItems(const uString& number);

GeneralForm ShowGeneral(const CPreference::GeneralSection& section);
bool ApplyGeneral(const GeneralForm& shown, const GeneralForm& edited, CPreference::GeneralSection& section,
                  Refusal& refusal);

struct DownloadForm
{
    bool autoDownload = false;
    uString freeSpace;       ///< edit 1050, megabytes
    uString scanThreads;     ///< combo 1053
    uString downloadThreads; ///< combo 1054
    bool intervalScheduler = false;
    uString interval; ///< combo 1057
    bool timerEnabled[6] = {};
    int timerMinute[6] = {}; ///< local minute of the day each picker shows
    bool operator==(const DownloadForm&) const = default;
};

/// The five interval items (strings 2131 to 2135) and their minutes.
std::vector<uString> IntervalItems();
inline constexpr int kIntervalMinutes[] = {30, 60, 120, 240, 480};

DownloadForm ShowDownload(const CPreference::DownloadSection& section);
bool ApplyDownload(const DownloadForm& shown, const DownloadForm& edited,
                   CPreference::DownloadSection& section, Refusal& refusal);
/// The local minute of the day of a stored daily time, and the stored time
/// moved to another minute of its own day.
int MinuteOfDay(int64_t time);
int64_t WithMinuteOfDay(int64_t time, int minute);

struct ProxyForm
{
    uString host;
    uString port;
    uString user;
    uString password;
    bool sock5 = false;
    bool operator==(const ProxyForm&) const = default;
};

ProxyForm ShowProxy(const CPreference::ProxySection& section);
bool ApplyProxy(const ProxyForm& shown, const ProxyForm& edited, CPreference::ProxySection& section,
                Refusal& refusal);

struct PodcastForm
{
    uString folder;
    uString command;
    int format = 0; ///< 0 Media Player, 1 M3U, 2 iTunes
    bool operator==(const PodcastForm&) const = default;
};

PodcastForm ShowPodcast(const CPreference::PodcastSection& section);
/// The playlist button shown checked: the format's, except iTunes (2) when
/// it is not installed, which checks none; -1 for none.
int CheckedPlaylistButton(int format, bool itunesInstalled);
/// The folder is only copied here: whether it exists is the sheet's step
/// after the pages are stored (StoreAll), so a refused OK makes nothing.
void ApplyPodcast(const PodcastForm& shown, const PodcastForm& edited, CPreference::PodcastSection& section);

struct TorrentForm
{
    uString firstPort;    ///< edit 1095
    uString lastPort;     ///< edit 1096
    int downloadRate = 0; ///< kB/s
    int uploadRate = 0;   ///< kB/s
    int connections = 0;
    int uploads = 0;
    bool operator==(const TorrentForm&) const = default;
};

/// The spin rows of the Bittorrent page, in the page's order.
enum TorrentRow
{
    kDownloadRateRow,
    kUploadRateRow,
    kConnectionsRow,
    kUploadsRow,
};
struct SpinRange
{
    int low;
    int high;
};
SpinRange TorrentRange(int row);
/// The value after a spin arrow: position + delta held to the row's range.
int SpinValue(int row, int position, int delta);
/// What a row's read-only edit shows: "No Limit" (string 3034) for a rate below 1.
uString TorrentValueText(int row, int value);

TorrentForm ShowTorrent(const CPreference::TorrentSection& section);
bool ApplyTorrent(const TorrentForm& shown, const TorrentForm& edited, CPreference::TorrentSection& section,
                  Refusal& refusal);
/// A port as typed: a whole number from 1 to 65535, else 0.
int ParsePort(const uString& text);
/// The refusal of a listen port edit.
Refusal PortRefusal(int control);

struct PersonalForm
{
    uString name;
    uString address;
    uString server;
    bool operator==(const PersonalForm&) const = default;
};

PersonalForm ShowPersonal(const CPreference::PersonalSection& section);
void ApplyPersonal(const PersonalForm& shown, const PersonalForm& edited,
                   CPreference::PersonalSection& section);

/// Every page's form. The Bittorrent one is used only when there is an engine.
struct SheetForms
{
    GeneralForm general;
    DownloadForm download;
    ProxyForm proxy;
    PodcastForm podcast;
    TorrentForm torrent;
    PersonalForm personal;
};

SheetForms ShowAll(const CPreference& preference);

/// Every section the sheet stores, as the pages' Apply left them.
struct SheetSections
{
    CPreference::GeneralSection general;
    CPreference::DownloadSection download;
    CPreference::ProxySection proxy;
    CPreference::PodcastSection podcast;
    CPreference::TorrentSection torrent;
    CPreference::PersonalSection personal;
};

SheetSections StoredSections(const CPreference& preference);

/// What storing the sheet needs from the window around it.
struct ApplyHooks
{
    /// A message box of the storing steps: string stringId with its "%s"
    /// replaced by the argument (the missing podcast folder).
    std::function<void(int stringId, const uString& argument)> message;
    /// Told last, after every section is stored and the file written.
    std::function<void()> settingsChanged;
};

/// Stores sections that every page has passed, in this order: General,
/// Download, Podcast, the podcast folder step, the engine's changes and
/// Bittorrent (with an engine), Proxy, Personal; then writes config.xml and
/// calls settingsChanged.
void StoreAll(CPreference& preference, CTorrentEngine* engine, const SheetSections& sections,
              const ApplyHooks& hooks);

/// OK without windows: every page's form applied into copies in page order,
/// and only when all pass, StoreAll. On a refusal nothing is stored and
/// failedPage (a PageIndex) and refusal tell which page and why.
bool ApplyAll(CPreference& preference, CTorrentEngine* engine, const SheetForms& shown,
              const SheetForms& edited, const ApplyHooks& hooks, int& failedPage, Refusal& refusal);

/// The password manager of the Personal page, working on the stored
/// credentials at once (a change survives Cancel). The page tells it which
/// row is selected (none: an empty url) and shows the three edits as this
/// model leaves them; only the selected row is ever written.
class CPasswordManager
{
public:
    explicit CPasswordManager(CAuthList& credentials) : m_credentials(credentials) {}

    std::vector<uString> Urls() const;
    /// A row was selected, or none was (empty url): the edits show its
    /// stored values, or nothing.
    void Select(const uString& url);
    /// The login edit lost the focus with this text.
    void LoginLeft(const uString& login);
    /// The retype edit lost the focus: a new password is stored only when
    /// both edits agree; otherwise both show the stored one again.
    void RetypeLeft(const uString& password, const uString& retype);
    /// The selected row's credential is removed; nothing is selected then.
    void RemoveSelected();

    const uString& Selected() const { return m_selected; }
    uString login;
    uString password;
    uString retype;

private:
    CAuthList& m_credentials;
    uString m_selected;
};

/// The row selected after the row at `row` was deleted from a list that
/// now has `count` rows: the one that followed it (now at `row`), else the
/// new last row; -1 for an empty list.
int RowAfterRemoval(int row, int count);
} // namespace prefs

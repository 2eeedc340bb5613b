#pragma once

#include "dialogs/PrefModels.h"
#include "dialogs/TreePropSheet.h"

#include <wx/listctrl.h>

class wxCheckBox;
class wxComboBox;
class wxRadioButton;
class wxSpinButton;
class wxTextCtrl;
class wxTimePickerCtrl;

// The six pages of the Preferences. Each is built from a copy of its section
// (as a form, prefs::ShowXxx), reads back what the user left in its controls,
// and applies that into a section record given to it: only the settings
// whose controls changed, after the checks of PrefModels.h. Control ids are
// the pages' historical ones.

class PrefFrameGeneral : public CPropertyPageBase
{
public:
    enum ControlId
    {
        kPurgeOlderCheck = 1032,
        kAutoPurgeCheck = 1033,
        kPurgeDaysEdit = 1035,
        kStartAtLogonCheck = 1038,
        kNormalWindowRadio = 1039,
        kMinimisedRadio = 1040,
        kTimeoutCombo = 1041,
        kRefreshUnitCombo = 1042,
        kRefreshEdit = 1043,
        kNotifyYesRadio = 1051,
        kNotifyNoRadio = 1052,
    };
    PrefFrameGeneral(wxWindow* parent, const prefs::GeneralForm& form);
    prefs::GeneralForm Read() const;
    /// False, with the section untouched, when a changed value is refused.
    bool Apply(CPreference::GeneralSection& section, prefs::Refusal& refusal) const;
    void Committed() { m_shown = Read(); }

private:
    prefs::GeneralForm m_shown;
    int m_shownMode;
    wxTextCtrl* m_refresh = nullptr;
    wxComboBox* m_unit = nullptr;
    wxComboBox* m_timeout = nullptr;
    wxRadioButton* m_notifyYes = nullptr;
    wxCheckBox* m_autoPurge = nullptr;
    wxCheckBox* m_purgeOlder = nullptr;
    wxTextCtrl* m_purgeDays = nullptr;
    wxCheckBox* m_startAtLogon = nullptr;
    wxRadioButton* m_minimised = nullptr;
};

class PrefFrameDownload : public CPropertyPageBase
{
public:
    enum ControlId
    {
        kAutomaticRadio = 1048,
        kManualRadio = 1049,
        kFreeSpaceEdit = 1050,
        kScanThreadsCombo = 1053,
        kDownloadThreadsCombo = 1054,
        kRunAtRadio = 1055,
        kRunEveryRadio = 1056,
        kIntervalCombo = 1057,
    };
    static constexpr int kTimerChecks[6] = {1059, 1060, 1061, 1062, 1063, 1067};
    static constexpr int kTimerPickers[6] = {1064, 1065, 1066, 1068, 1069, 1070};

    PrefFrameDownload(wxWindow* parent, const prefs::DownloadForm& form);
    prefs::DownloadForm Read() const;
    /// False, with the section untouched, when a changed value is refused.
    bool Apply(CPreference::DownloadSection& section, prefs::Refusal& refusal) const;
    void Committed() { m_shown = Read(); }

private:
    prefs::DownloadForm m_shown;
    void UpdateEnabling();

    wxRadioButton* m_automatic = nullptr;
    wxTextCtrl* m_freeSpace = nullptr;
    wxComboBox* m_scanThreads = nullptr;
    wxComboBox* m_downloadThreads = nullptr;
    wxRadioButton* m_runEvery = nullptr;
    wxComboBox* m_interval = nullptr;
    wxCheckBox* m_timerChecks[6] = {};
    wxTimePickerCtrl* m_pickers[6] = {};
};

class PrefFrameProxy : public CPropertyPageBase
{
public:
    enum ControlId
    {
        kHostEdit = 1044,
        kPortEdit = 1045,
        kUserEdit = 1046,
        kPasswordEdit = 1047,
        kSock5Check = 1078,
    };
    PrefFrameProxy(wxWindow* parent, const prefs::ProxyForm& form);
    prefs::ProxyForm Read() const;
    /// False, with the section untouched, when a changed value is refused.
    bool Apply(CPreference::ProxySection& section, prefs::Refusal& refusal) const;
    void Committed() { m_shown = Read(); }

private:
    prefs::ProxyForm m_shown;
    wxTextCtrl* m_host = nullptr;
    wxTextCtrl* m_port = nullptr;
    wxTextCtrl* m_user = nullptr;
    wxTextCtrl* m_password = nullptr;
    wxCheckBox* m_sock5 = nullptr;
};

class PrefFramePodcast : public CPropertyPageBase
{
public:
    enum ControlId
    {
        kFolderEdit = 1071,
        kMediaPlayerRadio = 1079,
        kITunesRadio = 1080,
        kCommandEdit = 1081,
        kM3uRadio = 1082,
        kBrowseButton = 1069,
    };
    PrefFramePodcast(wxWindow* parent, const prefs::PodcastForm& form);
    prefs::PodcastForm Read() const;
    /// Always passes: whether the folder exists is checked when it is stored.
    void Apply(CPreference::PodcastSection& section) const;
    /// Shows the folder as stored (the sheet empties a missing one).
    void Committed(const CPreference::PodcastSection& stored);

private:
    prefs::PodcastForm m_shown;
    int m_format;
    wxRadioButton* m_noPlaylist = nullptr; // hidden: checked when no shown button is
    wxTextCtrl* m_folder = nullptr;
    wxTextCtrl* m_command = nullptr;
    wxRadioButton* m_mediaPlayer = nullptr;
    wxRadioButton* m_m3u = nullptr;
    wxRadioButton* m_itunes = nullptr;
};

class PrefFrameTorrent : public CPropertyPageBase
{
public:
    enum ControlId
    {
        kFirstPortEdit = 1095,
        kLastPortEdit = 1096,
    };
    /// The read-only edits and the spin buttons of the four rows, in row order.
    static constexpr int kRowEdits[4] = {1108, 1107, 1104, 1103};
    static constexpr int kRowSpins[4] = {1110, 1109, 1105, 1106};

    PrefFrameTorrent(wxWindow* parent, const prefs::TorrentForm& form);
    prefs::TorrentForm Read() const;
    /// False, with the section untouched, when a changed value is refused.
    bool Apply(CPreference::TorrentSection& section, prefs::Refusal& refusal) const;
    void Committed() { m_shown = Read(); }
    /// A port that is not a whole number from 1 to 65535 keeps the page.
    bool OnKillActive() override;
    /// One click of a row's arrow (delta +1 or -1).
    void Spin(int row, int delta);

private:
    prefs::TorrentForm m_shown;
    void ShowRow(int row);

    wxTextCtrl* m_firstPort = nullptr;
    wxTextCtrl* m_lastPort = nullptr;
    wxTextCtrl* m_rowEdits[4] = {};
    wxSpinButton* m_spins[4] = {};
    int m_values[4] = {};
};

class PrefFramePersonal : public CPropertyPageBase
{
public:
    enum ControlId
    {
        kEmailEdit = 1120,
        kServerEdit = 1121,
        kNameEdit = 1123,
        kCredentialList = 1124,
        kLoginEdit = 1126,
        kPasswordEdit = 1127,
        kRetypeEdit = 1128,
    };
    PrefFramePersonal(wxWindow* parent, const prefs::PersonalForm& form, CAuthList& credentials);
    prefs::PersonalForm Read() const;
    void Apply(CPreference::PersonalSection& section) const;
    /// What is stored now is what the page shows (after Apply was stored).
    void Committed() { m_shown = Read(); }

private:
    prefs::PersonalForm m_shown;
    void FillList();
    void ShowEdits();
    void OnSelectionChanged();
    void OnListKey(wxListEvent& event);
    /// Selects the row (and only it) as the selection mark, or none for -1.
    void SelectRow(long row);

    prefs::CPasswordManager m_manager;
    wxTextCtrl* m_name = nullptr;
    wxTextCtrl* m_email = nullptr;
    wxTextCtrl* m_server = nullptr;
    wxListCtrl* m_list = nullptr;
    wxTextCtrl* m_login = nullptr;
    wxTextCtrl* m_password = nullptr;
    wxTextCtrl* m_retype = nullptr;
};

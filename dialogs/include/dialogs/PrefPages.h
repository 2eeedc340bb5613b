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

// The six pages of the Preferences. Each shows a form (prefs::ShowXxx) and
// reads back what the user left in its controls; the checks and the storing
// are the forms' (PrefModels.h). Control ids are the pages' historical ones.

class CPrefGeneralPage : public CPropertyPageBase
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
    CPrefGeneralPage(wxWindow* parent, const prefs::GeneralForm& form);
    prefs::GeneralForm Read() const;

private:
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

class CPrefDownloadPage : public CPropertyPageBase
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

    CPrefDownloadPage(wxWindow* parent, const prefs::DownloadForm& form);
    prefs::DownloadForm Read() const;

private:
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

class CPrefProxyPage : public CPropertyPageBase
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
    CPrefProxyPage(wxWindow* parent, const prefs::ProxyForm& form);
    prefs::ProxyForm Read() const;

private:
    wxTextCtrl* m_host = nullptr;
    wxTextCtrl* m_port = nullptr;
    wxTextCtrl* m_user = nullptr;
    wxTextCtrl* m_password = nullptr;
    wxCheckBox* m_sock5 = nullptr;
};

class CPrefPodcastPage : public CPropertyPageBase
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
    CPrefPodcastPage(wxWindow* parent, const prefs::PodcastForm& form);
    prefs::PodcastForm Read() const;

private:
    int m_format;
    wxTextCtrl* m_folder = nullptr;
    wxTextCtrl* m_command = nullptr;
    wxRadioButton* m_mediaPlayer = nullptr;
    wxRadioButton* m_m3u = nullptr;
    wxRadioButton* m_itunes = nullptr;
};

class CPrefTorrentPage : public CPropertyPageBase
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

    CPrefTorrentPage(wxWindow* parent, const prefs::TorrentForm& form);
    prefs::TorrentForm Read() const;
    /// A port that is not a whole number from 1 to 65535 keeps the page.
    bool OnKillActive() override;
    /// One click of a row's arrow (delta +1 or -1).
    void Spin(int row, int delta);

private:
    void ShowRow(int row);

    wxTextCtrl* m_firstPort = nullptr;
    wxTextCtrl* m_lastPort = nullptr;
    wxTextCtrl* m_rowEdits[4] = {};
    wxSpinButton* m_spins[4] = {};
    int m_values[4] = {};
};

class CPrefPersonalPage : public CPropertyPageBase
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
    CPrefPersonalPage(wxWindow* parent, const prefs::PersonalForm& form, CAuthList& credentials);
    prefs::PersonalForm Read() const;

private:
    void FillList();
    void ShowEdits();
    void OnSelected(wxListEvent& event);
    void OnListKey(wxListEvent& event);

    prefs::CPasswordManager m_manager;
    wxTextCtrl* m_name = nullptr;
    wxTextCtrl* m_email = nullptr;
    wxTextCtrl* m_server = nullptr;
    wxListCtrl* m_list = nullptr;
    wxTextCtrl* m_login = nullptr;
    wxTextCtrl* m_password = nullptr;
    wxTextCtrl* m_retype = nullptr;
};

#pragma once

#include "common/Dialog.h"
#include "foundation/uString.h"

#include <vector>

class wxCheckBox;
class wxChoice;
class wxTextCtrl;

// The dialogs through which the user names a feed, a news watch or an
// address. They only collect and check input: a check that fails shows its
// message and keeps the dialog open; after wxID_OK the caller reads the
// public fields.

/// "News Feed Web Service": a new feed in a given list, or the properties of
/// an existing feed.
class CFeedPropertiesDlg : public ui::CDialog
{
public:
    enum ControlId
    {
        kUrlEdit = 1004,
        kTitleEdit = 1005,
        kAutoArchiveCheck = 1026,
        kAutoDownloadCheck = 1072,
        kIntervalEdit = 1118,
        kIntervalUnitList = 1119,
    };

    /// The properties of an existing feed: its address is kept as given.
    CFeedPropertiesDlg(const uString& url, const uString& title, int interval, bool autoArchive,
                       bool autoDownload, wxWindow* parent);
    /// A new feed: the address comes from the clipboard, else a sample.
    explicit CFeedPropertiesDlg(wxWindow* parent);

    uString url;
    uString title;
    bool autoArchive = false;
    bool autoDownload = false;
    int interval = 0; ///< minutes; 0 keeps the default

private:
    void Build();
    void OnOK(wxCommandEvent& event);

    // The existing feed's address, accepted unchanged: it may be a feed file
    // the user opened, which no one may type in.
    uString m_storedUrl;
    wxTextCtrl* m_urlEdit = nullptr;
    wxTextCtrl* m_titleEdit = nullptr;
    wxCheckBox* m_autoArchiveCheck = nullptr;
    wxCheckBox* m_autoDownloadCheck = nullptr;
    wxTextCtrl* m_intervalEdit = nullptr;
    wxChoice* m_unitList = nullptr;
};

/// "News Feed Web Service" with a choice of list: a new subscription.
class CNewSubscriptionDlg : public ui::CDialog
{
public:
    enum ControlId
    {
        kUrlEdit = 1004,
        kTitleEdit = 1005,
        kListChoice = 1006,
        kAutoArchiveCheck = 1026,
        kAutoDownloadCheck = 1072,
    };

    /// The list labels are copied; the first is chosen at the start.
    CNewSubscriptionDlg(const std::vector<uString>& listLabels, wxWindow* parent);

    uString url;
    uString title;
    uString listName; ///< the chosen list's label
    bool autoArchive = false;
    bool autoDownload = false;

private:
    void OnOK(wxCommandEvent& event);

    std::vector<uString> m_listLabels;
    wxTextCtrl* m_urlEdit = nullptr;
    wxTextCtrl* m_titleEdit = nullptr;
    wxChoice* m_listChoice = nullptr;
    wxCheckBox* m_autoArchiveCheck = nullptr;
    wxCheckBox* m_autoDownloadCheck = nullptr;
};

/// "News Watch Web Service": a watch's title and keywords.
class CNewsWatchDlg : public ui::CDialog
{
public:
    enum ControlId
    {
        kKeywordsEdit = 1066,
        kTitleEdit = 1067,
    };

    explicit CNewsWatchDlg(wxWindow* parent);
    CNewsWatchDlg(const uString& title, const uString& keywords, wxWindow* parent);

    uString title;
    uString keywords;

private:
    void Build();
    void OnOK(wxCommandEvent& event);

    wxTextCtrl* m_titleEdit = nullptr;
    wxTextCtrl* m_keywordsEdit = nullptr;
};

/// "Open URL ...": one address, taken as typed.
class COpenURLDlg : public ui::CDialog
{
public:
    enum ControlId
    {
        kUrlEdit = 1007,
    };

    /// Starts with the clipboard's address, else the product's web address.
    explicit COpenURLDlg(wxWindow* parent);

    uString url;

private:
    void OnOK(wxCommandEvent& event);

    wxTextCtrl* m_urlEdit = nullptr;
};

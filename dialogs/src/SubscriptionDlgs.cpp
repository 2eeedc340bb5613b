#include "dialogs/SubscriptionDlgs.h"

#include "StringTable.h"
#include "common/Clipboard.h"
#include "common/UserPrompt.h"
#include "dialogs/SubscriptionLogic.h"
#include "feeds/FeedAddress.h"

#include <cstdlib>
#include <iterator>
#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/valtext.h>

namespace
{
constexpr int kUrlMissing = 3005;
constexpr int kAddressRefused = 3058;
constexpr int kWatchTitleMissing = 3006;
constexpr int kWatchKeywordsMissing = 3007;
constexpr int kUnitStrings[] = {2140, 2141, 2142};
constexpr long kCheckFailedStyle = wxOK | wxICON_WARNING;
constexpr int kEditWidth = 320;

wxString ToWx(const uString& text)
{
    return wxString::FromUTF8(text.c_str());
}

wxString ToWx(std::string_view text)
{
    return wxString::FromUTF8(text.data(), text.size());
}

uString FromWx(const wxString& text)
{
    return uString(text.utf8_str().data());
}

uString Trimmed(const wxString& text)
{
    uString value = FromWx(text);
    value.trim();
    return value;
}

// The clipboard's text, or the sample feed address when it holds none.
uString ClipboardOrSampleFeed()
{
    uString text = GetClipboardText();
    return text.isEmpty() ? subscription::SampleFeedAddress() : text;
}

// A label and its field on one row of a two-column grid.
void AddRow(wxWindow* parent, wxFlexGridSizer& grid, const char* label, wxWindow* field)
{
    grid.Add(new wxStaticText(parent, wxID_ANY, label), 0, wxALIGN_CENTER_VERTICAL);
    grid.Add(field, 1, wxEXPAND);
}

wxFlexGridSizer* MakeGrid()
{
    auto* grid = new wxFlexGridSizer(2, wxSize(8, 8));
    grid->AddGrowableCol(1, 1);
    return grid;
}

// Lays the content out above the OK and Cancel buttons.
void FinishLayout(wxDialog& dialog, wxSizer* content)
{
    auto* outer = new wxBoxSizer(wxVERTICAL);
    outer->Add(content, 1, wxEXPAND | wxALL, 12);
    outer->Add(dialog.CreateSeparatedButtonSizer(wxOK | wxCANCEL), 0, wxEXPAND | wxLEFT | wxRIGHT | wxBOTTOM,
               12);
    dialog.SetSizerAndFit(outer);
    dialog.CentreOnParent();
}

wxTextCtrl* MakeEdit(wxWindow* parent, int id, const uString& text)
{
    return new wxTextCtrl(parent, id, ToWx(text), wxDefaultPosition, wxSize(kEditWidth, -1));
}

// Both flag boxes, one below the other.
void AddFlags(wxWindow* parent, wxSizer& sizer, wxCheckBox*& archive, int archiveId, bool archiveOn,
              wxCheckBox*& download, int downloadId, bool downloadOn)
{
    archive = new wxCheckBox(parent, archiveId, "Auto-Archive Outdated News");
    archive->SetValue(archiveOn);
    download = new wxCheckBox(parent, downloadId, "Auto-Download All Attachment");
    download->SetValue(downloadOn);
    sizer.Add(archive, 0, wxTOP, 8);
    sizer.Add(download, 0, wxTOP, 4);
}
// The address, title and flags of a feed dialog into its fields; false, with
// the fields untouched, after the message when the address is empty or not
// one that is fetched. The stored address of the feed shown passes as it is.
template <class Dialog>
bool TakeFeedFields(Dialog& dialog, wxTextCtrl* urlEdit, wxTextCtrl* titleEdit, wxCheckBox* archive,
                    wxCheckBox* download, const uString& storedUrl = uString())
{
    uString newUrl = Trimmed(urlEdit->GetValue());
    if (newUrl.isEmpty())
    {
        ui::ShowPrompt(&dialog, kUrlMissing, kCheckFailedStyle);
        return false;
    }
    // Only network addresses are feeds; a local file or a script is never fetched.
    uString address = !storedUrl.isEmpty() && newUrl == storedUrl ? storedUrl : feeds::FeedAddress(newUrl);
    if (address.isEmpty())
    {
        ui::ShowPromptDetail(&dialog, kAddressRefused, kCheckFailedStyle, newUrl);
        return false;
    }
    dialog.url = address;
    dialog.title = Trimmed(titleEdit->GetValue());
    dialog.autoArchive = archive->GetValue();
    dialog.autoDownload = download->GetValue();
    return true;
}
} // namespace

// ---- feed properties

CFeedPropertiesDlg::CFeedPropertiesDlg(const uString& url, const uString& title, int interval,
                                       bool autoArchive, bool autoDownload, wxWindow* parent)
    : ui::CDialog(parent, wxID_ANY, "News Feed Web Service"), url(url), title(title),
      autoArchive(autoArchive), autoDownload(autoDownload), interval(interval), m_storedUrl(url)
{
    Build();
}

CFeedPropertiesDlg::CFeedPropertiesDlg(wxWindow* parent)
    : ui::CDialog(parent, wxID_ANY, "News Feed Web Service")
{
    Build();
}

void CFeedPropertiesDlg::Build()
{
    // An existing feed keeps its address; only a new one is offered the clipboard.
    if (url.isEmpty())
        url = ClipboardOrSampleFeed();

    auto* content = new wxBoxSizer(wxVERTICAL);
    wxFlexGridSizer* grid = MakeGrid();
    m_urlEdit = MakeEdit(this, kUrlEdit, url);
    m_titleEdit = MakeEdit(this, kTitleEdit, title);
    AddRow(this, *grid, "URL:", m_urlEdit);
    AddRow(this, *grid, "Title:", m_titleEdit);
    content->Add(grid, 0, wxEXPAND);
    AddFlags(this, *content, m_autoArchiveCheck, kAutoArchiveCheck, autoArchive, m_autoDownloadCheck,
             kAutoDownloadCheck, autoDownload);

    subscription::IntervalDisplay shown = subscription::DisplayInterval(interval);
    auto* intervalRow = new wxBoxSizer(wxHORIZONTAL);
    intervalRow->Add(new wxStaticText(this, wxID_ANY, "Check for updated news every "), 0,
                     wxALIGN_CENTER_VERTICAL);
    wxString number;
    number.Printf("%d", shown.number);
    m_intervalEdit = new wxTextCtrl(this, kIntervalEdit, number, wxDefaultPosition, wxSize(60, -1), 0,
                                    wxTextValidator(wxFILTER_DIGITS));
    intervalRow->Add(m_intervalEdit, 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, 4);
    m_unitList = new wxChoice(this, kIntervalUnitList);
    for (int id : kUnitStrings)
        m_unitList->Append(ToWx(resources::FindPluralString(id, static_cast<unsigned long>(shown.number))));
    m_unitList->SetSelection(shown.unit);
    // The units take the form that goes with the number ("1 Minute", "5 Minuten").
    m_intervalEdit->Bind(
        wxEVT_TEXT,
        [this](wxCommandEvent& event)
        {
            event.Skip();
            unsigned long count = std::strtoul(m_intervalEdit->GetValue().utf8_str().data(), nullptr, 10);
            const int chosen = m_unitList->GetSelection();
            for (unsigned i = 0; i < std::size(kUnitStrings) && i < m_unitList->GetCount(); ++i)
                m_unitList->SetString(i, ToWx(resources::FindPluralString(kUnitStrings[i], count)));
            m_unitList->SetSelection(chosen);
            m_unitList->InvalidateBestSize(); // "Minuten" is longer than "Minute"
            Layout();
        });
    intervalRow->Add(m_unitList, 0, wxALIGN_CENTER_VERTICAL);
    content->Add(intervalRow, 0, wxTOP, 12);
    content->Add(new wxStaticText(this, wxID_ANY, "(Enter 0 to use the default.)"), 0, wxTOP, 4);

    FinishLayout(*this, content);
    Bind(wxEVT_BUTTON, &CFeedPropertiesDlg::OnOK, this, wxID_OK);
}

void CFeedPropertiesDlg::OnOK(wxCommandEvent&)
{
    if (!TakeFeedFields(*this, m_urlEdit, m_titleEdit, m_autoArchiveCheck, m_autoDownloadCheck, m_storedUrl))
        return;
    interval =
        subscription::ParseInterval(m_intervalEdit->GetValue().utf8_str().data(), m_unitList->GetSelection());
    EndModal(wxID_OK);
}

// ---- new subscription

CNewSubscriptionDlg::CNewSubscriptionDlg(const std::vector<uString>& listLabels, wxWindow* parent)
    : ui::CDialog(parent, wxID_ANY, "News Feed Web Service"), m_listLabels(listLabels)
{
    url = ClipboardOrSampleFeed();

    auto* content = new wxBoxSizer(wxVERTICAL);
    wxFlexGridSizer* grid = MakeGrid();
    m_urlEdit = MakeEdit(this, kUrlEdit, url);
    m_titleEdit = MakeEdit(this, kTitleEdit, title);
    m_listChoice = new wxChoice(this, kListChoice);
    for (const uString& label : m_listLabels)
        m_listChoice->Append(ToWx(label));
    if (!m_listLabels.empty())
    {
        m_listChoice->SetSelection(0);
        listName = m_listLabels.front();
    }
    AddRow(this, *grid, "URL:", m_urlEdit);
    AddRow(this, *grid, "Title:", m_titleEdit);
    AddRow(this, *grid, "List:", m_listChoice);
    content->Add(grid, 0, wxEXPAND);
    AddFlags(this, *content, m_autoArchiveCheck, kAutoArchiveCheck, autoArchive, m_autoDownloadCheck,
             kAutoDownloadCheck, autoDownload);

    FinishLayout(*this, content);
    m_listChoice->Bind(wxEVT_CHOICE,
                       [this](wxCommandEvent& event)
                       {
                           int chosen = event.GetSelection();
                           if (chosen >= 0 && static_cast<size_t>(chosen) < m_listLabels.size())
                               listName = m_listLabels[chosen];
                       });
    Bind(wxEVT_BUTTON, &CNewSubscriptionDlg::OnOK, this, wxID_OK);
}

void CNewSubscriptionDlg::OnOK(wxCommandEvent&)
{
    if (!TakeFeedFields(*this, m_urlEdit, m_titleEdit, m_autoArchiveCheck, m_autoDownloadCheck))
        return;
    EndModal(wxID_OK);
}

// ---- news watch

CNewsWatchDlg::CNewsWatchDlg(wxWindow* parent) : ui::CDialog(parent, wxID_ANY, "News Watch Web Service")
{
    Build();
}

CNewsWatchDlg::CNewsWatchDlg(const uString& title, const uString& keywords, wxWindow* parent)
    : ui::CDialog(parent, wxID_ANY, "News Watch Web Service"), title(title), keywords(keywords)
{
    Build();
}

void CNewsWatchDlg::Build()
{
    auto* content = new wxBoxSizer(wxVERTICAL);
    wxFlexGridSizer* grid = MakeGrid();
    m_titleEdit = MakeEdit(this, kTitleEdit, title);
    m_keywordsEdit = MakeEdit(this, kKeywordsEdit, keywords);
    AddRow(this, *grid, "Watch Title:", m_titleEdit);
    AddRow(this, *grid, "Watch Keywords:", m_keywordsEdit);
    content->Add(grid, 0, wxEXPAND);
    content->Add(new wxStaticText(this, wxID_ANY,
                                  "Tips: You can use 'and'/ 'or' with multiple keywords to help your watch."),
                 0, wxTOP, 12);
    FinishLayout(*this, content);
    Bind(wxEVT_BUTTON, &CNewsWatchDlg::OnOK, this, wxID_OK);
}

void CNewsWatchDlg::OnOK(wxCommandEvent&)
{
    uString newTitle = Trimmed(m_titleEdit->GetValue());
    uString newKeywords = Trimmed(m_keywordsEdit->GetValue());
    if (newTitle.isEmpty())
    {
        ui::ShowPrompt(this, kWatchTitleMissing, kCheckFailedStyle);
        return;
    }
    if (newKeywords.isEmpty())
    {
        ui::ShowPrompt(this, kWatchKeywordsMissing, kCheckFailedStyle);
        return;
    }
    title = newTitle;
    keywords = newKeywords;
    EndModal(wxID_OK);
}

// ---- open URL

COpenURLDlg::COpenURLDlg(wxWindow* parent) : ui::CDialog(parent, wxID_ANY, "Open URL ...")
{
    url = subscription::DefaultOpenUrl(GetClipboardText());

    auto* content = new wxBoxSizer(wxVERTICAL);
    wxFlexGridSizer* grid = MakeGrid();
    m_urlEdit = MakeEdit(this, kUrlEdit, url);
    AddRow(this, *grid, "URL:", m_urlEdit);
    content->Add(grid, 0, wxEXPAND);
    FinishLayout(*this, content);
    Bind(wxEVT_BUTTON, &COpenURLDlg::OnOK, this, wxID_OK);
}

void COpenURLDlg::OnOK(wxCommandEvent&)
{
    url = FromWx(m_urlEdit->GetValue());
    EndModal(wxID_OK);
}

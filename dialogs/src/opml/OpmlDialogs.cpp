#include "dialogs/OpmlDialogs.h"

#include "common/ColumnWidth.h"
#include "common/UserPrompt.h"
#include "foundation/uFile.h"
#include "foundation/uTranslation.h"

#include <algorithm>
#include <wx/button.h>
#include <wx/choice.h>
#include <wx/display.h>
#include <wx/listctrl.h>
#include <wx/renderer.h>
#include <wx/sizer.h>
#include <wx/stattext.h>

namespace
{
constexpr const char* kImportTitle = "Import RSS Feeds";
// Where the list places a row's check box in its first column.
constexpr int kCheckBoxMargin = 5;
constexpr int kCheckBoxIndent = 4;
// Room the list keeps beside its columns for its frame and its scroll bar,
// and the room a list as wide as the screen leaves the dialog's frame.
constexpr int kListFrame = 24;
constexpr int kScreenMargin = 80;

wxString ToWx(const uString& text)
{
    return wxString::FromUTF8(text.c_str());
}

wxChoice* MakeListChoice(wxWindow* parent, int id, const std::vector<uString>& labels)
{
    auto* choice = new wxChoice(parent, id);
    for (const uString& label : labels)
        choice->Append(ToWx(label));
    if (!labels.empty())
        choice->SetSelection(0);
    return choice;
}

int Chosen(const wxChoice* choice)
{
    int selection = choice->GetSelection();
    return selection == wxNOT_FOUND ? 0 : selection;
}
} // namespace

// ---- import

OPMLImport::OPMLImport(const std::vector<uString>& listLabels, const uString& path, wxWindow* parent)
    : ui::CDialog(parent, wxID_ANY, kImportTitle, wxDEFAULT_DIALOG_STYLE | wxRESIZE_BORDER)
{
    Build(listLabels);
    if (!listLabels.empty() && uFile(path.c_str()).exists())
        ReadFile(path);
}

OPMLImport::OPMLImport(const std::vector<uString>& listLabels, const std::vector<uString>& links,
                       const std::vector<uString>& titles, const std::vector<uString>& descriptions,
                       wxWindow* parent)
    : ui::CDialog(parent, wxID_ANY, kImportTitle, wxDEFAULT_DIALOG_STYLE | wxRESIZE_BORDER)
{
    Build(listLabels);
    if (listLabels.empty() || links.size() != titles.size() || links.size() != descriptions.size())
        return;
    for (std::size_t i = 0; i < links.size(); ++i)
        AddRow(titles[i], descriptions[i], links[i], uString());
}

void OPMLImport::Build(const std::vector<uString>& listLabels)
{
    m_feedList = new wxListCtrl(this, kFeedList, wxDefaultPosition, wxSize(760, 320), wxLC_REPORT);
    m_feedList->EnableCheckBoxes();
    const struct
    {
        const char* heading;
        int width;
    } columns[] = {
        {"", 18}, {"Feed Title", 100}, {"Feed Description", 300}, {"Feed Link", 300}, {"Feed Page", 300}};
    for (const auto& column : columns)
        m_feedList->AppendColumn(column.heading, wxLIST_FORMAT_LEFT, column.width);
    // The list draws each row's check box at the start of the first column,
    // with a margin on both sides: the column holds all of it, or the box
    // covers the titles.
    const int checkBoxWidth =
        wxRendererNative::Get().GetCheckBoxSize(m_feedList).x + 2 * kCheckBoxMargin + kCheckBoxIndent;
    m_feedList->SetColumnWidth(0, std::max(m_feedList->GetColumnWidth(0), checkBoxWidth));

    m_listChoice = MakeListChoice(this, kListChoice, listLabels);
    auto* buttons = new wxBoxSizer(wxHORIZONTAL);
    buttons->Add(new wxButton(this, kSelectAll, "Select All"), 0, wxRIGHT, 8);
    buttons->Add(new wxButton(this, kUnselectAll, "Unselect All"), 0, wxRIGHT, 16);
    buttons->Add(new wxStaticText(this, wxID_ANY, "Import Checked Feeds Into:"), 0,
                 wxALIGN_CENTER_VERTICAL | wxRIGHT, 8);
    buttons->Add(m_listChoice, 1, wxALIGN_CENTER_VERTICAL);

    auto* outer = new wxBoxSizer(wxVERTICAL);
    outer->Add(m_feedList, 1, wxEXPAND | wxALL, 12);
    outer->Add(buttons, 0, wxEXPAND | wxLEFT | wxRIGHT, 12);
    auto* okCancel = new wxStdDialogButtonSizer();
    okCancel->AddButton(new wxButton(this, wxID_OK, "Import"));
    okCancel->AddButton(new wxButton(this, wxID_CANCEL, "Cancel"));
    okCancel->Realize();
    outer->Add(okCancel, 0, wxEXPAND | wxALL, 12);
    SetSizerAndFit(outer);
    CentreOnParent();

    Bind(
        wxEVT_BUTTON, [this](wxCommandEvent&) { CheckAll(true); }, kSelectAll);
    Bind(
        wxEVT_BUTTON, [this](wxCommandEvent&) { CheckAll(false); }, kUnselectAll);
    Bind(wxEVT_BUTTON, &OPMLImport::OnOK, this, wxID_OK);
    Bind(wxEVT_INIT_DIALOG, &OPMLImport::OnInitDialog, this);
}

void OPMLImport::AddRow(const uString& title, const uString& description, const uString& link,
                        const uString& page)
{
    long row = m_feedList->InsertItem(m_feedList->GetItemCount(), wxString());
    m_feedList->SetItem(row, kTitleColumn, ToWx(title));
    m_feedList->SetItem(row, kDescriptionColumn, ToWx(description));
    m_feedList->SetItem(row, kLinkColumn, ToWx(link));
    if (!page.isEmpty())
        m_feedList->SetItem(row, kPageColumn, ToWx(page));
}

void OPMLImport::ReadFile(const uString& path)
{
    m_document = opml::ReadFile(path.c_str());
    if (m_document.error != 0)
    {
        ui::ShowPromptDetail(this, m_document.error, wxOK | wxICON_WARNING, m_document.reason);
        return;
    }
    // A file without a title in its head leaves the caption as it is, not
    // ending in a separator with nothing after it. The dialog's own title is
    // translated here: the whole caption is no text the catalog holds.
    if (!m_document.headTitle.isEmpty())
    {
        std::string_view title = uTr(kImportTitle);
        SetTitle(wxString::FromUTF8(title.data(), title.size()) + " : " + ToWx(m_document.headTitle));
    }
    m_feedList->Freeze();
    for (const opml::Row& row : m_document.rows)
        AddRow(row.title, row.description, row.link, row.page);
    m_feedList->Thaw();
}

// Runs once the headers are in the interface language.
void OPMLImport::OnInitDialog(wxInitDialogEvent& event)
{
    event.Skip();
    std::vector<wxString> titles;
    for (long row = 0; row < m_feedList->GetItemCount(); ++row)
        titles.push_back(m_feedList->GetItemText(row, kTitleColumn));
    for (int column = 0; column < m_feedList->GetColumnCount(); ++column)
        ui::FitListColumn(*m_feedList, column, column == kTitleColumn ? titles : std::vector<wxString>());
    // Every column shows, its header whole, as far as the screen allows.
    int columns = kListFrame;
    for (int column = 0; column < m_feedList->GetColumnCount(); ++column)
        columns += m_feedList->GetColumnWidth(column);
    const int screen = wxDisplay(this).GetClientArea().width - kScreenMargin;
    m_feedList->SetMinSize(wxSize(std::min(columns, screen), m_feedList->GetMinSize().y));
}

void OPMLImport::CheckAll(bool check)
{
    for (long row = 0; row < m_feedList->GetItemCount(); ++row)
        m_feedList->CheckItem(row, check);
}

void OPMLImport::OnOK(wxCommandEvent&)
{
    m_selectedList = Chosen(m_listChoice);
    checkedLinks.clear();
    for (long row = 0; row < m_feedList->GetItemCount(); ++row)
    {
        if (m_feedList->IsItemChecked(row))
            checkedLinks.emplace_back(m_feedList->GetItemText(row, kLinkColumn).utf8_str().data());
    }
    EndModal(wxID_OK);
}

// ---- list choices

OPMLExport::OPMLExport(const std::vector<uString>& listLabels, const uString& caption, wxWindow* parent)
    : OPMLExport(listLabels, caption.isEmpty() ? wxString("Select List to Export") : ToWx(caption), parent, 0)
{
}

OPMLExport::OPMLExport(const std::vector<uString>& listLabels, const wxString& title, wxWindow* parent, int)
    : ui::CDialog(parent, wxID_ANY, title)
{
    m_listChoice = MakeListChoice(this, kListChoice, listLabels);
    auto* outer = new wxBoxSizer(wxVERTICAL);
    outer->Add(m_listChoice, 0, wxEXPAND | wxALL, 12);
    outer->Add(CreateSeparatedButtonSizer(wxOK | wxCANCEL), 0, wxEXPAND | wxLEFT | wxRIGHT | wxBOTTOM, 12);
    SetSizer(outer);
    SetMinSize(wxSize(320, -1));
    Fit();
    CentreOnParent();
    Bind(wxEVT_BUTTON, &OPMLExport::OnOK, this, wxID_OK);
}

void OPMLExport::OnOK(wxCommandEvent&)
{
    m_selectedList = Chosen(m_listChoice);
    EndModal(wxID_OK);
}

OPMLSubscribe::OPMLSubscribe(const std::vector<uString>& listLabels, wxWindow* parent)
    : OPMLExport(listLabels, wxString("Add Subscription to List"), parent, 0)
{
}

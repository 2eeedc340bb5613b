#include "dialogs/TorrentCtrl.h"

#include "common/ColumnWidth.h"
#include "common/DesktopShell.h"
#include "common/MenuBuilder.h"
#include "dialogs/XListCtrl.h"
#include "foundation/uTranslation.h"

#include <wx/button.h>
#include <wx/dcmemory.h>
#include <wx/listctrl.h>
#include <wx/menu.h>
#include <wx/notebook.h>
#include <wx/panel.h>
#include <wx/sizer.h>
#include <wx/wupdlock.h>

namespace
{
// The detail list as the pages see it.
class DetailTable : public ITextTable
{
public:
    explicit DetailTable(wxListCtrl& list) : m_list(list) {}
    int GetWidth() const override { return m_list.GetClientSize().x; }
    int GetRowCount() const override { return m_list.GetItemCount(); }
    void InsertColumn(int column, const uString& title, int width, bool rightAligned) override
    {
        m_list.InsertColumn(column, wxString::FromUTF8(std::string(uTr(title.c_str()))),
                            rightAligned ? wxLIST_FORMAT_RIGHT : wxLIST_FORMAT_LEFT, width);
    }
    void DeleteColumn(int column) override { m_list.DeleteColumn(column); }
    void InsertRow(int row, const uString& text) override
    {
        m_list.InsertItem(row, wxString::FromUTF8(text.c_str()));
    }
    void DeleteRow(int row) override { m_list.DeleteItem(row); }
    uString GetCell(int row, int column) const override
    {
        if (row < 0 || row >= m_list.GetItemCount() || column < 0 || column >= m_list.GetColumnCount())
            return uString();
        return uString(m_list.GetItemText(row, column).utf8_str().data());
    }
    void SetCell(int row, int column, const uString& text) override
    {
        if (row >= 0 && row < m_list.GetItemCount() && column >= 0 && column < m_list.GetColumnCount())
            m_list.SetItem(row, column, wxString::FromUTF8(text.c_str()));
    }
    int FittingWidth(int width, const std::vector<uString>& texts) const override
    {
        std::vector<wxString> shown;
        for (const uString& text : texts)
            shown.push_back(wxString::FromUTF8(text.c_str()));
        return ui::ColumnWidthFor(m_list, width, shown);
    }

private:
    wxListCtrl& m_list;
};

// Row images: 0 other, 1 checking, 2 connecting, 3 spare, 4 downloading,
// 5 seeding, 6 spare. Plain discs in colours of their own.
constexpr unsigned long kImageColours[7] = {0x808080, 0xE0A000, 0x3070E0, 0xA0A0A0,
                                            0x20A040, 0x108060, 0xC04040};
} // namespace

CTorrentCtrl::CTorrentCtrl(CDownloadManager* manager, wxWindow* parent)
    : ui::CDialog(parent, wxID_ANY, "Kestrova BitTorrent Manager", wxDEFAULT_DIALOG_STYLE | wxRESIZE_BORDER),
      m_manager(manager), m_list(new CXListCtrl(this, kListId)), m_panel(m_list->GetModel(), manager),
      m_images(16, 16, true, 7), m_timer(this, kTimerId)
{
    m_panel.LoadTorrentFolder();

    m_tabs = new wxNotebook(this, kTabId);
    for (const char* title : CTorrentDetailPages::kTabTitles)
        m_tabs->AddPage(new wxPanel(m_tabs, wxID_ANY, wxDefaultPosition, wxSize(1, 1)), title);
    m_detail = new wxListCtrl(this, kDetailId, wxDefaultPosition, wxDefaultSize, wxLC_REPORT);

    auto* buttons = new wxBoxSizer(wxHORIZONTAL);
    buttons->Add(new wxButton(this, kOpenTorrentButton, "Open Torrent"), 0, wxRIGHT, 6);
    buttons->AddStretchSpacer();
    buttons->Add(new wxButton(this, kRefreshButton, "Refresh"), 0, wxRIGHT, 6);
    buttons->Add(new wxButton(this, wxID_OK, "OK"));
    auto* sizer = new wxBoxSizer(wxVERTICAL);
    sizer->Add(m_list, 2, wxEXPAND | wxALL, 7);
    sizer->Add(m_tabs, 0, wxEXPAND | wxLEFT | wxRIGHT, 7);
    sizer->Add(m_detail, 3, wxEXPAND | wxLEFT | wxRIGHT | wxBOTTOM, 7);
    sizer->Add(buttons, 0, wxEXPAND | wxLEFT | wxRIGHT | wxBOTTOM, 7);
    SetSizer(sizer);
    SetClientSize(ConvertDialogToPixels(wxSize(460, 330)));
    Layout();
    CentreOnParent();

    MakeImages();
    m_list->SetSmallImageList(&m_images);
    m_list->SetShowSelectionAlways(true);
    m_list->SetTrackSelect(true);
    {
        wxWindowUpdateLocker noUpdates(m_list);
        m_panel.InitColumns(m_list->GetClientSize().x);
        m_list->FitColumns(&CTorrentPanelModel::KnownCellTexts);
    }
    // Its first size shows every column whole.
    ui::WidenToShowColumns(*this, *m_list->GetBody(), m_list->GetColumnsWidth());
    CentreOnParent();
    m_detailTable = std::make_unique<DetailTable>(*m_detail);
    m_pages =
        std::make_unique<CTorrentDetailPages>(*m_detailTable, m_panel.GetEngine(), m_panel.TorrentFolder());

    Bind(wxEVT_BUTTON, &CTorrentCtrl::OnOK, this, wxID_OK);
    Bind(
        wxEVT_BUTTON, [this](wxCommandEvent&) { RefreshList(); }, kRefreshButton);
    Bind(
        wxEVT_BUTTON,
        [this](wxCommandEvent&)
        {
            if (m_openTorrent)
            {
                m_openTorrent(this);
                RefreshList();
            }
        },
        kOpenTorrentButton);
    Bind(wxEVT_TIMER, &CTorrentCtrl::OnTimer, this, kTimerId);
    m_tabs->Bind(wxEVT_NOTEBOOK_PAGE_CHANGED, &CTorrentCtrl::OnTabChanged, this);
    m_list->Bind(EVT_XLIST_CLICK, &CTorrentCtrl::OnClickList, this);
    m_list->Bind(EVT_XLIST_DBLCLICK, &CTorrentCtrl::OnClickList, this);
    m_list->Bind(EVT_XLIST_RCLICK, &CTorrentCtrl::OnRClickList, this);
    for (int command : {CTorrentPanelModel::kShowFileLocation, CTorrentPanelModel::kLaunchFile,
                        CTorrentPanelModel::kStartDownload, CTorrentPanelModel::kStopDownload,
                        CTorrentPanelModel::kCancelDownload, CTorrentPanelModel::kDeleteFromList})
        Bind(wxEVT_MENU, &CTorrentCtrl::OnMenuCommand, this, ui::MenuCommandId(command));

    m_tabs->SetSelection(0);
    ShowPage();
    m_timer.Start(kTimerMilliseconds);
}

CTorrentCtrl::~CTorrentCtrl()
{
    m_timer.Stop();
    m_list->SetSmallImageList(nullptr);
}

void CTorrentCtrl::MakeImages()
{
    for (unsigned long colour : kImageColours)
    {
        wxBitmap bitmap(16, 16);
        {
            wxMemoryDC dc(bitmap);
            dc.SetBackground(*wxWHITE_BRUSH);
            dc.Clear();
            const wxColour fill((colour >> 16) & 0xFF, (colour >> 8) & 0xFF, colour & 0xFF);
            dc.SetBrush(wxBrush(fill));
            dc.SetPen(wxPen(fill.ChangeLightness(70)));
            dc.DrawEllipse(2, 2, 12, 12);
        }
        bitmap.SetMask(new wxMask(bitmap, *wxWHITE));
        m_images.Add(bitmap);
    }
}

void CTorrentCtrl::OnOK(wxCommandEvent&)
{
    m_timer.Stop();
    if (IsModal())
        EndModal(wxID_OK);
    else
        Hide();
}

void CTorrentCtrl::ShowPage()
{
    const CTransferRowData* data = m_list->GetModel().GetItemData(m_list->GetModel().GetSelection());
    m_pages->ShowPage(m_tabs->GetSelection(), data != nullptr ? data->item : uString(),
                      data != nullptr ? data->label : uString());
}

void CTorrentCtrl::Tick()
{
    if (m_panel.GetEngine() == nullptr)
        return;
    {
        wxWindowUpdateLocker noUpdates(m_list);
        m_panel.OnTimer();
    }
    ShowPage();
}

void CTorrentCtrl::OnTimer(wxTimerEvent&)
{
    Tick();
}

void CTorrentCtrl::RefreshList()
{
    wxWindowUpdateLocker noUpdates(m_list);
    m_panel.RefreshList();
}

void CTorrentCtrl::OnTabChanged(wxBookCtrlEvent& event)
{
    event.Skip();
    ShowPage();
}

void CTorrentCtrl::ClickRow(int row)
{
    m_list->GetModel().SetSelection(row);
    m_clickedRow = row;
    m_pages->Reset();
    ShowPage();
}

void CTorrentCtrl::OnClickList(CXListEvent& event)
{
    ClickRow(event.GetRow());
}

std::unique_ptr<wxMenu> CTorrentCtrl::BuildRowMenu(int row) const
{
    const CTransferRowData* data = m_list->GetModel().GetItemData(row);
    if (data == nullptr)
        return nullptr;
    std::unique_ptr<wxMenu> menu = ui::BuildFirstSubMenu(kMenuId);
    if (menu)
    {
        for (int command : CTorrentPanelModel::GreyedCommands(data->status))
            menu->Enable(ui::MenuCommandId(command), false);
    }
    return menu;
}

void CTorrentCtrl::ShowRowMenu(wxMenu& menu)
{
    PopupMenu(&menu);
}

void CTorrentCtrl::OnRClickList(CXListEvent& event)
{
    if (event.GetRow() == -1)
        return;
    m_clickedRow = event.GetRow();
    std::unique_ptr<wxMenu> menu = BuildRowMenu(m_clickedRow);
    if (menu)
        ShowRowMenu(*menu);
}

void CTorrentCtrl::Command(int command)
{
    wxCommandEvent event(wxEVT_MENU, ui::MenuCommandId(command));
    event.SetEventObject(this);
    ProcessWindowEvent(event);
}

void CTorrentCtrl::OnMenuCommand(wxCommandEvent& event)
{
    const int row = m_clickedRow;
    const int id = event.GetId();
    wxWindowUpdateLocker noUpdates(m_list);
    // Both commands go one level nearer the data than a folder-of-the-folder
    // reading would: Show File Location shows the torrent folder, where the
    // data lies, and Launch File opens the data itself, as the download
    // panel's commands of the same names do. Showing the folder above the
    // torrent folder, and a folder for "Launch File", would land the user
    // one step away from the file each time.
    if (id == ui::MenuCommandId(CTorrentPanelModel::kShowFileLocation))
    {
        if (!m_panel.DataPath(row).isEmpty())
            ui::OpenOrSay(this, m_panel.TorrentFolder().getPath(), /*explore=*/true);
    }
    else if (id == ui::MenuCommandId(CTorrentPanelModel::kLaunchFile))
    {
        const uString data = m_panel.DataPath(row);
        if (!data.isEmpty())
            ui::OpenOrSay(this, data);
    }
    else if (id == ui::MenuCommandId(CTorrentPanelModel::kStartDownload))
        m_panel.StartDownload(row);
    else if (id == ui::MenuCommandId(CTorrentPanelModel::kStopDownload))
        m_panel.StopDownload(row);
    else if (id == ui::MenuCommandId(CTorrentPanelModel::kCancelDownload))
        m_panel.CancelDownload(row);
    else if (id == ui::MenuCommandId(CTorrentPanelModel::kDeleteFromList))
        m_panel.DeleteFromList(row);
}

#include "dialogs/FeedDownloadCtrl.h"

#include "common/ColumnWidth.h"
#include "common/DesktopShell.h"
#include "common/MenuBuilder.h"
#include "dialogs/XListCtrl.h"

#include <wx/button.h>
#include <wx/menu.h>
#include <wx/sizer.h>
#include <wx/wupdlock.h>

CFeedDownloadCtrl::CFeedDownloadCtrl(CDownloadManager* manager, wxWindow* parent)
    : ui::CDialog(parent, wxID_ANY, "Kestrova Download Manager", wxDEFAULT_DIALOG_STYLE | wxRESIZE_BORDER),
      m_list(new CXListCtrl(this, kListId)), m_manager(manager), m_parent(parent),
      m_panel(m_list->GetModel(), manager), m_timer(this, kTimerId)
{
    auto* buttons = new wxBoxSizer(wxHORIZONTAL);
    auto* torrentButton = new wxButton(this, kBitTorrentButton, "BitTorrent Manager");
    buttons->Add(torrentButton, 0, wxRIGHT, 6);
    buttons->AddStretchSpacer();
    buttons->Add(new wxButton(this, kDeleteButton, "Delete"), 0, wxRIGHT, 6);
    buttons->Add(new wxButton(this, kRefreshButton, "Refresh"), 0, wxRIGHT, 6);
    buttons->Add(new wxButton(this, wxID_OK, "OK"));
    auto* sizer = new wxBoxSizer(wxVERTICAL);
    sizer->Add(m_list, 1, wxEXPAND | wxALL, 7);
    sizer->Add(buttons, 0, wxEXPAND | wxLEFT | wxRIGHT | wxBOTTOM, 7);
    SetSizer(sizer);
    SetClientSize(ConvertDialogToPixels(wxSize(430, 244)));
    Layout();
    CentreOnParent();

    m_list->SetTrackSelect(true);
    m_panel.InitColumns(m_list->GetClientSize().x);
    m_list->FitColumns(&CDownloadPanelModel::KnownCellTexts);
    // Its first size shows every column whole.
    ui::WidenToShowColumns(*this, *m_list->GetBody(), m_list->GetColumnsWidth());
    CentreOnParent();
    {
        wxWindowUpdateLocker noUpdates(m_list);
        m_panel.FillList();
    }
    torrentButton->Show(m_manager != nullptr && m_manager->HasTorrentEngine());

    Bind(wxEVT_BUTTON, &CFeedDownloadCtrl::OnOK, this, wxID_OK);
    Bind(wxEVT_BUTTON, &CFeedDownloadCtrl::OnDelete, this, kDeleteButton);
    Bind(wxEVT_BUTTON, &CFeedDownloadCtrl::OnRefresh, this, kRefreshButton);
    Bind(wxEVT_BUTTON, &CFeedDownloadCtrl::OnBitTorrentManager, this, kBitTorrentButton);
    Bind(wxEVT_TIMER, &CFeedDownloadCtrl::OnTimer, this, kTimerId);
    m_list->Bind(EVT_XLIST_RCLICK, &CFeedDownloadCtrl::OnRClickList, this);
    m_list->Bind(EVT_XLIST_COLUMN_CLICK, &CFeedDownloadCtrl::OnColumnClick, this);
    Bind(wxEVT_MENU, &CFeedDownloadCtrl::OnShowFileLocation, this, CDownloadPanelModel::kShowFileLocation);
    Bind(wxEVT_MENU, &CFeedDownloadCtrl::OnLaunchFile, this, CDownloadPanelModel::kLaunchFile);
    Bind(wxEVT_MENU, &CFeedDownloadCtrl::OnStartDownload, this, CDownloadPanelModel::kStartDownload);
    Bind(wxEVT_MENU, &CFeedDownloadCtrl::OnStopDownload, this, CDownloadPanelModel::kStopDownload);
    Bind(wxEVT_MENU, &CFeedDownloadCtrl::OnCancelDownload, this, CDownloadPanelModel::kCancelDownload);
    Bind(wxEVT_MENU, &CFeedDownloadCtrl::OnDeleteFromList, this, CDownloadPanelModel::kDeleteFromList);
    m_timer.Start(kTimerMilliseconds);
}

CFeedDownloadCtrl::~CFeedDownloadCtrl()
{
    m_timer.Stop();
}

int CFeedDownloadCtrl::SelectedRow() const
{
    return m_list->GetModel().GetSelection();
}

void CFeedDownloadCtrl::OnOK(wxCommandEvent&)
{
    m_timer.Stop();
    if (IsModal())
        EndModal(wxID_OK);
    else
        Hide();
}

void CFeedDownloadCtrl::OnDelete(wxCommandEvent&)
{
    m_panel.DeleteChecked();
}

void CFeedDownloadCtrl::OnRefresh(wxCommandEvent&)
{
    wxWindowUpdateLocker noUpdates(m_list);
    m_panel.Refresh();
}

void CFeedDownloadCtrl::OnBitTorrentManager(wxCommandEvent&)
{
    if (m_showTorrentManager)
        m_showTorrentManager(m_manager, m_parent);
}

void CFeedDownloadCtrl::OnTimer(wxTimerEvent&)
{
    m_panel.OnTimer();
}

std::unique_ptr<wxMenu> CFeedDownloadCtrl::BuildRowMenu(int row) const
{
    const CTransferRowData* data = m_list->GetModel().GetItemData(row);
    if (data == nullptr)
        return nullptr;
    std::unique_ptr<wxMenu> menu = ui::BuildFirstSubMenu(kMenuId);
    if (menu)
    {
        for (int command : CDownloadPanelModel::GreyedCommands(data->status))
            menu->Enable(ui::MenuCommandId(command), false);
    }
    return menu;
}

void CFeedDownloadCtrl::ShowRowMenu(wxMenu& menu)
{
    PopupMenu(&menu);
}

void CFeedDownloadCtrl::OnRClickList(CXListEvent& event)
{
    // The list selected the row under the mouse; below the rows, no menu.
    if (event.GetRow() == -1)
        return;
    std::unique_ptr<wxMenu> menu = BuildRowMenu(event.GetRow());
    if (menu)
        ShowRowMenu(*menu);
}

void CFeedDownloadCtrl::OnColumnClick(CXListEvent& event)
{
    m_panel.OnColumnClick(event.GetColumn());
}

void CFeedDownloadCtrl::OnShowFileLocation(wxCommandEvent&)
{
    const uString path = m_panel.LocalFile(SelectedRow());
    uString folder;
    if (!path.isEmpty() && uFile(path.c_str()).getDirectory(folder))
        ui::OpenOrSay(this, folder, /*explore=*/true);
}

void CFeedDownloadCtrl::OnLaunchFile(wxCommandEvent&)
{
    const uString path = m_panel.LocalFile(SelectedRow());
    if (!path.isEmpty())
        ui::OpenOrSay(this, path);
}

void CFeedDownloadCtrl::OnStartDownload(wxCommandEvent&)
{
    m_panel.StartDownload(SelectedRow());
}

void CFeedDownloadCtrl::OnStopDownload(wxCommandEvent&)
{
    m_panel.StopDownload(SelectedRow());
}

void CFeedDownloadCtrl::OnCancelDownload(wxCommandEvent&)
{
    m_panel.CancelDownload(SelectedRow());
}

void CFeedDownloadCtrl::OnDeleteFromList(wxCommandEvent&)
{
    m_panel.DeleteFromList(SelectedRow());
}

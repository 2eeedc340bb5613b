#pragma once

#include "common/Dialog.h"
#include "downloads/DownloadPanelModel.h"

#include <functional>
#include <memory>
#include <wx/timer.h>

class CDownloadManager;
class CXListCtrl;
class CXListEvent;
class wxButton;
class wxMenu;

/// "Kestrova Download Manager": the download queue as a list, one row per
/// entry with its check box, file, feed, status or live progress bar and
/// source; buttons and a row menu start, stop, cancel and remove entries and
/// open a finished file or its folder through the desktop opener. Modal, run
/// by the main frame.
class CFeedDownloadCtrl : public ui::CDialog
{
public:
    enum ControlId
    {
        kListId = 1083,
        kDeleteButton = 1084,
        kRefreshButton = 1085,
        kBitTorrentButton = 1116,
    };
    static constexpr int kTimerId = 100;
    static constexpr int kTimerMilliseconds = 2000;
    static constexpr int kMenuId = 222;

    /// manager may be null: an empty list.
    CFeedDownloadCtrl(CDownloadManager* manager, wxWindow* parent);
    ~CFeedDownloadCtrl() override;

    CXListCtrl* GetList() const { return m_list; }
    CDownloadPanelModel& GetPanel() { return m_panel; }
    wxTimer& GetTimer() { return m_timer; }
    /// What "BitTorrent Manager" runs (the torrent panel), with the manager
    /// and this panel's parent.
    void SetBitTorrentManager(std::function<void(CDownloadManager*, wxWindow*)> show)
    {
        m_showTorrentManager = std::move(show);
    }

    /// The row's menu with the commands its status does not allow greyed;
    /// null for a row without data.
    std::unique_ptr<wxMenu> BuildRowMenu(int row) const;

protected:
    /// Shows the row menu at the mouse; its choice arrives as a menu command.
    virtual void ShowRowMenu(wxMenu& menu);

private:
    void OnOK(wxCommandEvent& event);
    void OnDelete(wxCommandEvent& event);
    void OnRefresh(wxCommandEvent& event);
    void OnBitTorrentManager(wxCommandEvent& event);
    void OnTimer(wxTimerEvent& event);
    void OnRClickList(CXListEvent& event);
    void OnColumnClick(CXListEvent& event);
    void OnShowFileLocation(wxCommandEvent& event);
    void OnLaunchFile(wxCommandEvent& event);
    void OnStartDownload(wxCommandEvent& event);
    void OnStopDownload(wxCommandEvent& event);
    void OnCancelDownload(wxCommandEvent& event);
    void OnDeleteFromList(wxCommandEvent& event);
    int SelectedRow() const;

    CXListCtrl* m_list = nullptr;
    CDownloadManager* m_manager;
    wxWindow* m_parent;
    CDownloadPanelModel m_panel;
    wxTimer m_timer;
    std::function<void(CDownloadManager*, wxWindow*)> m_showTorrentManager;
};

#pragma once

#include "common/Dialog.h"
#include "downloads/TorrentDetailPages.h"
#include "downloads/TorrentPanelModel.h"

#include <functional>
#include <memory>
#include <wx/imaglist.h>
#include <wx/timer.h>

class CDownloadManager;
class CXListCtrl;
class CXListEvent;
class wxBookCtrlEvent;
class wxListCtrl;
class wxMenu;
class wxNotebook;

/// "Kestrova BitTorrent Manager": every torrent the engine holds, its figures
/// refreshed every two seconds, and under it the Summary, Trackers, Files and
/// Peers of the selected torrent. A row menu starts, stops, cancels and
/// deletes torrents and opens their data through the desktop opener. Modal,
/// run by the main frame and by the download manager panel.
class CTorrentCtrl : public ui::CDialog
{
public:
    enum ControlId
    {
        kOpenTorrentButton = 1113,
        kRefreshButton = 1114,
        kListId = 1111,
        kTabId = 1112,
        kDetailId = 1117,
    };
    static constexpr int kTimerId = 200;
    static constexpr int kTimerMilliseconds = 2000;
    static constexpr int kMenuId = 222;

    /// Loads the torrent folder's torrents into the engine; manager may be
    /// null or hold no engine: an empty list.
    CTorrentCtrl(CDownloadManager* manager, wxWindow* parent);
    ~CTorrentCtrl() override;

    CXListCtrl* GetList() const { return m_list; }
    wxListCtrl* GetDetailList() const { return m_detail; }
    wxNotebook* GetTabs() const { return m_tabs; }
    CTorrentPanelModel& GetPanel() { return m_panel; }
    CTorrentDetailPages& GetPages() { return *m_pages; }
    wxTimer& GetTimer() { return m_timer; }

    /// What "Open Torrent" runs (the frame asks for a .torrent file and adds
    /// it); the list is refilled afterwards.
    void SetOpenTorrent(std::function<void(wxWindow*)> open) { m_openTorrent = std::move(open); }

    /// The row menu with the commands the row's state does not allow greyed;
    /// null for a row without data.
    std::unique_ptr<wxMenu> BuildRowMenu(int row) const;
    /// Selects the row as a click does and shows its page laid out afresh.
    void ClickRow(int row);
    /// One tick of the timer.
    void Tick();
    void RefreshList();
    void Command(int command);

protected:
    /// Shows the row menu at the mouse; its choice arrives as a menu command.
    virtual void ShowRowMenu(wxMenu& menu);

private:
    void OnOK(wxCommandEvent& event);
    void OnTimer(wxTimerEvent& event);
    void OnTabChanged(wxBookCtrlEvent& event);
    void OnClickList(CXListEvent& event);
    void OnRClickList(CXListEvent& event);
    void OnMenuCommand(wxCommandEvent& event);
    void ShowPage();
    void MakeImages();

    CDownloadManager* m_manager;
    CXListCtrl* m_list = nullptr;
    wxNotebook* m_tabs = nullptr;
    wxListCtrl* m_detail = nullptr;
    CTorrentPanelModel m_panel;
    std::unique_ptr<ITextTable> m_detailTable;
    std::unique_ptr<CTorrentDetailPages> m_pages;
    wxImageList m_images;
    wxTimer m_timer;
    int m_clickedRow = -1;
    std::function<void(wxWindow*)> m_openTorrent;
};

#pragma once

#include "common/Dialog.h"
#include "dialogs/FeedDirectory.h"
#include "foundation/uString.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <wx/treectrl.h>

class wxButton;
class wxImageList;
class wxTextCtrl;

/// "News Feeds Directory Service": a tree of feed directories, each the
/// address of an outline document. Expanding one downloads it (kept a day
/// in the cache folder) and shows its folders and feeds; a feed can be
/// subscribed or its source shown, which the owner does. The directories
/// are kept in directory.xml, written when the dialog is closed with Close.
/// Downloads run on a worker behind a progress dialog that can cancel
/// them, with a time-out.
class CFeedBrowserDlg : public ui::CDialog
{
public:
    enum ControlId
    {
        kTree = 1073,
        kAddButton = 1074,
        kUrlEdit = 1075,
        kRefreshButton = 1076,
        kSubscribeButton = 1077,
    };
    enum Command
    {
        kRefreshNow = 219,
        kSubscribeNow = 220,
        kViewSource = 222,
    };
    enum Kind : std::uint16_t
    {
        kDirectory = 0,
        kFolder = 1,
        kFeed = 4,
    };
    static constexpr int kDownloadTimeoutSeconds = 120;

    /// Receives WM_APP_SUBSCRIBEURL and WM_APP_VIEWSOURCE with an address.
    using Sender = std::function<void(std::uint32_t message, const uString& url)>;

    /// The directory file and the cache folder of the configuration.
    CFeedBrowserDlg(wxWindow* parent, Sender sender);
    CFeedBrowserDlg(wxWindow* parent, Sender sender, const uString& directoryFile,
                    const uString& cacheFolder);
    ~CFeedBrowserDlg() override;

    wxTreeCtrl* GetTree() const { return m_tree; }
    /// The kind and address of an item; false for a placeholder or no item.
    bool GetItemRecord(const wxTreeItemId& item, std::uint16_t& kind, uString& url) const;

private:
    void Build();
    void ReadDirectoryFile();
    void WriteDirectoryFile();
    wxTreeItemId AppendDirectory(const uString& label, const uString& url);
    bool LoadDirectory(const wxTreeItemId& item, const uString& url);
    void AddNodes(const wxTreeItemId& parent, const std::vector<feeddirectory::Node>& nodes);
    void DeleteChildren(const wxTreeItemId& item);
    void UpdateCaption();
    void UpdateButtons();

    void OnAdd(wxCommandEvent& event);
    void OnRefresh();
    void OnSubscribe();
    void OnViewSource();
    void OnCloseButton(wxCommandEvent& event);
    void OnSelChanged(wxTreeEvent& event);
    void OnActivated(wxTreeEvent& event);
    void OnExpanding(wxTreeEvent& event);
    void OnKeyDown(wxTreeEvent& event);
    void OnRightDown(wxMouseEvent& event);

    Sender m_sender;
    uString m_directoryFile;
    uString m_cacheFolder;
    wxTreeCtrl* m_tree = nullptr;
    wxTextCtrl* m_urlEdit = nullptr;
    wxButton* m_subscribeButton = nullptr;
    wxButton* m_refreshButton = nullptr;
    std::unique_ptr<wxImageList> m_images;
    wxTreeItemId m_current;
};

#pragma once

#include "feeds/FeedRecords.h"
#include "foundation/uFile.h"
#include "foundation/uString.h"

#include <functional>
#include <memory>
#include <wx/longlong.h>

class CDownloadQueue;
class CFeedStore;
class CKestrovaView;
class CWebBrowserFrame;

// The reading side of the main window: fills the item list from a loaded
// store, renders the clicked item through the template of its kind into the
// browser pane, opens items, and keeps or releases them. The main frame owns
// one and forwards its reading messages to it.
//
// User-interface thread only.
class CItemReader
{
public:
    struct Hooks
    {
        // After an item was read: the unread count of the remembered feed.
        std::function<void()> refreshFeedLabel;
        // The BitTorrent engine is loaded and accepts the .torrent file.
        std::function<bool(const uFile& torrentFile)> testTorrentFile;
        // The status bar's feed indicator.
        std::function<void(int state)> setFeedIndicator;
    };

    CItemReader(CKestrovaView& list, CWebBrowserFrame& browser);

    void SetHooks(Hooks hooks) { m_hooks = std::move(hooks); }
    // Attached to every store that keeps or releases an item.
    void SetDownloadQueue(CDownloadQueue* queue) { m_downloadQueue = queue; }

    // Empties the list, then one row per item with a title, in the store's order.
    void FillItemList(CFeedStore& store);
    void FreeListRows();
    // Writes the channel's image page and shows the feed's address; false,
    // with the pane left alone, when the channel has no image with a link.
    bool ShowChannelImage(const CChannelRecord& channel, const uString& feed);

    void ShowSelectedItem();
    // 38 shows the row above the selected one, 40 the row below.
    void ShowNextItem(int key);
    void ShowListItem(int row);
    void RefreshListRow(int row);
    // 1 for a double-click, 0 otherwise.
    void OpenListItem(int doubleClick);

    // A click on the row's icon flips its kept flag.
    void OnItemIconClick(int row);
    // Keeping saves the item's page for offline reading; releasing removes
    // that copy and withdraws queued downloads, never downloaded media. False,
    // with a message and nothing changed, when the page's folder cannot be made.
    bool KeepListItem(const uString& database, const uString& link, const uString& channelTitle, bool keep);
    uFile GetArchivePath(const uString& link, const uString& channelTitle) const;
    bool IsItemArchived(const uString& link, const uString& channelTitle) const;

private:
    // Back or Forward showed the item of `link` again: its row is selected.
    void SelectItemOfLink(const uString& link);
    int RowImage(int kind, bool kept, bool read, const uString& database, const uString& link);
    uString LocalEnclosureFolder(const CItemRecord& item) const;

    CKestrovaView& m_list;
    CWebBrowserFrame& m_browser;
    CDownloadQueue* m_downloadQueue = nullptr;
    Hooks m_hooks;
    // The last toggle: a double-click must not undo its own first click.
    int m_lastToggleRow = -1;
    wxLongLong m_lastToggleTime = 0;
    std::shared_ptr<char> m_alive = std::make_shared<char>();
};

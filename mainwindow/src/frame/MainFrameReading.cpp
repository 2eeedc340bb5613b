// The reading side of the main frame: the item list and the browser pane,
// the item messages, and what selecting or refreshing a feed in the tree
// shows. The work itself is done by CItemReader; the frame wires it to the
// tree, the status bar and the download manager.
#include "StringTable.h"
#include "common/Messages.h"
#include "common/UserPrompt.h"
#include "downloads/DownloadManager.h"
#include "downloads/TorrentEngine.h"
#include "feeds/FeedStore.h"
#include "feeds/Preference.h"
#include "mainwindow/FeedLabel.h"
#include "mainwindow/FileChooser.h"
#include "mainwindow/HtmlCtrl.h"
#include "mainwindow/ItemReader.h"
#include "mainwindow/KestrovaView.h"
#include "mainwindow/MainFrame.h"
#include "mainwindow/TreeViewEx.h"
#include "mainwindow/WebBrowserFrame.h"
#include "mainwindow/XStatusBar.h"

#include <wx/busyinfo.h>
#include <wx/splitter.h>
#include <wx/stdpaths.h>
#include <wx/utils.h>
#include <wx/webview.h>

using namespace subscription;

namespace
{
constexpr const char* kProductName = "Kestrova";
// A download of the browser pane saved: "Saved %s" / "Failed to save %s".
constexpr int kDownloadSavedString = 3080;
constexpr int kDownloadNotSavedString = 3081;
constexpr int kDownloadSavedBesideString = 3082;
constexpr int kDownloadSavedBesideLaterFileString = 3083;
constexpr int kDownloadCancelledString = 3109;
constexpr int kDownloadNotMovedString = 3111;
constexpr int kDatabaseMissingString = 3012;
constexpr int kNewsWatchTitle = 3102;

wxString ToWx(const uString& text)
{
    return wxString::FromUTF8(text.c_str(), static_cast<size_t>(text.getLength()));
}
} // namespace

void CMainFrame::CreateReadingPanes()
{
    m_itemListView = new CKestrovaView(m_innerSplitter, wxID_ANY);
    m_browserFrame =
        new CWebBrowserFrame(m_innerSplitter, wxID_ANY, m_preference->GetProgramDir() + "/template");
    m_browser = m_browserFrame->GetHtmlCtrl()->GetWebView();
    m_reader = std::make_unique<CItemReader>(*m_itemListView, *m_browserFrame);

    // The list's clicks, keys and row commands are the frame's messages.
    CKestrovaView::Hooks view;
    view.showSelectedItem = [this] { SendMessage(WM_APP_SHOWSELECTEDITEM); };
    view.openItem = [this](int doubleClick)
    { SendMessage(WM_USER_OPENITEM, static_cast<std::uintptr_t>(doubleClick)); };
    view.showNextItem = [this](int key)
    { SendMessage(WM_APP_SHOWNEXTITEM, static_cast<std::uintptr_t>(key)); };
    view.rowCommand = [this](int command, const int* row)
    {
        std::uint32_t message = command == CKestrovaView::kDeleteItem    ? WM_APP_DELETEITEM
                                : command == CKestrovaView::kArchiveItem ? WM_APP_ARCHIVEITEM
                                : command == CKestrovaView::kDownloadNow ? WM_APP_DOWNLOADNOW
                                                                         : WM_APP_DOWNLOADLATER;
        SendMessage(message, 0, reinterpret_cast<std::intptr_t>(row));
    };
    m_itemListView->SetHooks(view);
    m_browserFrame->SetSendMailHandler(
        [this]
        {
            m_browserFrame->ForwardPage(
                *m_preference, [this] { SendMessage(WM_APP_SHOWPREFERENCES); }, StillOpen());
        });

    // The pane's reports reach the status bar as WM_APP_SETSTATUS does.
    m_browserFrame->GetHtmlCtrl()->SetStatusHandler(
        [this](long value, const uString* text)
        {
            if (text != nullptr)
                SendMessage(WM_APP_SETSTATUS, 0, *text);
            else
                SendMessage(WM_APP_SETSTATUS, static_cast<std::uintptr_t>(static_cast<std::intptr_t>(value)));
        });
    // A torrent or outline that a page offers opens as the desktop would
    // open such a file, once it is complete; the pane's copy goes once its
    // handler is done with it (used or refused). A feed is subscribed by its
    // address. Both after the engine's signal has returned: they open
    // dialogs. Anything else is saved where the user says, as a browser's
    // download.
    CPaneDownloads::Hooks downloads;
    downloads.folder = [this] { return m_preference->GetTempDir().getPath(); };
    downloads.open = [this](std::uint32_t message, const uString& path)
    {
        CallAfter(
            [this, message, path]
            {
                SendMessage(message, 0, path);
                uFile(path.c_str()).remove();
            });
    };
    downloads.subscribe = [this](const uString& address)
    { CallAfter([this, address] { SubscribeIntoChosenList(address); }); };
    downloads.saveAs = [this](const uString& name)
    {
        ui::FileRequest request;
        request.save = true;
        request.defaultName = name;
        // The user's download folder; the home folder when none is set.
        request.defaultDir =
            uString(wxStandardPaths::Get().GetUserDir(wxStandardPaths::Dir_Downloads).utf8_str());
        // Not a name a save still under way will take there.
        request.defaultName = CPaneDownloads::FreeSaveName(request.defaultDir, name);
        return ui::ChooseFile(this, request);
    };
    downloads.saved = [this](bool saved, const uString& path)
    {
        uString text;
        text.format(resources::StringText(saved ? kDownloadSavedString : kDownloadNotSavedString).c_str(),
                    path.c_str());
        ShowStatusText(wxString::FromUTF8(text.c_str()));
    };
    // What the bar said of an earlier download gives way to this one's end.
    downloads.cancelled = [this](const uString& name)
    {
        uString text;
        text.format(resources::StringText(kDownloadCancelledString).c_str(), name.c_str());
        ShowStatusText(wxString::FromUTF8(text.c_str()));
    };
    // The file under the chosen name stays: the box says why, and where
    // the download is. After the engine's signal.
    downloads.savedBeside = [saved = downloads.saved, this](const uString& kept, const uString& savedAs,
                                                            CPaneDownloads::Hooks::Beside why)
    {
        saved(true, savedAs);
        using Beside = CPaneDownloads::Hooks::Beside;
        const int text = why == Beside::kEndUnchecked ? kDownloadSavedBesideString
                         : why == Beside::kLaterFile  ? kDownloadSavedBesideLaterFileString
                                                      : kDownloadNotMovedString;
        CallAfter([this, kept, savedAs, text]
                  { ui::ShowPrompt(this, text, wxOK | wxICON_INFORMATION, savedAs, kept); });
    };
    m_browserFrame->GetHtmlCtrl()->SetDownloadHooks(std::move(downloads));

    CItemReader::Hooks reader;
    reader.refreshFeedLabel = [this]
    {
        uString database;
        if (m_treeView != nullptr && m_currentChannelItem.IsOk() &&
            m_treeView->IsKind(m_currentChannelItem, kFeed) && GetFeedList(m_currentChannelItem, database))
            RefreshFeedLabel(database, m_currentChannelItem);
    };
    reader.testTorrentFile = [this](const uFile& file)
    {
        CTorrentEngine* engine = m_downloadManager ? m_downloadManager->GetEngine() : nullptr;
        return engine != nullptr && engine->TestTorrentFile(file);
    };
    reader.setFeedIndicator = [this](int state)
    {
        if (m_statusBar != nullptr)
            m_statusBar->SetIndicator(state);
    };
    m_reader->SetHooks(reader);
}

void CMainFrame::StartBrowser()
{
    if (m_reader)
        m_reader->SetDownloadQueue(m_downloadManager.get());
    if (m_browserFrame != nullptr)
        m_browserFrame->Navigate(uString("about:blank"));
}

void CMainFrame::CreateListColumns()
{
    // The view makes its four columns; the rows show the frame's images.
    m_itemListView->SetImageList(m_imageList.get(), wxIMAGE_LIST_SMALL);
}

void CMainFrame::FreeListRows()
{
    if (m_reader)
        m_reader->FreeListRows();
    m_listChannelShown = false;
}

void CMainFrame::FillItemList(CFeedStore& store)
{
    if (!m_reader)
        return;
    m_reader->FillItemList(store);
    m_listChannelShown = true;
    ++m_listGeneration; // a watch's search still running no longer shows its results
}

long CMainFrame::OnShowSelectedItem(const CFrameMessage&)
{
    if (m_reader)
        m_reader->ShowSelectedItem();
    return 0;
}

long CMainFrame::OnShowNextItem(const CFrameMessage& message)
{
    if (m_reader)
        m_reader->ShowNextItem(static_cast<int>(message.wParam));
    return 0;
}

long CMainFrame::OnOpenItem(const CFrameMessage& message)
{
    if (m_reader)
        m_reader->OpenListItem(static_cast<int>(message.wParam));
    return 0;
}

long CMainFrame::OnTreeSelChanged(const CFrameMessage&)
{
    if (!m_selectingQuietly)
        ShowTreeSelection();
    return 0;
}

long CMainFrame::OnTreeItemPage(const CFrameMessage&)
{
    ShowTreeItemPage();
    return 0;
}

// Whatever shows a feed's items comes through here, so that the tree's
// selection, the title bar, the item list and the pane name the same feed.
void CMainFrame::ShowChannel(const wxTreeItemId& feed, CFeedStore& store, const uString& url)
{
    SelectTreeItemQuietly(feed);
    FillItemList(store);
    m_currentChannelItem = feed;
    if (m_reader)
        m_reader->ShowChannelImage(store.channel, url);
    UpdateFrameTitle(feed);
}

void CMainFrame::SelectTreeItemQuietly(const wxTreeItemId& item)
{
    if (m_treeView == nullptr || !item.IsOk() || m_treeView->GetSelection() == item)
        return;
    m_selectingQuietly = true;
    m_treeView->SelectItem(item);
    m_treeView->EnsureVisible(item);
    m_selectingQuietly = false;
}

void CMainFrame::UpdateFrameTitle(const wxTreeItemId& item)
{
    uString title(kProductName);
    const CNamedValue* record = item.IsOk() ? m_treeView->GetRecord(item) : nullptr;
    if (record != nullptr && record->value == kFeed && !record->text.isEmpty())
    {
        title += " - ";
        title += StripUnreadCount(m_treeView->GetLabel(item));
        title += " - ";
        title += record->text;
    }
    else if (record != nullptr && record->value == kWatch && !record->text.isEmpty())
    {
        title += " ";
        title += resources::StringText(kNewsWatchTitle);
        title += " - ";
        title += StripUnreadCount(m_treeView->GetLabel(item));
        title += " - ";
        title += record->text;
    }
    else if (record != nullptr && !record->text.isEmpty())
    {
        title += " - ";
        title += m_treeView->GetLabel(item);
    }
    SetTitle(ToWx(title));
}

void CMainFrame::ShowTreeSelection()
{
    if (m_treeView == nullptr)
        return;
    wxTreeItemId item = m_treeView->GetSelection();
    if (!item.IsOk())
        return;
    const CNamedValue* record = m_treeView->GetRecord(item);
    if (record != nullptr && record->value == kFeed && !record->text.isEmpty())
    {
        const uString url = record->text;
        uString database;
        if (GetFeedList(item, database))
        {
            CFeedStore store;
            store.SetDatabase(database);
            store.LoadChannel(database, url);
            ShowChannel(item, store, url);
            if (!store.channel.iconFile.isEmpty())
            {
                uFile icon(m_preference->GetIconsDir().getPath().c_str(), store.channel.iconFile.c_str());
                if (icon.isFile())
                {
                    AddIcon(icon.getPath());
                    int index = GetIconIndex(icon.getPath());
                    if (index >= kTreeImageCount)
                        m_treeView->SetImages(item, index, index);
                }
            }
            RefreshFeedLabel(database, item);
        }
    }
    else if (record != nullptr && record->value == kWatch && !record->text.isEmpty())
    {
        RefreshWatch(item);
    }
    UpdateFrameTitle(item);
}

void CMainFrame::ShowTreeItemPage()
{
    if (m_treeView == nullptr)
        return;
    wxTreeItemId item = m_treeView->GetSelection();
    const CNamedValue* record = m_treeView->GetRecord(item);
    if (record == nullptr)
        return;
    wxBusyCursor wait;
    if (record->value == kFeed && !record->text.isEmpty())
    {
        const uString url = record->text;
        uString database(CConnectionString::kDefaultDatabase);
        GetFeedList(item, database);
        CFeedStore fetched(url, /*showMessages=*/false);
        if (fetched.errorCode != 0)
        {
            ui::ShowText(this, fetched.errorText, wxOK | wxICON_INFORMATION);
            m_treeView->SetImages(item, kImageWarning, kImageWarning);
            return;
        }
        fetched.channel.link = url;
        fetched.downloadManager = m_downloadManager.get();
        CFeedStore flags;
        flags.SetDatabase(database);
        fetched.SaveChannel(database, false, /*subscribe=*/false, flags.TestChannelAttributes(url, 1),
                            flags.TestChannelAttributes(url, 2));
        fetched.Reset();
        fetched.LoadChannel(database, url);
        ShowChannel(item, fetched, url);
        RefreshFeedLabel(database, item);
    }
    else if (record->value == kList && !record->text.isEmpty())
    {
        wxTreeItemId first = m_treeView->GetFirstChildItem(item);
        if (first.IsOk() && !m_treeView->IsPlaceholder(first))
            return;
        uFile file(ListDatabaseFile(record->text).c_str());
        if (file.isFile() && file.getSize() > 0)
        {
            LoadListFeeds(item);
            m_treeView->Expand(item);
        }
        else
        {
            ui::ShowPrompt(this, kDatabaseMissingString, wxOK | wxICON_INFORMATION);
            m_treeView->SetImages(item, kImageWarning, kImageWarning);
        }
    }
    else if (record->value == kWatch)
    {
        RefreshWatch(item);
    }
}

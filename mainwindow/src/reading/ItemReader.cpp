#include "mainwindow/ItemReader.h"

#include "common/DesktopShell.h"
#include "feeds/FeedStore.h"
#include "feeds/LibraryFiles.h"
#include "feeds/MessageBox.h"
#include "feeds/Preference.h"
#include "mainwindow/HtmlCtrl.h"
#include "mainwindow/HtmlCtrlPolicy.h"
#include "mainwindow/ItemKind.h"
#include "mainwindow/ItemPage.h"
#include "mainwindow/KestrovaView.h"
#include "mainwindow/WebBrowserFrame.h"

#include <memory>
#include <set>
#include <string>
#include <wx/settings.h>
#include <wx/time.h>
#include <wx/wupdlock.h>

namespace
{
uString TemplateDir()
{
    return CPreference::GetInstance()->GetProgramDir() + "/template";
}

bool TorrentReady(const uString& enclosureLink, const std::function<bool(const uFile&)>& test)
{
    if (!test || enclosureLink.isEmpty())
        return false;
    uFile file = itemkind::TorrentFile(CPreference::GetInstance()->GetTorrentDir(), enclosureLink);
    return file.isFile() && file.getSize() > 0 && test(file);
}
} // namespace

CItemReader::CItemReader(CKestrovaView& list, CWebBrowserFrame& browser) : m_list(list), m_browser(browser)
{
    // The pane may outlive the reader.
    m_browser.GetHtmlCtrl()->SetShownAgainHandler(
        [this, alive = std::weak_ptr<char>(m_alive)](const uString& address)
        {
            if (!alive.expired())
                SelectItemOfLink(address);
        });
}

void CItemReader::SelectItemOfLink(const uString& link)
{
    // Only the item's row: nothing is rendered or marked again.
    for (int row = 0; row < m_list.GetRowCount(); ++row)
    {
        const CTransferRowData* data = m_list.GetRowData(row);
        if (data != nullptr && !link.isEmpty() && data->item == link)
        {
            m_list.SelectRow(row);
            return;
        }
    }
}

void CItemReader::FreeListRows()
{
    m_list.ClearRows();
}

void CItemReader::FillItemList(CFeedStore& store)
{
    wxWindowUpdateLocker noUpdates(&m_list);
    FreeListRows();
    for (const CItemRecord& item : store.items)
    {
        if (item.title.isEmpty())
            continue;
        // Search results carry the list they came from; several lists may mix.
        const uString& database = item.database.isEmpty() ? store.databaseName : item.database;
        const int kind = itemkind::Classify(item);
        const bool torrentReady =
            kind == itemkind::kTorrent && TorrentReady(item.enclosureLink, m_hooks.testTorrentFile);
        CKestrovaView::Row row;
        row.text[CKestrovaView::kTitle] = item.title;
        row.text[CKestrovaView::kAuthor] = item.author;
        row.text[CKestrovaView::kCategory] = item.category;
        row.text[CKestrovaView::kPublishDate] = item.pubDate;
        row.image = itemkind::ImageFor(kind, item.kept, item.readStatus == "1", torrentReady);
        row.data =
            std::make_unique<CTransferRowData>(database, store.channel.title, item.link, item.description,
                                               item.kept ? 1 : 0, static_cast<uint16_t>(kind));
        m_list.AppendRow(std::move(row));
    }
    m_list.FitColumns();
    // Another list starts at its top, where the newest item is, wherever
    // the last one was scrolled to.
    if (m_list.GetRowCount() > 0)
        m_list.EnsureVisible(0);
}

bool CItemReader::ShowChannelImage(const CChannelRecord& channel, const uString& feed)
{
    uString page = itempage::ChannelImagePage(channel);
    if (page.isEmpty())
        return false;
    m_browser.GetHtmlCtrl()->WriteHtml(page);
    m_browser.SetAddressText(feed);
    return true;
}

void CItemReader::ShowSelectedItem()
{
    int row = m_list.GetSelectedRow();
    if (row >= 0)
        ShowListItem(row);
}

void CItemReader::ShowNextItem(int key)
{
    int row = m_list.GetSelectedRow();
    if (row < 0)
        return;
    if (key == 40 && row + 1 < m_list.GetRowCount())
        ShowListItem(row + 1);
    else if (key == 38 && row >= 1)
        ShowListItem(row - 1);
}

void CItemReader::ShowListItem(int row)
{
    CTransferRowData* data = m_list.GetRowData(row);
    if (data == nullptr)
        return;
    uString page;
    std::set<std::string> pageFiles;
    if (!data->ds.isEmpty())
    {
        CFeedStore store;
        store.SetDatabase(data->ds);
        CItemRecord item;
        item.description = data->extra;
        item.link = data->item;
        store.LoadEnclosure(item);

        CPreference* preference = CPreference::GetInstance();
        itempage::Fields fields;
        fields.title = m_list.GetRowText(row, CKestrovaView::kTitle);
        // The text's relative references belong to the item's site: against
        // its link when that is a network address, else the feed's (only its
        // address is read; urn: and tag: links are common). Neither: they
        // stay as written.
        uString base = data->item;
        if (!itempage::IsNetworkLink(base))
            base = store.GetItemChannelAddress(data->item);
        fields.description = itempage::ResolveReferences(data->extra, base);
        uString localEnclosure;
        fields.enclosure = itempage::EnclosureReference(item, data->flag, preference->GetLibraryDir(),
                                                        preference->GetDefaultLibraryDir(), &localEnclosure);
        if (!localEnclosure.isEmpty())
            pageFiles.insert(localEnclosure.c_str());
        fields.link = data->item;
        page = itempage::RenderItem(TemplateDir(), data->flag, fields);

        uString error;
        store.MarkItemRead(data->item, error, nullptr);
    }
    m_browser.GetHtmlCtrl()->WriteHtml(page, pageFiles);
    m_browser.SetAddressText(data->item);
    {
        wxWindowUpdateLocker noUpdates(&m_list);
        OnItemIconClick(row);
        RefreshListRow(row);
    }
    if (m_hooks.refreshFeedLabel)
        m_hooks.refreshFeedLabel();
}

int CItemReader::RowImage(int kind, bool kept, bool read, const uString& database, const uString& link)
{
    bool torrentReady = false;
    if (kind == itemkind::kTorrent && m_hooks.testTorrentFile && !database.isEmpty())
    {
        CFeedStore store;
        store.SetDatabase(database);
        CItemRecord item;
        item.link = link;
        store.LoadEnclosure(item);
        torrentReady = TorrentReady(item.enclosureLink, m_hooks.testTorrentFile);
    }
    return itemkind::ImageFor(kind, kept, read, torrentReady);
}

void CItemReader::RefreshListRow(int row)
{
    CTransferRowData* data = m_list.GetRowData(row);
    // A row shown or opened has been read.
    int image = data == nullptr
                    ? itemkind::kImageRead
                    : RowImage(data->flag, data->status == 1, /*read=*/true, data->ds, data->item);
    m_list.SetRowImage(row, image);
    m_list.SelectRow(row);
    m_list.SetFocus();
}

void CItemReader::OpenListItem(int doubleClick)
{
    const int row = m_list.GetSelectedRow();
    CTransferRowData* data = m_list.GetRowData(row);
    if (data == nullptr || data->ds.isEmpty())
        return;
    if (data->status == 1 && IsItemArchived(data->item, data->label))
    {
        m_browser.Navigate(itempage::FileUri(GetArchivePath(data->item, data->label).getPath()));
        if (m_hooks.setFeedIndicator)
            m_hooks.setFeedIndicator(2);
    }
    else if (htmlctrl::MayShowFromFeed(data->item, CPreference::GetInstance()->GetDataDir().getPath()))
    {
        m_browser.Navigate(data->item);
    }
    // Any other link of the feed's is refused quietly: the item is still
    // marked read, as opening it does.

    CFeedStore store;
    store.SetDatabase(data->ds);
    uString error;
    store.MarkItemRead(data->item, error, nullptr);

    if (data->flag == itemkind::kOtherMedia)
    {
        CItemRecord item;
        item.link = data->item;
        store.LoadEnclosure(item);
        uString folder = LocalEnclosureFolder(item);
        if (!folder.isEmpty())
        {
            ui::OpenOrSay(&m_list, folder);
        }
    }

    wxWindowUpdateLocker noUpdates(&m_list);
    if (doubleClick == 1)
        OnItemIconClick(row);
    RefreshListRow(row);
}

uString CItemReader::LocalEnclosureFolder(const CItemRecord& item) const
{
    if (item.enclosureFile.isEmpty())
        return uString();
    // The configured library first, then the start-up one, as the page does.
    CPreference* preference = CPreference::GetInstance();
    uString path;
    if (!feeds::ResolveInside(preference->GetLibraryDir(), item.enclosureFile, path) ||
        !uFile(path.c_str()).exists())
    {
        if (!feeds::ResolveInside(preference->GetDefaultLibraryDir(), item.enclosureFile, path))
            return uString();
    }
    uFile file(path.c_str());
    uString folder;
    if (!file.exists() || !file.getDirectory(folder))
        return uString();
    return folder;
}

void CItemReader::OnItemIconClick(int row)
{
    CTransferRowData* data = m_list.GetRowData(row);
    if (data == nullptr || !m_list.WasIconClicked(row))
        return;
    // The click that starts a double-click toggled already: the double-click
    // itself must not toggle back (releasing would undo the keep at once).
    const wxLongLong now = wxGetLocalTimeMillis();
    const int interval = wxSystemSettings::GetMetric(wxSYS_DCLICK_MSEC);
    if (row == m_lastToggleRow && now - m_lastToggleTime <= (interval > 0 ? interval : 500))
        return;
    m_lastToggleRow = row;
    m_lastToggleTime = now;
    const bool keep = data->status != 1;
    if (KeepListItem(data->ds, data->item, data->label, keep))
        data->status = keep ? 1 : 0;
}

bool CItemReader::KeepListItem(const uString& database, const uString& link, const uString& channelTitle,
                               bool keep)
{
    CFeedStore store;
    store.SetDatabase(database);
    store.downloadManager = m_downloadQueue;
    if (keep)
    {
        // A kept row promises an offline copy: without its folder the item
        // stays as it was, and the user hears why. Keeping again fetches
        // the page again.
        if (!store.SaveItemPage(database, link, channelTitle, /*refetch=*/true))
        {
            CMessageBox::Display(store.errorText);
            return false;
        }
    }
    else
    {
        GetArchivePath(link, channelTitle).remove();
    }
    store.SetItemKept(link, keep);
    return true;
}

uFile CItemReader::GetArchivePath(const uString& link, const uString& channelTitle) const
{
    return itemkind::ArchiveFile(CPreference::GetInstance()->GetArchiveDir(), channelTitle, link);
}

bool CItemReader::IsItemArchived(const uString& link, const uString& channelTitle) const
{
    uFile file = GetArchivePath(link, channelTitle);
    return file.isFile() && file.getSize() > 0;
}

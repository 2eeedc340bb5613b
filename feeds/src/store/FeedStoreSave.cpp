#include "SqlJoin.h"
#include "StringTable.h"
#include "feeds/DownloadQueue.h"
#include "feeds/FailedIcons.h"
#include "feeds/FeedStore.h"
#include "feeds/LibraryFiles.h"
#include "feeds/MediaTypes.h"
#include "feeds/MessageBox.h"
#include "feeds/PageSave.h"
#include "feeds/Preference.h"
#include "feeds/WebFetch.h"

#include <cctype>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

// Storing a parsed channel: the channel row, its new items with their
// enclosures and offline pages, the channel image and the site's icon.

namespace
{

constexpr int kAlreadySubscribedText = 3010;
constexpr int kIconTimeoutSeconds = 30;
constexpr int kPageNotSavedText = 3059;

// The favicon of the site of an http or https link: scheme and host, then
// "/favicon.ico". Empty when the link has no "/" after its host.
uString FaviconLink(const uString& channelLink)
{
    uString link(channelLink);
    link.makeLower();
    int slash = -1;
    if (link.startsWith("http://"))
        slash = link.findChar('/', 7);
    else if (link.startsWith("https://"))
        slash = link.findChar('/', 8);
    if (slash <= 0)
        return uString();
    link.truncate(slash);
    link += "/favicon.ico";
    return link;
}

// The extension of the last segment of the link's path, query and fragment
// left out: one to five letters or digits, else ".ico". The link comes from
// the feed, so nothing else of it may reach the file name.
uString IconExtension(const uString& iconLink)
{
    const std::string link = iconLink.c_str();
    const size_t scheme = link.find("://");
    const size_t pathStart = link.find('/', scheme == std::string::npos ? 0 : scheme + 3);
    if (pathStart == std::string::npos)
        return uString(".ico");
    const size_t pathEnd = link.find_first_of("?#", pathStart);
    const std::string path =
        link.substr(pathStart, pathEnd == std::string::npos ? std::string::npos : pathEnd - pathStart);
    const std::string segment = path.substr(path.rfind('/') + 1);
    const size_t dot = segment.rfind('.');
    if (dot == std::string::npos)
        return uString(".ico");
    const std::string extension = segment.substr(dot + 1);
    if (extension.empty() || extension.size() > 5)
        return uString(".ico");
    for (const char c : extension)
        if (!std::isalnum(static_cast<unsigned char>(c)))
            return uString(".ico");
    return uString(("." + extension).c_str());
}

// The status of the last response in the header text, 0 when there is none
// (an FTP transfer has no status line).
int LastHttpStatus(const uString& headers)
{
    int status = 0;
    const char* text = headers.c_str();
    for (const char* line = text; line && *line;)
    {
        if (std::strncmp(line, "HTTP/", 5) == 0)
        {
            const char* blank = std::strchr(line, ' ');
            if (blank)
                status = std::atoi(blank + 1);
        }
        line = std::strchr(line, '\n');
        if (line)
            ++line;
    }
    return status;
}

// Icon files being fetched now. Update tasks of one pass store channels of
// the same site at once: one of them fetches its icon, the others wait for
// that file instead of fetching (and writing) it again.
class CIconFetches
{
public:
    // True when the caller is to fetch; false after another thread's fetch
    // of the same file ended.
    bool Begin(const std::string& path)
    {
        std::unique_lock hold(m_lock);
        if (m_running.insert(path).second)
            return true;
        m_ended.wait(hold, [&] { return m_running.count(path) == 0; });
        return false;
    }
    void End(const std::string& path)
    {
        {
            std::lock_guard hold(m_lock);
            m_running.erase(path);
        }
        m_ended.notify_all();
    }

private:
    std::mutex m_lock;
    std::condition_variable m_ended;
    std::set<std::string> m_running;
};

CIconFetches& IconFetches()
{
    static CIconFetches fetches;
    return fetches;
}

// Fetches the icon into `file` unless it is there, or failed already in this
// pass. A failed fetch, an answer that is not 2xx and an empty body leave no
// file: an error page is no icon.
void FetchIcon(const uString& iconLink, uFile& file, const std::atomic<bool>* stopFlag,
               CFailedIcons* failedIcons)
{
    auto knownFailed = [&] { return failedIcons && failedIcons->Contains(iconLink); };
    if (file.exists() || knownFailed())
        return;
    const std::string path = file.getPath().c_str();
    if (!IconFetches().Begin(path))
        return; // fetched by another task just now, or failed there
    struct EndFetch
    {
        const std::string& path;
        ~EndFetch() { IconFetches().End(path); }
    } end{path};
    if (file.exists() || knownFailed())
        return;
    uString headers;
    const bool fetched =
        FetchUrlToFile(iconLink, file, kIconTimeoutSeconds, &headers, false, false, nullptr, stopFlag);
    const int status = LastHttpStatus(headers);
    if (!fetched || (status != 0 && (status < 200 || status > 299)) || file.getSize() <= 0)
    {
        file.remove();
        // Marked before the fetch ends for the others: no task may start it again.
        if (failedIcons && !(stopFlag && stopFlag->load()))
            failedIcons->Add(iconLink);
    }
}

// Holds the transfer requests of one batch, so that they reach the real
// queue in the feed's order (newest first) although its items are stored
// last to first. Everything else goes straight through.
class CBatchQueue : public CDownloadQueue
{
public:
    explicit CBatchQueue(CDownloadQueue& target) : m_target(target) {}

    bool AddItem(const CTransferRequest& request) override
    {
        m_held.push_back(request);
        return true;
    }
    bool RemoveItem(const CTransferRequest& request) override { return m_target.RemoveItem(request); }
    void RemoveByPath(const uFile& path) override { m_target.RemoveByPath(path); }
    bool IsBusy() const override { return m_target.IsBusy(); }
    bool HasTorrentEngine() const override { return m_target.HasTorrentEngine(); }
    bool RemoveTorrent(const uFile& torrentFile) override { return m_target.RemoveTorrent(torrentFile); }

    void Flush()
    {
        for (auto request = m_held.rbegin(); request != m_held.rend(); ++request)
            m_target.AddItem(*request);
        m_held.clear();
    }

private:
    CDownloadQueue& m_target;
    std::vector<CTransferRequest> m_held;
};

} // namespace

bool CFeedStore::IsUnfetchedImport(const uString& feedLiteral)
{
    // An outline import leaves the generator NULL, which every fetch that
    // fills the channel (and every subscription) sets, if only to ''. A
    // failed fetch stamps the time but fills nothing: the next one still does.
    // A user who renames such a channel first makes it '' while its
    // lastbuilddate is still NULL (every fill sets it): it is still filled,
    // but keeps the user's title.
    uString sql;
    sql.format("SELECT feed FROM channel WHERE feed=%s and "
               "(generator IS NULL or (generator='' and lastbuilddate IS NULL)) and "
               "NOT EXISTS (SELECT link FROM item WHERE item.feed=%s)",
               feedLiteral.c_str(), feedLiteral.c_str());
    return dataObject.executeCount(sql.c_str()) > 0;
}

void CFeedStore::FillImportedChannel(const uString& feedLiteral)
{
    // What a subscription would have stored from the feed; the outline file's
    // title and description stand only where the feed has none, and a time
    // to live the user set stays.
    uString sql = uString("UPDATE channel SET copyright=") + SqlHexLiteral(channel.copyright) +
                  ", generator=" + SqlHexLiteral(channel.generator) +
                  ", [language]=" + SqlHexLiteral(channel.language) +
                  ", lastbuilddate=" + SqlHexLiteral(channel.lastBuildDate) +
                  ", webmaster=" + SqlHexLiteral(channel.webMaster);
    if (!channel.description.isEmpty())
        sql += uString(", description=") + SqlHexLiteral(channel.description);
    if (!channel.title.isEmpty())
        sql += uString(", title=CASE WHEN generator IS NULL THEN ") + SqlHexLiteral(channel.title) +
               " ELSE title END";
    sql += uString(" where feed=") + feedLiteral;
    if (!dataObject.execute(sql.c_str()))
        FailStatement();
    sql.format("UPDATE channel SET ttl=%d where feed=%s and ttl=0", feeds::LeadingInt(channel.ttl),
               feedLiteral.c_str());
    if (!dataObject.execute(sql.c_str()))
        FailStatement();
}

void CFeedStore::SaveChannel(const uString& listName, bool showMessages, bool subscribe, bool autoArchive,
                             bool autoDownload)
{
    SetDatabase(listName);
    EnsureOpen(false);
    // The title names folders of the library and the archive. An empty title
    // stays empty in the database; SafeFileName covers it where a path is made.
    if (!channel.title.isEmpty())
        MakeValidFileName(channel.title);
    const uString feed = SqlHexLiteral(channel.link);
    bool insertedNow = false;
    uString sql;

    // One channel is stored whole or not at all, in one transaction: a crash
    // or a failed statement leaves the list as it was, and one commit costs
    // far less than one per statement. The network stays outside it.
    uString countError;
    const bool alreadySubscribed =
        subscribe && CountRows("channel", "feed", channel.link, countError, nullptr) > 0;
    const bool savesImages =
        subscribe ? !alreadySubscribed || (!channel.iconLink.isEmpty() && channel.iconFile.isEmpty())
                  : channel.iconFile.isEmpty();
    // What this save learns from the network lasts only for this save.
    struct SaveScope
    {
        CFeedStore& store;
        ~SaveScope()
        {
            store.m_iconTried.setEmpty();
            store.m_torrentLinks.clear();
            store.m_torrentLinksResolved = false;
            store.m_aggregatorRead = false;
        }
    } scope{*this};
    ReadAggregatorAddresses();
    m_aggregatorRead = true;
    if (savesImages)
        FetchChannelIcon();
    ResolveTorrentLinks();
    // Look-ups cut short by a close answer nothing reliable: store nothing,
    // so that the feed stays due.
    if (Stopping())
        return;
    if (!dataObject.execute("BEGIN IMMEDIATE"))
    {
        FailStatement();
        return;
    }
    const int failuresBefore = m_failedStatements;
    std::vector<uString> pagesToSave;

    if (subscribe)
    {
        if (alreadySubscribed)
        {
            if (showMessages)
                CMessageBox::Display(resources::StringText(kAlreadySubscribedText));
            if (!channel.iconLink.isEmpty() && channel.iconFile.isEmpty())
                SaveChannelImages();
        }
        else
        {
            const int attributes = (autoArchive ? 1 : 0) + (autoDownload ? 2 : 0);
            // The ttl comes from the feed: only its number reaches the statement.
            sql.format(
                "INSERT INTO channel (feed, description, title, copyright, generator, [language], "
                "lastbuilddate, ttl, webmaster, attributes ) VALUES(%s, %s, %s, %s, %s, %s, %s, %d, %s, %d)",
                feed.c_str(), SqlHexLiteral(channel.description).c_str(),
                SqlHexLiteral(channel.title).c_str(), SqlHexLiteral(channel.copyright).c_str(),
                SqlHexLiteral(channel.generator).c_str(), SqlHexLiteral(channel.language).c_str(),
                SqlHexLiteral(channel.lastBuildDate).c_str(), feeds::LeadingInt(channel.ttl),
                SqlHexLiteral(channel.webMaster).c_str(), attributes);
            if (dataObject.execute(sql.c_str()))
            {
                SaveChannelImages();
                channelInserted = 1;
                insertedNow = true;
            }
            else
            {
                FailStatement();
            }
        }
    }
    else
    {
        if (channel.iconFile.isEmpty())
            SaveChannelImages();
        // Only a fetch that brought the feed fills an imported channel.
        const bool fetched = !channel.title.isEmpty() || !channel.description.isEmpty() || !items.empty();
        if (fetched && IsUnfetchedImport(feed))
            FillImportedChannel(feed);
        sql.format("UPDATE channel SET lastupdate=Now() where feed=%s", feed.c_str());
        if (!dataObject.execute(sql.c_str()))
            FailStatement();
        // A feed stored without a title (imported from an outline file that
        // named none) takes the feed's own; a title the user gave stays.
        if (!channel.title.isEmpty())
        {
            sql.format("UPDATE channel SET title=%s where feed=%s and (title='' or title is null)",
                       SqlHexLiteral(channel.title).c_str(), feed.c_str());
            if (!dataObject.execute(sql.c_str()))
                FailStatement();
        }
    }

    uString condition;
    condition.format("feed = %s", feed.c_str());
    const int attributes = dataObject.getInt("channel", "attributes", condition.c_str());
    newTitles.clear();
    const bool queue =
        (attributes & 3) != 0 || CPreference::GetInstance()->GetDownloadSection().bAutoDownload;

    // By reference: the purge that follows keeps the links as changed here.
    // Last to first, so the document's first item, which feeds put newest,
    // gets the highest id and leads the list as later batches do.
    CDownloadQueue* const realQueue = downloadManager;
    std::optional<CBatchQueue> batch;
    if (realQueue)
        downloadManager = &batch.emplace(*realQueue);
    for (auto next = items.rbegin(); next != items.rend(); ++next)
    {
        CItemRecord& item = *next;
        if (!item.enclosureLink.isEmpty())
        {
            // A link the feed reuses for several episodes: a later episode is
            // told apart by its enclosure address.
            const uString link = SqlHexLiteral(item.link);
            sql.format("SELECT i.id FROM item as i,enclosure as e where i.link = e.feed and i.link=%s",
                       link.c_str());
            if (dataObject.executeCount(sql.c_str()) > 0)
            {
                sql.format(
                    "SELECT i.id FROM item as i,enclosure as e where i.link = e.feed and i.link=%s and "
                    "e.link=%s",
                    link.c_str(), SqlHexLiteral(item.enclosureLink).c_str());
                if (dataObject.executeCount(sql.c_str()) == 0)
                    item.link = item.enclosureLink;
            }
        }
        const bool merged = MergeAggregatorItem(item.title, item.link, item.description, item.pubDate);
        if (item.link.isEmpty() || item.title.isEmpty())
            continue;
        if (!merged)
        {
            // Items keep only the kept bit of the channel: the purge spares
            // exactly the items whose attributes are 1.
            using feeds::SqlPiece;
            sql = feeds::JoinSql(
                {"insert into item (feed, title, link, description, pubdate, author, category, "
                 "subject, content, attributes, createdate) values(",
                 SqlPiece(feed),
                 ",",
                 SqlPiece(SqlHexLiteral(item.title)),
                 ",",
                 SqlPiece(SqlHexLiteral(item.link)),
                 ",",
                 SqlPiece(SqlHexLiteral(item.description)),
                 ",",
                 SqlPiece(SqlHexLiteral(item.pubDate)),
                 ",",
                 SqlPiece(SqlHexLiteral(item.author)),
                 ",",
                 SqlPiece(SqlHexLiteral(item.category)),
                 ",",
                 SqlPiece(SqlHexLiteral(item.subject)),
                 ",",
                 SqlPiece(SqlHexLiteral(item.content)),
                 ",",
                 (attributes & 1) ? "1" : "0",
                 ", Date())"});
            if (dataObject.execute(sql.c_str()))
            {
                newTitles.push_front(item.title); // in document order
            }
            else if (!dataObject.isDuplicateKey())
            {
                // Not a known item but a real failure: nothing of it is stored.
                FailStatement();
                continue;
            }
        }
        if (insertedNow)
            item.kept = autoArchive;
        SaveItemEnclosure(item, queue);
        if (attributes & 1)
            pagesToSave.push_back(item.link);
    }
    downloadManager = realQueue;

    if (m_failedStatements != failuresBefore || !dataObject.execute("COMMIT"))
    {
        // Keep the first failure's text: the rollback's own is no news.
        if (m_failedStatements == failuresBefore)
            FailStatement();
        const uString reason = errorText;
        dataObject.execute("ROLLBACK");
        errorText = reason;
        newTitles.clear();
        channelInserted = 0;
        return;
    }
    // Only what was stored is queued and archived.
    if (batch)
        batch->Flush();
    // The pages share one folder: when it cannot be made, once is enough.
    for (const uString& link : pagesToSave)
        if (!SaveItemPage(listName, link, channel.title))
            break;
}

void CFeedStore::ResolveTorrentLinks()
{
    m_torrentLinks.clear();
    for (const CItemRecord& item : items)
    {
        // An item without a title is never stored: its link is not asked.
        if (!item.enclosureLink.isEmpty() || item.link.isEmpty() || item.title.isEmpty())
            continue;
        if (Stopping())
            break;
        const std::string link = item.link.c_str();
        if (m_torrentLinks.count(link) == 0)
            m_torrentLinks.emplace(link, IsTorrentLink(item.link, m_stopFlag));
    }
    m_torrentLinksResolved = true;
}

bool CFeedStore::IsItemTorrentLink(const uString& link)
{
    if (!m_torrentLinksResolved)
        return IsTorrentLink(link);
    const auto found = m_torrentLinks.find(link.c_str());
    return found != m_torrentLinks.end() && found->second;
}

void CFeedStore::FetchChannelIcon()
{
    const uString link = channel.iconLink.isEmpty() ? FaviconLink(channel.link) : channel.iconLink;
    if (link.isEmpty())
        return;
    uFile file = CPreference::GetInstance()->GetIconsDir();
    if (file.getPath().isEmpty())
        return;
    file.append((feeds::Md5Hex(link) + IconExtension(link)).c_str());
    FetchIcon(link, file, m_stopFlag, m_failedIcons);
    m_iconTried = link;
}

void CFeedStore::SaveChannelImages()
{
    const uString feed = SqlHexLiteral(channel.link);
    uString sql;
    // Runs the insert in `sql`, then sets the channel's flag for the row; a
    // row stored already is no failure.
    auto insertAndMark = [&](const char* flag)
    {
        if (dataObject.execute(sql.c_str()))
        {
            sql.format("UPDATE channel set %s=true where feed=%s", flag, feed.c_str());
            if (!dataObject.execute(sql.c_str()))
                FailStatement();
        }
        else if (!dataObject.isDuplicateKey())
        {
            FailStatement();
        }
    };
    if (!channel.imageUrl.isEmpty())
    {
        sql.format(
            "INSERT INTO [image] (feed, link, title, description, url, width, height ) VALUES(%s, %s, %s, "
            "%s, %s, %d, %d)",
            feed.c_str(), SqlHexLiteral(channel.imageLink).c_str(), SqlHexLiteral(channel.imageTitle).c_str(),
            SqlHexLiteral(channel.imageDescription).c_str(), SqlHexLiteral(channel.imageUrl).c_str(),
            feeds::LeadingInt(channel.imageWidth), feeds::LeadingInt(channel.imageHeight));
        insertAndMark("[image]");
    }

    if (channel.iconLink.isEmpty())
        channel.iconLink = FaviconLink(channel.link);
    if (!channel.iconLink.isEmpty())
    {
        uFile file = CPreference::GetInstance()->GetIconsDir();
        if (!file.getPath().isEmpty())
        {
            file.append((feeds::Md5Hex(channel.iconLink) + IconExtension(channel.iconLink)).c_str());
            // Fetched already before the save took the write lock.
            if (m_iconTried != channel.iconLink)
                FetchIcon(channel.iconLink, file, m_stopFlag, m_failedIcons);
            if (file.exists())
                channel.iconFile = file.getFileName();
        }
    }

    if (channel.iconFile.isEmpty())
    {
        channel.iconLink.setEmpty();
        return;
    }
    sql.format("INSERT INTO icon (feed, link, localfile ) VALUES(%s, %s, %s)", feed.c_str(),
               SqlHexLiteral(channel.iconLink).c_str(), SqlHexLiteral(channel.iconFile).c_str());
    insertAndMark("icon");
}

bool CFeedStore::SaveItemPage(const uString& /*listName*/, const uString& link, const uString& channelTitle,
                              bool refetch)
{
    const uFile archive = CPreference::GetInstance()->GetArchiveDir();
    const uFile file = feeds::ArchivePageFile(archive, channelTitle, link);
    uString folder;
    file.getDirectory(folder);
    const uFile pageFolder(folder.c_str());
    if (!archive.getPath().isEmpty())
        pageFolder.ensureDirectory();
    if (archive.getPath().isEmpty() || !pageFolder.isDirectory())
    {
        errorCode = kPageNotSaved;
        errorText.format(resources::StringText(kPageNotSavedText).c_str(), link.c_str(), folder.c_str());
        return false;
    }
    if (refetch || !file.exists())
        new CPageSaveTask(link, file, true); // runs on its own thread and deletes itself
    return true;
}

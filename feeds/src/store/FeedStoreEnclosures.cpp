#include "SqlJoin.h"
#include "feeds/DownloadQueue.h"
#include "feeds/FeedStore.h"
#include "feeds/LibraryFiles.h"
#include "feeds/MediaTypes.h"
#include "feeds/Preference.h"

#include <list>
#include <string>
#include <vector>

// Enclosures of stored items: their rows, their media files in the library
// and their entries in the download queue; and a few single statements on
// items the window needs.

namespace
{

struct EnclosureRow
{
    uString itemLink;
    uString channelTitle;
    uString link;
    uString type;
    uString localFile;
    uString length;
};

// The enclosures joined with their items and channels under `condition`, read
// whole before anything is done with them. False when the query fails.
bool ReadEnclosureRows(uActiveXDataObjectExt& data, const uString& condition, std::vector<EnclosureRow>& rows)
{
    uString sql;
    sql.format(
        "SELECT e.feed, c.title, e.link, e.type, e.localfile, e.length FROM enclosure AS e, item AS i, "
        "channel AS c WHERE e.feed = i.link and i.feed = c.feed and %s",
        condition.c_str());
    if (!data.query(sql.c_str()))
        return false;
    do
    {
        EnclosureRow row;
        if (!data.getFieldString(0, row.itemLink) || !data.getFieldString(1, row.channelTitle) ||
            !data.getFieldString(2, row.link) || !data.getFieldString(3, row.type) ||
            !data.getFieldString(4, row.localFile) || !data.getFieldString(5, row.length))
            break;
        rows.push_back(row);
    } while (data.moveNext());
    data.closeQuery();
    return true;
}

bool IsTorrentEnclosure(const uString& type, const uString& link)
{
    return IsTorrentType(type) || IsTorrentType(link);
}

// What the download manager needs to make its transfer record. The label
// names the library sub-folder, so it is made safe as a path component here.
CTransferRequest MakeRequest(const uString& channelTitle, const uString& listName, const uString& feed,
                             const uString& itemLink, const uString& link, const uString& type,
                             const uString& length)
{
    CTransferRequest request;
    request.type = IsTorrentEnclosure(type, link) ? 1 : 0;
    request.media = IsVideoType(type) ? 2 : (IsAudioType(type) ? 1 : 0);
    request.label = SafeFileName(channelTitle);
    request.listName = listName;
    request.feed = feed;
    request.item = itemLink;
    request.link = link;
    request.length = feeds::LeadingInteger(length);
    return request;
}

// The .torrent file kept for an enclosure in the data folder's torrent folder.
uFile TorrentFile(const uString& link)
{
    uFile file = CPreference::GetInstance()->GetTorrentDir();
    file.append((feeds::Md5Hex(link) + ".torrent").c_str());
    return file;
}

void RemoveTorrent(CDownloadQueue* queue, const uString& link)
{
    uFile file = TorrentFile(link);
    if (queue && queue->HasTorrentEngine())
        queue->RemoveTorrent(file);
    file.remove();
}

uString Condition(const char* format, const uString& key)
{
    uString condition;
    condition.format(format, SqlHexLiteral(key).c_str());
    return condition;
}

} // namespace

void CFeedStore::SaveItemEnclosure(CItemRecord& item, bool queue)
{
    if (item.enclosureLink.isEmpty() && IsItemTorrentLink(item.link))
    {
        item.enclosureLink = item.link;
        item.enclosureLength = "0";
        item.enclosureType = "application/x-bittorrent";
    }
    if (item.enclosureLink.isEmpty())
        return;

    const uString itemLink = SqlHexLiteral(item.link);
    uString sql;
    // The length comes from the feed: only its number reaches the statement.
    const std::string length =
        std::to_string(static_cast<long long>(feeds::LeadingInteger(item.enclosureLength)));
    sql = feeds::JoinSql({"INSERT INTO enclosure (feed, link, length, type ) VALUES(",
                          feeds::SqlPiece(itemLink), ", ", feeds::SqlPiece(SqlHexLiteral(item.enclosureLink)),
                          ", ", length, ", ", feeds::SqlPiece(SqlHexLiteral(item.enclosureType)), ")"});
    if (dataObject.execute(sql.c_str()))
    {
        sql.format("UPDATE item set enclosure=true where link=%s", itemLink.c_str());
        if (!dataObject.execute(sql.c_str()))
            FailStatement();
    }
    else if (!dataObject.isDuplicateKey())
    {
        FailStatement();
    }

    uString where;
    where.format("link = '%s'", SqlQuote(item.enclosureLink).c_str());
    uString localFile;
    if (!dataObject.selectString("enclosure", "localfile", localFile, where.c_str()))
        return;
    if (!localFile.isEmpty())
    {
        if (feeds::LibraryFileExists(localFile))
            return;
        // Deleted from the library: fetch it again.
        sql.format("UPDATE enclosure set localfile='' where link = '%s'",
                   SqlQuote(item.enclosureLink).c_str());
        if (!dataObject.execute(sql.c_str()))
            FailStatement();
    }
    if (downloadManager && queue && !IsStreamType(item.enclosureType))
        downloadManager->AddItem(MakeRequest(channel.title, databaseName, channel.link, item.link,
                                             item.enclosureLink, item.enclosureType, item.enclosureLength));
}

void CFeedStore::QueueFeedEnclosures(const uString& listName, const uString& feed, bool queue)
{
    if (!downloadManager)
        return;
    SetDatabase(listName);
    EnsureOpen(false);
    QueueEnclosuresWhere(listName, feed, Condition("c.feed=%s", feed), queue);
}

void CFeedStore::UnqueueFeedEnclosures(const uString& listName, const uString& feed)
{
    if (!downloadManager)
        return;
    SetDatabase(listName);
    EnsureOpen(false);
    UnqueueEnclosuresWhere(listName, feed, Condition("c.feed=%s", feed));
}

void CFeedStore::QueueEnclosuresWhere(const uString& listName, const uString& feed, const uString& condition,
                                      bool queue)
{
    std::vector<EnclosureRow> rows;
    if (!ReadEnclosureRows(dataObject, condition, rows))
    {
        FailStatement();
        return;
    }
    for (const EnclosureRow& row : rows)
    {
        const bool missing = row.localFile.isEmpty() || !feeds::LibraryFileExists(row.localFile);
        if (missing && queue && !IsStreamType(row.type))
            downloadManager->AddItem(
                MakeRequest(row.channelTitle, listName, feed, row.itemLink, row.link, row.type, row.length));
    }
}

void CFeedStore::UnqueueEnclosuresWhere(const uString& listName, const uString& feed,
                                        const uString& condition)
{
    std::vector<EnclosureRow> rows;
    if (!ReadEnclosureRows(dataObject, condition, rows))
    {
        FailStatement();
        return;
    }
    // Only what has not been downloaded: nothing in the library is touched.
    for (const EnclosureRow& row : rows)
    {
        if (!row.localFile.isEmpty())
            continue;
        if (IsTorrentEnclosure(row.type, row.link))
            RemoveTorrent(downloadManager, row.link);
        downloadManager->RemoveItem(
            MakeRequest(row.channelTitle, listName, feed, row.itemLink, row.link, row.type, row.length));
    }
}

void CFeedStore::DeleteItemEnclosure(const uString& link)
{
    EnsureOpen(false);
    const uString condition = Condition("feed = %s", link);
    struct Row
    {
        uString localFile;
        uString link;
        uString type;
    };
    std::vector<Row> rows;
    uString sql;
    sql.format("select localfile, link, type from enclosure where %s", condition.c_str());
    if (!dataObject.query(sql.c_str()))
        return;
    do
    {
        Row row;
        if (!dataObject.getFieldString(0, row.localFile) || !dataObject.getFieldString(1, row.link) ||
            !dataObject.getFieldString(2, row.type))
            break;
        rows.push_back(row);
    } while (dataObject.moveNext());
    dataObject.closeQuery();
    if (rows.empty())
        return;

    uString feed;
    dataObject.selectString("item", "feed", feed, Condition("link = %s", link).c_str());
    for (const Row& row : rows)
    {
        if (IsTorrentEnclosure(row.type, row.link))
            RemoveTorrent(downloadManager, row.link);
        if (!row.localFile.isEmpty())
        {
            // Another item filed with the same media (one episode in two
            // feeds) still plays it.
            if (feeds::LibraryFileExists(row.localFile) && IsLocalFileShared(row.localFile, link))
                continue;
            uString deleted;
            if (feeds::DeleteLibraryFile(row.localFile, deleted) && downloadManager)
                downloadManager->RemoveByPath(uFile(deleted.c_str()));
        }
        else if (downloadManager)
        {
            // Never downloaded: only its queue entry goes, nothing on disk.
            downloadManager->RemoveItem(
                MakeRequest(uString(), databaseName, feed, link, row.link, row.type, "0"));
        }
    }
    if (!dataObject.deleteRows("enclosure", condition.c_str()))
        FailStatement();
}

int CFeedStore::CountRows(const uString& table, const uString& column, const uString& value, uString& error,
                          uint16_t* code)
{
    if (code)
        *code = kNoError;
    error.setEmpty();
    EnsureOpen(false);
    uString sql;
    sql.format("SELECT * FROM %s where %s=%s", table.c_str(), column.c_str(), SqlHexLiteral(value).c_str());
    const int count = dataObject.executeCount(sql.c_str());
    if (dataObject.getErrorCode() != 0)
    {
        if (code)
            *code = kStatementFailed;
        error = dataObject.getErrorText();
    }
    return count;
}

bool CFeedStore::MarkFeedRead(const uString& feed)
{
    EnsureOpen(false);
    uString sql;
    sql.format("UPDATE item SET readStatus=1 WHERE readStatus=0 and feed=%s", SqlHexLiteral(feed).c_str());
    const bool done = dataObject.execute(sql.c_str());
    if (dataObject.getErrorCode() != 0)
        FailStatement();
    return done;
}

void CFeedStore::DeleteEnclosure(const uString& link, uString& error, uint16_t* code)
{
    if (code)
        *code = kNoError;
    error.setEmpty();
    EnsureOpen(false);
    const uString condition = Condition("link = %s", link);
    uString localFile;
    if (dataObject.selectString("enclosure", "localfile", localFile, condition.c_str()) &&
        !localFile.isEmpty())
    {
        uString deleted;
        feeds::DeleteLibraryFile(localFile, deleted);
    }
    uString sql;
    sql.format("delete * from enclosure where %s", condition.c_str());
    if (!dataObject.execute(sql.c_str()))
    {
        if (code)
            *code = kStatementFailed;
        error = dataObject.getErrorText();
    }
}

bool CFeedStore::IsLocalFileShared(const uString& localFile, const uString& exceptItem)
{
    uString sql;
    sql.format("SELECT * FROM enclosure where localfile = %s and feed <> %s",
               SqlHexLiteral(localFile).c_str(), SqlHexLiteral(exceptItem).c_str());
    EnsureOpen(false);
    if (dataObject.executeCount(sql.c_str()) != 0 || dataObject.getErrorCode() != 0)
        return true;
    // The other lists of the folder: one episode may be filed for a feed in each.
    std::list<uFile> entries;
    uFile(GetSubscriptionFolder().c_str()).listDirectory(entries);
    for (const uFile& entry : entries)
    {
        const uString name(entry.getFileName());
        if (name == databaseName || name.getLength() < 5 || !entry.isFile() ||
            !uString(name.c_str() + name.getLength() - 4).equalsNoCase(".mdb"))
            continue;
        CFeedStore other(GetSubscriptionFolder());
        other.SetDatabase(name);
        other.EnsureOpen(false);
        if (other.dataObject.executeCount(sql.c_str()) != 0 || other.dataObject.getErrorCode() != 0)
            return true;
    }
    return false;
}

void CFeedStore::DeleteItemEnclosures(const uString& link, uString& error, uint16_t* code)
{
    if (code)
        *code = kNoError;
    error.setEmpty();
    EnsureOpen(false);
    const uString condition = Condition("feed = %s", link);
    std::list<uString> files;
    dataObject.selectStringList("enclosure", "localfile", files, condition.c_str(), nullptr);
    uString sql;
    sql.format("delete * from enclosure where %s", condition.c_str());
    if (!dataObject.execute(sql.c_str()))
    {
        if (code)
            *code = kStatementFailed;
        error = dataObject.getErrorText();
        return;
    }
    for (const uString& file : files)
    {
        uString deleted;
        if (!file.isEmpty() && feeds::LibraryFileExists(file) && !IsLocalFileShared(file, link))
            feeds::DeleteLibraryFile(file, deleted);
    }
}

void CFeedStore::SetItemKept(const uString& link, bool keep)
{
    EnsureOpen(false);
    // Item attributes hold nothing but the kept bit (and -1 for a deleted
    // item): releasing writes 0, so a released item is listed again.
    uString sql;
    sql.format("update item set attributes=%d where link = %s", keep ? 1 : 0, SqlHexLiteral(link).c_str());
    if (!dataObject.execute(sql.c_str()))
        FailStatement();
    if (!downloadManager)
        return;
    // The item's own enclosures, under the identity of its feed.
    uString feed;
    dataObject.selectString("item", "feed", feed, Condition("link = %s", link).c_str());
    const uString condition = Condition("e.feed=%s", link);
    if (keep)
        QueueEnclosuresWhere(databaseName, feed, condition, true);
    else
        UnqueueEnclosuresWhere(databaseName, feed, condition);
}

void CFeedStore::Close()
{
    if (dataObject.isConnected())
        dataObject.close();
}

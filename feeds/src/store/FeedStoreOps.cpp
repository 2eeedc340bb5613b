#include "FeedStoreRows.h"
#include "feeds/FeedStore.h"
#include "feeds/Preference.h"

#include <initializer_list>
#include <utility>
#include <vector>

namespace
{

// "<column> = <literal>", the condition of the single-value reads and writes.
uString KeyCondition(const char* column, const uString& key)
{
    uString condition;
    condition.format("%s = %s", column, SqlHexLiteral(key).c_str());
    return condition;
}

} // namespace

namespace feedrows
{

bool ReadRow(uActiveXDataObjectExt& data, std::initializer_list<std::pair<int, uString*>> fields)
{
    std::vector<uString> values(fields.size());
    size_t i = 0;
    for (const auto& field : fields)
        if (!data.getFieldString(field.first, values[i++]))
            return false;
    i = 0;
    for (const auto& field : fields)
        *field.second = std::move(values[i++]);
    return true;
}

void AppendWithEnclosures(const uString& subscriptionFolder, const uString& database,
                          std::vector<std::pair<CItemRecord, bool>>& rows, std::vector<CItemRecord>& items)
{
    CFeedStore enclosures(subscriptionFolder);
    enclosures.SetDatabase(database);
    for (auto& [item, hasEnclosure] : rows)
    {
        if (hasEnclosure)
            enclosures.LoadEnclosure(item);
        items.push_back(std::move(item));
    }
}

} // namespace feedrows

using feedrows::ReadRow;

// ---- single statements -------------------------------------------------------

void CFeedStore::ExecuteReported(const uString& statement, uString& error, uint16_t* code)
{
    error.setEmpty();
    if (code)
        *code = kNoError;
    EnsureOpen(false);
    if (dataObject.execute(statement.c_str()))
        return;
    if (code)
        *code = kStatementFailed;
    error = dataObject.getErrorText();
}

void CFeedStore::DeleteIcons(const uString& feed, uString& error, uint16_t* code)
{
    uString sql;
    sql.format("delete * from icon where feed = %s", SqlHexLiteral(feed).c_str());
    ExecuteReported(sql, error, code);
}

void CFeedStore::DeleteImages(const uString& feed, uString& error, uint16_t* code)
{
    uString sql;
    sql.format("delete * from [image] where feed = %s", SqlHexLiteral(feed).c_str());
    ExecuteReported(sql, error, code);
}

void CFeedStore::DeleteItems(const uString& feed, uString& error, uint16_t* code)
{
    uString sql;
    sql.format("delete * from item where feed = %s", SqlHexLiteral(feed).c_str());
    ExecuteReported(sql, error, code);
}

void CFeedStore::DeleteFeedEnclosures(const uString& feed, uString& error, uint16_t* code)
{
    uString sql;
    sql.format("delete * from enclosure where feed in (select link from item where item.feed = %s)",
               SqlHexLiteral(feed).c_str());
    ExecuteReported(sql, error, code);
}

void CFeedStore::MarkItemsDeleted(const uString& feed, uString& error, uint16_t* code)
{
    uString sql;
    sql.format("update item set attributes=-1 where feed = %s", SqlHexLiteral(feed).c_str());
    ExecuteReported(sql, error, code);
}

void CFeedStore::MarkItemDeleted(const uString& link, uString& error, uint16_t* code)
{
    uString sql;
    sql.format("update item set attributes=-1 where link = %s", SqlHexLiteral(link).c_str());
    ExecuteReported(sql, error, code);
}

void CFeedStore::DeleteChannel(const uString& feed, uString& error, uint16_t* code)
{
    uString sql;
    sql.format("delete * from channel where feed = %s", SqlHexLiteral(feed).c_str());
    ExecuteReported(sql, error, code);
}

void CFeedStore::MarkItemRead(const uString& link, uString& error, uint16_t* code)
{
    uString sql;
    sql.format("UPDATE item SET readstatus = 1 WHERE readstatus = 0 and link = %s",
               SqlHexLiteral(link).c_str());
    ExecuteReported(sql, error, code);
}

// ---- single values -----------------------------------------------------------

bool CFeedStore::TestChannelAttributes(const uString& feed, int16_t mask)
{
    EnsureOpen(false);
    const int attributes = dataObject.getInt("channel", "attributes", KeyCondition("feed", feed).c_str());
    return (attributes & static_cast<int>(mask)) != 0;
}

int CFeedStore::GetChannelTtl(const uString& feed)
{
    EnsureOpen(false);
    const int ttl = dataObject.getInt("channel", "ttl", KeyCondition("feed", feed).c_str());
    return ttl < 0 ? 0 : ttl;
}

uString CFeedStore::GetChannelTitle(const uString& feed)
{
    EnsureOpen(false);
    uString title;
    if (!dataObject.selectString("channel", "title", title, KeyCondition("feed", feed).c_str()))
        title.setEmpty();
    return title;
}

uString CFeedStore::GetItemChannelAddress(const uString& link)
{
    EnsureOpen(false);
    uString sql;
    sql.format("select c.feed from channel as c, item as i where c.feed = i.feed and i.link = %s",
               SqlHexLiteral(link).c_str());
    uString feed;
    if (dataObject.query(sql.c_str()))
    {
        if (!ReadRow(dataObject, {{0, &feed}}))
            feed.setEmpty();
        dataObject.closeQuery();
    }
    return feed;
}

bool CFeedStore::SetChannelTtl(const uString& feed, int minutes)
{
    EnsureOpen(false);
    return dataObject.updateInt("channel", "ttl", minutes, KeyCondition("feed", feed).c_str());
}

bool CFeedStore::GetItemContent(const uString& link, uString& content)
{
    EnsureOpen(false);
    return dataObject.selectString("item", "content", content, KeyCondition("link", link).c_str()) &&
           !content.isEmpty();
}

bool CFeedStore::GetEnclosureFile(const uString& database, const uString& link, uString& file)
{
    SetDatabase(database);
    EnsureOpen(false);
    file.setEmpty();
    // Enclosure rows are keyed by the link of their item.
    return dataObject.selectString("enclosure", "localfile", file, KeyCondition("feed", link).c_str());
}

int CFeedStore::CountUnread(const uString& feed)
{
    EnsureOpen(false);
    uString condition;
    condition.format("feed = '%s' and readstatus=0", SqlQuote(feed).c_str());
    const int unread = dataObject.count("item", "readstatus", condition.c_str());
    if (dataObject.getErrorCode() != uDatabaseObject::kNoError)
        FailStatement();
    return unread;
}

// ---- reads for display -------------------------------------------------------

void CFeedStore::LoadItemText(CItemRecord& item)
{
    EnsureOpen(false);
    uString sql;
    sql.format(
        "select title, description, pubdate, author, category, subject, content from item where link = %s",
        SqlHexLiteral(item.link).c_str());
    if (!dataObject.query(sql.c_str()))
    {
        FailDisplayRead();
        return;
    }
    bool more = true;
    while (more && ReadRow(dataObject, {{0, &item.title},
                                        {1, &item.description},
                                        {2, &item.pubDate},
                                        {3, &item.author},
                                        {4, &item.category},
                                        {5, &item.subject},
                                        {6, &item.content}}))
        more = dataObject.moveNext();
    dataObject.closeQuery();
}

void CFeedStore::LoadEnclosure(CItemRecord& item)
{
    EnsureOpen(false);
    uString sql;
    sql.format("select * from enclosure where feed = %s", SqlHexLiteral(item.link).c_str());
    if (!dataObject.query(sql.c_str()))
    {
        FailDisplayRead();
        return;
    }
    // Several rows: the last one read wins, a record holds one enclosure.
    bool more = true;
    while (more && ReadRow(dataObject, {{1, &item.enclosureLink},
                                        {2, &item.enclosureLength},
                                        {3, &item.enclosureType},
                                        {4, &item.enclosureFile}}))
        more = dataObject.moveNext();
    dataObject.closeQuery();
}

void CFeedStore::GetItemFeed(const uString& link, uString& feed)
{
    EnsureOpen(false);
    uString sql;
    sql.format("select feed from item where link = %s", SqlHexLiteral(link).c_str());
    if (!dataObject.query(sql.c_str()))
    {
        FailDisplayRead();
        return;
    }
    ReadRow(dataObject, {{0, &feed}});
    dataObject.closeQuery();
}

// ---- properties, enclosure file, due test --------------------------------------

void CFeedStore::UpdateChannelProperties(uString& feed, const uString& title, const uString& newFeed,
                                         bool autoArchive, bool autoDownload)
{
    EnsureOpen(false);
    uString sql;
    if (newFeed != feed)
    {
        // The items, image and icon follow the channel: left behind they would
        // vanish from the channel, and their stored links would keep the feed
        // from ever storing those items again.
        const uString to = SqlHexLiteral(newFeed);
        const uString from = SqlHexLiteral(feed);
        const char* const statements[] = {"update channel set channel.feed=%s where channel.feed = %s",
                                          "update item set item.feed=%s where item.feed = %s",
                                          "update [image] set feed=%s where feed = %s",
                                          "update icon set feed=%s where feed = %s"};
        if (!dataObject.execute("BEGIN IMMEDIATE"))
        {
            FailStatement();
            return;
        }
        for (const char* statement : statements)
        {
            sql.format(statement, to.c_str(), from.c_str());
            if (!dataObject.execute(sql.c_str()))
            {
                FailStatement();
                dataObject.execute("ROLLBACK");
                return;
            }
        }
        if (!dataObject.execute("COMMIT"))
        {
            FailStatement();
            dataObject.execute("ROLLBACK");
            return;
        }
        feed = newFeed;
    }

    // A title the user gives an imported feed before its first fetch is the
    // user's, so that fetch must not replace it with the feed's own: the
    // generator goes from NULL to '' (lastbuilddate stays NULL until the
    // fetch fills the channel). The feed's address as its label is no name.
    sql.format("update channel set generator='' where feed = %s and generator is null and "
               "coalesce(title, '') <> %s and feed <> %s",
               SqlHexLiteral(feed).c_str(), SqlHexLiteral(title).c_str(), SqlHexLiteral(title).c_str());
    if (!dataObject.execute(sql.c_str()))
    {
        FailStatement();
        return;
    }
    sql.format("update channel set title=%s where feed = %s", SqlHexLiteral(title).c_str(),
               SqlHexLiteral(feed).c_str());
    if (!dataObject.execute(sql.c_str()))
    {
        FailStatement();
        return;
    }

    const uString condition = KeyCondition("feed", feed);
    int attributes = dataObject.getInt("channel", "attributes", condition.c_str());
    attributes = autoArchive ? (attributes | 1) : (attributes & ~1);
    attributes = autoDownload ? (attributes | 2) : (attributes & ~2);
    dataObject.updateInt("channel", "attributes", attributes, condition.c_str());
}

void CFeedStore::SetEnclosureFile(const uString& link, const uString& file, int64_t length, const char* type)
{
    EnsureOpen(false);
    const uString key = SqlHexLiteral(link);
    uString sql;
    if (!file.isEmpty())
        sql.format("update enclosure set localfile=%s, length = %lld  where feed = %s",
                   SqlHexLiteral(file).c_str(), static_cast<long long>(length), key.c_str());
    else
        sql.format("update enclosure set localfile='', length = 0 where feed = %s", key.c_str());
    if (!dataObject.execute(sql.c_str()))
    {
        FailStatement();
        return;
    }
    if (!type || !*type)
        return;
    sql.format("update enclosure set type='%s' where feed = %s", SqlQuote(type).c_str(), key.c_str());
    if (!dataObject.execute(sql.c_str()))
        FailStatement();
}

bool CFeedStore::IsUpdateDue(const uString& feed, int* attributes)
{
    if (attributes)
        *attributes = 0;
    EnsureOpen(false);
    const uString condition = KeyCondition("feed", feed);
    const int ttl = dataObject.getInt("channel", "ttl", condition.c_str());
    if (attributes)
        *attributes = dataObject.getInt("channel", "attributes", condition.c_str());
    uString sql;
    sql.format("SELECT * FROM channel where feed = %s and DateDiff('n',lastupdate,Now())>%d",
               SqlHexLiteral(feed).c_str(), ttl);
    return dataObject.executeCount(sql.c_str()) > 0;
}

// ---- news aggregator ---------------------------------------------------------

void CFeedStore::ReadAggregatorAddresses()
{
    const CPreference::GeneralSection general = CPreference::GetInstance()->GetGeneralSection();
    m_aggregatorPrefix = general.strAggregatorPrefix;
    m_aggregatorDroppedHost = general.strAggregatorDroppedHost;
}

bool CFeedStore::MergeAggregatorItem(const uString& title, uString& link, const uString& description,
                                     const uString& pubDate)
{
    if (!m_aggregatorRead)
        ReadAggregatorAddresses();
    const uString& redirectPrefix = m_aggregatorPrefix;
    const uString& droppedHost = m_aggregatorDroppedHost;
    if (redirectPrefix.isEmpty() || !link.startsWith(redirectPrefix))
        return false;
    if (!droppedHost.isEmpty() && link.contains(droppedHost))
    {
        link.setEmpty();
        return false;
    }

    // The target: from "url=" up to and including the next "&".
    const int at = link.find("url=");
    if (at <= 0)
        return false;
    uString target(link, at, link.getLength() - at);
    const int ampersand = target.findChar('&', 1);
    if (ampersand > 0)
        target.truncate(ampersand + 1);

    EnsureOpen(false);
    const uString titleLiteral = SqlHexLiteral(title);
    const uString targetLiteral = SqlHexLiteral(target);
    uString sql;
    sql.format("SELECT link FROM item WHERE item.title = %s and item.link LIKE '%%'+%s+'%%'",
               titleLiteral.c_str(), targetLiteral.c_str());
    if (dataObject.executeCount(sql.c_str()) <= 0)
        return false;
    sql.format("UPDATE item SET item.link=%s, item.description=%s, item.pubdate=%s WHERE item.title = %s and "
               "item.link LIKE '%%'+%s+'%%' ",
               SqlHexLiteral(link).c_str(), SqlHexLiteral(description).c_str(),
               SqlHexLiteral(pubDate).c_str(), titleLiteral.c_str(), targetLiteral.c_str());
    // The link is kept: it now names the stored item, which a purge in the
    // same refresh must still find among the feed's links.
    return dataObject.execute(sql.c_str());
}

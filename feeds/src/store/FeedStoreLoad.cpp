#include "FeedStoreRows.h"
#include "feeds/FeedStore.h"
#include "feeds/MessageBox.h"
#include "feeds/Preference.h"

#include <cstdlib>
#include <initializer_list>
#include <set>
#include <string>
#include <utility>

// Reading channels and items for display, the channel list and the purge.

namespace
{

// A boolean column read as text is set when it is not "0".
bool IsSet(const uString& value)
{
    return !(value == "0");
}

} // namespace

using feedrows::ReadRow;

void CFeedStore::LoadChannel(const uString& database, const uString& feed)
{
    // The caller may pass the store's own channel link.
    const uString address(feed);
    SetDatabase(database);
    EnsureOpen(false);
    const uString quoted = SqlQuote(address);
    uString sql;
    sql.format("select * from channel where feed = '%s'", quoted.c_str());
    if (!dataObject.query(sql.c_str()))
    {
        FailDisplayRead();
        return;
    }
    bool hasImage = false;
    bool hasIcon = false;
    do
    {
        uString image;
        uString icon;
        if (!ReadRow(dataObject, {{1, &channel.description},
                                  {2, &channel.title},
                                  {3, &channel.copyright},
                                  {4, &channel.generator},
                                  {5, &channel.language},
                                  {6, &channel.lastBuildDate},
                                  {7, &channel.ttl},
                                  {8, &channel.webMaster},
                                  {9, &channel.managingEditor},
                                  {10, &image},
                                  {11, &icon}}))
            break;
        channel.link = address;
        for (uString* field : {&channel.imageLink, &channel.imageDescription, &channel.imageHeight,
                               &channel.imageWidth, &channel.imageTitle, &channel.imageUrl})
            field->setEmpty();
        channel.iconLink.setEmpty();
        channel.iconFile.setEmpty();
        hasImage = IsSet(image);
        hasIcon = IsSet(icon);
    } while (dataObject.moveNext());
    dataObject.closeQuery();

    sql.format("select * from item where attributes>=0 and feed = '%s' order by id desc, pubDate desc, "
               "readStatus asc, title asc",
               quoted.c_str());
    if (!dataObject.query(sql.c_str()))
    {
        CMessageBox::Display(dataObject.getErrorText());
        return;
    }
    std::vector<std::pair<CItemRecord, bool>> rows; // record, has enclosure
    do
    {
        CItemRecord item;
        uString enclosure;
        uString attributes;
        if (!ReadRow(dataObject, {{1, &item.title},
                                  {2, &item.link},
                                  {3, &item.description},
                                  {4, &item.pubDate},
                                  {5, &item.author},
                                  {6, &item.category},
                                  {7, &item.subject},
                                  {8, &item.readStatus},
                                  {9, &enclosure},
                                  {13, &attributes}}))
            break;
        item.kept = (std::atoi(attributes.c_str()) & 1) != 0;
        if (!item.title.isEmpty() && !item.link.isEmpty())
            rows.emplace_back(std::move(item), IsSet(enclosure));
    } while (dataObject.moveNext());
    dataObject.closeQuery();
    feedrows::AppendWithEnclosures(GetSubscriptionFolder(), databaseName, rows, items);

    if (hasImage)
    {
        sql.format("select * from [image] where feed = '%s'", quoted.c_str());
        if (!dataObject.query(sql.c_str()))
        {
            FailDisplayRead();
            return;
        }
        do
        {
            uString width;
            uString height;
            if (!ReadRow(dataObject, {{1, &channel.imageLink},
                                      {2, &channel.imageTitle},
                                      {3, &channel.imageDescription},
                                      {4, &channel.imageUrl},
                                      {5, &width},
                                      {6, &height}}))
                break;
            if (std::atoi(width.c_str()) > 0)
                channel.imageWidth = width;
            if (std::atoi(height.c_str()) > 0)
                channel.imageHeight = height;
        } while (dataObject.moveNext());
        dataObject.closeQuery();
    }
    if (hasIcon)
    {
        sql.format("select * from icon where feed = '%s'", quoted.c_str());
        if (!dataObject.query(sql.c_str()))
        {
            FailDisplayRead();
            return;
        }
        do
        {
            if (!ReadRow(dataObject, {{1, &channel.iconLink}, {2, &channel.iconFile}}))
                break;
        } while (dataObject.moveNext());
        dataObject.closeQuery();
    }
}

void CFeedStore::GetChannelList(std::vector<uString>& titles, std::vector<uString>& feeds)
{
    EnsureOpen(false);
    if (!dataObject.query("select distinct title, feed from channel order by title"))
    {
        FailDisplayRead();
        return;
    }
    std::vector<std::pair<uString, uString>> rows; // title, feed
    do
    {
        uString title;
        uString feed;
        if (!ReadRow(dataObject, {{1, &feed}, {0, &title}}))
            break;
        rows.emplace_back(std::move(title), std::move(feed));
    } while (dataObject.moveNext());
    dataObject.closeQuery();
    CFeedStore counter(GetSubscriptionFolder());
    counter.SetDatabase(databaseName);
    for (auto& [title, feed] : rows)
    {
        // A channel not named yet (imported, never fetched) goes by its address.
        if (title.isEmpty())
            title = feed;
        const int unread = counter.CountUnread(feed);
        if (unread > 0)
        {
            uString count;
            count.format(" (%d)", unread);
            title += count;
        }
        feeds.push_back(std::move(feed));
        titles.push_back(std::move(title));
    }
}

void CFeedStore::ListFeedsWithCounts(const uString& database, std::vector<uString>& titles,
                                     std::vector<uString>& feeds)
{
    SetDatabase(database);
    GetChannelList(titles, feeds);
}

bool CFeedStore::ListUnreadCounts(std::vector<CChannelCount>& channels)
{
    channels.clear();
    if (!EnsureOpen(false))
        return false;
    if (!dataObject.query("select feed, title, (select count(*) from item where item.feed = channel.feed and "
                          "item.readstatus = 0) from channel"))
    {
        FailStatement();
        return false;
    }
    do
    {
        CChannelCount row;
        uString unread;
        if (!ReadRow(dataObject, {{0, &row.feed}, {1, &row.title}, {2, &unread}}))
            break;
        row.unread = std::atoi(unread.c_str());
        channels.push_back(std::move(row));
    } while (dataObject.moveNext());
    dataObject.closeQuery();
    return true;
}

bool CFeedStore::ListChannelsByTitle(std::vector<CChannelCount>& channels)
{
    channels.clear();
    if (!EnsureOpen(false))
        return false;
    // The icon flag decides as in LoadChannel: an icon row of a channel whose
    // flag is clear is not shown.
    if (!dataObject.query("select channel.feed, channel.title, (select count(*) from item where item.feed = "
                          "channel.feed and item.readstatus = 0), channel.icon, (select icon.localfile from "
                          "icon where icon.feed = channel.feed) from channel order by channel.title"))
    {
        FailDisplayRead();
        return false;
    }
    do
    {
        CChannelCount row;
        uString unread;
        uString hasIcon;
        if (!ReadRow(dataObject,
                     {{0, &row.feed}, {1, &row.title}, {2, &unread}, {3, &hasIcon}, {4, &row.iconFile}}))
            break;
        row.unread = std::atoi(unread.c_str());
        if (!IsSet(hasIcon))
            row.iconFile.setEmpty();
        channels.push_back(std::move(row));
    } while (dataObject.moveNext());
    dataObject.closeQuery();
    return true;
}

bool CFeedStore::PurgeItems(const uString& feed, const uString& database, bool showMessage)
{
    // Reset below empties the channel, whose link the caller may have passed.
    const uString address(feed);
    const uString list(database);
    SetDatabase(list);
    EnsureOpen(false);
    if (items.empty())
        return true;

    const CPreference::GeneralSection general = CPreference::GetInstance()->GetGeneralSection();
    const uString literal = SqlHexLiteral(address);
    uString condition;
    if (general.bPurgeItemOldThan && general.nPurgeDayToLive > 0)
        condition.format("feed = %s and attributes <> 1 and DateDiff('d', createdate, Date())>%d",
                         literal.c_str(), general.nPurgeDayToLive);
    else
        condition.format("feed = %s and attributes <> 1", literal.c_str());
    std::list<uString> candidates;
    if (!dataObject.selectStringList("item", "link", candidates, condition.c_str(), nullptr))
        return true;

    // An item the feed still carries is never purged.
    std::set<std::string> current;
    for (const CItemRecord& item : items)
        if (!item.link.isEmpty())
            current.emplace(item.link.c_str(), static_cast<size_t>(item.link.getLength()));
    bool result = true;
    for (const uString& link : candidates)
    {
        if (current.count(std::string(link.c_str(), static_cast<size_t>(link.getLength()))))
            continue;
        DeleteItemEnclosure(link);
        uString sql;
        sql.format("DELETE FROM item WHERE feed = %s and link = %s ", literal.c_str(),
                   SqlHexLiteral(link).c_str());
        if (!dataObject.execute(sql.c_str()))
        {
            FailStatement();
            if (showMessage)
                CMessageBox::Display(errorText);
            result = false;
            break;
        }
    }
    Reset();
    LoadChannel(list, address);
    return result;
}

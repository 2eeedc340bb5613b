#pragma once

#include "feeds/FeedRecords.h"
#include "foundation/uActiveXDataObjectExt.h"
#include "foundation/uString.h"

#include <atomic>
#include <cstdint>
#include <list>
#include <string>
#include <unordered_map>
#include <vector>

class CDownloadQueue;
class CFailedIcons;
class uFile;
class uXmlNode;
struct CFeedSearchCriteria;

// The connection string of one list database in the subscription folder. The
// password is the one built into the program and shared by every list
// database, the template included.
class CConnectionString
{
public:
    static constexpr const char* kDefaultDatabase = "default.mdb";
    static constexpr const char* kPassword = "vurtel";

    // "default.mdb", or the given file name ("default.mdb" when it is empty),
    // in the configured subscription folder.
    CConnectionString();
    explicit CConnectionString(const uString& fileName);
    // The same in the given folder.
    CConnectionString(const uString& subscriptionFolder, const uString& fileName);
    virtual ~CConnectionString() = default;

    // Re-formats the text for another file of the same folder.
    void SetFile(const uString& fileName);
    const char* c_str() const { return text.c_str(); }
    // The database file's path.
    const uString& GetPath() const { return m_path; }

    uString text;

private:
    void Format(const uString& fileName);

    uString m_folder;
    uString m_path;
};

// One channel of a list database as the list's tree shows it.
struct CChannelCount
{
    uString feed;
    uString title;
    int unread = 0;
    // The site icon's file in the icons folder; empty when the channel has none.
    uString iconFile;
};

// One list database with one channel and its items, and all feed SQL. A store
// and its connection belong to one thread; other threads use stores of their
// own on the same file, and the database arbitrates.
//
// Text values enter statements as SqlHexLiteral; the few statements that put a
// text between single quotes double its quotes with SqlQuote.
class CFeedStore
{
public:
    enum ErrorCode : uint16_t
    {
        kNoError = 0,
        kDownloadFailed = 1,
        kDocumentUnreadable = 2,
        kCannotOpen = 3,
        kStatementFailed = 4,
        kDocumentRefused = 5, // too large, too deep, expanding too far (uXmlLimits.h), or a base too long
        kAddressRefused = 6,  // not an http, https or ftp address (FeedAddress.h)
        kPageNotSaved = 7     // the archive folder of an offline copy cannot be made
    };

    // The list databases live in the configured subscription folder, or in
    // the given one. No connection is opened until an operation needs one.
    CFeedStore();
    explicit CFeedStore(const uString& subscriptionFolder);
    // A store in the configured subscription folder that fetches the feed at
    // once (FetchFeed with the default time-out and login allowed); the
    // outcome is in the error code and the records.
    CFeedStore(const uString& url, bool showMessages);
    virtual ~CFeedStore();
    CFeedStore(const CFeedStore&) = delete;
    CFeedStore& operator=(const CFeedStore&) = delete;

    // Ready for another channel: parse depth, the inserted flag and the error
    // code back to 0, channel and items emptied. The connection, the database
    // name and the error text stay.
    void Reset();
    // Points the store at another list database. A name that differs byte for
    // byte closes the connection (the next operation opens the new file); an
    // equal one keeps it.
    void SetDatabase(const uString& fileName);
    // Opens the connection when it is not open. On failure error 3 and the
    // database's message, shown to the user when asked.
    bool EnsureOpen(bool showMessage);
    const uString& GetSubscriptionFolder() const { return m_subscriptionFolder; }

    // ---- one statement each, reported through the caller's error text and
    // (when not null) code: 0 and empty before, 4 and the message on failure.
    // Keyed by the feed's address.
    void DeleteIcons(const uString& feed, uString& error, uint16_t* code);
    void DeleteImages(const uString& feed, uString& error, uint16_t* code);
    void DeleteItems(const uString& feed, uString& error, uint16_t* code);
    // The enclosure rows of the feed's items (their downloaded files stay).
    void DeleteFeedEnclosures(const uString& feed, uString& error, uint16_t* code);
    // Hides every item of the feed but keeps the rows, so a later refresh
    // does not bring the items back.
    void MarkItemsDeleted(const uString& feed, uString& error, uint16_t* code);
    // Hides one item but keeps its row, so a later refresh does not bring it
    // back; the feed's other items stay listed.
    void MarkItemDeleted(const uString& link, uString& error, uint16_t* code);
    // Only the channel row: icons, images and items have their own calls.
    void DeleteChannel(const uString& feed, uString& error, uint16_t* code);
    // Keyed by the item's link.
    void MarkItemRead(const uString& link, uString& error, uint16_t* code);

    // ---- single values; a failed read gives 0, false or empty text.
    bool TestChannelAttributes(const uString& feed, int16_t mask);
    // Negative values read as 0, as does a feed without a row.
    int GetChannelTtl(const uString& feed);
    // The stored title, without the channel's items.
    uString GetChannelTitle(const uString& feed);
    // The address of the stored channel that holds the item, from one
    // statement and without the channel's items; empty when the item or its
    // channel is not stored.
    uString GetItemChannelAddress(const uString& link);
    bool SetChannelTtl(const uString& feed, int minutes);
    // True when the read worked and the content is not empty.
    bool GetItemContent(const uString& link, uString& content);
    // The downloaded file of the item's enclosure, in the named list database.
    bool GetEnclosureFile(const uString& database, const uString& link, uString& file);
    // Unread items of the feed. A failed count also sets error 4 and the
    // message, so that callers can tell a broken list from an empty one.
    int CountUnread(const uString& feed);

    // ---- reads for display: on failure error 4, the message, and a message box.
    // Title, description, date, author, category, subject and content.
    void LoadItemText(CItemRecord& item);
    // The enclosure fields; untouched when the item has none.
    void LoadEnclosure(CItemRecord& item);
    // The feed of an item; untouched when there is no such item.
    void GetItemFeed(const uString& link, uString& feed);

    // ---- properties, enclosure file, due test; failures set error 4 and the
    // message and skip the remaining statements.
    // A new address re-points the channel together with its items, image and
    // icon (all or nothing), and `feed` becomes the new address. Then the
    // title, and the flags 1 (auto-archive) and 2 (auto-download) of the
    // channel's attributes; other flags are kept.
    void UpdateChannelProperties(uString& feed, const uString& title, const uString& newFeed,
                                 bool autoArchive, bool autoDownload);
    // Records the downloaded file of every enclosure row of the item (an
    // empty name records "not downloaded" with length 0), and the type when
    // one is given.
    void SetEnclosureFile(const uString& link, const uString& file, int64_t length, const char* type);
    // True when more minutes than the channel's ttl have passed since its last
    // update. A feed without a row or without a last update is not due. The
    // channel's attributes go to `attributes` when it is not null, due or not.
    bool IsUpdateDue(const uString& feed, int* attributes);
    // For a news aggregator whose item links are redirects: a story it
    // publishes again under a new redirect link replaces the stored item with
    // the same title and target. Empties the link of an item that points to
    // the dropped news site. True when a stored item was rewritten; the link
    // then names that item, and the caller must not insert it again. The two
    // addresses are the configuration's (general section); empty, the rule
    // does nothing.
    bool MergeAggregatorItem(const uString& title, uString& link, const uString& description,
                             const uString& pubDate);

    // ---- feed parsers: they fill `channel` and append to `items`. Nothing is
    // validated or reported; the storing step skips what it cannot use.
    // The entries take the root element's wrapper and delete it (never the
    // node); the RDF entry first empties the channel's title, link and
    // description.
    void ParseRssFeed(uXmlNode* root);
    void ParseRdfFeed(uXmlNode* root);
    void ParseAtomFeed(uXmlNode* root);
    // Walk the node's whole subtree in document order; parseDepth holds the
    // depth of the element being looked at (the root is at 1).
    void ParseRssChannel(const uXmlNode& node);
    void ParseRdfChannel(const uXmlNode& node);
    void ParseAtomChannel(const uXmlNode& node);
    // One record from the element's direct children, appended to `items`.
    void ParseRssItem(const uXmlNode& item);
    void ParseRdfItem(const uXmlNode& item);
    void ParseAtomEntry(const uXmlNode& entry);
    // The channel's image fields from the element's direct children.
    void ParseImage(const uXmlNode& image);
    // A feed's date as "YYYY-MM-DD time" (the time may be empty), which sorts
    // as text; the text upper-cased and trimmed when it is not a readable date.
    static uString NormalizeDate(uString text);

    // ---- storing a parsed channel. Failures set error 4 and the message and
    // the operation goes on; a row the database holds already (a known item,
    // enclosure, image or icon) is refused quietly.
    // Subscribe mode inserts the channel row (when the feed is subscribed
    // already it shows string 3010 if asked and stores the new items all the
    // same); update mode stamps the channel's last update. Both store each
    // new item with its enclosure, queue missing enclosures when the channel
    // or the configuration asks for downloads, start offline copies for an
    // auto-archive channel and collect the new titles in `newTitles`. Items
    // whose link is changed (an episode told apart by its enclosure) are
    // changed in `items` too, for the purge that follows.
    // A save cut short by the stop flag (see SetUpdatePass) stores nothing.
    void SaveChannel(const uString& listName, bool showMessages, bool subscribe, bool autoArchive,
                     bool autoDownload);
    // For the saves of an update pass: while *stopFlag is true the save's
    // network look-ups (the site icon, the .torrent questions) end soon; icon
    // links in `failedIcons` are not asked again, and the ones that fail are
    // added. Either may be null; neither is owned.
    void SetUpdatePass(const std::atomic<bool>* stopFlag, CFailedIcons* failedIcons)
    {
        m_stopFlag = stopFlag;
        m_failedIcons = failedIcons;
    }
    // The channel's image row, and its site icon fetched into the icons folder
    // (only a 2xx answer with a body counts) with its row.
    void SaveChannelImages();
    // The item's enclosure row (a torrent link without enclosure becomes one),
    // and its transfer request when the media file is missing and `queue`.
    void SaveItemEnclosure(CItemRecord& item, bool queue);
    // Starts the offline copy of the item's page in "My Archive/<title>"
    // (feeds::ArchivePageFile), the folder made when missing. A copy that
    // exists already is fetched again only when `refetch` (the user keeping
    // an item). False, with error 7 and the folder in the error text, when
    // the folder cannot be made: no copy is started.
    bool SaveItemPage(const uString& listName, const uString& link, const uString& channelTitle,
                      bool refetch = false);
    // Transfer requests for every enclosure of the feed whose media file is
    // missing from the library (stream types never), when `queue`.
    void QueueFeedEnclosures(const uString& listName, const uString& feed, bool queue);
    // Withdraws the feed's enclosures that were not downloaded from the queue.
    void UnqueueFeedEnclosures(const uString& listName, const uString& feed);
    // For a purged item: its torrents, its downloaded media (only inside the
    // library folders), its enclosure rows and queue entries.
    void DeleteItemEnclosure(const uString& link);
    // Rows of `table` whose `column` equals the value; the error goes to the
    // caller's text and code (4 on failure).
    int CountRows(const uString& table, const uString& column, const uString& value, uString& error,
                  uint16_t* code);
    bool MarkFeedRead(const uString& feed);
    // The enclosure row and its downloaded file (only inside the library folders).
    void DeleteEnclosure(const uString& link, uString& error, uint16_t* code);
    // The item's own enclosure rows and their downloaded files. A file goes
    // only when it lies inside the library folders and no enclosure row of
    // another item names it, in this list or any other of the folder.
    void DeleteItemEnclosures(const uString& link, uString& error, uint16_t* code);
    // Whether an enclosure row of an item other than exceptItem names the
    // local file, in this list or in another list database of the folder; a
    // list that cannot be read counts as naming it, so nothing is deleted.
    bool IsLocalFileShared(const uString& localFile, const uString& exceptItem);
    // Keeps (never purged) or releases the item, and queues or withdraws its
    // own enclosures when a download queue is attached.
    void SetItemKept(const uString& link, bool keep);
    void Close();

    // ---- loading, channel list, purge and search. Failed reads for display
    // set error 4 and show the message.
    // The channel with its image and icon, and appends its items that are not
    // deleted, newest first (`items` is not emptied first).
    void LoadChannel(const uString& database, const uString& feed);
    // Parallel lists in title order of the current database: titles (the
    // address for a channel without one) with " (n)" for n unread items, and
    // feed addresses.
    void GetChannelList(std::vector<uString>& titles, std::vector<uString>& feeds);
    // The same on the named database.
    void ListFeedsWithCounts(const uString& database, std::vector<uString>& titles,
                             std::vector<uString>& feeds);
    // Every channel of the current database with its title and its number of
    // unread items, in no particular order, from one statement: a list of
    // many feeds is counted without a connection or a statement per feed.
    // False, with the error code and message set (nothing shown), when the
    // database cannot be read.
    bool ListUnreadCounts(std::vector<CChannelCount>& channels);
    // The same with each channel's site icon file, in title order: what a
    // list's tree shows when it opens, without a statement per feed. False,
    // with error 4, the message and a message box, when it cannot be read.
    bool ListChannelsByTitle(std::vector<CChannelCount>& channels);
    // After a refresh of the feed into this store: deletes the stored items
    // the feed no longer carries, except kept ones (and, when configured,
    // those younger than the configured days), then loads the channel as
    // stored. Nothing happens when `items` is empty. False when a delete failed.
    bool PurgeItems(const uString& feed, const uString& database, bool showMessage);
    // Matching items of the current database that are not deleted.
    int OpenSearch(CFeedSearchCriteria& criteria);
    // Appends the matching items, each with this store's database name;
    // true when `items` is not empty afterwards.
    bool LoadSearchResults(CFeedSearchCriteria& criteria, bool clearFirst);
    void BuildSearchSql(CFeedSearchCriteria& criteria, uString& sql);
    // The query on one item column, or on the enclosures' local files when
    // `column` is null.
    uString BuildFieldQuery(CFeedSearchCriteria& criteria, const char* column);
    // The words of a phrase (trimmed in place) and whether any of them is
    // enough ("a or b") rather than all.
    static void SplitSearchWords(uString& phrase, std::list<uString>& words, bool& anyWord);
    // Appends the database's non-empty local files of enclosures; true when
    // it has enclosure rows.
    bool GetEnclosureFileList(const uString& database, std::list<uString>& files);

    // ---- fetching a feed into the records (FeedFetch.cpp). Each fetch starts
    // from a reset store. Errors: 1 "Failed to download <url>"; 2 "Failed to
    // load/parse XML Document" for a document that cannot be read as XML or
    // whose root names no feed format; 5 "Refused the feed: <reason>" for a
    // document over the limits of uXmlLimits.h (a download is cut off as soon
    // as it passes the size limit); 6 "Refused the feed address: ..." for an
    // address that is not http, https or ftp, nor "file://" and an absolute
    // path, which is read from disk (a feed file the user opened). A feed
    // file that is not there gives false and keeps the error code the store
    // had, with no message.
    // The feed is downloaded into the temp folder under the MD5 of the URL
    // and deleted after parsing. A time-out of 0 means the
    // configured default. True when a feed was parsed. While *abortFlag is
    // true a running download ends soon, as a failure.
    bool FetchFeed(const uString& url, int timeout, bool login, bool showMessages,
                   const std::atomic<bool>* abortFlag = nullptr);
    // Loads the file as XML (three strict attempts, then the repairs of
    // uXmlDocument::loadRepaired, then the first partial tree, then the text
    // without its document-type declarations) and parses its root. A partial
    // tree without an item that has a title and a link is refused as
    // unreadable.
    bool LoadFeedFile(const uFile& file, bool showMessages);
    // Runs the parser the root element's name picks ("rdf:RDF", "rss",
    // "feed", case ignored) and takes the wrapper; false when none fits.
    bool ParseFeedDocument(uXmlNode* root);
    // Fetches (60 s, login allowed) and purges the feed's old items.
    bool RefreshFeed(const uString& url, const uString& listName, bool showMessages);
    // RefreshFeed for every feed of the list, in this thread; false only when
    // the feeds cannot be read.
    bool RefreshAllFeeds(const uString& listName, bool showMessages);
    // The feed addresses of a list, for export. A failed read sets error 4
    // and is shown.
    void GetFeedList(const uString& listName, std::vector<uString>& feeds);

    CChannelRecord channel;
    std::vector<CItemRecord> items;
    int32_t channelInserted = 0;
    uint16_t errorCode = kNoError;
    uString errorText;
    int32_t parseDepth = 0;
    uString databaseName;
    uActiveXDataObjectExt dataObject;
    CDownloadQueue* downloadManager = nullptr; // not owned
    std::list<uString> newTitles;
    // The last fetched document stopped at a parse error: its items were
    // kept, but they cannot tell which stored items the feed dropped, so
    // nothing may be purged on them.
    bool documentPartial = false;
    // The last parsed document made a link relative to an xml:base longer
    // than the parsers take (8 KiB): it is refused, nothing of it is kept.
    bool linksRefused = false;
    // Where the document being parsed came from (after redirects): its
    // relative links are made absolute against it, or against an xml:base in
    // force. Set by FetchFeed; empty, only an absolute xml:base resolves them.
    uString documentAddress;

private:
    // Whether the channel (its key as an SQL literal) was stored by an
    // outline import and no fetch has filled it since.
    bool IsUnfetchedImport(const uString& feedLiteral);
    // The first fetch of an imported channel stores what a subscription
    // would: the feed's title, description and other properties.
    void FillImportedChannel(const uString& feedLiteral);
    // Reads an existing feed file from disk as FetchFeed reads a download;
    // error 2 when the path names no regular file.
    bool FetchLocalFeed(const uFile& file, bool showMessages);
    // The queue and withdraw steps over the enclosures under a condition.
    void QueueEnclosuresWhere(const uString& listName, const uString& feed, const uString& condition,
                              bool queue);
    void UnqueueEnclosuresWhere(const uString& listName, const uString& feed, const uString& condition);
    // Runs one statement for the single-statement family.
    void ExecuteReported(const uString& statement, uString& error, uint16_t* code);
    // Error 4 with the database's message.
    void FailStatement();
    // Error 4, the message, and the message box: the reads for display.
    void FailDisplayRead();

    // Fetches the site icon a save will record, before the save takes the
    // database's write lock.
    void FetchChannelIcon();
    // Asks, before the save takes the write lock, which item links without
    // an enclosure name a torrent (one HEAD request per link, which may take
    // the whole time-out): other writers of the list must not wait on it.
    void ResolveTorrentLinks();
    // The answer ResolveTorrentLinks found, or the server's outside a save.
    bool IsItemTorrentLink(const uString& link);
    void ReadAggregatorAddresses();
    bool Stopping() const { return m_stopFlag && m_stopFlag->load(); }

    uString m_subscriptionFolder;
    int m_failedStatements = 0; // a save that sees this rise is rolled back
    uString m_iconTried;        // the icon link fetched for the save under way
    // Item link -> names a torrent, for the save under way.
    std::unordered_map<std::string, bool> m_torrentLinks;
    bool m_torrentLinksResolved = false;
    // The aggregator's addresses, read once for the save under way.
    uString m_aggregatorPrefix;
    uString m_aggregatorDroppedHost;
    bool m_aggregatorRead = false;
    const std::atomic<bool>* m_stopFlag = nullptr;
    CFailedIcons* m_failedIcons = nullptr;
};

// The SQL literal of a text: "0x" and the UTF-16 code units of the text in
// hex, low byte first ("abc" is 0x610062006300); "''" for the empty text.
// NULL when memory runs out, so that a statement fails rather than carrying
// raw text.
uString SqlHexLiteral(uString text);
// The text with every "'" doubled, for the few places that write a text
// between single quotes.
uString SqlQuote(uString text);

// Compacts a list database in the subscription folder where it is, so that
// stores holding it open keep working. Skipped while the download queue is
// starting downloads; a database that stays busy is left for the next time.
// Compacts a list in place. minFreeRatio: the share of free pages below which
// the file is left alone (0 compacts always, as the user's command does).
void CompactFeedDatabase(const uString& fileName, CDownloadQueue* queue, double minFreeRatio = 0.0);
// The same in the given folder.
void CompactFeedDatabase(const uString& subscriptionFolder, const uString& fileName, CDownloadQueue* queue,
                         double minFreeRatio = 0.0);

// The media type for an enclosure without one, from the extension of its
// name: "video/mpeg" for mov, mp4 and wmv, "audio/mpeg" for mp3, else the
// extension itself. A text without a "." after its first character comes
// back as it is.
uString GuessMediaType(uString text);

// The local files of the downloaded enclosures of the list databases, adjacent
// duplicates removed; true when it ran.
bool FindEnclosureFiles(const std::vector<uString>& databases, std::list<uString>& files);

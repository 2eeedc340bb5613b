#include "StringTable.h"
#include "UnclosedItems.h"
#include "feeds/DocumentTypes.h"
#include "feeds/FeedAddress.h"
#include "feeds/FeedStore.h"
#include "feeds/MessageBox.h"
#include "feeds/Preference.h"
#include "feeds/WebFetch.h"
#include "foundation/uFile.h"
#include "foundation/uHash.h"
#include "foundation/uXml.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <memory>
#include <string>
#include <unistd.h>
#include <utility>

namespace
{

constexpr int kFeedTimeoutSeconds = 60;

constexpr int kTooLargeText = 3060;
constexpr int kEntityExpansionText = 3061;
constexpr int kTooDeepText = 3062;
constexpr int kBaseTooLongText = 3063;
constexpr int kAddressRefusedText = 3064;

uString RefusalText(xmllimits::Refusal refusal)
{
    const int id = refusal == xmllimits::Refusal::kEntityExpansion ? kEntityExpansionText
                   : refusal == xmllimits::Refusal::kTooDeep       ? kTooDeepText
                                                                   : kTooLargeText;
    return resources::StringText(id);
}

// Creates an empty file of a name nobody uses yet in the temp folder: the
// MD5 of the URL, or that followed by ".1", ".2", ... Creating it reserves the
// name, so two stores fetching one URL at once never share a file. The empty
// file is not taken for a partial download to resume.
bool ReserveTargetFile(const uString& url, uFile& target)
{
    const uFile folder = CPreference::GetInstance()->GetTempDir();
    if (folder.getPath().isEmpty())
        return false;
    uMD5 digest(0);
    digest.hashString(url.c_str());
    uString name;
    digest.getHexDigest(name);
    for (int number = 0; number < 100000; ++number)
    {
        uString candidate(name);
        if (number > 0)
            candidate.format("%s.%d", name.c_str(), number);
        uFile file(folder.getPath().c_str(), candidate.c_str());
        const int descriptor = ::open(file.getPath().c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (descriptor >= 0)
        {
            ::close(descriptor);
            target = file;
            return true;
        }
        if (errno != EEXIST)
            return false;
    }
    return false;
}

} // namespace

CFeedStore::CFeedStore(const uString& url, bool showMessages) : CFeedStore()
{
    FetchFeed(url, 0, true, showMessages);
}

bool CFeedStore::FetchFeed(const uString& url, int timeout, bool login, bool showMessages,
                           const std::atomic<bool>* abortFlag)
{
    // Nothing of an earlier fetch may pass for this feed's channel or items.
    const uint16_t earlierError = errorCode;
    Reset();
    documentPartial = false;
    documentAddress = url;
    // A feed file the user opened is read where it lies, at every refresh.
    // No outline file, dialog or feed can put such an address in a list.
    const uString localPath = feeds::LocalFeedPath(url);
    if (!localPath.isEmpty())
    {
        const uFile file(localPath.c_str());
        // A feed file that is not there (moved, or on a disk not mounted yet)
        // is no error to report: the store keeps its error state, and the
        // next fetch reads it when it is back.
        if (!file.exists())
        {
            errorCode = earlierError;
            return false;
        }
        return FetchLocalFeed(file, showMessages);
    }
    // A stored address may come from an outline file or a list written
    // before addresses were checked: only the network is fetched.
    const uString address = feeds::FeedAddress(url);
    if (address.isEmpty())
    {
        errorCode = kAddressRefused;
        errorText = resources::StringText(kAddressRefusedText);
        if (showMessages)
            CMessageBox::Display(url + ": " + errorText);
        return false;
    }

    uFile target;
    bool fetched = false;
    CFetchLimits limits{xmllimits::kMaxDocumentBytes};
    if (ReserveTargetFile(url, target))
    {
        if (timeout == 0)
            timeout = CPreference::GetInstance()->GetGeneralSection().nDefaultTimeout;
        fetched = FetchUrlToFile(address, target, timeout, nullptr, login, showMessages, &documentAddress,
                                 abortFlag, &limits);
    }
    bool result = false;
    if (!fetched && limits.exceeded)
    {
        errorCode = kDocumentRefused;
        errorText = RefusalText(xmllimits::Refusal::kTooLarge);
        if (showMessages)
            CMessageBox::Display(errorText);
    }
    else if (!fetched)
    {
        errorCode = kDownloadFailed;
        errorText.format(resources::StringText(3009).c_str(), url.c_str());
        // A fetch the user cancelled is no failure to tell about.
        if (showMessages && !(abortFlag != nullptr && abortFlag->load()))
            CMessageBox::Display(errorText);
    }
    else
    {
        if (documentAddress.isEmpty())
            documentAddress = url;
        result = LoadFeedFile(target, showMessages);
    }
    if (!target.getPath().isEmpty() && target.exists())
        target.remove();
    return result;
}

bool CFeedStore::FetchLocalFeed(const uFile& file, bool showMessages)
{
    // Only a regular file is read: a device or a pipe named by the path would
    // never end. Anything else there is a document that cannot be loaded.
    if (!file.isFile())
    {
        errorCode = kDocumentUnreadable;
        errorText = resources::StringText(3001);
        if (showMessages)
            CMessageBox::Display(errorText);
        return false;
    }
    return LoadFeedFile(file, showMessages);
}

bool CFeedStore::LoadFeedFile(const uFile& file, bool showMessages)
{
    documentPartial = false;
    linksRefused = false;
    if (!file.exists())
        return false;
    const char* path = file.getPath().c_str();
    // Namespaces and schema processing on, then schema off, then namespaces
    // off too; entity-reference nodes on in all three. Only a whole document
    // ends the chain early: a damaged one gets its repairs first, and a tree
    // with a root is taken only when they fail too: the last, since each
    // attempt checks less and reads at least as far (an undeclared prefix
    // breaks off only the first two). The repaired tree, when the repairs
    // leave it broken, still reads past what they mended.
    const bool attempts[3][2] = {{true, true}, {true, false}, {false, false}};
    auto document = std::make_unique<uXmlDocument>();
    std::unique_ptr<uXmlDocument> partial;
    bool whole = false;
    for (const auto& flags : attempts)
    {
        if (!document->load(path, flags[0], flags[1], false, true) || !document->getDocumentElement())
        {
            // The same bytes would be refused again, and neither the repairs
            // nor the text fallback may read what the limits kept out.
            if (document->getRefusal() != xmllimits::Refusal::kNone)
            {
                errorCode = kDocumentRefused;
                errorText = RefusalText(document->getRefusal());
                if (showMessages)
                    CMessageBox::Display(errorText);
                return false;
            }
            continue;
        }
        whole = !document->isPartial();
        if (whole)
            break;
        partial = std::exchange(document, std::make_unique<uXmlDocument>());
    }
    if (!whole && !document->loadRepaired(path, /*keepPartial=*/true) && !document->getDocumentElement() &&
        partial)
        document = std::move(partial);
    bool loaded = document->getDocumentElement() != nullptr;
    if (!loaded)
    {
        uFile source(path, uFile::kModeRead);
        uString text;
        if (source.open() && source.readAll(text))
        {
            feeds::RemoveDocumentTypes(text);
            loaded =
                document->loadXml(text.c_str(), true, true, false, false) && document->getDocumentElement();
        }
        source.close();
    }
    bool parsed = false;
    if (loaded)
    {
        documentPartial = document->isPartial();
        if (documentPartial)
            DropUnclosedItems(document->getDocumentElement(), document->getOpenAtBreak());
        parsed = ParseFeedDocument(new uXmlNode(document->getDocumentElement()));
        // A broken document is read for the items it closed. Without one that
        // could be stored (a title and a link), what is left is no feed: the
        // channel's fields may run into whatever followed an element the
        // document never closed.
        const bool storable = std::any_of(items.begin(), items.end(),
                                          [](const CItemRecord& item)
                                          { return !item.title.isEmpty() && !item.link.isEmpty(); });
        if (parsed && documentPartial && !storable)
        {
            channel.Clear();
            items.clear();
            parsed = false;
        }
    }
    if (!parsed)
    {
        errorCode = linksRefused ? kDocumentRefused : kDocumentUnreadable;
        errorText = resources::StringText(linksRefused ? kBaseTooLongText : 3001);
        if (showMessages)
            CMessageBox::Display(errorText);
    }
    return parsed;
}

bool CFeedStore::ParseFeedDocument(uXmlNode* root)
{
    linksRefused = false;
    const uString name(root->getNodeName());
    if (name.equalsNoCase("rdf:RDF"))
        ParseRdfFeed(root);
    else if (name.equalsNoCase("rss"))
        ParseRssFeed(root);
    else if (name.equalsNoCase("feed"))
        ParseAtomFeed(root);
    else
    {
        // A document that names no feed format is no feed: taken for a fetched
        // one, a web page would be subscribed as a channel that never has items.
        root->release();
        return false;
    }
    if (linksRefused)
    {
        channel.Clear();
        items.clear();
        return false;
    }
    return true;
}

bool CFeedStore::RefreshFeed(const uString& url, const uString& listName, bool showMessages)
{
    if (!FetchFeed(url, kFeedTimeoutSeconds, true, showMessages))
        return false;
    // A document cut short does not tell which stored items the feed dropped.
    if (documentPartial)
        return true;
    return PurgeItems(url, listName, showMessages);
}

bool CFeedStore::RefreshAllFeeds(const uString& listName, bool showMessages)
{
    SetDatabase(listName);
    EnsureOpen(false);
    std::list<uString> feeds;
    if (!dataObject.selectStringList("channel", "feed", feeds, nullptr, nullptr))
        return false;
    for (const uString& feed : feeds)
        RefreshFeed(feed, listName, showMessages);
    return true;
}

void CFeedStore::GetFeedList(const uString& listName, std::vector<uString>& feeds)
{
    feeds.clear();
    SetDatabase(listName);
    EnsureOpen(false);
    if (!dataObject.query("select feed from channel"))
    {
        errorCode = kStatementFailed;
        errorText = dataObject.getErrorText();
        CMessageBox::Display(errorText);
        return;
    }
    uString feed;
    bool more = true;
    while (more && dataObject.getFieldString(0, feed))
    {
        feeds.push_back(feed);
        more = dataObject.moveNext();
    }
    dataObject.closeQuery();
}

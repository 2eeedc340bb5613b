#include "downloads/TransferItem.h"

#include "feeds/WebFetch.h"
#include "foundation/uHash.h"

#include <cstdlib>

namespace
{

// Seconds a worker waits for the answer to a header request.
constexpr int kHeaderTimeout = 60;

const char* const kStatusNames[CTransferItem::kStatusCount] = {
    "New",     "Queued", "Downloading", "Downloaded", "Complete",
    "Stopped", "Failed", "Cancelled",   "Outdated",   "Duplicated"};

// The text behind the last "/" (the whole text when there is none), cut before
// its first "?" unless that "?" opens the name.
uString NameFromLink(const uString& link)
{
    const int slash = link.reverseFindChar('/');
    uString name(link.c_str(), slash + 1, link.getLength() - slash - 1);
    const int question = name.findChar('?');
    if (question > 0)
        name.truncate(question);
    return name;
}

// The status code of the last response in a header text; 0 when none.
int FinalStatus(const uString& headers)
{
    const int at = headers.reverseFind("HTTP/");
    if (at < 0)
        return 0;
    const int blank = headers.findChar(' ', at);
    return blank < 0 ? 0 : std::atoi(headers.c_str() + blank + 1);
}

bool Aborted(const CTransferContext& context)
{
    return context.abortFlag && context.abortFlag->load();
}

} // namespace

uString Md5Hex(const uString& text)
{
    uMD5 digest(0);
    digest.hashString(text.c_str());
    uString hex;
    digest.getHexDigest(hex);
    return hex;
}

uint64_t GetContentLength(const uString& headers)
{
    uint64_t length = 0;
    const char* text = headers.c_str();
    int start = 0;
    while (start <= headers.getLength())
    {
        int end = headers.findChar('\n', start);
        if (end < 0)
            end = headers.getLength();
        uString line(text, start, end - start);
        line.trim();
        line.makeLower();
        // Each response of a redirect chain starts with its status line; only
        // the last response describes the body that is downloaded.
        if (line.startsWith("http/"))
            length = 0;
        else if (line.startsWith("content-length:"))
        {
            uString value(line.c_str(), 15, line.getLength() - 15);
            value.trim();
            length = std::strtoull(value.c_str(), nullptr, 10);
        }
        start = end + 1;
    }
    return length;
}

CTransferItem::CTransferItem(int type, int file, const uString& label, const uString& ds, const uString& feed,
                             const uString& item, const uString& link)
    : type(type), file(file), ds(ds), feed(feed), label(label), item(item), link(link)
{
    filename = NameFromLink(link);
    const int dot = filename.reverseFindChar('.');
    if (dot >= 0)
        extension = uString(filename.c_str(), dot, filename.getLength() - dot);
    id = Md5Hex(ds) + "-" + Md5Hex(feed) + "-" + Md5Hex(item) + "-" + Md5Hex(link);
}

CTransferItem::CTransferItem(const CTransferItem& other) = default;
CTransferItem& CTransferItem::operator=(const CTransferItem& other) = default;

bool CTransferItem::Prepare(const CTransferContext& context)
{
    uString name;
    if (type == kTypeTorrent)
    {
        localfile = context.torrentDir;
        name = Md5Hex(link) + ".torrent";
    }
    else
    {
        // A folder per record: two enclosures with one file name (every
        // "episode.mp3") must never resume into each other's partial file.
        localfile = context.tempDir;
        localfile.append(Md5Hex(id).c_str());
        // The record's own filename (cut at the query's first "?"): a query
        // holding a second "?" must not become part of the file name.
        name = NameFromLink(link);
        if (name.isEmpty())
            name = Md5Hex(link);
        name = SafeFileName(name);
    }
    localfile.ensureDirectory();
    localfile.append(name.c_str());

    // FTP servers answer no header request; such a download learns its size
    // as it goes.
    uString scheme(link);
    scheme.makeLower();
    if (length != 0 || scheme.startsWith("ftp://"))
        return true;
    uString headers;
    if (!FetchUrlHeader(link, headers, kHeaderTimeout, false, false, context.abortFlag) || Aborted(context))
    {
        status = kFailed;
        return false;
    }
    // An error answer describes its error page, not the enclosure; some servers
    // refuse HEAD on links that GET serves, so the download itself decides.
    if (FinalStatus(headers) < 400)
        length = GetContentLength(headers);
    return true;
}

bool CTransferItem::Start(const CTransferContext& context)
{
    status = kDownloading;
    // No time-out: an episode may take hours. Stop and Cancel end it instead.
    if (!FetchUrlToFile(link, localfile, 0, nullptr, false, false, nullptr, context.abortFlag) ||
        Aborted(context))
    {
        status = kFailed;
        return false;
    }
    if (length == 0)
        length = static_cast<uint64_t>(localfile.getSize());
    status = kDownloaded;
    return true;
}

uString CTransferItem::GetLocalFileName() const
{
    if (!localfile.isFile())
        return uString();
    return uString(localfile.getFileName());
}

int64_t CTransferItem::GetLocalFileSize() const
{
    return localfile.isFile() ? localfile.getSize() : 0;
}

bool CTransferItem::IsActive() const
{
    return status == kQueued || status == kDownloading || status == kDownloaded;
}

const char* CTransferItem::GetStatusName(int status)
{
    if (status < 0 || status >= kStatusCount)
        return "";
    return kStatusNames[status];
}

// The queue file download.xml in the subscription folder.
#include "downloads/DownloadManager.h"
#include "foundation/uDirectory.h"
#include "foundation/uXml.h"

#include <cstdlib>

namespace
{

constexpr const char* kQueueFileName = "download.xml";
constexpr const char* kTemporaryName = "download.tmp";

// Attribute text: markup characters escaped, line breaks and tabs kept as
// references (a parser would fold them to blanks), other control characters
// dropped because XML 1.0 cannot carry them.
void AppendAttribute(uString& xml, const char* name, const char* value)
{
    xml += " ";
    xml += name;
    xml += "=\"";
    for (const char* p = value; *p; ++p)
    {
        const unsigned char c = static_cast<unsigned char>(*p);
        switch (c)
        {
        case '&':
            xml += "&amp;";
            break;
        case '<':
            xml += "&lt;";
            break;
        case '>':
            xml += "&gt;";
            break;
        case '"':
            xml += "&quot;";
            break;
        case '\t':
            xml += "&#9;";
            break;
        case '\n':
            xml += "&#10;";
            break;
        case '\r':
            xml += "&#13;";
            break;
        default:
            if (c >= 0x20)
                xml.append(static_cast<char>(c));
        }
    }
    xml += "\"";
}

void AppendNumber(uString& xml, const char* name, int value)
{
    uString text;
    text.format("%d", value);
    AppendAttribute(xml, name, text.c_str());
}

uString Attribute(const xercesc::DOMElement* element, const char16_t* name)
{
    const XMLCh* value = element->getAttribute(name);
    return uString(value ? uXmlString(value).getText() : "");
}

int Number(const xercesc::DOMElement* element, const char16_t* name)
{
    return static_cast<int>(std::strtol(Attribute(element, name).c_str(), nullptr, 10));
}

} // namespace

bool CDownloadManager::SaveQueue() const
{
    const std::vector<CTransferItem> items = GetItems();
    const CDownloadSettings settings = m_environment.GetSettings();
    if (settings.subscriptionDir.getPath().isEmpty())
        return false;

    // Written as text so that the attributes keep their documented order.
    uString xml("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\" ?>\n<download>\n");
    for (const CTransferItem& record : items)
    {
        xml += "  <item";
        AppendAttribute(xml, "label", record.label.c_str());
        AppendAttribute(xml, "ds", record.ds.c_str());
        AppendAttribute(xml, "feed", record.feed.c_str());
        AppendAttribute(xml, "item", record.item.c_str());
        AppendAttribute(xml, "link", record.link.c_str());
        AppendNumber(xml, "type", record.type);
        AppendNumber(xml, "file", record.file);
        if (record.status == CTransferItem::kFailed)
            AppendNumber(xml, "retry", record.retry);
        AppendNumber(xml, "status", record.status);
        if (!record.localfile.getPath().isEmpty())
            AppendAttribute(xml, "localfile", record.localfile.getPath().c_str());
        xml += "/>\n";
    }
    xml += "</download>\n";

    uFile temporary(settings.subscriptionDir.getPath().c_str(), kTemporaryName, uFile::kModeWrite);
    uint32_t count = static_cast<uint32_t>(xml.getLength());
    const bool written = temporary.open() && temporary.write(xml.c_str(), &count) &&
                         count == static_cast<uint32_t>(xml.getLength());
    if (!temporary.close() || !written)
        return false;
    // One rename puts the new file in place (flushed first): at no moment is
    // there no queue file, and a reader sees the old or the new one whole.
    uFile queueFile(settings.subscriptionDir.getPath().c_str(), kQueueFileName);
    return queueFile.replaceWith(temporary.getPath().c_str());
}

bool CDownloadManager::RemoveQueueLeftover(const uFile& subscriptionDir)
{
    const std::string temporary = kTemporaryName;
    return RemoveFilesNamed(subscriptionDir.getPath().c_str(),
                            [&](const std::string& name) { return name == temporary; }) > 0;
}

void CDownloadManager::LoadQueue()
{
    const CDownloadSettings settings = m_environment.GetSettings();
    const uFile queueFile(settings.subscriptionDir.getPath().c_str(), kQueueFileName);
    if (settings.subscriptionDir.getPath().isEmpty() || !queueFile.isFile())
        return;
    uXmlDocument document;
    if (!document.load(queueFile.getPath().c_str(), false, false, false, false) ||
        !document.getDocumentElement())
        return;

    xercesc::DOMNodeList* elements = document.getElementsByTagName(u"item");
    const XMLSize_t count = elements ? elements->getLength() : 0;
    for (XMLSize_t i = 0; i < count; ++i)
    {
        auto* element = dynamic_cast<xercesc::DOMElement*>(elements->item(i));
        if (!element)
            continue;
        CTransferItem record(Number(element, u"type"), Number(element, u"file"), Attribute(element, u"label"),
                             Attribute(element, u"ds"), Attribute(element, u"feed"),
                             Attribute(element, u"item"), Attribute(element, u"link"));

        const uString localfile = Attribute(element, u"localfile");
        bool hasEnclosure = false;
        uString stored;
        hasEnclosure = m_environment.GetEnclosureFile(record.ds, record.item, stored);
        if (!localfile.isEmpty())
            record.localfile.setPath(localfile.c_str());
        else if (hasEnclosure && !stored.isEmpty())
        {
            // The feed store names the file relative to a library folder: the
            // configured one first, then the one of start-up.
            uFile candidate(settings.libraryDir.getPath().c_str(), stored.c_str());
            if (!candidate.exists())
                candidate = uFile(settings.defaultLibraryDir.getPath().c_str(), stored.c_str());
            if (candidate.exists())
                record.localfile = candidate;
        }

        int status = Number(element, u"status");
        bool resumesTorrent = false;
        if (status == CTransferItem::kQueued || status == CTransferItem::kDownloading ||
            status == CTransferItem::kDownloaded)
        {
            // Nothing runs after a restart. A fetched .torrent goes back to the
            // engine; everything else starts again (and resumes its partial file).
            resumesTorrent = record.type == CTransferItem::kTypeTorrent && status != CTransferItem::kQueued &&
                             record.localfile.isFile() && record.localfile.getSize() > 0;
            status = resumesTorrent ? CTransferItem::kDownloaded : CTransferItem::kNew;
        }
        if (status == CTransferItem::kNew && !hasEnclosure)
            status = CTransferItem::kOutdated;
        if (status == CTransferItem::kFailed)
            record.retry = Number(element, u"retry");
        record.status = status;
        AddItem(record);
    }
}

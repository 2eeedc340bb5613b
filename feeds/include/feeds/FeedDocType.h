#pragma once

#include "foundation/uFile.h"
#include "foundation/uString.h"

#include <cstdint>

// Tells what a downloaded document is: an RSS feed, an OPML list, a redirect
// document (<redirect><newLocation>URL</newLocation></redirect>), a web page,
// or something else (Atom and RDF feeds included).
class CFeedDocType
{
public:
    static constexpr uint16_t kUndecided = 0;
    static constexpr uint16_t kWebPage = 1;
    static constexpr uint16_t kOther = 2;
    static constexpr uint16_t kRss = 3;
    static constexpr uint16_t kOpml = 4;
    static constexpr uint16_t kRedirect = 5;

    // Classifies the file at once; `url` is where it was fetched from. The file
    // is read, never changed or deleted.
    CFeedDocType(const uFile& file, const uString& url);
    virtual ~CFeedDocType();

    virtual bool IsWebPage() const { return m_kind == kWebPage; }
    virtual bool IsOther() const { return m_kind == kOther; }
    virtual bool IsRss() const { return m_kind == kRss; }
    virtual bool IsOpml() const { return m_kind == kOpml; }
    virtual bool IsRedirect() const { return m_kind == kRedirect; }

    uint16_t GetKind() const { return m_kind; }
    // The URL given, or the new location of a redirect document.
    const uString& GetURL() const { return m_url; }

private:
    void ClassifyXml(const uFile& file);
    void ClassifyHtml(const uFile& file);

    uint16_t m_kind = kUndecided;
    uString m_url;
};

#pragma once

#include "foundation/uString.h"

// One channel as text, carried between the feed parsers, the feed store and
// the user interface. Filled in place (by a parser or by loading); not copied.
class CChannelRecord
{
public:
    CChannelRecord() = default;
    virtual ~CChannelRecord() = default;

    // Empties every field, keeping the buffers.
    void Clear();

    uString copyright;
    uString description;
    uString generator;
    uString category;
    uString language;
    uString lastBuildDate;
    // The site link while a feed is parsed; the feed's address once the
    // channel is being stored or has been loaded (the channel table keeps no
    // site link).
    uString link;
    uString title;
    uString ttl; // minutes
    uString webMaster;
    // The managing editor while a parsed channel is stored; after a load it
    // holds the channel's attributes integer as text.
    uString managingEditor;
    uString imageLink;
    uString imageDescription;
    uString imageHeight;
    uString imageWidth;
    uString imageTitle;
    uString imageUrl;
    uString iconLink;
    uString iconFile; // file name in the data folder's icons folder
};

// One item as text, with at most one enclosure (loading keeps the last
// enclosure row it reads).
class CItemRecord
{
public:
    CItemRecord() = default;
    CItemRecord(const CItemRecord& other) { CItemRecord::Assign(other); }
    CItemRecord(CItemRecord&& other) noexcept = default;
    virtual ~CItemRecord() = default;

    // Copies all fields and the kept flag.
    virtual void Assign(const CItemRecord& other);
    CItemRecord& operator=(const CItemRecord& other)
    {
        Assign(other);
        return *this;
    }
    CItemRecord& operator=(CItemRecord&& other) noexcept = default;

    uString author;
    uString category;
    uString description; // HTML
    uString link;        // the item's key in the database
    uString pubDate;     // "YYYY-MM-DD ..." when the parser could read the date
    uString subject;
    uString title;
    uString content;
    uString readStatus; // "0" unread, "1" read
    uString enclosureLink;
    uString enclosureLength; // bytes, as text
    uString enclosureType;
    uString enclosureFile; // empty until downloaded
    uString guid;          // as parsed; never stored
    uString database;      // list database the item was found in (search results only)
    bool kept = false;     // never purged
};

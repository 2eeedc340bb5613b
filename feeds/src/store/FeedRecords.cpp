#include "feeds/FeedRecords.h"

#include <initializer_list>

void CChannelRecord::Clear()
{
    for (uString* field : {&copyright, &description, &generator, &category, &language, &lastBuildDate, &link,
                           &title, &ttl, &webMaster, &managingEditor, &imageLink, &imageDescription,
                           &imageHeight, &imageWidth, &imageTitle, &imageUrl, &iconLink, &iconFile})
        field->setEmpty();
}

void CItemRecord::Assign(const CItemRecord& other)
{
    if (this == &other)
        return;
    author = other.author;
    category = other.category;
    description = other.description;
    link = other.link;
    pubDate = other.pubDate;
    subject = other.subject;
    title = other.title;
    content = other.content;
    readStatus = other.readStatus;
    enclosureLink = other.enclosureLink;
    enclosureLength = other.enclosureLength;
    enclosureType = other.enclosureType;
    enclosureFile = other.enclosureFile;
    guid = other.guid;
    database = other.database;
    kept = other.kept;
}

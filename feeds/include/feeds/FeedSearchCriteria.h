#pragma once

#include "foundation/uString.h"

#include <cstdint>

// One item search, as the search dialog and the news watches ask for it.
// Polymorphic, so that a caller may hand on a record of its own kind.
struct CFeedSearchCriteria
{
    // Field indexes.
    enum Field : int32_t
    {
        kAnyField = 0,            // title, description, author and category
        kTitleAndDescription = 1, // what the news watches search
        kTitle = 2,
        kDescription = 3,
        kAuthor = 4,
        kCategory = 5,
        kDownload = 6 // the local file names of the item's enclosures
    };
    // Match modes.
    enum MatchMode : int32_t
    {
        kContains = 0,
        kStartsWith = 1,
        kEndsWith = 2
    };

    // Empty texts, the given field; the match mode is the filler's to set
    // (Contains until it does).
    explicit CFeedSearchCriteria(int32_t fieldIndex = kAnyField) : field(fieldIndex) {}
    CFeedSearchCriteria(const CFeedSearchCriteria&) = default;
    CFeedSearchCriteria& operator=(const CFeedSearchCriteria&) = default;
    virtual ~CFeedSearchCriteria() = default;

    uString listName; // the list database; the caller points the store at it
    // The search words: blanks separate them, double quotes keep a phrase
    // together, and an "or" between two words finds items with any of them
    // instead of all. Trimmed in place by the search.
    uString phrase;
    // Creation dates as "YYYY-MM-DD", both days included; empty for no limit.
    // Not the locale's date format: the store compares them as text, which
    // only this order of year, month and day makes right.
    uString startDate;
    uString endDate;
    // An SQL condition on the item ("readstatus = 0" for the news watches),
    // added as it stands: never text from a feed or a user.
    uString condition;
    int32_t matchMode = kContains;
    int32_t field = kAnyField;
};

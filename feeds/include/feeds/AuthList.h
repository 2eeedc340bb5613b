#pragma once

#include "foundation/uString.h"

#include <list>
#include <mutex>
#include <vector>

class uFile;

// One stored site credential. The password is held in plain text in memory.
class CAuthEntry
{
public:
    CAuthEntry(const char* url, const char* user, const char* password);
    virtual ~CAuthEntry() = default;

    // The same site: the whole URLs are equal, ignoring ASCII letter case.
    bool Matches(const CAuthEntry& other) const;

    uString url;
    uString user;
    uString password;
};

// The stored site credentials, at most one per URL (compared ignoring case),
// in the order they were added. Kept in "auth.xml" in the data folder. Every
// operation takes the list's own lock, so the preferences sheet and a fetch
// may use it at the same time.
class CAuthList
{
public:
    CAuthList() = default;
    virtual ~CAuthList() = default;
    CAuthList(const CAuthList&) = delete;
    CAuthList& operator=(const CAuthList&) = delete;

    bool Contains(const char* url) const;
    // Copies the matching entry's user and password out; false, with the
    // outputs untouched, when no entry matches.
    bool GetCredentials(const char* url, uString& user, uString& password) const;
    // Changes the matching entry; false when none matches (nothing is added).
    bool SetCredentials(const char* url, const char* user, const char* password);
    // Appends an entry unless one matches (which then keeps its values); always true.
    bool Add(const char* url, const char* user, const char* password);
    // Replaces any matching entry by a new one at the end of the list.
    void FindOrAdd(const char* url, const char* user, const char* password);
    void Remove(const char* url);
    // Empties `urls`, then copies every entry's URL in list order; false when there are none.
    bool GetUrls(std::vector<uString>& urls) const;

    // Appends the file's entries after those already held; a missing file
    // adds nothing. A damaged one (not XML, cut short, or a root other than
    // "Auth") adds nothing either and gives false: it must not be saved over.
    bool Load(const uFile& path);
    // Writes every entry, passwords in Base64, with mode 0600 through a
    // temporary file; false when the file could not be written.
    bool Save(const uFile& path) const;

private:
    std::list<CAuthEntry>::iterator findLocked(const char* url);
    std::list<CAuthEntry>::const_iterator findLocked(const char* url) const;
    void addLocked(const char* url, const char* user, const char* password);

    mutable std::mutex m_lock;
    std::list<CAuthEntry> m_entries;
};

#include "mainwindow/ListDatabaseFiles.h"

#include "foundation/uFile.h"

namespace subscription
{
namespace
{
const char* const kJournalSuffixes[] = {"-wal", "-shm"};

bool RemoveJournals(const uString& path)
{
    bool removed = true;
    for (const char* suffix : kJournalSuffixes)
    {
        uFile journal((path + suffix).c_str());
        removed = journal.remove() && removed;
    }
    return removed;
}
} // namespace

uString ListDatabasePath(const uString& folder, const uString& name)
{
    uFile file(folder.c_str(), name.isEmpty() ? "default.mdb" : name.c_str());
    return file.getPath();
}

bool IsListDatabaseUsable(const uString& path)
{
    uFile file(path.c_str());
    return file.isFile() && file.getSize() > 0;
}

uString NextFreeListName(const uString& folder)
{
    for (int n = 0;; ++n)
    {
        uString name;
        name.format("user%d.mdb", n);
        if (!uFile(folder.c_str(), name.c_str()).exists())
            return name;
    }
}

uString CreateListDatabase(const uString& folder, const uString& templatePath)
{
    uString name = NextFreeListName(folder);
    uFile target(folder.c_str(), name.c_str());
    if (!RemoveJournals(target.getPath()))
        return uString();
    if (!target.copyFrom(templatePath.c_str(), uFile::kCopyAlways))
        return uString();
    return name;
}

bool RemoveListDatabase(const uString& path)
{
    uFile database(path.c_str());
    if (!database.remove())
        return false;
    RemoveJournals(path);
    return true;
}
} // namespace subscription

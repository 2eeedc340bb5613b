#include "downloads/TorrentData.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace torrent
{

namespace
{

bool IsDirectChildName(const uString& name)
{
    const char* text = name.c_str();
    if (name.isEmpty() || std::strcmp(text, ".") == 0 || std::strcmp(text, "..") == 0)
        return false;
    // A NUL inside the name would cut the path short at the system call.
    return std::strchr(text, uFile::kSeparator) == nullptr &&
           std::strlen(text) == static_cast<std::size_t>(name.getLength());
}

} // namespace

bool DeleteTorrentData(const uFile& torrentFolder, const uString& dataName)
{
    if (torrentFolder.getPath().isEmpty() || !IsDirectChildName(dataName))
        return false;
    uFile data(torrentFolder.getPath().c_str(), dataName.c_str());
    const char* path = data.getPath().c_str();
    struct stat entry;
    if (::lstat(path, &entry) != 0)
        return errno == ENOENT;
    if (S_ISDIR(entry.st_mode))
        data.removeDirectory();
    else if (S_ISREG(entry.st_mode))
        data.remove();
    else
        ::unlink(path); // symbolic links and other special entries
    return ::lstat(path, &entry) != 0 && errno == ENOENT;
}

} // namespace torrent

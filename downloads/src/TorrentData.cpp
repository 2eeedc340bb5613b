#include "downloads/TorrentData.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
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

bool IsDataHeldByOther(CTorrentEngine& engine, const uFile& torrentFolder, const uString& key,
                       const uString& dataName)
{
    std::vector<CTorrentStatus> running;
    if (engine.ListTorrents(running))
    {
        for (const CTorrentStatus& status : running)
            if (status.displayName == dataName && status.name != key)
                return true;
    }
    std::error_code error;
    for (std::filesystem::directory_iterator entries(torrentFolder.getPath().c_str(), error);
         !error && entries != std::filesystem::directory_iterator(); entries.increment(error))
    {
        const uFile file(entries->path().c_str());
        uString name;
        uString otherData;
        if (entries->path().extension() == ".torrent" && engine.ReadTorrentName(file, name) && name != key &&
            engine.GetDataName(file, otherData) && otherData == dataName)
            return true;
    }
    return false;
}

} // namespace torrent

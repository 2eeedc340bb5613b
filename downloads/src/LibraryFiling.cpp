#include "LibraryFiling.h"

#include "foundation/uHash.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace library
{

namespace
{

namespace fs = std::filesystem;

// Copies a folder with everything in it; false at the first failure. Every
// entry is taken as it is, not through a link: hidden files are copied like
// any other, a symbolic link is made again as a link (never followed, so a
// link to a folder above cannot make the copy run away).
bool CopyTree(const uFile& source, const uFile& target)
{
    std::error_code error;
    if (!fs::create_directory(target.getPath().c_str(), source.getPath().c_str(), error) &&
        (error || !target.isDirectory()))
        return false;
    // Advanced with an error code: the range form would throw.
    for (fs::directory_iterator entries(source.getPath().c_str(), error);
         !error && entries != fs::directory_iterator(); entries.increment(error))
    {
        const fs::directory_entry& entry = *entries;
        const fs::path destination = fs::path(target.getPath().c_str()) / entry.path().filename();
        const fs::file_status status = entry.symlink_status(error);
        if (error)
            return false;
        if (fs::is_symlink(status))
            fs::copy_symlink(entry.path(), destination, error);
        else if (fs::is_directory(status))
        {
            if (!CopyTree(uFile(entry.path().c_str()), uFile(destination.c_str())))
                return false;
        }
        else if (fs::is_regular_file(status))
        {
            fs::copy_file(entry.path(), destination, fs::copy_options::overwrite_existing, error);
            if (!error && uFile(destination.c_str()).getSize() != uFile(entry.path().c_str()).getSize())
                return false;
        }
        // Sockets, pipes and devices are no part of a download: left behind.
        if (error)
            return false;
    }
    return !error;
}

uFile RecordFolder(const CTransferItem& record, const uFile& tempDir)
{
    uFile folder(tempDir);
    folder.append(Md5Hex(record.id).c_str());
    return folder;
}

} // namespace

uString FolderName(const uFile& folder)
{
    uString path(folder.getPath());
    while (path.getLength() > 1 && path.endsWith("/"))
        path.truncate(path.getLength() - 1);
    return uFile(path.c_str()).getFileName();
}

bool MovePath(const uFile& source, const uFile& target)
{
    uFile moving(source);
    if (moving.moveTo(target))
        return true;
    if (!source.isDirectory() || target.exists())
        return false;
    // A folder on another file system: copy all of it, and only then let go
    // of the source.
    if (!CopyTree(source, target))
    {
        target.removeDirectory();
        return false;
    }
    source.removeDirectory();
    return true;
}

uString FileMd5(const uFile& file)
{
    uFile reader(file.getPath().c_str(), uFile::kModeRead);
    if (!reader.open())
        return uString();
    uMD5 digest(0);
    unsigned char buffer[1 << 16];
    for (;;)
    {
        uint32_t count = sizeof buffer;
        if (!reader.read(buffer, &count))
        {
            reader.close();
            return uString();
        }
        if (count == uFile::kEndOfFile || count == 0)
            break;
        digest.update(buffer, 0, static_cast<int>(count));
    }
    reader.close();
    digest.final();
    uString hex;
    digest.getHexDigest(hex);
    return hex;
}

namespace
{

// The first of name, "stem (2).ext" ... "stem (999).ext" that `takes` accepts;
// empty when it accepts none.
template <typename Takes> uString FirstNameIn(const uFile& folder, const uString& name, Takes takes)
{
    const std::string whole(name.c_str());
    for (unsigned n = 1; n < 1000; ++n)
    {
        // The library's first copy beside a file is number 2.
        const uString candidate = n == 1 ? name : uString(NumberedName(whole, n).c_str());
        uFile path(folder);
        path.append(candidate.c_str());
        if (takes(path))
            return candidate;
    }
    return uString();
}

bool IsFree(const uFile& path)
{
    struct stat info;
    // lstat: a dangling link still occupies the name.
    return ::lstat(path.getPath().c_str(), &info) != 0 && errno == ENOENT;
}

} // namespace

uString FreeNameIn(const uFile& folder, const uString& name)
{
    return FirstNameIn(folder, name, IsFree);
}

uString NameForContent(const uFile& folder, const uString& name, const uFile& content, const uString& md5Hex,
                       bool& same)
{
    same = false;
    const int64_t size = content.getSize();
    return FirstNameIn(folder, name,
                       [&](const uFile& path)
                       {
                           // The size first: only a file that can match is read whole.
                           same = path.isFile() && path.getSize() == size && FileMd5(path) == md5Hex;
                           return same || IsFree(path);
                       });
}

uFile DedupeTarget(const uFile& target, const uString& md5Hex)
{
    uCRC32 crc;
    crc.hashString(md5Hex.c_str());
    uString suffix;
    crc.getHexDigest(suffix);

    const uString name(target.getFileName());
    const int dot = name.reverseFindChar('.');
    uString newName;
    if (dot > 0)
        newName =
            uString(name.c_str(), 0, dot) + "-" + suffix + uString(name.c_str(), dot, name.getLength() - dot);
    else
        newName = name + "-" + suffix;
    uFile result(target);
    result.setFileName(newName.c_str());
    return result;
}

void RemovePartialDownload(const CTransferItem& record, const uFile& tempDir)
{
    // Only a path that this record's own download made: a stale record must
    // never take a file of the library with it.
    bool ownDownload = false;
    if (record.type == CTransferItem::kTypeTorrent)
        ownDownload = uString(record.localfile.getFileName()) == Md5Hex(record.link) + ".torrent";
    else
    {
        uString folder;
        ownDownload =
            record.localfile.getDirectory(folder) && folder == RecordFolder(record, tempDir).getPath() + "/";
    }
    uFile partial(record.localfile);
    if (ownDownload && partial.isFile())
        partial.remove();
    RemoveRecordFolder(record, tempDir);
}

void RemoveRecordFolder(const CTransferItem& record, const uFile& tempDir)
{
    if (record.type != CTransferItem::kTypePlain || tempDir.getPath().isEmpty())
        return;
    // rmdir removes only an empty folder: nothing of another record is lost.
    ::rmdir(RecordFolder(record, tempDir).getPath().c_str());
}

} // namespace library

#include "foundation/uFile.h"

#include "foundation/uDirectory.h"
#include "uFileSystem.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <stdio.h>
#include <string>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

using fsutil::Text;
using fsutil::ToStd;

namespace
{

// rename(2) that never replaces an existing target.
bool RenameNoReplace(const char* from, const char* to)
{
    if (::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    // The file system cannot rename without replacing: check, then rename.
    struct stat info;
    if (::lstat(to, &info) == 0)
    {
        errno = EEXIST;
        return false;
    }
    return ::rename(from, to) == 0;
}

// The cross-file-system half of a move: copy to a new target, flush, then
// drop the source. The target keeps the source's permissions and times.
bool MoveFileByCopy(const char* from, const char* to)
{
    int source = fsutil::OpenFile(from, O_RDONLY);
    if (source < 0)
        return false;
    struct stat info;
    if (::fstat(source, &info) != 0)
    {
        fsutil::CloseFile(source);
        return false;
    }
    int target = fsutil::OpenFile(to, O_WRONLY | O_CREAT | O_EXCL, info.st_mode & 07777);
    if (target < 0)
    {
        fsutil::CloseFile(source);
        return false;
    }
    struct timespec times[2] = {info.st_atim, info.st_mtim};
    bool copied =
        fsutil::CopyContents(source, target) && ::futimens(target, times) == 0 && ::fsync(target) == 0;
    fsutil::CloseFile(source);
    if (::close(target) != 0)
        copied = false;
    if (!copied || ::unlink(from) != 0)
    {
        ::unlink(to);
        return false;
    }
    return true;
}

} // namespace

uFile::uFile() = default;

uFile::uFile(const char* path, int mode) : m_path(path), m_mode(mode) {}

uFile::uFile(const char* directory, const char* name, int mode) : m_mode(mode)
{
    m_path = fsutil::JoinPath(directory ? directory : "", name ? name : "").c_str();
}

uFile::uFile(const char* directory, const char* middle, const char* name, int mode) : m_mode(mode)
{
    std::string head = fsutil::JoinPath(directory ? directory : "", middle ? middle : "");
    m_path = fsutil::JoinPath(head, name ? name : "").c_str();
}

uFile::uFile(const uFile& other) : m_path(other.m_path), m_mode(other.m_mode) {}

uFile& uFile::operator=(const uFile& other)
{
    copyFrom(other);
    return *this;
}

uFile::~uFile()
{
    close();
}

void uFile::copyFrom(const uFile& other)
{
    if (this == &other)
        return;
    // Dropping an open file without closing it would keep it locked until exit.
    close();
    m_path = other.m_path;
    m_mode = other.m_mode;
}

int uFile::setMode(int mode)
{
    m_mode = mode;
    return m_mode;
}

bool uFile::setPath(const char* path)
{
    m_path = path ? path : "";
    return exists();
}

bool uFile::setToCurrentDirectory()
{
    std::string current = fsutil::CurrentDirectory();
    if (current.empty())
        return false;
    m_path = current.c_str();
    return true;
}

bool uFile::append(const char* component)
{
    std::string path = ToStd(m_path);
    // Never a separator before the first component: "/name" would be a file at the root.
    if (!path.empty() && path.back() != kSeparator)
        path += kSeparator;
    path += component ? component : "";
    m_path = path.c_str();
    return true;
}

uFile& uFile::operator+=(const char* component)
{
    append(component);
    return *this;
}

const char* uFile::getFileName() const
{
    const char* path = Text(m_path);
    const char* slash = std::strrchr(path, kSeparator);
    return slash ? slash + 1 : path;
}

bool uFile::getDirectory(uString& directory) const
{
    std::string path = ToStd(m_path);
    std::string::size_type slash = path.rfind(kSeparator);
    directory = slash == std::string::npos ? "" : path.substr(0, slash + 1).c_str();
    return slash != std::string::npos;
}

bool uFile::setFileName(const char* name)
{
    std::string path = ToStd(m_path);
    while (!path.empty() && path.back() == kSeparator)
        path.pop_back();
    if (path.empty())
        return false;
    // A bare name, or one right below the root, is replaced too: leaving the
    // path as it was while reporting success would hide that the name was never set.
    std::string::size_type slash = path.rfind(kSeparator);
    std::string directory = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    m_path = (directory + (name ? name : "")).c_str();
    return true;
}

bool uFile::getAbsolutePath(uString& absolute) const
{
    char* text = GetAbsolutePath(Text(m_path));
    absolute = text ? text : "";
    std::free(text);
    return !absolute.isEmpty();
}

bool uFile::makeAbsolute()
{
    uString absolute;
    if (!getAbsolutePath(absolute))
        return false;
    m_path = absolute;
    return true;
}

bool uFile::getAbsolute(uFile& target) const
{
    uString absolute;
    target.setMode(m_mode);
    if (!getAbsolutePath(absolute))
        return false;
    return target.setPath(Text(absolute));
}

bool uFile::exists() const
{
    return PathExists(Text(m_path));
}

bool uFile::isFile() const
{
    return IsRegularFile(Text(m_path));
}

bool uFile::isDirectory() const
{
    return IsDirectory(Text(m_path));
}

int64_t uFile::getSize() const
{
    return GetFileSize(Text(m_path));
}

time_t uFile::getModifiedTime() const
{
    return GetFileModifiedTime(Text(m_path));
}

bool uFile::isVisible() const
{
    return IsVisibleFile(Text(m_path));
}

bool uFile::isWritable() const
{
    return IsWritableFile(Text(m_path));
}

bool uFile::isExecutable() const
{
    return IsExecutableFile(Text(m_path));
}

bool uFile::ensureDirectory() const
{
    std::string path = ToStd(m_path);
    // "a/b/" names the same directory as "a/b"; the root keeps its one separator.
    while (path.size() > 1 && path.back() == kSeparator)
        path.pop_back();
    if (path.empty() || IsDirectory(path.c_str()))
        return false;
    std::string::size_type slash = path.rfind(kSeparator);
    if (slash != std::string::npos)
    {
        std::string parent = slash == 0 ? "/" : path.substr(0, slash);
        // Another thread may create the parent at the same moment: what counts
        // is that it is a directory afterwards.
        if (!IsDirectory(parent.c_str()) && !uFile(parent.c_str()).ensureDirectory() &&
            !IsDirectory(parent.c_str()))
            return false;
    }
    if (::mkdir(path.c_str(), 0777) == 0)
        return true;
    return errno == EEXIST && IsDirectory(path.c_str());
}

bool uFile::ensurePath() const
{
    return exists() || ensureDirectory() || exists();
}

bool uFile::openDescriptor(int flags, bool truncateAfterLock)
{
    int descriptor = fsutil::OpenFile(Text(m_path), flags);
    if (descriptor < 0)
        return false;
    struct stat info;
    // A directory opens read-only on Linux; it is no file to read or write.
    if (::fstat(descriptor, &info) != 0 || S_ISDIR(info.st_mode) || !fsutil::LockExclusive(descriptor))
    {
        fsutil::CloseFile(descriptor);
        return false;
    }
    m_descriptor = descriptor;
    // Only now that the lock is ours may the content go: a refused open must
    // never empty a file someone else holds.
    if (truncateAfterLock && ::ftruncate(descriptor, 0) != 0)
        return false;
    return true;
}

bool uFile::open()
{
    if (m_path.isEmpty() || isOpen())
        return false;
    switch (m_mode)
    {
    case kModeRead:
        return openDescriptor(O_RDONLY, false);
    case kModeWrite:
        return openDescriptor(O_WRONLY | O_CREAT, true);
    case kModeAppend:
        // Not O_APPEND, which would defeat a later seek.
        return openDescriptor(O_WRONLY | O_CREAT, false) && ::lseek(m_descriptor, 0, SEEK_END) >= 0;
    default:
        return false;
    }
}

void uFile::unmapView()
{
    if (m_view)
        ::munmap(m_view, m_mappedSize);
    m_view = nullptr;
    m_mappedSize = 0;
}

bool uFile::close()
{
    if (!isOpen())
        return false;
    unmapView();
    fsutil::CloseFile(m_descriptor);
    m_descriptor = -1;
    return true;
}

bool uFile::remove()
{
    if (m_path.isEmpty())
        return false;
    close();
    const char* path = Text(m_path);
    if (IsRegularFile(path) && !fsutil::IsHeldOpen(path))
        ::unlink(path);
    return !PathExists(path);
}

bool uFile::moveTo(const char* newPath)
{
    if (!newPath)
        return false;
    close();
    const char* path = Text(m_path);
    bool regular = IsRegularFile(path);
    if ((regular || IsDirectory(path)) && !(regular && fsutil::IsHeldOpen(path)))
    {
        bool moved = RenameNoReplace(path, newPath);
        // Directories are not copied across file systems.
        if (!moved && errno == EXDEV && regular)
            moved = MoveFileByCopy(path, newPath);
        if (moved)
            m_path = newPath;
    }
    return std::strcmp(Text(m_path), newPath) == 0;
}

bool uFile::moveTo(const uFile& newPath)
{
    return moveTo(Text(newPath.m_path));
}

bool uFile::replaceWith(const char* temporaryPath, bool evenWhenHeld)
{
    if (!temporaryPath || m_path.isEmpty())
        return false;
    close();
    const char* path = Text(m_path);
    if ((!evenWhenHeld && fsutil::IsHeldOpen(path)) || !IsRegularFile(temporaryPath))
        return false;
    int temporary = fsutil::OpenFile(temporaryPath, O_RDONLY);
    if (temporary < 0)
        return false;
    bool flushed = ::fsync(temporary) == 0;
    fsutil::CloseFile(temporary);
    if (!flushed || ::rename(temporaryPath, path) != 0)
        return false;
    fsutil::SyncParentDirectory(path);
    return true;
}

bool uFile::replaceContents(const void* data, uint64_t size, unsigned permissions, bool evenWhenHeld)
{
    if (m_path.isEmpty())
        return false;
    uString directory;
    getDirectory(directory);
    const std::string temporary =
        fsutil::WriteReplacement(ToStd(directory), getFileName(), data, static_cast<size_t>(size), permissions);
    if (temporary.empty())
        return false;
    if (!replaceWith(temporary.c_str(), evenWhenHeld))
    {
        ::unlink(temporary.c_str());
        return false;
    }
    return true;
}

bool uFile::read(void* buffer, uint32_t* count)
{
    if (buffer && count && *count > 0)
        static_cast<char*>(buffer)[0] = 0;
    if (!isOpen() || !buffer || !count)
        return false;
    ssize_t got;
    do
        got = ::read(m_descriptor, buffer, *count);
    while (got < 0 && errno == EINTR);
    if (got < 0)
    {
        *count = 0;
        return false;
    }
    *count = got == 0 ? kEndOfFile : static_cast<uint32_t>(got);
    return true;
}

bool uFile::readByte(uint8_t& value)
{
    uint32_t count = 1;
    return read(&value, &count);
}

bool uFile::readInt32(int32_t& value)
{
    uint32_t count = 4;
    return read(&value, &count);
}

bool uFile::readLine(uString& line)
{
    line.setEmpty();
    std::string bytes;
    for (;;)
    {
        char c;
        uint32_t count = 1;
        if (!read(&c, &count) || count != 1 || c == '\n')
            break;
        if (c != '\r')
            bytes += c;
    }
    // A NUL inside the line is kept as it stands.
    return fsutil::AssignBytes(line, bytes) && !bytes.empty();
}

char* uFile::readLine()
{
    uString line;
    if (!readLine(line))
        return nullptr;
    return line.duplicate();
}

bool uFile::readAll(uString& text)
{
    text.setEmpty();
    if (!isOpen())
        return false;
    std::string bytes;
    char buffer[64 * 1024];
    for (;;)
    {
        uint32_t count = sizeof buffer;
        if (!read(buffer, &count))
            return false;
        if (count == kEndOfFile)
            break;
        bytes.append(buffer, count);
    }
    // Every byte is kept, NULs included: a fetched document may be UTF-16.
    if (!fsutil::AssignBytes(text, bytes))
    {
        text.setEmpty();
        return false;
    }
    return true;
}

uString* uFile::readAll()
{
    uString* text = new uString();
    readAll(*text);
    return text;
}

bool uFile::write(const void* buffer, uint32_t* count)
{
    if (!isOpen() || !buffer || !count)
        return false;
    const char* bytes = static_cast<const char*>(buffer);
    uint32_t total = 0;
    while (total < *count)
    {
        ssize_t written = ::write(m_descriptor, bytes + total, *count - total);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
        {
            *count = total;
            return false;
        }
        total += static_cast<uint32_t>(written);
    }
    *count = total;
    return true;
}

bool uFile::writeByte(uint8_t value)
{
    uint32_t count = 1;
    return write(&value, &count) && count == 1;
}

bool uFile::writeInt32(int32_t value)
{
    uint32_t count = 4;
    return write(&value, &count) && count == 4;
}

bool uFile::writeInt32(uint32_t value)
{
    uint32_t count = 4;
    return write(&value, &count) && count == 4;
}

bool uFile::writeInt64(int64_t value)
{
    uint32_t count = 8;
    return write(&value, &count) && count == 8;
}

bool uFile::writeText(const char* text)
{
    uint32_t length = text ? static_cast<uint32_t>(std::strlen(text)) : 0;
    uint32_t count = length;
    if (length > 0 && (!write(text, &count) || count != length))
        return false;
    count = 2;
    return write("\r\n", &count) && count == 2;
}

int64_t uFile::seek(int64_t offset, int origin)
{
    if (!isOpen())
        return 0;
    struct stat info;
    if (::fstat(m_descriptor, &info) != 0)
        return 0;
    int whence = origin == 0 ? SEEK_SET : origin == 1 ? SEEK_CUR : origin == 2 ? SEEK_END : -1;
    if (whence < 0)
        return 0;
    off_t position = ::lseek(m_descriptor, static_cast<off_t>(offset), whence);
    if (position < 0)
        return 0;
    if (position > info.st_size)
        position = ::lseek(m_descriptor, info.st_size, SEEK_SET);
    return position < 0 ? 0 : static_cast<int64_t>(position);
}

bool uFile::flush()
{
    return isOpen() && ::fsync(m_descriptor) == 0;
}

namespace
{

// A record lock over the file's current length (an open file description
// lock: it belongs to the open file, not to the process).
bool SetRecordLock(int descriptor, short type, bool readOnly)
{
    struct stat info;
    if (::fstat(descriptor, &info) != 0)
        return false;
    struct flock region = {};
    region.l_type = type == F_UNLCK ? F_UNLCK : readOnly ? F_RDLCK : F_WRLCK;
    region.l_whence = SEEK_SET;
    region.l_start = 0;
    region.l_len = info.st_size;
    return ::fcntl(descriptor, F_OFD_SETLK, &region) == 0;
}

} // namespace

bool uFile::lock()
{
    return isOpen() && SetRecordLock(m_descriptor, F_WRLCK, m_mode == kModeRead);
}

bool uFile::unlock()
{
    return isOpen() && SetRecordLock(m_descriptor, F_UNLCK, m_mode == kModeRead);
}

bool uFile::isLocked() const
{
    if (!isOpen())
        return false;
    // Probe through a second open file description, which conflicts with any lock held.
    std::string self = "/proc/self/fd/" + std::to_string(m_descriptor);
    int probe = fsutil::OpenFile(self.c_str(), m_mode == kModeRead ? O_RDONLY : O_WRONLY);
    if (probe < 0)
        return true;
    bool locked = !SetRecordLock(probe, F_WRLCK, m_mode == kModeRead);
    if (!locked)
        SetRecordLock(probe, F_UNLCK, m_mode == kModeRead);
    fsutil::CloseFile(probe);
    return locked;
}

bool uFile::setLength(int64_t length)
{
    if (length < 0)
        return false;
    if (isOpen())
    {
        if (m_mode == kModeRead)
            return false;
        return ::ftruncate(m_descriptor, static_cast<off_t>(length)) == 0 &&
               ::lseek(m_descriptor, static_cast<off_t>(length), SEEK_SET) >= 0;
    }
    if (!exists())
        return false;
    int descriptor = fsutil::OpenFile(Text(m_path), O_WRONLY);
    if (descriptor < 0)
        return false;
    bool done = fsutil::LockExclusive(descriptor) && ::ftruncate(descriptor, static_cast<off_t>(length)) == 0;
    fsutil::CloseFile(descriptor);
    return done;
}

void* uFile::mapView(uint64_t* size, int mode)
{
    close();
    setMode(mode);
    bool readOnly = mode == kModeRead;
    // A writable mapping opens read-write without emptying the file: a
    // mode-2 open would truncate it, lose its content and leave nothing to map.
    if (m_path.isEmpty() || !openDescriptor(readOnly ? O_RDONLY : O_RDWR, false))
        return nullptr;
    struct stat info;
    if (::fstat(m_descriptor, &info) != 0)
        return nullptr;
    m_mappedSize = static_cast<uint64_t>(info.st_size);
    if (size)
        *size = m_mappedSize;
    if (m_mappedSize == 0)
        return nullptr;
    void* view = ::mmap(nullptr, m_mappedSize, readOnly ? PROT_READ : PROT_READ | PROT_WRITE,
                        readOnly ? MAP_PRIVATE : MAP_SHARED, m_descriptor, 0);
    if (view == MAP_FAILED)
    {
        m_mappedSize = 0;
        return nullptr;
    }
    m_view = view;
    return m_view;
}

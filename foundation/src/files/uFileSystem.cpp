#include "uFileSystem.h"

#include "foundation/uDirectory.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace fsutil
{

bool AssignBytes(uString& target, const std::string& bytes)
{
    if (bytes.size() >= static_cast<size_t>(INT_MAX))
        return false;
    char* buffer = static_cast<char*>(std::malloc(bytes.size() + 1));
    if (!buffer)
        return false;
    std::memcpy(buffer, bytes.data(), bytes.size());
    buffer[bytes.size()] = '\0';
    target.attach(buffer, static_cast<int>(bytes.size()), static_cast<int>(bytes.size() + 1));
    return true;
}

int OpenFile(const char* path, int flags, mode_t permissions)
{
    int descriptor;
    do
        descriptor = ::open(path, flags | O_CLOEXEC, permissions);
    while (descriptor < 0 && errno == EINTR);
    return descriptor;
}

void CloseFile(int descriptor)
{
    if (descriptor >= 0)
        ::close(descriptor);
}

bool LockExclusive(int descriptor)
{
    int result;
    do
        result = ::flock(descriptor, LOCK_EX | LOCK_NB);
    while (result != 0 && errno == EINTR);
    return result == 0;
}

bool IsHeldOpen(const char* path)
{
    struct stat info;
    if (::lstat(path, &info) != 0 || !S_ISREG(info.st_mode))
        return false;
    // O_NONBLOCK: the path may have been swapped for a FIFO meanwhile.
    int probe = OpenFile(path, O_RDONLY | O_NOFOLLOW | O_NONBLOCK);
    if (probe < 0)
        return false;
    bool held = !LockExclusive(probe) && errno == EWOULDBLOCK;
    CloseFile(probe);
    return held;
}

bool WriteAll(int descriptor, const void* data, size_t size)
{
    const char* bytes = static_cast<const char*>(data);
    while (size > 0)
    {
        ssize_t written = ::write(descriptor, bytes, size);
        if (written < 0)
        {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (written == 0)
            return false;
        bytes += written;
        size -= static_cast<size_t>(written);
    }
    return true;
}

std::string WriteReplacement(const std::string& directory, const std::string& name, const void* data,
                             size_t size, unsigned permissions)
{
    std::string pattern = directory + ReplacementTempPrefix(name) + "XXXXXX";
    const int descriptor = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (descriptor < 0)
        return std::string();
    bool written = ::fchmod(descriptor, permissions & 07777) == 0 && WriteAll(descriptor, data, size) &&
                   ::fsync(descriptor) == 0;
    if (::close(descriptor) != 0)
        written = false;
    if (written)
        return pattern;
    ::unlink(pattern.c_str());
    return std::string();
}

bool CopyContents(int from, int to)
{
    std::vector<char> buffer(64 * 1024);
    for (;;)
    {
        ssize_t got = ::read(from, buffer.data(), buffer.size());
        if (got < 0)
        {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (got == 0)
            return true;
        if (!WriteAll(to, buffer.data(), static_cast<size_t>(got)))
            return false;
    }
}

void SyncParentDirectory(const std::string& path)
{
    std::string::size_type slash = path.rfind('/');
    std::string directory = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    int descriptor = OpenFile(directory.c_str(), O_RDONLY | O_DIRECTORY);
    if (descriptor >= 0)
    {
        ::fsync(descriptor);
        CloseFile(descriptor);
    }
}

std::string JoinPath(const std::string& directory, const std::string& name)
{
    std::string tail = !name.empty() && name[0] == '/' ? name.substr(1) : name;
    if (directory.empty())
        return tail;
    if (directory.back() == '/')
        return directory + tail;
    return directory + "/" + tail;
}

std::string CurrentDirectory()
{
    std::vector<char> buffer(256);
    for (;;)
    {
        if (::getcwd(buffer.data(), buffer.size()))
            return std::string(buffer.data());
        if (errno != ERANGE)
            return std::string();
        buffer.resize(buffer.size() * 2);
    }
}

std::string MakeAbsoluteLexically(const std::string& path)
{
    std::string full = path;
    if (full.empty() || full[0] != '/')
    {
        std::string current = CurrentDirectory();
        if (current.empty())
            return std::string();
        full = current + "/" + full;
    }
    std::vector<std::string> parts;
    std::string::size_type start = 0;
    while (start <= full.size())
    {
        std::string::size_type end = full.find('/', start);
        if (end == std::string::npos)
            end = full.size();
        std::string part = full.substr(start, end - start);
        if (part == "..")
        {
            if (!parts.empty())
                parts.pop_back();
        }
        else if (!part.empty() && part != ".")
            parts.push_back(part);
        start = end + 1;
    }
    std::string result;
    for (const std::string& part : parts)
        result += "/" + part;
    return result.empty() ? "/" : result;
}

} // namespace fsutil

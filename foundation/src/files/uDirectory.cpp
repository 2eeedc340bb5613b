#include "foundation/uDirectory.h"

#include "foundation/uFile.h"
#include "uFileSystem.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using fsutil::Text;

namespace
{

bool IsDotEntry(const char* name)
{
    return std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0;
}

// The names of a directory's entries; false when it cannot be read.
bool ReadEntryNames(const char* directory, bool withDotEntries, std::vector<std::string>& names)
{
    DIR* stream = ::opendir(directory);
    if (!stream)
        return false;
    while (const dirent* entry = ::readdir(stream))
        if (withDotEntries || !IsDotEntry(entry->d_name))
            names.emplace_back(entry->d_name);
    ::closedir(stream);
    return true;
}

// Empties the directory open at descriptor (which it closes), working
// relative to it so that nothing is reached through a symbolic link.
void RemoveContents(int descriptor)
{
    DIR* stream = ::fdopendir(descriptor);
    if (!stream)
    {
        fsutil::CloseFile(descriptor);
        return;
    }
    std::vector<std::string> names;
    while (const dirent* entry = ::readdir(stream))
        if (!IsDotEntry(entry->d_name))
            names.emplace_back(entry->d_name);
    for (const std::string& name : names)
    {
        struct stat info;
        if (::fstatat(descriptor, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        if (S_ISDIR(info.st_mode))
        {
            int child = ::openat(descriptor, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (child >= 0)
                RemoveContents(child);
            ::unlinkat(descriptor, name.c_str(), AT_REMOVEDIR);
        }
        else
            ::unlinkat(descriptor, name.c_str(), 0);
    }
    ::closedir(stream);
}

} // namespace

bool CopyFile(const char* source, const char* destination, int policy)
{
    if (!source || !destination)
        return false;
    uFile from(source, uFile::kModeRead);
    uFile to(destination, uFile::kModeWrite);
    if (!from.exists() || !from.isFile() || !from.isVisible() || to.isDirectory())
        return false;
    if (policy == uFile::kCopyUnlessExists && to.exists())
        return true;
    if (policy == uFile::kCopyUnlessNewer && to.exists() && to.getModifiedTime() > from.getModifiedTime())
        return true;
    if (!from.open() || !to.open() || !to.setLength(0))
        return false;
    char buffer[64 * 1024];
    for (;;)
    {
        uint32_t count = sizeof buffer;
        // A read error must not pass for the end of the source: the copy would be short.
        bool readOk = from.read(buffer, &count);
        if (readOk && count == uFile::kEndOfFile)
            return true;
        uint32_t written = count;
        if (!readOk || !to.write(buffer, &written) || written != count)
        {
            to.remove();
            return false;
        }
    }
}

bool uFile::copyFrom(const char* sourcePath, int policy)
{
    return CopyFile(sourcePath, Text(m_path), policy);
}

bool CopyDirectoryFiles(const char* source, const char* destination, int policy)
{
    if (!source || !*source || !destination || !*destination || !IsDirectory(source))
        return false;
    if (!IsDirectory(destination) && !MakeDirectory(destination))
        return false;
    std::vector<std::string> names;
    if (!ReadEntryNames(source, false, names))
        return false;
    char* absolute = GetAbsolutePath(source);
    if (!absolute)
        return false;
    std::string sourceDirectory = absolute;
    std::free(absolute);
    bool result = true;
    for (const std::string& name : names)
    {
        std::string from = fsutil::JoinPath(sourceDirectory, name);
        std::string to = fsutil::JoinPath(destination, name);
        if (!CopyFile(from.c_str(), to.c_str(), policy))
            result = false;
    }
    return result;
}

bool CopyDirectory(const char* source, const char* destination)
{
    return CopyDirectoryFiles(source, destination, uFile::kCopyAlways);
}

bool UpdateDirectory(const char* source, const char* destination)
{
    return CopyDirectoryFiles(source, destination, uFile::kCopyUnlessNewer);
}

bool uFile::copyDirectoryFrom(const char* sourceDirectory) const
{
    return CopyDirectoryFiles(sourceDirectory, Text(m_path), kCopyAlways);
}

bool uFile::updateDirectoryFrom(const char* sourceDirectory) const
{
    return CopyDirectoryFiles(sourceDirectory, Text(m_path), kCopyUnlessNewer);
}

bool uFile::copyDirectoryTo(const char* destinationDirectory) const
{
    return CopyDirectoryFiles(Text(m_path), destinationDirectory, kCopyAlways);
}

char** ListFileNames(const char* directory)
{
    if (!directory || !*directory)
        return nullptr;
    std::vector<std::string> names;
    ReadEntryNames(directory, false, names);
    char** array = static_cast<char**>(std::calloc(names.size() + 1, sizeof(char*)));
    if (!array)
        return nullptr;
    for (size_t i = 0; i < names.size(); ++i)
    {
        array[i] = ::strdup(names[i].c_str());
        if (!array[i])
        {
            for (size_t j = 0; j < i; ++j)
                std::free(array[j]);
            std::free(array);
            return nullptr;
        }
    }
    return array;
}

char** uFile::listFileNames() const
{
    return ListFileNames(Text(m_path));
}

bool uFile::listDirectory(std::list<uFile>& entries) const
{
    if (!isDirectory())
        return false;
    entries.clear();
    uString absolute;
    if (!getAbsolutePath(absolute))
        return true;
    std::vector<std::string> names;
    ReadEntryNames(Text(absolute), false, names);
    for (const std::string& name : names)
    {
        uFile entry(Text(absolute), kModeRead);
        entry.append(name.c_str());
        entries.push_back(entry);
    }
    return true;
}

void PrintDirectory(FILE* stream, const char* directory)
{
    if (!stream || !directory || !*directory)
        return;
    std::vector<std::string> names;
    ReadEntryNames(directory, true, names);
    for (const std::string& name : names)
        std::fprintf(stream, "%s%s", name.c_str(), "\r\n");
}

void uFile::printDirectory(FILE* stream) const
{
    PrintDirectory(stream, Text(m_path));
}

void RemoveDirectoryTree(const char* directory)
{
    if (!directory || !*directory)
        return;
    struct stat info;
    if (::lstat(directory, &info) != 0 || !S_ISDIR(info.st_mode))
        return;
    int descriptor = fsutil::OpenFile(directory, O_RDONLY | O_DIRECTORY | O_NOFOLLOW);
    if (descriptor < 0)
        return;
    RemoveContents(descriptor);
    ::rmdir(directory);
}

void uFile::removeDirectory() const
{
    RemoveDirectoryTree(Text(m_path));
}

int RemoveFilesNamed(const char* directory, const std::function<bool(const std::string& name)>& test)
{
    if (!directory || !*directory)
        return 0;
    DIR* folder = ::opendir(directory);
    if (!folder)
        return 0;
    int removed = 0;
    while (const dirent* entry = ::readdir(folder))
    {
        const std::string name = entry->d_name;
        struct stat info = {};
        if (!test(name) || ::fstatat(::dirfd(folder), name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0 ||
            !S_ISREG(info.st_mode))
            continue;
        if (::unlinkat(::dirfd(folder), name.c_str(), 0) == 0)
            ++removed;
    }
    ::closedir(folder);
    return removed;
}

namespace
{

constexpr const char* kReplacementMark = ".kestrova-";
constexpr std::size_t kMarkLength = 10;
constexpr std::size_t kUniqueLength = 6; // what mkostemp puts for the X's
constexpr std::size_t kLongestName = 255;

} // namespace

std::string ReplacementTempPrefix(const std::string& target)
{
    constexpr std::size_t kLongestTarget = kLongestName - 1 - kMarkLength - kUniqueLength;
    std::size_t length = target.size();
    if (length > kLongestTarget)
    {
        length = kLongestTarget;
        // Never half a UTF-8 character: back off over continuation bytes.
        while (length > 0 && (static_cast<unsigned char>(target[length]) & 0xC0) == 0x80)
            --length;
    }
    return "." + target.substr(0, length) + kReplacementMark;
}

std::string ReplacementTempTarget(const std::string& name)
{
    constexpr std::size_t kEnding = kMarkLength + kUniqueLength;
    if (name.size() < 1 + 1 + kEnding || name[0] != '.' ||
        name.compare(name.size() - kEnding, kMarkLength, kReplacementMark) != 0)
        return std::string();
    for (std::size_t i = name.size() - kUniqueLength; i < name.size(); ++i)
    {
        // ASCII only, whatever the locale: mkostemp's letters and digits.
        const char c = name[i];
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')))
            return std::string();
    }
    return name.substr(1, name.size() - 1 - kEnding);
}

bool IsReplacementTemp(const std::string& name, const std::string& target)
{
    if (target.empty())
        return false;
    const std::string prefix = ReplacementTempPrefix(target);
    return name.size() == prefix.size() + kUniqueLength && name.compare(0, prefix.size(), prefix) == 0 &&
           !ReplacementTempTarget(name).empty();
}

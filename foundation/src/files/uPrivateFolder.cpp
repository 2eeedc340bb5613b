#include "foundation/uPrivateFolder.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace
{
// How many links deep a path may lead before it is refused.
constexpr int kLinkDepth = 8;

// Only its owner may rename what is in it: root or the user owns it, and
// nobody else may write to it unless it is sticky.
bool KeepsItsEntries(const struct stat& status)
{
    return S_ISDIR(status.st_mode) && (status.st_uid == 0 || status.st_uid == ::getuid()) &&
           ((status.st_mode & 022) == 0 || (status.st_mode & S_ISVTX) != 0);
}

bool IsClosedOwnFolder(const struct stat& status)
{
    return S_ISDIR(status.st_mode) && status.st_uid == ::getuid() && (status.st_mode & 077) == 0;
}

bool IsSwapProof(const std::string& folder, int depth)
{
    struct stat status = {};
    if (folder.empty() || folder[0] != '/' || depth > kLinkDepth || ::lstat("/", &status) != 0 ||
        !KeepsItsEntries(status))
        return false;
    // Each folder from the top down: a link on the way stands in a folder
    // already found sound, so it stays as it is; where it leads is checked
    // the same way.
    for (std::size_t at = 0; at != std::string::npos;)
    {
        const std::size_t next = folder.find('/', at + 1);
        const std::string prefix = folder.substr(0, next);
        at = next;
        if (prefix.back() == '/')
            continue;
        if (::lstat(prefix.c_str(), &status) != 0)
            return false;
        if (S_ISLNK(status.st_mode))
        {
            // Another user's link in a shared folder is theirs to replace,
            // whatever it leads to now.
            char target[PATH_MAX];
            if ((status.st_uid != 0 && status.st_uid != ::getuid()) ||
                ::realpath(prefix.c_str(), target) == nullptr || !IsSwapProof(target, depth + 1))
                return false;
        }
        else if (!KeepsItsEntries(status))
            return false;
    }
    return true;
}
} // namespace

bool IsSwapProofFolder(const std::string& folder)
{
    return IsSwapProof(folder, 0);
}

std::string OwnFolderIn(const std::string& parent, const std::string& name)
{
    if (name.empty() || name.find('/') != std::string::npos || !IsSwapProofFolder(parent))
        return std::string();
    const std::string folder = (parent.back() == '/' ? parent : parent + "/") + name;
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
        return std::string();
    struct stat status = {};
    return ::lstat(folder.c_str(), &status) == 0 && IsClosedOwnFolder(status) ? folder : std::string();
}

std::string UserRuntimeFolder()
{
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    struct stat status = {};
    return runtime != nullptr && runtime[0] == '/' && ::lstat(runtime, &status) == 0 &&
                   IsClosedOwnFolder(status) && IsSwapProofFolder(runtime)
               ? runtime
               : std::string();
}

std::string TemporaryFolder()
{
    const char* temporary = std::getenv("TMPDIR");
    return temporary != nullptr && temporary[0] == '/' ? temporary : "/tmp";
}

std::string PrivateTemporaryFolder()
{
    return OwnFolderIn(TemporaryFolder(), "kestrova-" + std::to_string(::getuid()));
}

std::string UserCacheFolder()
{
    std::string cache;
    if (const char* configured = std::getenv("XDG_CACHE_HOME"); configured != nullptr && configured[0] == '/')
        cache = configured;
    else if (const std::string home = UserHomeFolder(); !home.empty())
        cache = home + "/.cache";
    if (cache.empty())
        return std::string();
    ::mkdir(cache.c_str(), 0700);
    const std::string folder = cache + "/kestrova";
    ::mkdir(folder.c_str(), 0700);
    // One the user's own that others may enter is closed first.
    struct stat status = {};
    if (IsSwapProofFolder(cache) && ::lstat(folder.c_str(), &status) == 0 && S_ISDIR(status.st_mode) &&
        status.st_uid == ::getuid() && (status.st_mode & 077) != 0)
        ::chmod(folder.c_str(), 0700);
    return OwnFolderIn(cache, "kestrova");
}

std::string UserHomeFolder()
{
    if (const char* home = std::getenv("HOME"); home != nullptr && home[0] == '/')
        return home;
    const long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<std::size_t>(size) : 16384);
    passwd entry = {};
    passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr &&
        found->pw_dir != nullptr && found->pw_dir[0] == '/')
        return found->pw_dir;
    return std::string();
}

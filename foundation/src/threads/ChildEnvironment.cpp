#include "foundation/uChildEnvironment.h"
#include "threads/ChildProcesses.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <functional>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

extern char** environ;

namespace
{
constexpr const char* kPreload = "LD_PRELOAD";
// What the dynamic linker splits the list at.
constexpr const char* kSeparators = " :";
// What it does not take as it stands in a path of the list: the separators,
// and the "$" that starts a name it replaces ($LIB, $ORIGIN, $PLATFORM).
constexpr const char* kUnspeakable = " :$";

// Filled before any thread starts, read by every start of a child afterwards.
std::vector<std::string>& OwnLibraries()
{
    static std::vector<std::string> libraries;
    return libraries;
}

bool HasEntries(const std::string& list)
{
    return list.find_first_not_of(kSeparators) != std::string::npos;
}

// A folder of the user's own that nobody else may enter or write to.
bool IsPrivateFolder(const std::string& folder)
{
    struct stat status = {};
    return ::lstat(folder.c_str(), &status) == 0 && S_ISDIR(status.st_mode) && status.st_uid == ::getuid() &&
           (status.st_mode & 077) == 0;
}

// A folder in which nobody else can take away or swap what the user makes.
bool IsSafeParent(const std::string& folder)
{
    struct stat status = {};
    return ::stat(folder.c_str(), &status) == 0 && S_ISDIR(status.st_mode) &&
           (status.st_uid == 0 || status.st_uid == ::getuid()) &&
           ((status.st_mode & 022) == 0 || (status.st_mode & S_ISVTX) != 0);
}

std::string TemporaryFolder()
{
    const char* temporary = std::getenv("TMPDIR");
    return temporary != nullptr && temporary[0] == '/' &&
                   std::string(temporary).find_first_of(kUnspeakable) == std::string::npos
               ? temporary
               : "/tmp";
}

// The link's folder made for this run when the usual one could not be used,
// the link in it, and the process that made them.
std::string g_madeFolder;
std::string g_madeLink;
pid_t g_folderMaker = 0;

void RemoveMadeFolder()
{
    // Not from a copy of this process that ends without starting a program.
    if (g_madeFolder.empty() || ::getpid() != g_folderMaker)
        return;
    ::unlink(g_madeLink.c_str());
    ::rmdir(g_madeFolder.c_str());
    g_madeFolder.clear();
}

// A link to `library` named as it is in `folder`; empty when it cannot be made.
// One that leads to the library of a copy of the program in another folder
// stays, for that copy's engine to start its processes with: ours goes
// beside it, under a name of the folder ours is in.
std::string LinkIn(const std::string& folder, const std::string& library)
{
    std::string link = folder + library.substr(library.rfind('/'));
    char target[4096];
    const ssize_t length = ::readlink(link.c_str(), target, sizeof target);
    if (length > 0 && library.compare(0, std::string::npos, target, static_cast<std::size_t>(length)) != 0 &&
        ::access(link.c_str(), R_OK) == 0)
        link += "." + std::to_string(std::hash<std::string>()(library));
    const std::string made = link + "." + std::to_string(::getpid());
    ::unlink(made.c_str());
    if (::symlink(library.c_str(), made.c_str()) != 0)
        return std::string();
    if (::rename(made.c_str(), link.c_str()) != 0)
    {
        ::unlink(made.c_str());
        return std::string();
    }
    return link;
}

// The dynamic linker has no escape for a blank, a colon or a "$", so a
// library whose path holds one is preloaded through a link in a folder of the user's own:
// the session's runtime folder, else one in the temporary folder that only the
// user may enter. Where that folder is not the user's own (anybody may make
// it first) the link goes into a folder of a name nobody can guess, made for
// this run; where none can be made, the library is reached through this
// process's open file. Empty when none of these works.
std::string PreloadablePath(const std::string& library)
{
    if (library.find_first_of(kUnspeakable) == std::string::npos)
        return library;
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    const std::string base = runtime != nullptr && runtime[0] == '/' ? runtime : "";
    const std::string folder =
        !base.empty() && base.find_first_of(kUnspeakable) == std::string::npos && IsPrivateFolder(base)
            ? base + "/kestrova"
            : TemporaryFolder() + "/kestrova-" + std::to_string(::getuid());
    if (::mkdir(folder.c_str(), 0700) == 0 || errno == EEXIST)
    {
        // Another user's folder, or one others may write to, could hand the
        // engine a library of theirs.
        if (IsPrivateFolder(folder))
        {
            const std::string link = LinkIn(folder, library);
            if (!link.empty())
                return link;
        }
    }
    if (g_madeFolder.empty() && IsSafeParent(TemporaryFolder()))
    {
        std::string name = TemporaryFolder() + "/kestrova-" + std::to_string(::getuid()) + "-XXXXXX";
        if (::mkdtemp(name.data()) != nullptr)
        {
            if (g_folderMaker == 0)
                std::atexit(RemoveMadeFolder);
            g_madeFolder = name;
            g_folderMaker = ::getpid();
        }
    }
    if (!g_madeFolder.empty())
    {
        g_madeLink = LinkIn(g_madeFolder, library);
        if (!g_madeLink.empty())
            return g_madeLink;
    }
    // The engine's processes run as the user, so they may read this process's
    // files; the descriptor stays open while the program runs.
    const int file = ::open(library.c_str(), O_RDONLY | O_CLOEXEC);
    if (file < 0)
        return std::string();
    const std::string opened = "/proc/" + std::to_string(::getpid()) + "/fd/" + std::to_string(file);
    if (::access(opened.c_str(), R_OK) != 0)
    {
        ::close(file);
        return std::string();
    }
    return opened;
}
} // namespace

void RemovePreloadFolder()
{
    RemoveMadeFolder();
}

bool PreloadOwnLibrary(const std::string& path)
{
    if (path.empty() || path[0] != '/' || ::access(path.c_str(), R_OK) != 0)
        return false;
    const std::string library = PreloadablePath(path);
    if (library.empty())
        return false;
    const char* current = std::getenv(kPreload);
    const std::string list = current != nullptr ? current : "";
    // Already there when a program of ours started this one.
    if (WithoutPreloadEntry(list, library) == list &&
        ::setenv(kPreload, (HasEntries(list) ? list + " " + library : library).c_str(), 1) != 0)
        return false;
    std::vector<std::string>& own = OwnLibraries();
    if (std::find(own.begin(), own.end(), library) == own.end())
        own.push_back(library);
    return true;
}

std::string WithoutPreloadEntry(const std::string& list, const std::string& library)
{
    std::size_t at = list.find_first_not_of(kSeparators);
    std::string kept = list.substr(0, at);
    std::string separators; // those before the entry at `at`
    bool removed = false;
    bool keptAny = false;
    while (at != std::string::npos)
    {
        const std::size_t end = list.find_first_of(kSeparators, at);
        const std::size_t next = list.find_first_not_of(kSeparators, end);
        if (list.compare(at, end - at, library) == 0)
            removed = true;
        else
        {
            if (keptAny)
                kept += separators;
            kept.append(list, at, end - at);
            keptAny = true;
        }
        separators = end == std::string::npos ? std::string() : list.substr(end, next - end);
        at = next;
    }
    return removed ? kept + separators : list;
}

namespace childprocess
{
std::vector<std::string> ChildEnvironment()
{
    const std::string prefix = std::string(kPreload) + "=";
    std::vector<std::string> entries;
    for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry)
    {
        std::string text = *entry;
        if (text.rfind(prefix, 0) == 0)
        {
            const std::string list = text.substr(prefix.size());
            std::string users = list;
            for (const std::string& library : OwnLibraries())
                users = WithoutPreloadEntry(users, library);
            // Gone when it held only ours; as the user set it otherwise.
            if (users != list && !HasEntries(users))
                continue;
            text = prefix + users;
        }
        entries.push_back(std::move(text));
    }
    return entries;
}
} // namespace childprocess

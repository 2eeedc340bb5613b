#include "foundation/uChildEnvironment.h"
#include "foundation/uPrivateFolder.h"
#include "threads/ChildProcesses.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <functional>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

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

// The temporary folder, unless the list cannot hold its path.
std::string LinkTemporaryFolder()
{
    const std::string temporary = TemporaryFolder();
    return temporary.find_first_of(kUnspeakable) == std::string::npos ? temporary : "/tmp";
}

// The link's folder made for this run when the usual one could not be used,
// the link in it, the folder held open (and locked) while the program runs,
// and the process that made them.
std::string g_madeFolder;
std::string g_madeLink;
int g_madeFolderFd = -1;
pid_t g_folderMaker = 0;

std::string MadeFolderPrefix()
{
    return "kestrova-" + std::to_string(::getuid()) + "-";
}

void RemoveMadeFolder()
{
    // Not from a copy of this process that ends without starting a program.
    if (g_madeFolder.empty() || ::getpid() != g_folderMaker)
        return;
    ::unlink(g_madeLink.c_str());
    ::rmdir(g_madeFolder.c_str());
    ::close(g_madeFolderFd);
    g_madeFolderFd = -1;
    g_madeFolder.clear();
}

// The folder made for this run holds a lock on itself for as long as the
// program runs: the kernel lets go of it however the program ends, which is
// how a later start knows the folder is left over.
void MakeFolder(const std::string& temporary)
{
    std::string name = temporary + "/" + MadeFolderPrefix() + "XXXXXX";
    if (::mkdtemp(name.data()) == nullptr)
        return;
    const int folder = ::open(name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    // Waits out a start that looks at the folder before this one has locked
    // it: that start leaves an empty folder as it is.
    if (folder < 0 || ::flock(folder, LOCK_EX) != 0)
    {
        if (folder >= 0)
            ::close(folder);
        ::rmdir(name.c_str());
        return;
    }
    if (g_folderMaker == 0)
        std::atexit(RemoveMadeFolder);
    g_madeFolder = name;
    g_madeFolderFd = folder;
    g_folderMaker = ::getpid();
}

// A name LinkIn gives a link to the library: the library's own, perhaps
// followed by numbers (the copy's, the maker's while it is being made).
bool IsLinkName(const std::string& entry, const std::string& libraryName)
{
    if (entry.compare(0, libraryName.size(), libraryName) != 0)
        return false;
    const std::string rest = entry.substr(libraryName.size());
    return rest.empty() || (rest[0] == '.' && rest.back() != '.' &&
                            rest.find_first_not_of(".0123456789") == std::string::npos &&
                            rest.find("..") == std::string::npos);
}

// True when the link `name` in the open `folder` leads to a file of the
// library's name: one LinkIn made, not a link of the user's to another library.
bool LeadsToLibrary(int folder, const std::string& name, const std::string& libraryName)
{
    char target[PATH_MAX];
    const ssize_t length = ::readlinkat(folder, name.c_str(), target, sizeof target);
    const std::string ending = "/" + libraryName;
    return length > static_cast<ssize_t>(ending.size()) && length < static_cast<ssize_t>(sizeof target) &&
           std::string(target, static_cast<std::size_t>(length))
                   .compare(length - ending.size(), ending.size(), ending) == 0;
}

// The names in the open `folder` when it holds links to the library and
// nothing else; empty otherwise.
std::vector<std::string> OnlyLinks(int folder, const std::string& libraryName)
{
    std::vector<std::string> links;
    const int listed = ::dup(folder);
    DIR* entries = listed >= 0 ? ::fdopendir(listed) : nullptr;
    if (entries == nullptr)
    {
        if (listed >= 0)
            ::close(listed);
        return links;
    }
    while (const dirent* entry = ::readdir(entries))
    {
        const std::string name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        struct stat status = {};
        if (!IsLinkName(name, libraryName) ||
            ::fstatat(folder, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISLNK(status.st_mode) ||
            !LeadsToLibrary(folder, name, libraryName))
        {
            links.clear();
            break;
        }
        links.push_back(name);
    }
    ::closedir(entries);
    return links;
}

// Removes the folders that runs of the program ended without removing (a
// kill, a crash): the user's own, as MakeFolder makes them, unlocked, and
// holding nothing but the link. Never through a link: everything by its
// name in a folder held open.
void RemoveLeftFolders(const std::string& temporary, const std::string& libraryName)
{
    if (!IsSwapProofFolder(temporary))
        return;
    const int parent = ::open(temporary.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* entries = parent >= 0 ? ::fdopendir(parent) : nullptr;
    if (entries == nullptr)
    {
        if (parent >= 0)
            ::close(parent);
        return;
    }
    const std::string prefix = MadeFolderPrefix();
    std::vector<std::string> names;
    while (const dirent* entry = ::readdir(entries))
    {
        const std::string name = entry->d_name;
        if (name.size() == prefix.size() + 6 && name.compare(0, prefix.size(), prefix) == 0)
            names.push_back(name);
    }
    for (const std::string& name : names)
    {
        const int folder = ::openat(parent, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (folder < 0)
            continue;
        struct stat status = {};
        if (::fstat(folder, &status) == 0 && status.st_uid == ::getuid() &&
            (status.st_mode & 07777) == 0700 && ::flock(folder, LOCK_EX | LOCK_NB) == 0)
        {
            const std::vector<std::string> links = OnlyLinks(folder, libraryName);
            for (const std::string& link : links)
                ::unlinkat(folder, link.c_str(), 0);
            if (!links.empty())
                ::unlinkat(parent, name.c_str(), AT_REMOVEDIR);
        }
        ::close(folder);
    }
    ::closedir(entries);
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
// library whose path holds one is preloaded through a link in a folder of the
// user's own: the session's runtime folder, else one in the temporary folder
// that only the user may enter. Where that folder cannot be had (anybody may
// make it first, or swap it for theirs) the link goes into a folder of a name
// nobody can guess, made for this run; where none can be made, the library
// is reached through this process's open file. Empty when none of these works.
std::string PreloadablePath(const std::string& library)
{
    if (library.find_first_of(kUnspeakable) == std::string::npos)
        return library;
    const std::string runtime = UserRuntimeFolder();
    const std::string folder =
        !runtime.empty() && runtime.find_first_of(kUnspeakable) == std::string::npos
            ? OwnFolderIn(runtime, "kestrova")
            : OwnFolderIn(LinkTemporaryFolder(), "kestrova-" + std::to_string(::getuid()));
    if (!folder.empty())
    {
        const std::string link = LinkIn(folder, library);
        if (!link.empty())
            return link;
    }
    if (g_madeFolder.empty() && IsSwapProofFolder(LinkTemporaryFolder()))
        MakeFolder(LinkTemporaryFolder());
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
    RemoveLeftFolders(LinkTemporaryFolder(), path.substr(path.rfind('/') + 1));
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

#include "foundation/uChildEnvironment.h"
#include "threads/ChildProcesses.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

extern char** environ;

namespace
{
constexpr const char* kPreload = "LD_PRELOAD";
// What the dynamic linker splits the list at.
constexpr const char* kSeparators = " :";

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

// The dynamic linker has no escape for a blank or a colon, so a library whose
// path holds one is preloaded through a link in a folder of the user's own:
// the session's runtime folder, else one in /tmp that only the user may
// enter. Empty when no such link can be made.
std::string PreloadablePath(const std::string& library)
{
    if (library.find_first_of(kSeparators) == std::string::npos)
        return library;
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    const std::string base = runtime != nullptr && runtime[0] == '/' ? runtime : "";
    const std::string folder = !base.empty() && base.find_first_of(kSeparators) == std::string::npos
                                   ? base + "/kestrova"
                                   : "/tmp/kestrova-" + std::to_string(::getuid());
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
        return std::string();
    // Another user's folder, or one others may write to, could hand the
    // engine a library of theirs.
    struct stat status = {};
    if (::lstat(folder.c_str(), &status) != 0 || !S_ISDIR(status.st_mode) || status.st_uid != ::getuid() ||
        (status.st_mode & 077) != 0)
        return std::string();
    const std::string link = folder + library.substr(library.rfind('/'));
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
} // namespace

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

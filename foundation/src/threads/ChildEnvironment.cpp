#include "foundation/uChildEnvironment.h"
#include "threads/ChildProcesses.h"

#include <algorithm>
#include <cstdlib>
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
} // namespace

bool PreloadOwnLibrary(const std::string& library)
{
    if (library.empty() || library[0] != '/' || library.find_first_of(kSeparators) != std::string::npos ||
        ::access(library.c_str(), R_OK) != 0)
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

#include "threads/ProcFiles.h"

#include <climits>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

namespace procfiles
{

namespace
{

std::string ReadSmallFile(const std::string& path, int folder = AT_FDCWD)
{
    int fd = ::openat(folder, path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return {};
    char buffer[1024];
    ssize_t got = ::read(fd, buffer, sizeof buffer);
    ::close(fd);
    return got > 0 ? std::string(buffer, static_cast<size_t>(got)) : std::string();
}

// The name in stat is between the first "(" and the last ")": it may hold
// blanks and parentheses itself.
char StateOf(const std::string& stat)
{
    size_t close = stat.rfind(')');
    if (close == std::string::npos || close + 2 >= stat.size())
        return 0;
    return stat[close + 2];
}

} // namespace

char ProcessState(int processId)
{
    if (processId <= 0)
        return 0;
    return StateOf(ReadSmallFile("/proc/" + std::to_string(processId) + "/stat"));
}

char StateAt(int folder)
{
    return folder < 0 ? 0 : StateOf(ReadSmallFile("stat", folder));
}

bool IsLive(char state)
{
    return state != 0 && state != 'Z' && state != 'X' && state != 'x';
}

std::string ExecutableName(int processId)
{
    std::string folder = "/proc/" + std::to_string(processId);
    char target[PATH_MAX];
    ssize_t length = ::readlink((folder + "/exe").c_str(), target, sizeof target - 1);
    if (length > 0)
    {
        std::string path(target, static_cast<size_t>(length));
        const std::string deleted = " (deleted)";
        if (path.size() > deleted.size() &&
            path.compare(path.size() - deleted.size(), deleted.size(), deleted) == 0)
            path.resize(path.size() - deleted.size());
        return path.substr(path.rfind('/') + 1);
    }
    std::string stat = ReadSmallFile(folder + "/stat");
    size_t open = stat.find('(');
    size_t close = stat.rfind(')');
    if (open == std::string::npos || close == std::string::npos || close < open)
        return {};
    return stat.substr(open + 1, close - open - 1);
}

int CountThreads(int processId)
{
    if (processId <= 0)
        return 0;
    DIR* folder = ::opendir(("/proc/" + std::to_string(processId) + "/task").c_str());
    if (!folder)
        return 0;
    int count = 0;
    while (dirent* entry = ::readdir(folder))
        if (entry->d_name[0] != '.')
            ++count;
    ::closedir(folder);
    return count;
}

} // namespace procfiles

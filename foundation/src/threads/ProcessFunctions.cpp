#include "foundation/uProcess.h"
#include "threads/ChildProcesses.h"
#include "threads/ProcFiles.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <unistd.h>

namespace
{

// The pipe for the mode, both ends close-on-exec; the child's end is moved
// to its standard descriptor by the spawn.
bool OpenModePipe(const char* mode, int& ours, int& childInput, int& childOutput)
{
    if (!mode || (std::strcmp(mode, "r") != 0 && std::strcmp(mode, "w") != 0))
        return false;
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0)
        return false;
    if (mode[0] == 'r')
    {
        ours = ends[0];
        childOutput = ends[1];
    }
    else
    {
        ours = ends[1];
        childInput = ends[0];
    }
    return true;
}

} // namespace

namespace childprocess
{

ChildHandle SpawnCommand(const char* commandLine, const char* mode, int* pipe)
{
    *pipe = -1;
    int ours = -1, childInput = -1, childOutput = -1;
    if (mode && !OpenModePipe(mode, ours, childInput, childOutput))
        return nullptr;
    auto child = Spawn(SplitCommandLine(commandLine), childInput, childOutput);
    // The child holds its own copy of its end from here on.
    CloseHandleIfSet(childInput);
    CloseHandleIfSet(childOutput);
    if (!child)
        CloseHandleIfSet(ours);
    *pipe = ours;
    return child;
}

} // namespace childprocess

int RunProcessWithPipe(const char* commandLine, const char* mode, int* processId)
{
    int pipe = -1;
    auto child = childprocess::SpawnCommand(commandLine, mode ? mode : "", &pipe);
    if (processId)
        *processId = static_cast<int>(childprocess::ProcessId(child));
    return pipe;
}

int RunProcess(const char* commandLine)
{
    int pipe = -1;
    return static_cast<int>(childprocess::ProcessId(childprocess::SpawnCommand(commandLine, nullptr, &pipe)));
}

char* ReadPipeLine(char* buffer, int count, int pipe)
{
    if (!buffer || count <= 0)
        return nullptr;
    // One byte short of count: the NUL must fit in the caller's buffer too.
    int length = 0;
    while (length < count - 1)
    {
        char byte;
        ssize_t got = ::read(pipe, &byte, 1);
        if (got < 0 && errno == EINTR)
            continue;
        if (got != 1)
            break;
        buffer[length++] = byte;
        if (byte == '\n')
            break;
    }
    buffer[length] = '\0';
    return length > 0 ? buffer : nullptr;
}

bool IsProcessAlive(int processId)
{
    if (processId <= 0)
        return false;
    // A child of ours is asked through its record: a zombie is only reaped there.
    if (auto child = childprocess::FindUnreaped(processId))
        return !childprocess::HasEnded(child);
    return procfiles::IsLive(procfiles::ProcessState(processId));
}

bool KillProcess(int processId)
{
    if (processId <= 0)
        return false;
    if (auto child = childprocess::FindUnreaped(processId))
        return childprocess::Signal(child, SIGKILL);
    return IsProcessAlive(processId) && ::kill(processId, SIGKILL) == 0;
}

int FindProcessIdByName(const char* name)
{
    if (!name || !*name)
        return 0;
    DIR* folder = ::opendir("/proc");
    if (!folder)
        return 0;
    const int self = static_cast<int>(::getpid());
    int found = 0;
    while (dirent* entry = ::readdir(folder))
    {
        char* end = nullptr;
        long pid = std::strtol(entry->d_name, &end, 10);
        if (pid <= 0 || *end != '\0' || pid == self)
            continue;
        if (!procfiles::IsLive(procfiles::ProcessState(static_cast<int>(pid))))
            continue;
        if (::strcasecmp(procfiles::ExecutableName(static_cast<int>(pid)).c_str(), name) == 0)
        {
            found = static_cast<int>(pid);
            break;
        }
    }
    ::closedir(folder);
    return found;
}

bool FindProcessByName(const char* name)
{
    return FindProcessIdByName(name) != 0;
}

int ActivateProcessThreads(int processId)
{
    if (processId <= 0)
        return 0;
    // Linux has no thread message queues to post activation to; waking the
    // process is what remains of it: a stopped process runs again.
    int threads = procfiles::CountThreads(processId);
    if (threads > 0)
        ::kill(processId, SIGCONT);
    return threads;
}

void CloseHandleIfSet(int& handle)
{
    if (handle >= 0)
        ::close(handle);
    handle = -1;
}

#include "threads/ChildProcesses.h"

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <fcntl.h>
#include <functional>
#include <map>
#include <mutex>
#include <pthread.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

namespace childprocess
{

struct ChildRecord
{
    pid_t pid = 0;
    bool reaped = false;
    int exitCode = -1;
    std::function<void(int)> onEnd;
};

namespace
{

// One table for the process. Reaping happens only under its lock, so that a
// child that is signalled under the same lock cannot have been replaced by
// another process with its id.
struct ChildTable
{
    std::mutex lock;
    std::condition_variable ended;
    std::map<pid_t, std::weak_ptr<ChildRecord>> unreaped;
};

ChildTable& Table()
{
    // Never destroyed: reaper threads may still use it while the program exits.
    static ChildTable* table = new ChildTable;
    return *table;
}

int ExitCodeOf(int status)
{
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    if (WIFSIGNALED(status))
        return 128 + WTERMSIG(status);
    return -1;
}

// With the table's lock held.
void ReapIfEnded(ChildTable& table, ChildRecord& record)
{
    if (record.reaped)
        return;
    int status = 0;
    pid_t done = ::waitpid(record.pid, &status, WNOHANG);
    if (done == 0 || (done < 0 && errno == EINTR))
        return;
    // ECHILD: someone else reaped it (or SIGCHLD is ignored); the status is lost.
    record.exitCode = done == record.pid ? ExitCodeOf(status) : -1;
    record.reaped = true;
    table.unreaped.erase(record.pid);
    table.ended.notify_all();
}

void* ReaperEntry(void* parameter)
{
    auto* holder = static_cast<ChildHandle*>(parameter);
    ChildHandle child = *holder;
    delete holder;
    // WNOWAIT leaves the child a zombie, so that it is reaped under the lock.
    siginfo_t info{};
    while (::waitid(P_PID, static_cast<id_t>(child->pid), &info, WEXITED | WNOWAIT) != 0 && errno == EINTR)
    {
    }
    ChildTable& table = Table();
    int exitCode = -1;
    {
        std::lock_guard<std::mutex> guard(table.lock);
        ReapIfEnded(table, *child);
        exitCode = child->exitCode;
    }
    // Outside the lock: the owner may ask about other children from here.
    if (child->onEnd)
        child->onEnd(exitCode);
    return nullptr;
}

void WatchInBackground(const ChildHandle& child)
{
    pthread_attr_t attributes;
    ::pthread_attr_init(&attributes);
    ::pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
    ::pthread_attr_setstacksize(&attributes, 64 * 1024);
    pthread_t reaper;
    auto* holder = new ChildHandle(child);
    // Without a reaper the child is still reaped when someone asks about it.
    if (::pthread_create(&reaper, &attributes, ReaperEntry, holder) != 0)
        delete holder;
    ::pthread_attr_destroy(&attributes);
}

} // namespace

ChildHandle Spawn(const std::vector<uString>& arguments, int childInput, int childOutput, int childError,
                  std::function<void(int exitCode)> onEnd)
{
    if (arguments.empty() || arguments[0].isEmpty())
        return nullptr;
    std::vector<char*> argv;
    for (const uString& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    if (childInput >= 0)
        ::posix_spawn_file_actions_adddup2(&actions, childInput, STDIN_FILENO);
    else
        ::posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    if (childOutput >= 0)
        ::posix_spawn_file_actions_adddup2(&actions, childOutput, STDOUT_FILENO);
    if (childError >= 0)
        ::posix_spawn_file_actions_adddup2(&actions, childError, STDERR_FILENO);
    // Descriptors without O_CLOEXEC (from libraries) must not leak into the child.
    ::posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);

    posix_spawnattr_t attributes;
    ::posix_spawnattr_init(&attributes);
    sigset_t signals;
    sigemptyset(&signals);
    ::posix_spawnattr_setsigmask(&attributes, &signals);
    // Signals this process ignores (SIGPIPE, for one) start at their defaults in the child.
    sigset_t defaults;
    sigemptyset(&defaults);
    for (int signal : {SIGPIPE, SIGINT, SIGQUIT, SIGHUP, SIGTERM, SIGCHLD, SIGUSR1, SIGUSR2})
        sigaddset(&defaults, signal);
    ::posix_spawnattr_setsigdefault(&attributes, &defaults);
    ::posix_spawnattr_setflags(&attributes,
                               POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSID);

    std::vector<std::string> environment = ChildEnvironment();
    std::vector<char*> envp;
    for (std::string& entry : environment)
        envp.push_back(entry.data());
    envp.push_back(nullptr);

    pid_t pid = 0;
    int result = ::posix_spawnp(&pid, argv[0], &actions, &attributes, argv.data(), envp.data());
    ::posix_spawnattr_destroy(&attributes);
    ::posix_spawn_file_actions_destroy(&actions);
    if (result != 0)
        return nullptr;

    auto child = std::make_shared<ChildRecord>();
    child->pid = pid;
    child->onEnd = std::move(onEnd);
    {
        ChildTable& table = Table();
        std::lock_guard<std::mutex> guard(table.lock);
        table.unreaped[pid] = child;
    }
    WatchInBackground(child);
    return child;
}

pid_t ProcessId(const ChildHandle& child)
{
    return child ? child->pid : 0;
}

bool HasEnded(const ChildHandle& child)
{
    if (!child)
        return true;
    ChildTable& table = Table();
    std::lock_guard<std::mutex> guard(table.lock);
    ReapIfEnded(table, *child);
    return child->reaped;
}

bool WaitForEnd(const ChildHandle& child, int timeoutMs, int* exitCode)
{
    if (!child)
        return false;
    ChildTable& table = Table();
    std::unique_lock<std::mutex> guard(table.lock);
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    // In slices, so that a child without a reaper thread is still seen to end.
    for (ReapIfEnded(table, *child); !child->reaped; ReapIfEnded(table, *child))
    {
        auto slice = std::chrono::steady_clock::now() + std::chrono::milliseconds(50);
        if (timeoutMs >= 0)
        {
            if (std::chrono::steady_clock::now() >= deadline)
                return false;
            slice = std::min(slice, deadline);
        }
        table.ended.wait_until(guard, slice);
    }
    if (exitCode)
        *exitCode = child->exitCode;
    return true;
}

bool Signal(const ChildHandle& child, int signal)
{
    if (!child)
        return false;
    ChildTable& table = Table();
    std::lock_guard<std::mutex> guard(table.lock);
    ReapIfEnded(table, *child);
    return !child->reaped && ::kill(child->pid, signal) == 0;
}

ChildHandle FindUnreaped(pid_t pid)
{
    ChildTable& table = Table();
    std::lock_guard<std::mutex> guard(table.lock);
    auto found = table.unreaped.find(pid);
    return found == table.unreaped.end() ? nullptr : found->second.lock();
}

} // namespace childprocess

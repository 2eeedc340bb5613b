#include "foundation/uProcess.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <pthread.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace
{

void* ReapChild(void* parameter)
{
    pid_t child = static_cast<pid_t>(reinterpret_cast<intptr_t>(parameter));
    int status;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR)
    {
    }
    return nullptr;
}

// Waits for the child on a small detached thread, so that no zombie stays behind.
void ReapInBackground(pid_t child)
{
    pthread_attr_t attributes;
    ::pthread_attr_init(&attributes);
    ::pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
    ::pthread_attr_setstacksize(&attributes, 64 * 1024);
    pthread_t reaper;
    if (::pthread_create(&reaper, &attributes, ReapChild,
                         reinterpret_cast<void*>(static_cast<intptr_t>(child))) != 0)
        ReapChild(reinterpret_cast<void*>(static_cast<intptr_t>(child)));
    ::pthread_attr_destroy(&attributes);
}

} // namespace

std::vector<uString> SplitCommandLine(const char* commandLine)
{
    std::vector<uString> words;
    if (!commandLine)
        return words;
    std::string word;
    bool inWord = false;
    for (const char* p = commandLine; *p; ++p)
    {
        char c = *p;
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n')
        {
            if (inWord)
                words.emplace_back(word.c_str());
            word.clear();
            inWord = false;
            continue;
        }
        inWord = true;
        if (c == '\\' && p[1])
            word += *++p;
        else if (c == '\'')
        {
            while (p[1] && p[1] != '\'')
                word += *++p;
            if (p[1])
                ++p;
        }
        else if (c == '"')
        {
            while (p[1] && p[1] != '"')
            {
                if (p[1] == '\\' && (p[2] == '"' || p[2] == '\\'))
                    ++p;
                word += *++p;
            }
            if (p[1])
                ++p;
        }
        else
            word += c;
    }
    if (inWord)
        words.emplace_back(word.c_str());
    return words;
}

int RunCommandLine(const std::vector<uString>& arguments)
{
    if (arguments.empty() || arguments[0].isEmpty())
        return 0;
    std::vector<char*> argv;
    for (const uString& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
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

    pid_t child = 0;
    int result = ::posix_spawnp(&child, argv[0], &actions, &attributes, argv.data(), environ);
    ::posix_spawnattr_destroy(&attributes);
    ::posix_spawn_file_actions_destroy(&actions);
    if (result != 0)
        return 0;
    ReapInBackground(child);
    return static_cast<int>(child);
}

int RunCommandLine(const uString& commandLine)
{
    return RunCommandLine(SplitCommandLine(commandLine.c_str()));
}

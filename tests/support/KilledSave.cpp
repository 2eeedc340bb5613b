#include "support/KilledSave.h"

#include <cerrno>
#include <csignal>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace testsupport
{

bool RunKilledInsideWrite(const std::function<void()>& save, std::size_t byteLimit)
{
    const pid_t child = ::fork();
    if (child < 0)
        return false;
    if (child == 0)
    {
        // The signal must end the child as its default does, and leave no core behind.
        ::signal(SIGXFSZ, SIG_DFL);
        const struct rlimit noCore = {0, 0};
        ::setrlimit(RLIMIT_CORE, &noCore);
        const struct rlimit limit = {byteLimit, byteLimit};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        save();
        ::_exit(0);
    }
    int status = 0;
    pid_t ended;
    do
        ended = ::waitpid(child, &status, 0);
    while (ended < 0 && errno == EINTR);
    return ended == child && WIFSIGNALED(status) && WTERMSIG(status) == SIGXFSZ;
}

} // namespace testsupport

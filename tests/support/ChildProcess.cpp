#include "support/ChildProcess.h"

#include "support/TempDir.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace testsupport
{

namespace
{

constexpr int kSliceMs = 20;

sockaddr_in Loopback(int port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(port));
    return address;
}

int ConnectLoopback(int port)
{
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    sockaddr_in address = Loopback(port);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
    {
        ::close(fd);
        return -1;
    }
    return fd;
}

// A socket bound to 127.0.0.1 on a port the system picks, listening if asked; -1 on failure.
int BindLoopback(bool listening, int* port)
{
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    sockaddr_in address = Loopback(0);
    socklen_t length = sizeof address;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        (listening && ::listen(fd, 64) != 0) ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
    {
        ::close(fd);
        return -1;
    }
    *port = ntohs(address.sin_port);
    return fd;
}

} // namespace

ChildProcess::ChildProcess(const std::vector<std::string>& argv, const std::string& logPath,
                           const std::vector<std::string>& environment, int inheritedSocket)
    : m_logPath(logPath)
{
    // Everything the child needs is prepared before fork: after it only async-signal-safe calls.
    std::vector<char*> args;
    for (const std::string& arg : argv)
        args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    std::vector<char*> env;
    for (char** entry = environ; entry && *entry; ++entry)
        env.push_back(*entry);
    for (const std::string& entry : environment)
        env.push_back(const_cast<char*>(entry.c_str()));
    env.push_back(nullptr);

    int log = ::open(logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    int devNull = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    const pid_t parent = ::getpid();
    m_pid = ::fork();
    if (m_pid < 0)
    {
        ::close(log);
        ::close(devNull);
        throw std::runtime_error("ChildProcess: fork failed");
    }
    if (m_pid == 0)
    {
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (::getppid() != parent)
            ::_exit(126);
        if (devNull >= 0)
            ::dup2(devNull, 0);
        if (log >= 0)
        {
            ::dup2(log, 1);
            ::dup2(log, 2);
        }
        // dup2 clears close-on-exec on the copy; a socket that already is descriptor 3 keeps it.
        if (inheritedSocket == 3)
            ::fcntl(3, F_SETFD, 0);
        else if (inheritedSocket >= 0)
            ::dup2(inheritedSocket, 3);
        ::execve(args[0], args.data(), env.data());
        ::_exit(127);
    }
    ::close(log);
    ::close(devNull);
}

ChildProcess::~ChildProcess()
{
    stop();
}

bool ChildProcess::running()
{
    if (m_pid <= 0)
        return false;
    pid_t done = ::waitpid(m_pid, &m_status, WNOHANG);
    if (done == m_pid || (done < 0 && errno == ECHILD))
    {
        m_pid = -1;
        return false;
    }
    return true;
}

int ChildProcess::waitForExit(int timeoutMs)
{
    for (int waited = 0; running() && waited < timeoutMs; waited += kSliceMs)
        std::this_thread::sleep_for(std::chrono::milliseconds(kSliceMs));
    if (running() || !WIFEXITED(m_status))
        return -1;
    return WEXITSTATUS(m_status);
}

void ChildProcess::signal(int number)
{
    if (running())
        ::kill(m_pid, number);
}

void ChildProcess::stop()
{
    if (!running())
        return;
    ::kill(m_pid, SIGTERM);
    for (int waited = 0; waited < 2000; waited += kSliceMs)
    {
        if (!running())
            return;
        std::this_thread::sleep_for(std::chrono::milliseconds(kSliceMs));
    }
    ::kill(m_pid, SIGKILL);
    ::waitpid(m_pid, &m_status, 0);
    m_pid = -1;
}

std::string ChildProcess::log() const
{
    return ReadFileBytes(m_logPath);
}

std::string ChildProcess::waitForOutput(const std::string& prefix, int timeoutMs)
{
    for (int waited = 0;; waited += kSliceMs)
    {
        // Asked before reading: a child that printed the line and then ended still finds it.
        const bool alive = running();
        const std::string output = log();
        for (std::size_t start = 0, end; (end = output.find('\n', start)) != std::string::npos;
             start = end + 1)
            if (output.compare(start, prefix.size(), prefix) == 0 && end - start >= prefix.size())
                return output.substr(start + prefix.size(), end - start - prefix.size());
        if (!alive || waited >= timeoutMs)
            return {};
        std::this_thread::sleep_for(std::chrono::milliseconds(kSliceMs));
    }
}

int RunProgram(const std::vector<std::string>& argv, const std::string& logPath, int timeoutMs)
{
    ChildProcess process(argv, logPath);
    return process.waitForExit(timeoutMs);
}

ClosedPort::ClosedPort()
{
    m_fd = BindLoopback(/*listening=*/false, &m_port);
    if (m_fd < 0)
        throw std::runtime_error("ClosedPort: cannot bind on 127.0.0.1");
}

ClosedPort::~ClosedPort()
{
    ::close(m_fd);
}

std::string ClosedPort::url(const std::string& path) const
{
    return "http://127.0.0.1:" + std::to_string(m_port) + path;
}

std::string ReadGreeting(int port, int timeoutMs)
{
    int fd = ConnectLoopback(port);
    if (fd < 0)
        return {};
    std::string line;
    for (int waited = 0; waited < timeoutMs && line.find('\n') == std::string::npos; waited += kSliceMs)
    {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, kSliceMs) <= 0)
            continue;
        char chunk[512];
        ssize_t got = ::recv(fd, chunk, sizeof chunk, 0);
        if (got <= 0)
            break;
        line.append(chunk, static_cast<std::size_t>(got));
    }
    ::close(fd);
    return line.substr(0, line.find('\n'));
}

std::unique_ptr<ChildProcess> StartGreetingServer(const std::vector<std::string>& argv,
                                                  const std::string& logPath, int* port)
{
    const int listener = BindLoopback(/*listening=*/true, port);
    if (listener < 0)
        return nullptr;
    std::unique_ptr<ChildProcess> process;
    try
    {
        process = std::make_unique<ChildProcess>(argv, logPath, std::vector<std::string>{}, listener);
    }
    catch (...)
    {
        ::close(listener);
        throw;
    }
    // Only the child holds the socket now, so a child that dies closes it and the greeting below
    // fails at once instead of waiting in the backlog.
    ::close(listener);
    // Connections queue on the socket while the program starts up: this waits for its greeting.
    if (ReadGreeting(*port, 15000).rfind("220", 0) != 0)
        return nullptr;
    return process;
}

} // namespace testsupport

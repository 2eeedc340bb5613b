#pragma once

#include <memory>
#include <string>
#include <sys/types.h>
#include <vector>

namespace testsupport
{

// A helper program started by a test (a Python server, openssl). Its stdout and stderr go to a
// log file; the destructor ends it (SIGTERM, then SIGKILL after two seconds) and reaps it.
// The child also gets SIGTERM when the thread that started it ends, so a crashed test leaves no
// server behind: start children from the test's own thread, not from a short-lived one.
class ChildProcess
{
public:
    // argv[0] must be an absolute path; no shell is involved. `environment` adds "NAME=value"
    // entries to the inherited environment. `inheritedSocket`, if given, is the child's descriptor
    // 3 (the caller keeps its own copy). Throws std::runtime_error when fork fails.
    ChildProcess(const std::vector<std::string>& argv, const std::string& logPath,
                 const std::vector<std::string>& environment = {}, int inheritedSocket = -1);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool running(); // reaps the child when it has ended
    // Waits up to timeoutMs for the child to end by itself; its exit status, or -1 if it still runs
    // (or died from a signal).
    int waitForExit(int timeoutMs);
    void stop();             // idempotent
    void signal(int number); // sends the signal while the child runs
    pid_t pid() const { return m_pid; }
    std::string log() const;
    // Waits up to timeoutMs for a whole line of the child's output that starts with `prefix`; the
    // rest of that line, or empty when the child ended or the time ran out without it.
    std::string waitForOutput(const std::string& prefix, int timeoutMs);

private:
    pid_t m_pid = -1;
    int m_status = 0;
    std::string m_logPath;
};

// Runs a program to its end (at most timeoutMs, then it is killed); its exit status, or -1.
int RunProgram(const std::vector<std::string>& argv, const std::string& logPath, int timeoutMs = 30000);

// A port on 127.0.0.1 that refuses every connection while the object lives: it is bound but
// never listens. A port merely released may be bound a moment later by a server of a test running
// in another process, which would then receive the requests meant to fail.
class ClosedPort
{
public:
    ClosedPort(); // throws std::runtime_error when it cannot bind
    ~ClosedPort();
    ClosedPort(const ClosedPort&) = delete;
    ClosedPort& operator=(const ClosedPort&) = delete;

    int port() const { return m_port; }
    std::string url(const std::string& path = "/") const; // "http://127.0.0.1:PORT" + path

private:
    int m_fd = -1;
    int m_port = 0;
};

// Reads a greeting line from a fresh connection (FTP and SMTP servers greet first); empty on failure.
std::string ReadGreeting(int port, int timeoutMs = 5000);

// Starts a server program that serves the listening socket it inherits as descriptor 3, and waits
// until it greets a connection with "220" as FTP and SMTP servers do. The socket is made here on
// 127.0.0.1 and a port the system picks, so no other process can take the port before the
// program serves it. Sets *port; null (the program stopped, its log kept) when it did not greet.
std::unique_ptr<ChildProcess> StartGreetingServer(const std::vector<std::string>& argv,
                                                  const std::string& logPath, int* port);

} // namespace testsupport

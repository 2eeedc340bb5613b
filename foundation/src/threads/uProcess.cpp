#include "foundation/uProcess.h"

#include "threads/ChildProcesses.h"

#include <csignal>
#include <cstring>

namespace
{

// How long kill waits for a killed child to be reaped; SIGKILL is prompt
// unless the child is stuck in the kernel.
constexpr int kKillWaitMs = 10000;

} // namespace

uProcess::uProcess() : m_startTime(std::time(nullptr)) {}

uProcess::uProcess(const char* commandLine, const char* pipeMode)
    : m_commandLine(commandLine ? commandLine : ""), m_pipeMode(pipeMode ? pipeMode : ""),
      m_state(kStateCommand)
{
}

uProcess::~uProcess()
{
    if (m_processId != 0)
        stop();
    CloseHandleIfSet(m_pipe);
}

bool uProcess::spawn(bool withPipe)
{
    if (m_child)
        return false;
    int pipe = -1;
    // Read before the child exists: read after, the clock may pass a second
    // the child has already run in, and a one-second run would count none.
    const std::time_t started = std::time(nullptr);
    auto child =
        childprocess::SpawnCommand(m_commandLine.c_str(), withPipe ? m_pipeMode.c_str() : nullptr, &pipe);
    if (!child)
        return false;
    m_child = child;
    m_processId = static_cast<int>(childprocess::ProcessId(child));
    m_pipe = pipe;
    m_startTime = started;
    return true;
}

bool uProcess::start(bool captured)
{
    if (m_commandLine.isEmpty() || (captured && m_pipeMode.isEmpty()))
        return false;
    if (!spawn(captured))
        return false;
    m_state = kStateRunning;
    return true;
}

int uProcess::startCaptured()
{
    if (m_commandLine.isEmpty() || !spawn(true))
        return -1;
    return m_pipe;
}

bool uProcess::poll()
{
    if (m_processId == 0)
        return false;
    if (!childprocess::HasEnded(m_child))
    {
        if (m_state != kStateDetached)
            m_state = kStateRunning;
        return true;
    }
    if (m_state == kStateRunning)
    {
        // The end seen here is the run's end: without it the elapsed time
        // would count from the epoch.
        m_state = kStateFinished;
        m_endTime = std::time(nullptr);
    }
    return false;
}

bool uProcess::kill()
{
    if (!poll())
        return false;
    CloseHandleIfSet(m_pipe);
    int exitCode = 0;
    if (childprocess::Signal(m_child, SIGKILL) && childprocess::WaitForEnd(m_child, kKillWaitMs, &exitCode))
        m_exitCode = static_cast<uint32_t>(exitCode);
    m_endTime = std::time(nullptr);
    bool running = poll();
    if (!running)
    {
        m_processId = 0;
        m_child.reset();
    }
    return running;
}

void uProcess::stop()
{
    if (m_processId != 0)
        kill();
    m_state = kStateStopped;
    m_endTime = std::time(nullptr);
}

bool uProcess::wait(uint32_t* exitCode)
{
    if (m_processId == 0 || !m_child)
        return false;
    int code = -1;
    childprocess::WaitForEnd(m_child, -1, &code);
    m_state = kStateFinished;
    m_endTime = std::time(nullptr);
    m_exitCode = static_cast<uint32_t>(code);
    if (exitCode)
        *exitCode = m_exitCode;
    return true;
}

long uProcess::getElapsed() const
{
    switch (m_state)
    {
    case kStateRunning:
        return static_cast<long>(std::time(nullptr) - m_startTime);
    case kStateFinished:
    case kStateStopped:
        return static_cast<long>(m_endTime - m_startTime);
    default:
        return 0;
    }
}

char* uProcess::readLine(char* buffer, int size)
{
    if (!(m_pipeMode == "r") || m_pipe < 0)
        return nullptr;
    return ReadPipeLine(buffer, size, m_pipe);
}

void uProcess::markRunning()
{
    m_state = kStateRunning;
    poll();
}

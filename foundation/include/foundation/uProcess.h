#pragma once

#include "foundation/uString.h"

#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <vector>

// Splits a command template into words: blanks separate words; "..." and
// '...' group (inside double quotes a backslash escapes " and \); elsewhere a
// backslash takes the next character literally. Split a template first and
// substitute values inside each word afterwards, so that a value can never
// become more than its one argument.
std::vector<uString> SplitCommandLine(const char* commandLine);

// Starts a program with these arguments (the first names the program, looked
// up on PATH) without a shell, with no inherited descriptors beyond standard
// output and error, standard input from /dev/null, in a session of its own.
// Returns the process id, or 0 when it could not be started. Does not wait;
// the child is reaped in the background.
int RunCommandLine(const std::vector<uString>& arguments);
// The same, and onEnd is called with the exit status (or 128 + the signal
// that ended it) once the program has ended, on a thread of its own.
int RunCommandLine(const std::vector<uString>& arguments, std::function<void(int exitCode)> onEnd);
// The same for a whole command line, split by SplitCommandLine.
int RunCommandLine(const uString& commandLine);
// Runs a program as RunCommandLine does, its output and errors discarded,
// and waits for its end: its exit status, or -1 when it could not be started.
int RunCommandLineQuietly(const std::vector<uString>& arguments);

namespace childprocess
{
struct ChildRecord;
}

// A child process run from a command line (split as above, no shell), either
// plain or with one end of a pipe: in mode "r" we read its standard output, in
// mode "w" we write its standard input. The pipe belongs to the object.
class uProcess
{
public:
    static constexpr int kStateCreated = 0;
    static constexpr int kStateCommand = 1;
    static constexpr int kStateRunning = 2;
    static constexpr int kStateFinished = 3;
    static constexpr int kStateDetached = 4;
    static constexpr int kStateStopped = 5;

    uProcess();
    uProcess(const char* commandLine, const char* pipeMode);
    // Stops a process it still has an id for and closes the pipe.
    virtual ~uProcess();
    uProcess(const uProcess&) = delete;
    uProcess& operator=(const uProcess&) = delete;

    // Starts the command, with the pipe of the mode when captured. True when
    // a process was started.
    bool start(bool captured);
    // Starts the command with the pipe of the mode; our end, or -1.
    int startCaptured();
    // True while the process runs (state 2, or 4 when detached); a process
    // found ended moves from 2 to 3.
    bool poll();
    // Kills a running process (SIGKILL) after closing the pipe and waits
    // briefly for its end; returns poll(), and forgets the id when that is false.
    bool kill();
    void stop();
    // Waits for the end without bound; false without a process.
    bool wait(uint32_t* exitCode);
    // Seconds since the start while running; from start to end once ended or stopped.
    long getElapsed() const;
    // One line from the pipe in mode "r" (see ReadPipeLine); null otherwise.
    char* readLine(char* buffer, int size);
    void markRunning();
    void detach() { m_state = kStateDetached; }
    void setExitCode(uint32_t exitCode) { m_exitCode = exitCode; }

    const uString& getCommandLine() const { return m_commandLine; }
    const uString& getPipeMode() const { return m_pipeMode; }
    int getProcessId() const { return m_processId; }
    int getPipe() const { return m_pipe; }
    // The exit status, or 128 + the signal that ended the process.
    uint32_t getExitCode() const { return m_exitCode; }
    int getState() const { return m_state; }

private:
    bool spawn(bool withPipe);

    uString m_commandLine;
    uString m_pipeMode;
    int m_processId = 0;
    int m_pipe = -1;
    uint32_t m_exitCode = 0;
    int m_state = kStateCreated;
    time_t m_startTime = 0;
    time_t m_endTime = 0;
    std::shared_ptr<childprocess::ChildRecord> m_child;
};

// Starts a command with a pipe: mode "r" gives the child's standard output to
// the pipe and returns our reading end, mode "w" gives it the pipe as standard
// input and returns our writing end (close it to give the child end of input).
// -1 on failure; the process id goes to processId (0 on failure).
int RunProcessWithPipe(const char* commandLine, const char* mode, int* processId);
// Starts a command on its own; its process id, or 0.
int RunProcess(const char* commandLine);
// Reads up to count - 1 bytes, stopping after a line feed (kept) or at the end
// of input, and ends them with a NUL. The buffer, or null when nothing was read.
char* ReadPipeLine(char* buffer, int count, int pipe);
// True while the process exists and has not ended (a zombie has ended).
bool IsProcessAlive(int processId);
// Kills a live process with SIGKILL. A child of ours is signalled only before
// it is reaped, so that a reused id is never hit.
bool KillProcess(int processId);
// Whether another process runs an executable of this file name (compared
// without regard to case); this process is never counted.
bool FindProcessByName(const char* name);
// The id of the first such process, 0 when none.
int FindProcessIdByName(const char* name);
// Lets a stopped process run again (SIGCONT) so that it can answer; the
// number of its threads, 0 when it does not exist.
int ActivateProcessThreads(int processId);
// Closes a descriptor unless it is -1, and sets it to -1.
void CloseHandleIfSet(int& handle);

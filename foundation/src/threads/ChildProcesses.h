#pragma once

// Children this process starts: spawned without a shell, watched by a small
// reaper thread each, so that none stays a zombie and the status of one that
// an owner keeps is still there when the owner asks.

#include "foundation/uString.h"

#include <functional>
#include <memory>
#include <string>
#include <sys/types.h>
#include <vector>

namespace childprocess
{

struct ChildRecord;
using ChildHandle = std::shared_ptr<ChildRecord>;

// Starts the program arguments[0] (looked up on PATH) with no descriptor but
// 0, 1 and 2, in a session of its own, in ChildEnvironment(). Standard input
// is childInput, or /dev/null when it is -1; standard output is childOutput,
// and standard error childError, or ours when -1. Null when it could not be
// started. onEnd, when given, is called with the exit status (as WaitForEnd
// gives it) on the child's reaper thread once the child has ended.
ChildHandle Spawn(const std::vector<uString>& arguments, int childInput, int childOutput, int childError = -1,
                  std::function<void(int exitCode)> onEnd = {});

// This process's environment ("NAME=value" entries) without the program's
// own preloaded libraries (see foundation/uChildEnvironment.h).
std::vector<std::string> ChildEnvironment();

// The command line split into words (SplitCommandLine), with a pipe of mode
// "r" or "w", or none for a null mode; our end of the pipe goes to pipe (-1
// without one). Null for an unknown mode or when nothing was started.
ChildHandle SpawnCommand(const char* commandLine, const char* mode, int* pipe);

pid_t ProcessId(const ChildHandle& child);
bool HasEnded(const ChildHandle& child);
// Waits for the end, at most timeoutMs (-1: without bound). True when it has
// ended; then exitCode holds its exit status, or 128 + the signal that ended it.
bool WaitForEnd(const ChildHandle& child, int timeoutMs, int* exitCode);
// Signals the child only while it has not been reaped, so that a reused
// process id is never hit. False when it has already ended.
bool Signal(const ChildHandle& child, int signal);

// For the functions that take a bare process id: the record of a child of ours
// that has not been reaped yet, or null.
ChildHandle FindUnreaped(pid_t pid);

} // namespace childprocess

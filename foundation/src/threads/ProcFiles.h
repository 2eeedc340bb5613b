#pragma once

// Reading /proc: process and thread states and executable names.

#include <string>

namespace procfiles
{

// The state letter of /proc/<pid>/stat ('R', 'S', 'T', 'Z', ...), 0 when the
// process is not there.
char ProcessState(int processId);
// The state letter of the stat file in an open /proc folder (of a process or
// a thread), 0 when it cannot be read: the task is gone.
char StateAt(int folder);
// Running, sleeping or stopped: not a zombie, not dead, not missing.
bool IsLive(char state);
// The file name of the process's executable; the name the kernel keeps for it
// when the executable cannot be read (another user's process).
std::string ExecutableName(int processId);
// The number of entries under /proc/<pid>/task, 0 when none.
int CountThreads(int processId);

} // namespace procfiles

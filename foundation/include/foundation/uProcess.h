#pragma once

#include "foundation/uString.h"

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
// The same for a whole command line, split by SplitCommandLine.
int RunCommandLine(const uString& commandLine);

#include "foundation/uProcess.h"
#include "threads/ChildProcesses.h"

#include <fcntl.h>
#include <string>
#include <unistd.h>

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
    return RunCommandLine(arguments, {});
}

int RunCommandLine(const std::vector<uString>& arguments, std::function<void(int exitCode)> onEnd)
{
    return static_cast<int>(
        childprocess::ProcessId(childprocess::Spawn(arguments, -1, -1, -1, std::move(onEnd))));
}

int RunCommandLine(const uString& commandLine)
{
    return RunCommandLine(SplitCommandLine(commandLine.c_str()));
}

int RunCommandLineQuietly(const std::vector<uString>& arguments)
{
    const int nowhere = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (nowhere < 0)
        return -1;
    childprocess::ChildHandle child = childprocess::Spawn(arguments, -1, nowhere, nowhere);
    ::close(nowhere);
    int exitCode = -1;
    if (!child || !childprocess::WaitForEnd(child, -1, &exitCode))
        return -1;
    return exitCode;
}

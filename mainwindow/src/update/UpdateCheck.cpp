#include "mainwindow/UpdateCheck.h"

#include "feeds/WebFetch.h"
#include "common/Messages.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace update
{
namespace
{
// Decimal after the prefix, held to the int range; false when no digit.
bool ReadNumber(const std::string& text, int& number)
{
    const char* start = text.c_str();
    char* end = nullptr;
    errno = 0;
    long value = std::strtol(start, &end, 10);
    if (end == start)
        return false;
    number = value > INT_MAX ? INT_MAX : value < INT_MIN ? INT_MIN : static_cast<int>(value);
    return true;
}

std::string Trim(const std::string& line)
{
    size_t first = line.find_first_not_of(" \t\r");
    if (first == std::string::npos)
        return {};
    return line.substr(first, line.find_last_not_of(" \t\r") - first + 1);
}
} // namespace

bool ParseVersionFile(std::string_view text, CVersion& version)
{
    struct Field
    {
        const char* prefix;
        int* number;
        bool found;
    } fields[] = {{"major=", &version.major, false},
                  {"minor=", &version.minor, false},
                  {"release=", &version.release, false}};
    std::istringstream lines{std::string(text)};
    for (std::string line; std::getline(lines, line);)
    {
        line = Trim(line);
        for (Field& field : fields)
        {
            std::string_view prefix = field.prefix;
            if (line.compare(0, prefix.size(), prefix) == 0)
                field.found = ReadNumber(line.substr(prefix.size()), *field.number) || field.found;
        }
    }
    return fields[0].found && fields[1].found && fields[2].found;
}

std::string FormatVersion(const CVersion& version)
{
    return std::to_string(version.major) + "." + std::to_string(version.minor) + "." +
           std::to_string(version.release);
}

bool ParsePostedVersion(std::string_view text, CVersion& version)
{
    std::string copy(text);
    char tail = 0;
    return std::sscanf(copy.c_str(), "%d.%d.%d%c", &version.major, &version.minor, &version.release, &tail) ==
           3;
}

bool IsNewerThanProgram(std::string_view posted)
{
    CVersion published;
    return ParsePostedVersion(posted, published) && published > CVersion(kProgramVersion);
}

void CVersionCheckTask::Start(const uString& url, const uFile& target, uWindowHandle owner)
{
    auto* task = new CVersionCheckTask(url, target, owner);
    task->m_thread = new uThread(task);
    if (!task->m_thread->start())
    {
        delete task->m_thread;
        delete task;
    }
}

CVersionCheckTask::CVersionCheckTask(const uString& url, const uFile& target, uWindowHandle owner)
    : m_url(url), m_target(target), m_owner(owner)
{
}

// Worker thread.
void CVersionCheckTask::run()
{
    const std::string path = m_target.getPath().c_str();
    ::unlink(path.c_str()); // a partial file would be resumed
    FetchUrlToFile(m_url, m_target, 0, nullptr, false, false);
    std::ifstream stream(path, std::ios::binary);
    std::ostringstream content;
    content << stream.rdbuf();
    stream.close();
    ::unlink(path.c_str());

    const std::string text = content.str();
    if (m_owner != 0)
    {
        CVersion version;
        if (text.empty())
            PostMessage(m_owner, WM_APP_VERSIONCHECKED, 0);
        else
            PostMessage(m_owner, WM_APP_VERSIONCHECKED, 1,
                        uString(ParseVersionFile(text, version) ? FormatVersion(version).c_str() : ""));
    }
    // The thread object first, then the task; the thread ends right after.
    delete m_thread;
    delete this;
}
} // namespace update

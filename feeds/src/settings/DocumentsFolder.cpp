#include "feeds/DocumentsFolder.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <pwd.h>
#include <sstream>
#include <string>
#include <string_view>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace feeds
{

namespace
{

void skipBlanks(std::string_view& text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
}

// One line of the form XDG_DOCUMENTS_DIR="…"; false for any other line.
bool parseLine(std::string_view line, const std::string& home, std::string& value)
{
    skipBlanks(line);
    constexpr std::string_view key = "XDG_DOCUMENTS_DIR";
    if (line.substr(0, key.size()) != key)
        return false;
    line.remove_prefix(key.size());
    skipBlanks(line);
    if (line.empty() || line.front() != '=')
        return false;
    line.remove_prefix(1);
    skipBlanks(line);
    if (line.empty() || line.front() != '"')
        return false;
    line.remove_prefix(1);

    std::string path;
    constexpr std::string_view homeVariable = "$HOME";
    if (line.substr(0, homeVariable.size()) == homeVariable &&
        (line.size() == homeVariable.size() || line[homeVariable.size()] == '/' ||
         line[homeVariable.size()] == '"'))
    {
        path = home;
        line.remove_prefix(homeVariable.size());
    }
    bool closed = false;
    while (!line.empty())
    {
        char c = line.front();
        line.remove_prefix(1);
        if (c == '"')
        {
            closed = true;
            break;
        }
        if (c == '\\' && !line.empty())
        {
            c = line.front();
            line.remove_prefix(1);
        }
        path += c;
    }
    if (!closed || path.empty() || path.front() != '/')
        return false;
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    value = path;
    return true;
}

std::string homeFolder()
{
    if (const char* home = std::getenv("HOME"); home && *home)
        return home;
    long size = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<size_t>(size) : 16384);
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found && found->pw_dir)
        return found->pw_dir;
    return {};
}

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

} // namespace

uString ParseUserDirsDocuments(const char* fileText, const char* home)
{
    std::string result;
    std::string homeText = home ? home : "";
    std::string_view text = fileText ? fileText : "";
    while (!text.empty())
    {
        size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        std::string value;
        if (parseLine(line, homeText, value))
            result = value;
    }
    return uString(result.c_str());
}

bool GetDocumentsDirectory(uString& folder)
{
    std::string home = homeFolder();
    if (home.empty() || home.front() != '/')
        return false;
    std::string configHome;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && xdg[0] == '/')
        configHome = xdg;
    else
        configHome = home + "/.config";

    std::string documents =
        ParseUserDirsDocuments(readFile(configHome + "/user-dirs.dirs").c_str(), home.c_str()).c_str();
    if (documents.empty())
        documents = home + "/Documents";

    std::error_code error;
    std::filesystem::create_directories(documents, error);
    if (!std::filesystem::is_directory(documents, error))
        return false;
    folder.assign(documents.c_str());
    return true;
}

} // namespace feeds

#include "foundation/uFile.h"
#include "uFileSystem.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

bool StatPath(const char* path, struct stat& info)
{
    return path && *path && ::stat(path, &info) == 0;
}

// The last component of a path, trailing separators ignored ("a/b/" gives "b").
std::string LastComponent(const char* path)
{
    std::string text(path);
    while (text.size() > 1 && text.back() == '/')
        text.pop_back();
    std::string::size_type slash = text.rfind('/');
    return slash == std::string::npos ? text : text.substr(slash + 1);
}

// Control characters go too: names come from feed titles, and a line break
// in a folder name splits every playlist line that names a file inside it.
bool IsForbiddenInName(char c)
{
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7F || std::strchr("\\/:*?<>|", c) != nullptr;
}

bool IsBlank(const std::string& name)
{
    return name.find_first_not_of(" \t\r\n") == std::string::npos;
}

// What the name becomes; equal to the input when nothing had to change.
std::string ValidFileName(const char* name)
{
    std::string result;
    for (const char* p = name; *p; ++p)
        if (!IsForbiddenInName(*p))
            result += *p;
    // Such names would step out of, or collapse onto, the folder they are put in.
    if (result == "." || result == ".." || IsBlank(result))
        result.assign(1, '_');
    return result;
}

// Longest extension, dot included, that a cut keeps: beyond that the text
// after the last "." is part of a title, not the kind of the file.
constexpr std::size_t kMaxKeptExtensionBytes = 16;

bool IsUtf8Continuation(char c)
{
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

} // namespace

bool PathExists(const char* path)
{
    struct stat info;
    return StatPath(path, info);
}

bool IsRegularFile(const char* path)
{
    struct stat info;
    return StatPath(path, info) && S_ISREG(info.st_mode);
}

bool IsDirectory(const char* path)
{
    struct stat info;
    return StatPath(path, info) && S_ISDIR(info.st_mode);
}

int64_t GetFileSize(const char* path)
{
    struct stat info;
    if (!StatPath(path, info) || !S_ISREG(info.st_mode))
        return 0;
    return static_cast<int64_t>(info.st_size);
}

time_t GetFileModifiedTime(const char* path)
{
    struct stat info;
    if (!StatPath(path, info) || !S_ISREG(info.st_mode))
        return 0;
    return info.st_mtime;
}

bool IsVisibleFile(const char* path)
{
    if (!PathExists(path))
        return false;
    std::string name = LastComponent(path);
    return name == "." || name == ".." || name.empty() || name[0] != '.';
}

bool IsWritableFile(const char* path)
{
    return IsVisibleFile(path) && ::access(path, W_OK) == 0;
}

bool IsExecutableFile(const char* path)
{
    return IsRegularFile(path) && ::access(path, X_OK) == 0;
}

bool MakeDirectory(const char* path)
{
    if (!path || !*path || IsDirectory(path))
        return false;
    return ::mkdir(path, 0777) == 0;
}

char* GetAbsolutePath(const char* path)
{
    if (!IsDirectory(path) && !IsRegularFile(path))
        return nullptr;
    std::string absolute = fsutil::MakeAbsoluteLexically(path);
    if (absolute.empty())
        return nullptr;
    return ::strdup(absolute.c_str());
}

bool IsAlphaNumeric(const char* text)
{
    if (!text)
        return false;
    for (const char* p = text; *p; ++p)
    {
        char c = *p;
        bool alphaNumeric = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
        if (!alphaNumeric)
            return false;
    }
    return true;
}

void MakeValidFileName(uString& name)
{
    std::string valid = ValidFileName(name.c_str());
    if (valid != name.c_str())
        name = valid.c_str();
}

void MakeValidFileName(char* name)
{
    if (!name || !*name)
        return;
    std::string valid = ValidFileName(name);
    // Never longer than a non-empty input: "_" replaces at least one byte.
    if (valid != name)
        std::memcpy(name, valid.c_str(), valid.size() + 1);
}

uString SafeFileName(const uString& text)
{
    std::string name = ValidFileName(text.c_str());
    if (name.size() <= static_cast<std::size_t>(kMaxFeedNameBytes))
        return uString(name.c_str());
    const std::string::size_type dot = name.rfind('.');
    std::string extension;
    if (dot != std::string::npos && dot > 0 && name.size() - dot <= kMaxKeptExtensionBytes)
        extension = name.substr(dot);
    std::size_t cut = kMaxFeedNameBytes - extension.size();
    // Never inside a UTF-8 sequence: half a character is no text at all.
    while (cut > 0 && IsUtf8Continuation(name[cut]))
        --cut;
    name = ValidFileName((name.substr(0, cut) + extension).c_str());
    return uString(name.c_str());
}

std::string NumberedName(const std::string& name, unsigned number)
{
    constexpr std::size_t kLongestName = 255;
    std::size_t dot = name.rfind('.');
    if (dot == 0 || dot == std::string::npos)
        dot = name.size();
    else if (dot >= 5 && ::strncasecmp(name.c_str() + dot - 4, ".tar", 4) == 0)
        dot -= 4;
    const std::string mark = " (" + std::to_string(number) + ")";
    // An ending that leaves the stem no room is no ending.
    if (name.size() - dot + mark.size() > kLongestName / 2)
        dot = name.size();
    const std::string ending = name.substr(dot);
    std::string stem = name.substr(0, dot);
    if (stem.size() + mark.size() + ending.size() > kLongestName)
    {
        std::size_t cut = kLongestName - mark.size() - ending.size();
        // Not inside a character: back to the start of the one cut.
        while (cut > 0 && IsUtf8Continuation(stem[cut]))
            --cut;
        stem.resize(cut);
    }
    return stem + mark + ending;
}

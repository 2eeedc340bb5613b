#include "mainwindow/PaneDownloadRules.h"

#include "common/Messages.h"
#include "foundation/uDirectory.h"
#include "mainwindow/StartupRules.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace panedownload
{
namespace
{
constexpr const char* kDownloadPrefix = "page-";
constexpr const char* kSavePrefix = ".kestrova-save-";
constexpr const char* kNoteEnding = ".save";
constexpr std::size_t kUnique = 6; // what mkstemps puts for the X's

std::string InFolder(std::string folder, const std::string& name)
{
    if (folder.empty() || folder.back() != '/')
        folder += '/';
    return folder + name;
}

// Made with O_EXCL from a pattern whose X's come before `ending`: a file or
// link already there is never reused. The open file, or -1.
int MakeUniqueFile(const std::string& pattern, const std::string& ending, std::string& path)
{
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    const int fd = ::mkstemps(buffer.data(), static_cast<int>(ending.size()));
    path = fd >= 0 ? buffer.data() : "";
    return fd;
}

// `prefix`, six letters or digits, then `ending`.
bool IsUniqueName(const std::string& name, const std::string& prefix, const std::string& ending)
{
    if (name.size() != prefix.size() + kUnique + ending.size() ||
        name.compare(0, prefix.size(), prefix) != 0 ||
        name.compare(prefix.size() + kUnique, std::string::npos, ending) != 0)
        return false;
    return std::all_of(name.begin() + static_cast<std::ptrdiff_t>(prefix.size()),
                       name.begin() + static_cast<std::ptrdiff_t>(prefix.size() + kUnique),
                       [](unsigned char c) { return std::isalnum(c) != 0; });
}

// Characters a shown file name must not carry: controls, and the marks and
// embeddings that turn the text's direction.
bool IsHiddenControl(char32_t c)
{
    return c < 0x20 || (c >= 0x7f && c <= 0x9f) || c == 0x61c || c == 0x200e || c == 0x200f ||
           (c >= 0x202a && c <= 0x202e) || (c >= 0x2066 && c <= 0x2069);
}

// The length of the UTF-8 sequence at `at` and its character; a byte of no
// whole sequence counts alone, as U+FFFD.
std::size_t NextCharacter(const std::string& text, std::size_t at, char32_t& c)
{
    const auto lead = static_cast<unsigned char>(text[at]);
    const std::size_t length = lead < 0xc0 ? 1 : lead < 0xe0 ? 2 : lead < 0xf0 ? 3 : 4;
    constexpr char32_t kReplacement = 0xfffd;
    c = lead < 0x80 ? lead : kReplacement;
    if (length == 1 || at + length > text.size())
        return 1;
    c = lead & (0x7f >> length);
    for (std::size_t i = 1; i < length; ++i)
    {
        const auto next = static_cast<unsigned char>(text[at + i]);
        if ((next & 0xc0) != 0x80)
        {
            c = kReplacement;
            return 1;
        }
        c = (c << 6) | (next & 0x3f);
    }
    return length;
}

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; });
    return text;
}

// The bare value: no parameters, no blanks, lower case.
std::string BareType(const std::string& mimeType)
{
    std::string type = Lower(mimeType.substr(0, mimeType.find(';')));
    const std::size_t first = type.find_first_not_of(" \t");
    if (first == std::string::npos)
        return std::string();
    return type.substr(first, type.find_last_not_of(" \t") - first + 1);
}

// The path of an address, without its host, query or fragment: a host
// name's ending says nothing about the file.
std::string AddressPath(const std::string& address)
{
    std::string rest = address.substr(0, address.find_first_of("?#"));
    const std::size_t scheme = rest.find("://");
    if (scheme == std::string::npos)
        return rest;
    const std::size_t slash = rest.find('/', scheme + 3);
    return slash == std::string::npos ? std::string() : rest.substr(slash);
}
} // namespace

std::uint32_t MessageForType(const std::string& mimeType)
{
    const std::string type = BareType(mimeType);
    if (type == "application/x-bittorrent")
        return WM_APP_OPENTORRENTFILE;
    if (type == "application/rss+xml" || type == "application/atom+xml" || type == "application/rdf+xml")
        return WM_APP_OPENRSSFILE;
    if (type == "text/x-opml" || type == "application/x-opml" || type == "text/x-opml+xml")
        return WM_APP_OPENOPMLFILE;
    return 0;
}

std::uint32_t MessageFor(const std::string& mimeType, const std::string& suggestedName,
                         const std::string& address)
{
    if (std::uint32_t message = MessageForType(mimeType); message != 0)
        return message;
    if (std::uint32_t message = startup::DocumentMessageFor(suggestedName); message != 0)
        return message;
    return startup::DocumentMessageFor(AddressPath(address));
}

std::string FileEndingFor(std::uint32_t message)
{
    switch (message)
    {
    case WM_APP_OPENTORRENTFILE:
        return ".torrent";
    case WM_APP_OPENRSSFILE:
        return ".rss";
    case WM_APP_OPENOPMLFILE:
        return ".opml";
    default:
        return std::string();
    }
}

std::uint64_t ExpectedSize(std::uint64_t contentLength, const std::string& contentEncoding)
{
    const std::string coding = BareType(contentEncoding);
    if (!coding.empty() && coding != "identity")
        return 0;
    // Beyond any file: the engine's "unknown" seen as unsigned.
    if (contentLength >= (std::uint64_t{1} << 62))
        return 0;
    return contentLength;
}

bool MakeDownloadFile(const std::string& folder, std::uint32_t message, std::string& path)
{
    path.clear();
    const std::string ending = FileEndingFor(message);
    if (folder.empty() || ending.empty())
        return false;
    const int fd =
        MakeUniqueFile(InFolder(folder, kDownloadPrefix + std::string("XXXXXX") + ending), ending, path);
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}

bool IsAttachment(const std::string& contentDisposition)
{
    return BareType(contentDisposition) == "attachment";
}

namespace
{
std::string Trimmed(const std::string& text)
{
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return std::string();
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// "charset'language'text" with the text percent-encoded; only UTF-8 is
// taken, anything else gives nothing.
std::string DecodeExtendedValue(const std::string& value)
{
    const std::size_t charsetEnd = value.find('\'');
    const std::size_t languageEnd =
        charsetEnd == std::string::npos ? charsetEnd : value.find('\'', charsetEnd + 1);
    if (languageEnd == std::string::npos || Lower(value.substr(0, charsetEnd)) != "utf-8")
        return std::string();
    std::string decoded;
    for (std::size_t at = languageEnd + 1; at < value.size(); ++at)
    {
        if (value[at] == '%' && at + 2 < value.size() &&
            std::isxdigit(static_cast<unsigned char>(value[at + 1])) &&
            std::isxdigit(static_cast<unsigned char>(value[at + 2])))
        {
            decoded += static_cast<char>(std::stoi(value.substr(at + 1, 2), nullptr, 16));
            at += 2;
        }
        else
            decoded += value[at];
    }
    return decoded;
}
} // namespace

std::string DispositionName(const std::string& contentDisposition)
{
    const std::string& value = contentDisposition;
    std::string plain;
    std::string extended;
    std::size_t at = value.find(';');
    while (at != std::string::npos)
    {
        const std::size_t equals = value.find_first_of("=;", at + 1);
        if (equals == std::string::npos || value[equals] == ';')
        {
            at = equals;
            continue;
        }
        const std::string name = Lower(Trimmed(value.substr(at + 1, equals - at - 1)));
        std::string text;
        at = value.find_first_not_of(" \t", equals + 1);
        if (at != std::string::npos && value[at] == '"')
        {
            for (++at; at < value.size() && value[at] != '"'; ++at)
            {
                if (value[at] == '\\' && at + 1 < value.size())
                    ++at;
                text += value[at];
            }
            at = value.find(';', at);
        }
        else if (at != std::string::npos)
        {
            const std::size_t end = value.find(';', at);
            text = Trimmed(value.substr(at, end == std::string::npos ? std::string::npos : end - at));
            at = end;
        }
        if (name == "filename")
            plain = text;
        else if (name == "filename*")
            extended = DecodeExtendedValue(text);
    }
    return !extended.empty() ? extended : plain;
}

bool EngineBreaksOnName(const std::string& contentDisposition, const std::string& address)
{
    // Any "/" at all, not only the name's: the library's reading of the
    // parameters is not ours to guess. The engine falls back on the last
    // part of the address's path, unescaped.
    return contentDisposition.find('/') != std::string::npos ||
           Lower(contentDisposition).find("%2f") != std::string::npos ||
           Lower(AddressPath(address)).find("%2f") != std::string::npos;
}

std::string SaveName(const std::string& suggestedName)
{
    const std::string last = suggestedName.substr(suggestedName.find_last_of("/\\") + 1);
    std::string name;
    for (std::size_t at = 0; at < last.size();)
    {
        char32_t c = 0;
        const std::size_t length = NextCharacter(last, at, c);
        if (!IsHiddenControl(c))
            name.append(last, at, length);
        at += length;
    }
    const std::size_t first = name.find_first_not_of(" .");
    if (first == std::string::npos)
        return "download";
    return name.substr(first);
}

bool MakeSaveFile(const std::string& chosenPath, std::string& path)
{
    const std::size_t slash = chosenPath.rfind('/');
    if (slash == std::string::npos)
    {
        path.clear();
        return false;
    }
    const int fd = MakeUniqueFile(chosenPath.substr(0, slash + 1) + kSavePrefix + "XXXXXX", "", path);
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}

bool IsSaveFileName(const std::string& name)
{
    return IsUniqueName(name, kSavePrefix, "");
}

bool MakeSaveNote(const std::string& folder, const std::string& savePath, std::string& notePath)
{
    if (folder.empty())
    {
        notePath.clear();
        return false;
    }
    const int fd = MakeUniqueFile(InFolder(folder, kDownloadPrefix + std::string("XXXXXX") + kNoteEnding),
                                  kNoteEnding, notePath);
    if (fd < 0)
        return false;
    const bool written =
        ::write(fd, savePath.data(), savePath.size()) == static_cast<ssize_t>(savePath.size());
    ::close(fd);
    if (!written)
    {
        ::unlink(notePath.c_str());
        notePath.clear();
    }
    return written;
}

bool IsDownloadFileName(const std::string& name)
{
    for (std::uint32_t message : {WM_APP_OPENTORRENTFILE, WM_APP_OPENRSSFILE, WM_APP_OPENOPMLFILE})
    {
        const std::string ending = FileEndingFor(message);
        if (IsUniqueName(name, kDownloadPrefix, ending) ||
            IsUniqueName(name, kDownloadPrefix, ending + kEnginePartEnding))
            return true;
    }
    return false;
}

namespace
{
// What a note names, when it is a save's file of ours; else empty.
std::string NotedSaveFile(const std::string& notePath)
{
    constexpr std::size_t kLongestPath = 4096;
    std::ifstream note(notePath, std::ios::binary);
    std::string path(kLongestPath + 1, '\0');
    note.read(&path[0], static_cast<std::streamsize>(path.size()));
    path.resize(static_cast<std::size_t>(note.gcount()));
    if (path.size() > kLongestPath || path.find('\0') != std::string::npos || path.empty() || path[0] != '/')
        return std::string();
    return IsSaveFileName(path.substr(path.rfind('/') + 1)) ? path : std::string();
}

// A regular file (not a link, nor a folder) removed.
int RemoveRegularFile(const std::string& path)
{
    struct stat info = {};
    return ::lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && ::unlink(path.c_str()) == 0 ? 1 : 0;
}
} // namespace

int RemoveLeftoverFiles(const std::string& folder)
{
    int removed = 0;
    std::error_code error;
    for (const std::filesystem::directory_entry& entry : std::filesystem::directory_iterator(folder, error))
    {
        const std::string note = entry.path().string();
        if (!IsUniqueName(entry.path().filename().string(), kDownloadPrefix, kNoteEnding) ||
            !entry.is_regular_file(error) || entry.is_symlink(error))
            continue;
        if (const std::string saved = NotedSaveFile(note); !saved.empty())
            removed += RemoveRegularFile(saved) + RemoveRegularFile(saved + kEnginePartEnding);
        removed += RemoveRegularFile(note);
    }
    return removed + RemoveFilesNamed(folder.c_str(), IsDownloadFileName);
}
} // namespace panedownload

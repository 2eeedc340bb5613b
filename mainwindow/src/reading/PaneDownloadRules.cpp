#include "mainwindow/PaneDownloadRules.h"

#include "common/Messages.h"
#include "foundation/uDirectory.h"
#include "foundation/uUnicode.h"
#include "mainwindow/StartupRules.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
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

// Characters a shown file name must not carry: controls, and every format
// character (Unicode's category Cf: the marks and embeddings that turn the
// text's direction, zero-width ones, the byte-order mark, tags), which could
// show "x\u202Efdp.exe" as "xexe.pdf" or hide part of a name.
bool IsHiddenControl(char32_t c)
{
    struct Range
    {
        char32_t first;
        char32_t last;
    };
    static constexpr Range kFormat[] = {
        {0xad, 0xad},       {0x600, 0x605},     {0x61c, 0x61c},     {0x6dd, 0x6dd},     {0x70f, 0x70f},
        {0x890, 0x891},     {0x8e2, 0x8e2},     {0x180e, 0x180e},   {0x200b, 0x200f},   {0x202a, 0x202e},
        {0x2060, 0x2064},   {0x2066, 0x206f},   {0xfeff, 0xfeff},   {0xfff9, 0xfffb},   {0x110bd, 0x110bd},
        {0x110cd, 0x110cd}, {0x13430, 0x1343f}, {0x1bca0, 0x1bca3}, {0x1d173, 0x1d17a}, {0xe0001, 0xe0001},
        {0xe0020, 0xe007f},
    };
    if (c < 0x20 || (c >= 0x7f && c <= 0x9f))
        return true;
    return std::any_of(std::begin(kFormat), std::end(kFormat),
                       [c](const Range& range) { return c >= range.first && c <= range.last; });
}

// The length of the UTF-8 sequence at `at`, and whether it is a character
// to drop; a byte of no whole sequence counts alone, and stays.
std::size_t NextCharacter(const std::string& text, std::size_t at, bool& hidden)
{
    const auto* start = reinterpret_cast<const unsigned char*>(text.data()) + at;
    const auto* source = start;
    char32_t c = 0;
    char32_t* target = &c;
    // Room for one character: the conversion stops after it, whatever follows.
    ConvertUTF8toUTF32(&source, start + (text.size() - at), &target, &c + 1, unicode::strictConversion);
    hidden = target != &c && IsHiddenControl(c);
    return target != &c ? static_cast<std::size_t>(source - start) : 1;
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

bool HasUncheckedEnd(const std::string& contentEncoding, const std::string& transferEncoding)
{
    const std::string coding = BareType(contentEncoding);
    return (!coding.empty() && coding != "identity") ||
           Lower(transferEncoding).find("chunked") != std::string::npos;
}

FileId FileUnder(const std::string& path)
{
    auto nanoseconds = [](const statx_timestamp& time)
    { return static_cast<std::int64_t>(time.tv_sec) * 1000000000 + time.tv_nsec; };
    struct statx info = {};
    if (::statx(AT_FDCWD, path.c_str(), AT_SYMLINK_NOFOLLOW, STATX_BASIC_STATS | STATX_BTIME, &info) != 0)
        return FileId();
    FileId id{(std::uint64_t{info.stx_dev_major} << 32) | info.stx_dev_minor, info.stx_ino, 0,
              nanoseconds(info.stx_ctime)};
    if ((info.stx_mask & STATX_BTIME) != 0)
        id.born = nanoseconds(info.stx_btime);
    return id;
}

namespace
{
// Over `replaceable` alone. The two names swap at once, so a file that took
// the name after the check is never replaced: it goes back at once. The
// check comes first, too: without a birth time only it can tell the file by
// its change time, which the swap changes.
bool ReplaceSaveFile(const std::string& from, const std::string& to, const FileId& replaceable)
{
    const FileId there = FileUnder(to);
    if (there.IsNone())
        return MoveSaveFile(from, to); // the file was removed meanwhile
    if (!there.IsSameAs(replaceable))
    {
        errno = EEXIST;
        return false;
    }
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_EXCHANGE) != 0)
    {
        if (errno == ENOENT)
            return MoveSaveFile(from, to); // the file was removed meanwhile
        if (errno != EINVAL && errno != ENOSYS)
            return false;
        // A file system that cannot swap: the check just made is the
        // narrowest there is.
        return ::rename(from.c_str(), to.c_str()) == 0;
    }
    // A folder cannot go as a file does: it stays under its name.
    const FileId swapped = FileUnder(from);
    if (swapped.device == there.device && swapped.inode == there.inode && swapped.born == there.born &&
        ::unlink(from.c_str()) == 0)
        return true;
    // Another file: back under its name (over our copy, should that have
    // gone meanwhile).
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_EXCHANGE) != 0)
    {
        ::rename(from.c_str(), to.c_str());
        return false;
    }
    errno = EEXIST;
    return false;
}
} // namespace

bool MoveSaveFile(const std::string& from, const std::string& to, const FileId& replaceable)
{
    if (!replaceable.IsNone())
        return ReplaceSaveFile(from, to, replaceable);
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    // A file system that cannot refuse to replace: a link can.
    if (::link(from.c_str(), to.c_str()) == 0)
        return ::unlink(from.c_str()) == 0;
    if (errno == EEXIST)
        return false;
    // Nor links: an empty file of ours claims the name, and the save goes
    // over that alone.
    const int claim = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (claim < 0)
        return false;
    struct stat claimed = {};
    const FileId there = ::fstat(claim, &claimed) == 0 ? FileUnder(to) : FileId();
    ::close(claim);
    if (there.IsNone() || there.inode != claimed.st_ino)
    {
        errno = EEXIST; // another file took the name from our claim
        return false;
    }
    if (::rename(from.c_str(), to.c_str()) == 0)
        return true;
    const int error = errno;
    if (FileUnder(to).IsSameAs(there))
        ::unlink(to.c_str());
    errno = error;
    return false;
}

bool MoveSaveFileBeside(const std::string& from, const std::string& chosen, std::string& savedAs)
{
    // Far more than any folder holds of one name.
    constexpr unsigned kMostNumbers = 10000;
    const std::size_t slash = chosen.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : chosen.substr(0, slash + 1);
    const std::string name = chosen.substr(folder.size());
    for (unsigned number = 1; number <= kMostNumbers; ++number)
    {
        const std::string path = folder + NumberedName(name, number);
        if (MoveSaveFile(from, path))
        {
            savedAs = path;
            return true;
        }
        if (errno != EEXIST)
            break;
    }
    savedAs.clear();
    return false;
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

std::string SaveName(const std::string& suggestedName)
{
    // Most file systems take no longer name.
    constexpr std::size_t kLongestName = 255;
    const std::string last = suggestedName.substr(suggestedName.find_last_of("/\\") + 1);
    std::string name;
    std::vector<std::size_t> starts; // where each kept character starts in `name`
    for (std::size_t at = 0; at < last.size();)
    {
        bool hidden = false;
        const std::size_t length = NextCharacter(last, at, hidden);
        if (!hidden)
        {
            starts.push_back(name.size());
            name.append(last, at, length);
        }
        at += length;
    }
    const std::size_t first = name.find_first_not_of(" .");
    if (first == std::string::npos)
        return "download";
    if (name.size() - first <= kLongestName)
        return name.substr(first);
    // Too long: the stem is cut at a character, the ending kept when it
    // leaves room for one.
    const std::size_t dot = name.rfind('.');
    const std::string ending = dot != std::string::npos && dot > first && name.size() - dot < kLongestName / 2
                                   ? name.substr(dot)
                                   : "";
    const std::size_t room = first + kLongestName - ending.size();
    const std::size_t cut = *std::prev(std::upper_bound(starts.begin(), starts.end(), room));
    return name.substr(first, cut - first) + ending;
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

bool MakeSaveNote(const std::string& folder, const std::string& savePath, const std::string& chosenPath,
                  std::uint64_t expectedSize, std::string& notePath)
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
    // No path holds a NUL.
    std::string text = savePath;
    for (const std::string& field : {chosenPath, std::to_string(expectedSize)})
        text += '\0' + field;
    text += '\0';
    const bool written = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
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
struct NotedSave
{
    std::string file;       // a save's file of ours; empty when the note names none
    std::string chosen;     // beside it; empty when not known
    std::uint64_t size = 0; // 0: not known
};

// What a note says, when it names a save's file of ours. A note of an
// earlier version holds the file's path alone.
NotedSave ReadNote(const std::string& notePath)
{
    constexpr std::size_t kLongestNote = 3 * 4096;
    std::ifstream in(notePath, std::ios::binary);
    std::string text(kLongestNote + 1, '\0');
    in.read(&text[0], static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<std::size_t>(in.gcount()));
    if (text.size() > kLongestNote)
        return {};
    std::vector<std::string> fields;
    for (std::size_t start = 0, end; start < text.size(); start = end + 1)
    {
        end = text.find('\0', start);
        if (end == std::string::npos)
            end = text.size();
        fields.push_back(text.substr(start, end - start));
    }
    NotedSave noted;
    if (fields.empty() || fields[0].empty() || fields[0][0] != '/' ||
        !IsSaveFileName(fields[0].substr(fields[0].rfind('/') + 1)))
        return noted;
    noted.file = fields[0];
    // The chosen name is in the save's own folder, and is no file of ours.
    const std::string folder = noted.file.substr(0, noted.file.rfind('/') + 1);
    if (fields.size() == 3 && fields[1].size() > folder.size() &&
        fields[1].compare(0, folder.size(), folder) == 0 &&
        fields[1].find('/', folder.size()) == std::string::npos &&
        !IsSaveFileName(fields[1].substr(folder.size())) && !fields[2].empty() &&
        fields[2].find_first_not_of("0123456789") == std::string::npos)
    {
        noted.chosen = fields[1];
        noted.size = std::strtoull(fields[2].c_str(), nullptr, 10);
    }
    return noted;
}

// A regular file (not a link, nor a folder) removed.
int RemoveRegularFile(const std::string& path)
{
    struct stat info = {};
    return ::lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && ::unlink(path.c_str()) == 0 ? 1 : 0;
}

// A noted save the engine had written whole, moved where the user chose it
// to go, never over a file there now; where the file system refuses that,
// it stays whole under its own name.
bool KeepWholeSave(const NotedSave& noted, bool partLeft)
{
    struct stat info = {};
    if (partLeft || noted.chosen.empty() || ::lstat(noted.file.c_str(), &info) != 0 ||
        !S_ISREG(info.st_mode) || info.st_size == 0 ||
        (noted.size != 0 && static_cast<std::uint64_t>(info.st_size) != noted.size))
        return false;
    std::string savedAs;
    if (!MoveSaveFile(noted.file, noted.chosen) && errno == EEXIST)
        MoveSaveFileBeside(noted.file, noted.chosen, savedAs);
    return true;
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
        if (const NotedSave noted = ReadNote(note); !noted.file.empty())
        {
            // The engine moves its part onto our file once it has all of it.
            const std::string part = noted.file + kEnginePartEnding;
            struct stat info = {};
            const bool partLeft = ::lstat(part.c_str(), &info) == 0;
            removed += RemoveRegularFile(part);
            if (!KeepWholeSave(noted, partLeft))
                removed += RemoveRegularFile(noted.file);
        }
        removed += RemoveRegularFile(note);
    }
    return removed + RemoveFilesNamed(folder.c_str(), IsDownloadFileName);
}
} // namespace panedownload

#pragma once

#include <string>
#include <string_view>
#include <vector>

// The program's place on a freedesktop desktop: its application entry with
// the file types it opens, the user's default handlers in mimeapps.list, its
// icon, and the autostart entry for the start at logon. Every file is
// rewritten only when its content would change, so a start where all is in
// place writes nothing. No window code: the frame and the application call it.
namespace desktop
{
// Where the files go; the environment's XDG folders (or their defaults under
// HOME) unless a test names others.
struct Folders
{
    std::string dataHome;   // $XDG_DATA_HOME, else ~/.local/share
    std::string configHome; // $XDG_CONFIG_HOME, else ~/.config
    static Folders FromEnvironment();
};

inline constexpr const char* kEntryName = "kestrova.desktop";
inline constexpr const char* kAutostartName = "Kestrova.desktop";
inline constexpr const char* kFeedType = "application/rss+xml";
inline constexpr const char* kOutlineType = "text/x-opml+xml";
inline constexpr const char* kTorrentType = "application/x-bittorrent";

// One argument of an Exec line: always quoted, with the characters that are
// special inside quotes escaped, "%" doubled, and the escapes of a string value
// applied on top (so a backslash in the path ends up as four).
std::string QuoteExecArgument(std::string_view argument);

// The application entry for the program at programPath.
std::string ApplicationEntry(const std::string& programPath, bool withTorrent);
// The autostart entry that starts the program at logon.
std::string AutostartEntry(const std::string& programPath);

// mimeapps.list with our entry as the default handler of each type and in its
// added associations (add), or with our entry taken out of both (remove).
// Every other line stays as it was.
std::string AddMimeDefaults(const std::string& text, const std::vector<std::string>& types);
std::string RemoveMimeDefaults(const std::string& text);

// Writes the file through a temporary file and a rename, creating its folder,
// unless it already holds exactly that content. True when it was written.
bool WriteFileWhenDifferent(const std::string& path, const std::string& content);

class CDesktopIntegration
{
public:
    CDesktopIntegration(Folders folders, std::string programPath);

    // The program's full path (/proc/self/exe); empty when unknown.
    static std::string RunningProgramPath();

    std::string EntryPath() const;
    std::string AutostartPath() const;
    std::string MimeAppsPath() const;
    std::string IconPath() const;

    // The entry, the icon (PNG bytes, 32 pixels) and the default handlers of
    // the feed and outline types, and of the torrent type with an engine.
    // The number of files written.
    int RegisterFileTypes(bool withTorrent, std::string_view iconPng);
    // The outline type alone: the document type of the program.
    int RegisterDocumentType();
    // Removes what the two above and the start at logon wrote.
    void Unregister();

    // Start at logon: the autostart entry written or removed; true on success
    // (removing an entry that is not there succeeds).
    bool SetRunAtLogon();
    bool RemoveRunAtLogon();

private:
    int RegisterMimeTypes(const std::vector<std::string>& types);

    Folders m_folders;
    std::string m_programPath;
};
} // namespace desktop

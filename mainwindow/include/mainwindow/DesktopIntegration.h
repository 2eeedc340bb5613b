#pragma once

#include "mainwindow/Registry.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

// The program's place on a freedesktop desktop: its application entry with
// the file types it opens, the shared-mime-info package that describes them
// (with their icons), the user's default handlers in mimeapps.list, its
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
    // Where a start at logon for all users goes: the first of
    // $XDG_CONFIG_DIRS, else /etc/xdg.
    std::string systemConfig = "/etc/xdg";
    static Folders FromEnvironment();
};

// One file type the program opens: the extension, the program type (it names
// the type's icon), the description, the content type, the icon's index (the
// resource image of that number) and the desktop's name for the type. The
// content type, when it differs from the type itself, is what the type is a
// kind of.
struct FileType
{
    const char* ext;
    const char* type;
    const char* description;
    const char* contentType;
    int iconIndex;
    const char* mimeType;
};

inline constexpr const char* kEntryName = "kestrova.desktop";
inline constexpr const char* kAutostartName = "Kestrova.desktop";
inline constexpr const char* kFeedType = "application/rss+xml";
inline constexpr const char* kOutlineType = "text/x-opml+xml";
inline constexpr const char* kTorrentType = "application/x-bittorrent";
inline constexpr const char* kPackageName = "kestrova.xml";
inline constexpr const char* kRunName = "Kestrova";

// In registration order; the torrent type only with the BitTorrent engine.
inline constexpr FileType kFileTypes[] = {
    {".rss", "rssfile", "Really Simple Syndication File", "text/xml", 1, kFeedType},
    {".opml", "opmlfile", "Outline Processor Markup Language File", "text/xml", 2, kOutlineType},
    {".torrent", "torrentfile", "BitTorrent File", "application/x-bittorrent", 3, kTorrentType},
};
inline constexpr int kProgramIcon = 128;

// The icon images by number (PNG bytes, 32 pixels); empty for none.
using IconSource = std::function<std::string_view(int id)>;

// The shared-mime-info package describing these types.
std::string MimePackage(const std::vector<FileType>& types);
// The name of a type's icon in the icon theme ("kestrova-rssfile").
std::string TypeIconName(const FileType& type);

// One argument of an Exec line: always quoted, with the characters that are
// special inside quotes escaped, "%" doubled, and the escapes of a string value
// applied on top (so a backslash in the path ends up as four).
std::string QuoteExecArgument(std::string_view argument);

// The application entry for the program at programPath.
std::string ApplicationEntry(const std::string& programPath, bool withTorrent);
// The autostart entry that starts the program at logon.
std::string AutostartEntry(const std::string& programPath, const std::string& name = kRunName);

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
    std::string PackagePath() const;
    std::string TypeIconPath(const FileType& type) const;
    std::string RunPath(const std::string& name, bool allUsers) const;

    // Where the program types of other programs would be found (absent on
    // this system unless a test names a store).
    void SetClassesRoot(registry::RegistryRoot classes) { m_classes = classes; }

    // Takes over ".mp3" and ".wpl" when their players' types exist, then
    // writes the entry, the program's icon, the MIME package with the feed and
    // outline types (and the torrent type with an engine) and their icons, and
    // makes the program their default handler. The MIME database is brought
    // up to date when the package changed. The number of files written.
    int RegisterFileTypes(bool withTorrent, const IconSource& icons);
    void TakeOverExtension(const std::string& ext, const std::string& type);
    // The outline type alone: the document type of the program.
    int RegisterDocumentType();
    // Removes what the two above and the start at logon wrote.
    void Unregister();

    // Start at logon: the autostart entry named `name` that runs `data`, for
    // this user or for all users. True when it was written (or already
    // there) / removed; false when it cannot be, or there is none to remove.
    bool SetRunValue(const std::string& name, const std::string& data, bool allUsers);
    bool RemoveRunValue(const std::string& name, bool allUsers);
    // SetRunValue("Kestrova", this program, this user), and its removal.
    bool SetRunAtLogon();
    bool RemoveRunAtLogon();

private:
    int RegisterMimeTypes(const std::vector<std::string>& types);
    // update-mime-database over our data folder's MIME database.
    void UpdateMimeDatabase() const;

    Folders m_folders;
    std::string m_programPath;
    registry::RegistryRoot m_classes = registry::ClassesRoot();
};
} // namespace desktop

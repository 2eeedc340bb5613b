#include "mainwindow/DesktopIntegration.h"

#include "foundation/uHtmlEntities.h"
#include "foundation/uPrivateFolder.h"
#include "foundation/uProcess.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace desktop
{
namespace
{
namespace fs = std::filesystem;

constexpr const char* kDefaultSection = "Default Applications";
constexpr const char* kAddedSection = "Added Associations";

std::string FolderFromEnvironment(const char* variable, const char* fallbackUnderHome)
{
    const char* value = std::getenv(variable);
    // Relative values are invalid and ignored, as the base-directory rules say.
    if (value != nullptr && value[0] == '/')
        return value;
    // Never a folder of the temporary folder's that others could have made first.
    std::string base = UserHomeFolder();
    if (base.empty())
        base = PrivateTemporaryFolder();
    return (fs::path(base.empty() ? "/" : base) / fallbackUnderHome).string();
}

std::string Trim(std::string_view text)
{
    size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos)
        return {};
    size_t last = text.find_last_not_of(" \t\r");
    return std::string(text.substr(first, last - first + 1));
}

std::vector<std::string> SplitLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);)
        lines.push_back(line);
    return lines;
}

std::string JoinLines(const std::vector<std::string>& lines)
{
    std::string text;
    for (const std::string& line : lines)
        text += line + "\n";
    return text;
}

bool IsSectionHeader(const std::string& line)
{
    std::string trimmed = Trim(line);
    return trimmed.size() >= 2 && trimmed.front() == '[' && trimmed.back() == ']';
}

// The key of an entry line; empty for headers, comments and blank lines.
std::string KeyOf(const std::string& line)
{
    std::string trimmed = Trim(line);
    if (trimmed.empty() || trimmed[0] == '#' || trimmed[0] == '[')
        return {};
    size_t equals = trimmed.find('=');
    return equals == std::string::npos ? std::string() : Trim(trimmed.substr(0, equals));
}

std::string ValueOf(const std::string& line)
{
    size_t equals = line.find('=');
    return equals == std::string::npos ? std::string() : Trim(line.substr(equals + 1));
}

std::vector<std::string> SplitList(const std::string& value)
{
    std::vector<std::string> items;
    std::istringstream stream(value);
    for (std::string item; std::getline(stream, item, ';');)
    {
        item = Trim(item);
        if (!item.empty())
            items.push_back(item);
    }
    return items;
}

// The lines of a section: [begin, end) after its header; begin == 0 when the
// section is missing.
struct Section
{
    size_t header = 0;
    size_t end = 0;
    bool found = false;
};

Section FindSection(const std::vector<std::string>& lines, const std::string& name)
{
    Section section;
    for (size_t i = 0; i < lines.size(); ++i)
    {
        if (!section.found)
        {
            if (Trim(lines[i]) == "[" + name + "]")
            {
                section.found = true;
                section.header = i;
                section.end = lines.size();
            }
        }
        else if (IsSectionHeader(lines[i]))
        {
            section.end = i;
            break;
        }
    }
    return section;
}

// Sets the value of our types in one section; the value comes from the old one.
bool EditSection(std::vector<std::string>& lines, const std::string& name,
                 const std::vector<std::string>& types,
                 std::string (*newValue)(const std::string& old, bool present))
{
    bool changed = false;
    Section section = FindSection(lines, name);
    if (!section.found)
    {
        if (!lines.empty() && !Trim(lines.back()).empty())
            lines.push_back({});
        lines.push_back("[" + name + "]");
        section = FindSection(lines, name);
        changed = true;
    }
    for (const std::string& type : types)
    {
        bool present = false;
        for (size_t i = section.header + 1; i < section.end; ++i)
        {
            if (KeyOf(lines[i]) != type)
                continue;
            present = true;
            std::string value = newValue(ValueOf(lines[i]), true);
            if (value != ValueOf(lines[i]))
            {
                lines[i] = type + "=" + value;
                changed = true;
            }
        }
        if (!present)
        {
            // After the section's last entry, before any blank lines that end it.
            size_t at = section.end;
            while (at > section.header + 1 && Trim(lines[at - 1]).empty())
                --at;
            lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at), type + "=" + newValue({}, false));
            ++section.end;
            changed = true;
        }
    }
    return changed;
}

std::string OurDefault(const std::string&, bool)
{
    return kEntryName;
}

std::string WithOurEntry(const std::string& old, bool)
{
    std::vector<std::string> items = SplitList(old);
    if (std::find(items.begin(), items.end(), kEntryName) != items.end())
        return old;
    std::string value = old;
    if (!value.empty() && value.back() != ';')
        value += ';';
    return value + kEntryName + ";";
}

std::string ReadWholeFile(const std::string& path, bool& exists)
{
    std::ifstream stream(path, std::ios::binary);
    exists = static_cast<bool>(stream);
    std::ostringstream text;
    text << stream.rdbuf();
    return text.str();
}

std::string ReadWholeFile(const std::string& path)
{
    bool exists = false;
    return ReadWholeFile(path, exists);
}

std::string SystemConfigFromEnvironment()
{
    // The first absolute folder of the list; relative ones are invalid.
    std::istringstream list(std::getenv("XDG_CONFIG_DIRS") != nullptr ? std::getenv("XDG_CONFIG_DIRS") : "");
    for (std::string folder; std::getline(list, folder, ':');)
    {
        if (!folder.empty() && folder[0] == '/')
            return folder;
    }
    return "/etc/xdg";
}

std::vector<FileType> TypesFor(bool withTorrent)
{
    std::vector<FileType> types;
    for (const FileType& type : kFileTypes)
    {
        if (withTorrent || std::string_view(type.mimeType) != kTorrentType)
            types.push_back(type);
    }
    return types;
}
} // namespace

Folders Folders::FromEnvironment()
{
    return {FolderFromEnvironment("XDG_DATA_HOME", ".local/share"),
            FolderFromEnvironment("XDG_CONFIG_HOME", ".config"), SystemConfigFromEnvironment()};
}

std::string TypeIconName(const FileType& type)
{
    return std::string("kestrova-") + type.type;
}

std::string MimePackage(const std::vector<FileType>& types)
{
    std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                       "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n";
    for (const FileType& type : types)
    {
        text += "  <mime-type type=\"" + html::EscapeText(type.mimeType) + "\">\n";
        text += "    <comment>" + html::EscapeText(type.description) + "</comment>\n";
        if (std::string_view(type.contentType) != type.mimeType)
            text += "    <sub-class-of type=\"" + html::EscapeText(type.contentType) + "\"/>\n";
        text += "    <icon name=\"" + html::EscapeText(TypeIconName(type)) + "\"/>\n";
        text += "    <glob pattern=\"*" + html::EscapeText(type.ext) + "\"/>\n";
        text += "  </mime-type>\n";
    }
    return text + "</mime-info>\n";
}

std::string QuoteExecArgument(std::string_view argument)
{
    // Quoting rule of the Exec key first...
    std::string quoted = "\"";
    for (char c : argument)
    {
        if (c == '"' || c == '`' || c == '$' || c == '\\')
            quoted += '\\';
        if (c == '%')
            quoted += '%';
        quoted += c;
    }
    quoted += '"';
    // ...then the escapes of any string value, which a reader undoes first.
    std::string escaped;
    for (char c : quoted)
    {
        switch (c)
        {
        case '\\':
            escaped += "\\\\";
            break;
        case '\n':
            escaped += "\\n";
            break;
        case '\t':
            escaped += "\\t";
            break;
        case '\r':
            escaped += "\\r";
            break;
        default:
            escaped += c;
        }
    }
    return escaped;
}

std::string ApplicationEntry(const std::string& programPath, bool withTorrent)
{
    std::string types = std::string(kFeedType) + ";" + kOutlineType + ";";
    if (withTorrent)
        types += std::string(kTorrentType) + ";";
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Kestrova\n"
           "Exec=" +
           QuoteExecArgument(programPath) +
           " %f\n"
           "Icon=kestrova\n"
           "Terminal=false\n"
           "Categories=Network;News;\n"
           "MimeType=" +
           types + "\n";
}

std::string AutostartEntry(const std::string& programPath, const std::string& name)
{
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=" +
           name +
           "\n"
           "Exec=" +
           QuoteExecArgument(programPath) +
           "\n"
           "Icon=kestrova\n"
           "Terminal=false\n";
}

std::string AddMimeDefaults(const std::string& text, const std::vector<std::string>& types)
{
    std::vector<std::string> lines = SplitLines(text);
    bool changed = EditSection(lines, kDefaultSection, types, OurDefault);
    changed = EditSection(lines, kAddedSection, types, WithOurEntry) || changed;
    return changed ? JoinLines(lines) : text;
}

std::string RemoveMimeDefaults(const std::string& text)
{
    std::vector<std::string> lines = SplitLines(text);
    bool changed = false;
    for (const char* name : {kDefaultSection, kAddedSection})
    {
        Section section = FindSection(lines, name);
        if (!section.found)
            continue;
        for (size_t i = section.end; i-- > section.header + 1;)
        {
            std::string key = KeyOf(lines[i]);
            if (key.empty())
                continue;
            std::vector<std::string> items = SplitList(ValueOf(lines[i]));
            auto ours = std::remove(items.begin(), items.end(), std::string(kEntryName));
            if (ours == items.end())
                continue;
            items.erase(ours, items.end());
            changed = true;
            if (items.empty())
            {
                lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(i));
                continue;
            }
            std::string value;
            for (const std::string& item : items)
                value += item + ";";
            lines[i] = key + "=" + value;
        }
    }
    return changed ? JoinLines(lines) : text;
}

bool WriteFileWhenDifferent(const std::string& path, const std::string& content)
{
    bool exists = false;
    if (ReadWholeFile(path, exists) == content && exists)
        return false;
    std::error_code error;
    fs::create_directories(fs::path(path).parent_path(), error);
    std::string temporary = path + ".tmp-" + std::to_string(::getpid());
    {
        std::ofstream stream(temporary, std::ios::binary | std::ios::trunc);
        stream << content;
        stream.flush();
        if (!stream)
        {
            fs::remove(temporary, error);
            return false;
        }
    }
    fs::rename(temporary, path, error);
    if (error)
    {
        fs::remove(temporary, error);
        return false;
    }
    return true;
}

CDesktopIntegration::CDesktopIntegration(Folders folders, std::string programPath)
    : m_folders(std::move(folders)), m_programPath(std::move(programPath))
{
}

std::string CDesktopIntegration::RunningProgramPath()
{
    std::error_code error;
    fs::path path = fs::read_symlink("/proc/self/exe", error);
    return error ? std::string() : path.string();
}

std::string CDesktopIntegration::EntryPath() const
{
    return m_folders.dataHome + "/applications/" + kEntryName;
}

std::string CDesktopIntegration::AutostartPath() const
{
    return m_folders.configHome + "/autostart/" + kAutostartName;
}

std::string CDesktopIntegration::MimeAppsPath() const
{
    return m_folders.configHome + "/mimeapps.list";
}

std::string CDesktopIntegration::IconPath() const
{
    return m_folders.dataHome + "/icons/hicolor/32x32/apps/kestrova.png";
}

std::string CDesktopIntegration::PackagePath() const
{
    return m_folders.dataHome + "/mime/packages/" + kPackageName;
}

std::string CDesktopIntegration::TypeIconPath(const FileType& type) const
{
    return m_folders.dataHome + "/icons/hicolor/32x32/mimetypes/" + TypeIconName(type) + ".png";
}

std::string CDesktopIntegration::RunPath(const std::string& name, bool allUsers) const
{
    return (allUsers ? m_folders.systemConfig : m_folders.configHome) + "/autostart/" + name + ".desktop";
}

void CDesktopIntegration::TakeOverExtension(const std::string& ext, const std::string& type)
{
    registry::TakeOverExtension(m_classes, ext, type);
}

int CDesktopIntegration::RegisterFileTypes(bool withTorrent, const IconSource& icons)
{
    // Without the program's path there is nothing to register.
    if (m_programPath.empty())
        return 0;
    // The players' types are machine-wide and missing here: nothing happens
    // unless they exist.
    TakeOverExtension(".mp3", "mp3file");
    TakeOverExtension(".wpl", "WPLFile");

    auto icon = [&](int id) { return icons ? icons(id) : std::string_view(); };
    int written = 0;
    if (std::string_view png = icon(kProgramIcon);
        !png.empty() && WriteFileWhenDifferent(IconPath(), std::string(png)))
        ++written;
    if (WriteFileWhenDifferent(EntryPath(), ApplicationEntry(m_programPath, withTorrent)))
        ++written;
    const std::vector<FileType> fileTypes = TypesFor(withTorrent);
    for (const FileType& type : fileTypes)
    {
        std::string_view png = icon(type.iconIndex);
        if (!png.empty() && WriteFileWhenDifferent(TypeIconPath(type), std::string(png)))
            ++written;
    }
    if (WriteFileWhenDifferent(PackagePath(), MimePackage(fileTypes)))
    {
        ++written;
        UpdateMimeDatabase();
    }
    std::vector<std::string> types;
    for (const FileType& type : fileTypes)
        types.push_back(type.mimeType);
    return written + RegisterMimeTypes(types);
}

void CDesktopIntegration::UpdateMimeDatabase() const
{
    // No shell: the folder is one argument whatever it holds. The tool may
    // be missing; the package then takes effect at the desktop's next update.
    RunCommandLineQuietly({uString("update-mime-database"), uString((m_folders.dataHome + "/mime").c_str())});
}

int CDesktopIntegration::RegisterDocumentType()
{
    if (m_programPath.empty())
        return 0;
    return RegisterMimeTypes({kOutlineType});
}

int CDesktopIntegration::RegisterMimeTypes(const std::vector<std::string>& types)
{
    std::string current = ReadWholeFile(MimeAppsPath());
    return WriteFileWhenDifferent(MimeAppsPath(), AddMimeDefaults(current, types)) ? 1 : 0;
}

void CDesktopIntegration::Unregister()
{
    std::error_code error;
    fs::remove(EntryPath(), error);
    fs::remove(IconPath(), error);
    for (const FileType& type : kFileTypes)
        fs::remove(TypeIconPath(type), error);
    if (fs::remove(PackagePath(), error))
        UpdateMimeDatabase();
    RemoveRunAtLogon();
    bool exists = false;
    std::string current = ReadWholeFile(MimeAppsPath(), exists);
    if (exists)
        WriteFileWhenDifferent(MimeAppsPath(), RemoveMimeDefaults(current));
}

bool CDesktopIntegration::SetRunValue(const std::string& name, const std::string& data, bool allUsers)
{
    if (name.empty() || name.find('/') != std::string::npos)
        return false;
    const std::string path = RunPath(name, allUsers);
    const std::string entry = AutostartEntry(data, name);
    WriteFileWhenDifferent(path, entry);
    return ReadWholeFile(path) == entry;
}

bool CDesktopIntegration::RemoveRunValue(const std::string& name, bool allUsers)
{
    if (name.empty() || name.find('/') != std::string::npos)
        return false;
    std::error_code error;
    return fs::remove(RunPath(name, allUsers), error);
}

bool CDesktopIntegration::SetRunAtLogon()
{
    return !m_programPath.empty() && SetRunValue(kRunName, m_programPath, false);
}

bool CDesktopIntegration::RemoveRunAtLogon()
{
    return RemoveRunValue(kRunName, false);
}
} // namespace desktop

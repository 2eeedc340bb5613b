#include "mainwindow/ProfileStore.h"

#include "foundation/uPrivateFolder.h"

#include <cstdlib>
#include <filesystem>
#include <wx/fileconf.h>

namespace
{
wxString Key(const std::string& section, const std::string& entry)
{
    wxString key = "/" + wxString::FromUTF8(CProfileStore::kProfileKey) + "/";
    if (!section.empty())
        key += wxString::FromUTF8(section) + "/";
    return key + wxString::FromUTF8(entry);
}
// The group path of a registry key ("A\\B" to "/A/B"); false for a name
// that would step elsewhere or say nothing.
bool GroupOf(const std::string& key, wxString& group)
{
    group.clear();
    std::size_t start = 0;
    while (start <= key.size())
    {
        std::size_t end = key.find('\\', start);
        if (end == std::string::npos)
            end = key.size();
        const std::string name = key.substr(start, end - start);
        if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos)
            return false;
        group += "/" + wxString::FromUTF8(name);
        start = end + 1;
    }
    return true;
}

// The default value of a key is the entry "@", as a registry export names it.
wxString EntryOf(const wxString& group, const std::string& name)
{
    return group + "/" + (name.empty() ? wxString("@") : wxString::FromUTF8(name));
}
} // namespace

std::string CProfileStore::DefaultPath()
{
    std::filesystem::path folder;
    const char* configHome = std::getenv("XDG_CONFIG_HOME");
    if (configHome != nullptr && configHome[0] == '/')
        folder = configHome;
    else if (const std::string home = UserHomeFolder(); !home.empty())
        folder = std::filesystem::path(home) / ".config";
    else
    {
        // Never a folder of the temporary folder's that others could have made first.
        const std::string own = PrivateTemporaryFolder();
        folder = own.empty() ? "/" : own;
    }
    return (folder / "kestrova" / "profile.ini").string();
}

CProfileStore::CProfileStore(std::string path) : m_path(std::move(path))
{
    std::error_code error;
    std::filesystem::create_directories(std::filesystem::path(m_path).parent_path(), error);
    m_config = std::make_unique<wxFileConfig>(wxEmptyString, wxEmptyString, wxString::FromUTF8(m_path),
                                              wxEmptyString, wxCONFIG_USE_LOCAL_FILE);
    // Values are stored as given: no environment variables expanded.
    m_config->SetExpandEnvVars(false);
}

CProfileStore::~CProfileStore()
{
    Flush();
}

int CProfileStore::GetProfileInt(const std::string& section, const std::string& entry, int defaultValue) const
{
    long value = defaultValue;
    m_config->Read(Key(section, entry), &value, defaultValue);
    return static_cast<int>(value);
}

std::string CProfileStore::GetProfileString(const std::string& section, const std::string& entry,
                                            const std::string& defaultValue) const
{
    wxString value;
    if (!m_config->Read(Key(section, entry), &value))
        return defaultValue;
    return value.utf8_string();
}

bool CProfileStore::WriteProfileInt(const std::string& section, const std::string& entry, int value)
{
    long stored = 0;
    if (m_config->Read(Key(section, entry), &stored) && stored == value)
        return true;
    return m_config->Write(Key(section, entry), static_cast<long>(value));
}

bool CProfileStore::WriteProfileString(const std::string& section, const std::string& entry,
                                       const std::string& value)
{
    wxString stored;
    wxString wanted = wxString::FromUTF8(value);
    if (m_config->Read(Key(section, entry), &stored) && stored == wanted)
        return true;
    return m_config->Write(Key(section, entry), wanted);
}

bool CProfileStore::Flush()
{
    return m_config->Flush();
}

bool CProfileStore::HasKey(const std::string& key) const
{
    wxString group;
    return GroupOf(key, group) && m_config->HasGroup(group);
}

bool CProfileStore::CreateKey(const std::string& key)
{
    wxString group;
    if (!GroupOf(key, group))
        return false;
    // Setting the path makes the missing groups.
    const wxString previous = m_config->GetPath();
    m_config->SetPath(group);
    m_config->SetPath(previous);
    return m_config->HasGroup(group);
}

bool CProfileStore::ReadValue(const std::string& key, const std::string& name, std::string& value) const
{
    value.clear();
    wxString group;
    wxString stored;
    if (!GroupOf(key, group) || !m_config->Read(EntryOf(group, name), &stored))
        return false;
    value = stored.utf8_string();
    return true;
}

bool CProfileStore::WriteValue(const std::string& key, const std::string& name, const std::string& value)
{
    wxString group;
    if (!GroupOf(key, group))
        return false;
    const wxString entry = EntryOf(group, name);
    const wxString wanted = wxString::FromUTF8(value);
    wxString stored;
    if (m_config->Read(entry, &stored) && stored == wanted)
        return true;
    return m_config->Write(entry, wanted);
}

#include "mainwindow/LanguageSelector.h"

#include "foundation/uTranslation.h"
#include "mainwindow/ProfileStore.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <wx/app.h>
#include <wx/intl.h>
#include <wx/menu.h>
#include <wx/translation.h>

namespace
{
constexpr const char* kLanguageEntry = "LanguageId";

std::string FirstVariable(std::initializer_list<const char*> names)
{
    for (const char* name : names)
    {
        const char* value = std::getenv(name);
        if (value != nullptr && value[0] != '\0')
            return value;
    }
    return {};
}

// LANG=... of a shell-style locale file (quotes removed).
std::string LangOfFile(const char* path)
{
    std::ifstream stream(path);
    for (std::string line; std::getline(stream, line);)
    {
        if (line.rfind("LANG=", 0) != 0)
            continue;
        std::string value = line.substr(5);
        value.erase(std::remove(value.begin(), value.end(), '"'), value.end());
        value.erase(std::remove(value.begin(), value.end(), '\''), value.end());
        return value;
    }
    return {};
}

// The toolkit's own texts (the stock buttons "Cancel", "Apply") come from its
// catalog, wxstd, which must follow ours; empty: its English ones again.
void UseToolkitCatalog(const std::string& posixName)
{
    if (wxTheApp == nullptr)
        return; // no toolkit running: none of its texts is shown
    if (posixName.empty())
    {
        wxTranslations::Set(nullptr);
        return;
    }
    auto* translations = new wxTranslations;
    translations->SetLanguage(wxString::FromUTF8(posixName));
    translations->AddStdCatalog();
    wxTranslations::Set(translations);
}

bool EndsWithMo(std::string name)
{
    std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
    return name.size() > 3 && name.compare(name.size() - 3, 3, ".mo") == 0;
}
} // namespace

std::string CProcessLocaleEnvironment::UserInterfaceLocale() const
{
    std::string list = FirstVariable({"LANGUAGE"});
    std::string first = list.substr(0, list.find(':'));
    return !first.empty() ? first : FirstVariable({"LC_ALL", "LC_MESSAGES", "LANG"});
}

std::string CProcessLocaleEnvironment::SystemInterfaceLocale() const
{
    std::string lang = LangOfFile("/etc/default/locale");
    return !lang.empty() ? lang : LangOfFile("/etc/locale.conf");
}

std::string CProcessLocaleEnvironment::UserDefaultLocale() const
{
    return FirstVariable({"LC_ALL", "LC_CTYPE", "LANG"});
}

CLanguageSelector::CLanguageSelector(std::string languagesFolder, CProfileStore* profile,
                                     std::shared_ptr<ILocaleEnvironment> environment)
    : m_folder(std::move(languagesFolder)), m_profile(profile), m_environment(std::move(environment))
{
    if (!m_environment)
        m_environment = std::make_shared<CProcessLocaleEnvironment>();
}

CLanguageSelector::~CLanguageSelector()
{
    Release();
}

void CLanguageSelector::Release()
{
    if (!m_loaded)
        return;
    uSetCatalog(nullptr);
    UseToolkitCatalog({});
    m_loaded = false;
}

bool CLanguageSelector::LoadCurrentLanguage()
{
    if (m_currentLanguage == kOwnLanguage)
    {
        Release();
        return true;
    }
    std::string name = language::PosixName(m_currentLanguage);
    if (name.empty())
        return false;
    std::string path = m_folder + "/" + name + ".mo";
    m_triedFiles.push_back(path);
    auto catalog = std::make_shared<uMoCatalog>();
    if (!catalog->load(path))
        return false; // the previous catalog stays
    uSetCatalog(std::move(catalog));
    UseToolkitCatalog(name);
    m_loaded = true;
    return true;
}

bool CLanguageSelector::TryLanguage(std::uint16_t id)
{
    if (id == 0)
        return false;
    m_currentLanguage = id;
    if (LoadCurrentLanguage())
        return true;
    if (id > 1023)
    {
        // The language without its country...
        m_currentLanguage = id & 0x3FF;
        if (LoadCurrentLanguage())
            return true;
    }
    // ...and, unless that was already the default country, with it.
    if ((id >> 10) == 1)
        return false;
    m_currentLanguage = (id & 0x3FF) | 0x400;
    return LoadCurrentLanguage();
}

bool CLanguageSelector::ChooseLanguage()
{
    std::uint16_t stored = m_profile != nullptr
                               ? static_cast<std::uint16_t>(m_profile->GetProfileInt("", kLanguageEntry, 0))
                               : m_pickedWithoutProfile;
    const std::uint16_t system = language::IdFromPosix(m_environment->SystemInterfaceLocale());
    const std::uint16_t candidates[] = {
        stored, language::IdFromPosix(m_environment->UserInterfaceLocale()),
        system, language::IdFromPosix(m_environment->UserDefaultLocale()),
        system, kOwnLanguage,
    };
    for (std::uint16_t candidate : candidates)
    {
        if (TryLanguage(candidate))
            return true;
    }
    return false;
}

void CLanguageSelector::RefreshLanguages()
{
    m_languages.clear();
    m_languages.push_back(kOwnLanguage);
    std::vector<std::filesystem::path> files;
    std::error_code error;
    for (std::filesystem::directory_iterator it(m_folder, error), end; !error && it != end;
         it.increment(error))
    {
        if (EndsWithMo(it->path().filename().string()))
            files.push_back(it->path());
    }
    std::sort(files.begin(), files.end());
    for (const std::filesystem::path& file : files)
    {
        if (m_languages.size() >= static_cast<size_t>(kMaximumLanguages))
            break;
        if (std::uint16_t id = language::IdFromPosix(uMoCatalog::readLanguage(file.string())))
            m_languages.push_back(id);
    }
}

void CLanguageSelector::BuildLanguageMenu(wxMenu& menu)
{
    RefreshLanguages();
    while (menu.GetMenuItemCount() > 0)
        menu.Destroy(menu.FindItemByPosition(0));
    for (size_t i = 0; i < m_languages.size(); ++i)
    {
        wxMenuItem* entry = menu.AppendRadioItem(kFirstCommand + static_cast<int>(i),
                                                 wxString::FromUTF8(DisplayName(m_languages[i])));
        if (m_languages[i] == m_currentLanguage)
            entry->Check();
    }
}

bool CLanguageSelector::SelectLanguage(int commandId)
{
    int index = commandId - kFirstCommand;
    if (index < 0 || index >= static_cast<int>(m_languages.size()))
        return false;
    std::uint16_t picked = m_languages[static_cast<size_t>(index)];
    if (m_profile != nullptr)
    {
        m_profile->WriteProfileInt("", kLanguageEntry, picked);
        m_profile->Flush();
    }
    else
    {
        m_pickedWithoutProfile = picked;
    }
    ChooseLanguage();
    return true;
}

std::string CLanguageSelector::DisplayName(std::uint16_t id)
{
    const wxLanguageInfo* info = wxLocale::FindLanguageInfo(wxString::FromUTF8(language::PosixName(id)));
    if (info != nullptr && !language::PosixName(id).empty())
    {
        wxString name = info->DescriptionNative.empty() ? info->Description : info->DescriptionNative;
        if (!name.empty())
            return name.utf8_string();
    }
    return std::to_string(id) + " - ???";
}

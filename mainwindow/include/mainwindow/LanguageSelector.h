#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CProfileStore;
class wxMenu;

// A language is known by its 16-bit identifier (primary language in the low
// ten bits, sublanguage above): the profile's "LanguageId", the menu and the
// fallbacks use it. Its catalog file is named by the POSIX locale name.
namespace language
{
// "de_AT" for 0x0C07, "de" for 0x0007; empty for an identifier we do not know.
std::string PosixName(std::uint16_t id);
// The identifier of "de_AT", "de_AT.UTF-8@euro" or "de"; 0 for "C", "POSIX"
// and names we do not know.
std::uint16_t IdFromPosix(const std::string& name);
} // namespace language

// Where the user's and the system's languages come from; tests give their own.
class ILocaleEnvironment
{
public:
    virtual ~ILocaleEnvironment() = default;
    // The user's interface language: the first entry of LANGUAGE, else
    // LC_ALL, LC_MESSAGES, LANG.
    virtual std::string UserInterfaceLocale() const = 0;
    // The system's: LANG of the system-wide locale file.
    virtual std::string SystemInterfaceLocale() const = 0;
    // The user's default locale: LC_ALL, LC_CTYPE, LANG.
    virtual std::string UserDefaultLocale() const = 0;
};

class CProcessLocaleEnvironment : public ILocaleEnvironment
{
public:
    std::string UserInterfaceLocale() const override;
    std::string SystemInterfaceLocale() const override;
    std::string UserDefaultLocale() const override;
};

// Chooses the interface language at start, lists the catalogs of the
// languages folder for the Language menu and switches on a pick. The chosen
// catalog becomes the one every text is looked up in (uTr); choosing never
// touches the C library's locale, so numbers keep their format.
// User-interface thread only.
class CLanguageSelector
{
public:
    // The program's own language, English (United States): no catalog.
    static constexpr std::uint16_t kOwnLanguage = 0x0409;
    static constexpr int kFirstCommand = 28416;
    static constexpr int kMaximumLanguages = 256;

    // profile may be null: a pick is then kept for this run only.
    CLanguageSelector(std::string languagesFolder, CProfileStore* profile,
                      std::shared_ptr<ILocaleEnvironment> environment = nullptr);
    ~CLanguageSelector(); // back to the program's own texts

    // Tries the stored choice, the user's and the system's languages, then
    // the program's own; true when one was made current.
    bool ChooseLanguage();
    // The languages present: the program's own first, then each catalog in
    // the folder whose header names a language we know.
    void RefreshLanguages();
    const std::vector<std::uint16_t>& GetLanguages() const { return m_languages; }
    // Lists the languages again and makes them the entries of the Language
    // sub-menu: command kFirstCommand + index, the language's name, the
    // current one checked among them.
    void BuildLanguageMenu(wxMenu& menu);
    std::uint16_t GetCurrentLanguage() const { return m_currentLanguage; }
    // Stores the language of command kFirstCommand + index and chooses again;
    // false when there is no language at that index.
    bool SelectLanguage(int commandId);

    // The catalog files tried so far, in order (for diagnostics and tests).
    const std::vector<std::string>& GetTriedFiles() const { return m_triedFiles; }
    // The language's own name ("Deutsch"), else its English one, else "N - ???".
    static std::string DisplayName(std::uint16_t id);

private:
    bool TryLanguage(std::uint16_t id);
    bool LoadCurrentLanguage();
    void Release();

    std::string m_folder;
    CProfileStore* m_profile;
    std::shared_ptr<ILocaleEnvironment> m_environment;
    std::vector<std::uint16_t> m_languages;
    std::uint16_t m_currentLanguage = 0;
    std::uint16_t m_pickedWithoutProfile = 0;
    bool m_loaded = false;
    std::vector<std::string> m_triedFiles;
};

#pragma once

#include <memory>
#include <string>

class wxFileConfig;

// The application profile: small values the program keeps per user apart from
// its configuration ("LanguageId" in the section with the empty name). Kept in
// a file under $XDG_CONFIG_HOME (else ~/.config), written through a temporary
// file when a value changed. User-interface thread only.
class CProfileStore
{
public:
    // The profile key: names the maker and the product.
    static constexpr const char* kProfileKey = "Pellam System LLC - Kestrova RSS Reader";

    // The file of the current user's profile.
    static std::string DefaultPath();

    explicit CProfileStore(std::string path = DefaultPath());
    ~CProfileStore(); // writes what changed
    CProfileStore(const CProfileStore&) = delete;
    CProfileStore& operator=(const CProfileStore&) = delete;

    // A section named "" holds its values at the top of the profile.
    int GetProfileInt(const std::string& section, const std::string& entry, int defaultValue) const;
    std::string GetProfileString(const std::string& section, const std::string& entry,
                                 const std::string& defaultValue = {}) const;
    // Nothing is written when the value is already stored.
    bool WriteProfileInt(const std::string& section, const std::string& entry, int value);
    bool WriteProfileString(const std::string& section, const std::string& entry, const std::string& value);
    // Keys by path from the top of the profile, "\\" between their names
    // (the registry functions' view). A value named "" is the key's default
    // value. Names that are empty or "." or ".." are refused.
    bool HasKey(const std::string& key) const;
    bool CreateKey(const std::string& key);
    bool ReadValue(const std::string& key, const std::string& name, std::string& value) const;
    // Nothing is written when the value is already stored.
    bool WriteValue(const std::string& key, const std::string& name, const std::string& value);

    // Writes the file now; false when that failed.
    bool Flush();

    const std::string& GetPath() const { return m_path; }

private:
    std::string m_path;
    std::unique_ptr<wxFileConfig> m_config;
};

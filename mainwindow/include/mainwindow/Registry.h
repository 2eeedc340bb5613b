#pragma once

#include <string>

class CProfileStore;

// The registry functions over what this system has in place of a registry.
// The current user's keys are groups of the profile file ("A\B" is the group
// A/B; the default value is the entry "@"). The machine-wide roots hold the
// keys of other programs (their file types, the media players), which do not
// exist here: they read as absent and take no writes.
//
// User-interface thread only, as the profile store is.
namespace registry
{
// A root key: a store, or none for a root this system does not have.
struct RegistryRoot
{
    CProfileStore* store = nullptr;
};
// An open key of a root.
struct RegistryKey
{
    CProfileStore* store = nullptr;
    std::string path;
};

inline RegistryRoot CurrentUser(CProfileStore& profile)
{
    return RegistryRoot{&profile};
}
inline RegistryRoot ClassesRoot()
{
    return {};
}
inline RegistryRoot LocalMachine()
{
    return {};
}

// Values are at most this many characters.
inline constexpr std::size_t kMaxValueLength = 1023;

// Opens the key, creating it when `create` is set; false when the root is
// absent or the key cannot be had.
bool RegOpenKey(const RegistryRoot& root, const std::string& subkey, bool create, RegistryKey& key);
// Opens or creates the key and writes the value; nothing when the key can be
// neither opened nor created. A longer value is not written at all: cut, a
// path would name another file.
void RegWriteString(const RegistryRoot& root, const std::string& subkey, const std::string& valueName,
                    const std::string& value);
// Opens the key, creating it when missing; false when neither works, else
// the result of RegQueryStringValue.
bool RegReadString(const RegistryRoot& root, const std::string& subkey, const std::string& valueName,
                   std::string& out);
// `out` is emptied first; true with the text when the value exists (an empty
// value gives an empty text), false when it does not.
bool RegQueryStringValue(const RegistryKey& key, const std::string& valueName, std::string& out);

// Points the extension at the program type `type` when that type exists,
// keeping the extension's earlier type in its value "Kestrova.Backup".
// Nothing when the type is missing or the extension already points at it.
void TakeOverExtension(const RegistryRoot& classes, const std::string& ext, const std::string& type);
} // namespace registry

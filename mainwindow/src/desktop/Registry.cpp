#include "mainwindow/Registry.h"

#include "mainwindow/ProfileStore.h"

#include <cstdint>

namespace registry
{
namespace
{
std::size_t CharacterCount(const std::string& text)
{
    std::size_t count = 0;
    for (char c : text)
        count += (static_cast<std::uint8_t>(c) & 0xC0) != 0x80 ? 1 : 0;
    return count;
}
} // namespace

bool RegOpenKey(const RegistryRoot& root, const std::string& subkey, bool create, RegistryKey& key)
{
    key = {};
    if (root.store == nullptr)
        return false;
    if (!root.store->HasKey(subkey) && !(create && root.store->CreateKey(subkey)))
        return false;
    key = RegistryKey{root.store, subkey};
    return true;
}

void RegWriteString(const RegistryRoot& root, const std::string& subkey, const std::string& valueName,
                    const std::string& value)
{
    RegistryKey key;
    if (CharacterCount(value) > kMaxValueLength || !RegOpenKey(root, subkey, true, key))
        return;
    key.store->WriteValue(key.path, valueName, value);
}

bool RegReadString(const RegistryRoot& root, const std::string& subkey, const std::string& valueName,
                   std::string& out)
{
    out.clear();
    RegistryKey key;
    if (!RegOpenKey(root, subkey, true, key))
        return false;
    return RegQueryStringValue(key, valueName, out);
}

bool RegQueryStringValue(const RegistryKey& key, const std::string& valueName, std::string& out)
{
    out.clear();
    return key.store != nullptr && key.store->ReadValue(key.path, valueName, out);
}

void TakeOverExtension(const RegistryRoot& classes, const std::string& ext, const std::string& type)
{
    // The program type must be there: its default value names it.
    std::string description;
    if (!RegReadString(classes, type, "", description) || description.empty())
        return;
    std::string current;
    if (RegReadString(classes, ext, "", current) && current == type)
        return;
    RegWriteString(classes, ext, "Kestrova.Backup", current);
    RegWriteString(classes, ext, "", type);
}
} // namespace registry

#include "foundation/uTranslation.h"

#include "PluralRule.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <mutex>
#include <sstream>
#include <vector>

namespace
{
constexpr std::uint32_t kMagic = 0x950412de;
constexpr std::uint32_t kMagicSwapped = 0xde120495;
// Larger files are no catalogs of ours.
constexpr std::size_t kMaximumSize = 16 * 1024 * 1024;

std::uint32_t Swap(std::uint32_t value)
{
    return (value >> 24) | ((value >> 8) & 0xFF00) | ((value << 8) & 0xFF0000) | (value << 24);
}

struct Reader
{
    const std::string& bytes;
    bool swapped = false;

    bool Word(std::size_t offset, std::uint32_t& value) const
    {
        if (offset > bytes.size() || bytes.size() - offset < 4)
            return false;
        std::uint32_t raw = 0;
        for (int i = 3; i >= 0; --i)
            raw = (raw << 8) | static_cast<unsigned char>(bytes[offset + static_cast<std::size_t>(i)]);
        value = swapped ? Swap(raw) : raw;
        return true;
    }

    // The string of table entry index: length, then offset.
    bool String(std::size_t table, std::uint32_t index, std::string& text) const
    {
        std::uint32_t length = 0, offset = 0;
        std::size_t entry = table + static_cast<std::size_t>(index) * 8;
        if (!Word(entry, length) || !Word(entry + 4, offset))
            return false;
        if (offset > bytes.size() || bytes.size() - offset < length)
            return false;
        text.assign(bytes, offset, length);
        return true;
    }
};

std::string HeaderField(const std::string& header, std::string_view name)
{
    std::istringstream lines(header);
    for (std::string line; std::getline(lines, line);)
    {
        if (line.compare(0, name.size(), name) != 0)
            continue;
        std::string value = line.substr(name.size());
        size_t first = value.find_first_not_of(" \t");
        size_t last = value.find_last_not_of(" \t\r");
        return first == std::string::npos ? std::string() : value.substr(first, last - first + 1);
    }
    return {};
}

std::mutex g_keptLock;
std::vector<std::shared_ptr<const uMoCatalog>> g_kept;
std::atomic<const uMoCatalog*> g_current{nullptr};
} // namespace

bool uMoCatalog::load(const std::string& path)
{
    m_messages.clear();
    m_plurals.clear();
    m_language.clear();
    m_pluralForms.clear();
    std::ifstream stream(path, std::ios::binary);
    if (!stream)
        return false;
    std::string bytes;
    char buffer[65536];
    while (stream.read(buffer, sizeof buffer) || stream.gcount() > 0)
    {
        bytes.append(buffer, static_cast<std::size_t>(stream.gcount()));
        if (bytes.size() > kMaximumSize)
            return false;
    }

    Reader reader{bytes};
    std::uint32_t magic = 0, count = 0, originals = 0, translations = 0;
    if (!reader.Word(0, magic))
        return false;
    if (magic == kMagicSwapped)
        reader.swapped = true;
    else if (magic != kMagic)
        return false;
    if (!reader.Word(8, count) || !reader.Word(12, originals) || !reader.Word(16, translations))
        return false;
    // Each entry takes 8 bytes in each table: more entries than bytes is damage.
    if (count > bytes.size() / 8)
        return false;

    std::unordered_map<std::string, std::string> messages;
    std::unordered_map<std::string, std::vector<std::string>> plurals;
    for (std::uint32_t i = 0; i < count; ++i)
    {
        std::string original, translation;
        if (!reader.String(originals, i, original) || !reader.String(translations, i, translation))
            return false;
        // Plural forms: the singular is the key and the first form its text;
        // the forms, separated by NUL, are kept for texts with a number.
        const bool plural = original.find('\0') != std::string::npos;
        original = original.substr(0, original.find('\0'));
        if (plural && !translation.empty())
        {
            std::vector<std::string>& forms = plurals[original];
            for (std::size_t at = 0; at <= translation.size();)
            {
                std::size_t end = std::min(translation.find('\0', at), translation.size());
                forms.push_back(translation.substr(at, end - at));
                at = end + 1;
            }
        }
        translation = translation.substr(0, translation.find('\0'));
        if (original.empty())
        {
            m_language = HeaderField(translation, "Language:");
            m_pluralForms = HeaderField(translation, "Plural-Forms:");
            continue;
        }
        if (!translation.empty())
            messages.emplace(std::move(original), std::move(translation));
    }
    m_messages = std::move(messages);
    m_plurals = std::move(plurals);
    return true;
}

const std::string* uMoCatalog::find(std::string_view text) const
{
    auto found = m_messages.find(std::string(text));
    return found == m_messages.end() ? nullptr : &found->second;
}

const std::string* uMoCatalog::findPlural(std::string_view text, unsigned long n) const
{
    auto found = m_plurals.find(std::string(text));
    if (found == m_plurals.end())
        return nullptr;
    PluralRule rule;
    rule.parse(m_pluralForms);
    const unsigned long form = rule.formFor(n);
    // An empty form is one the translator left out.
    if (form >= found->second.size() || found->second[form].empty())
        return nullptr;
    return &found->second[form];
}

std::string uMoCatalog::readLanguage(const std::string& path)
{
    uMoCatalog catalog;
    return catalog.load(path) ? catalog.getLanguage() : std::string();
}

void uSetCatalog(std::shared_ptr<const uMoCatalog> catalog)
{
    std::lock_guard hold(g_keptLock);
    if (catalog)
        g_kept.push_back(catalog);
    g_current.store(catalog.get());
}

const uMoCatalog* uGetCatalog()
{
    return g_current.load();
}

std::string_view uTr(std::string_view text)
{
    const uMoCatalog* catalog = g_current.load();
    if (catalog == nullptr || text.empty())
        return text;
    const std::string* translation = catalog->find(text);
    return translation != nullptr ? std::string_view(*translation) : text;
}

std::string_view uTrPlural(std::string_view text, unsigned long n)
{
    const uMoCatalog* catalog = g_current.load();
    if (catalog == nullptr || text.empty())
        return text;
    const std::string* form = catalog->findPlural(text, n);
    return form != nullptr ? std::string_view(*form) : uTr(text);
}

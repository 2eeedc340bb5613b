#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

// The interface language's message catalog: a gettext binary file (.mo) read
// by our own bounds-checked reader, and the process-wide catalog that every
// text the program shows is looked up in (uTr). Without a catalog the
// program's own English texts are shown as they stand.
class uMoCatalog
{
public:
    // False, with the catalog left empty, for a missing, truncated or
    // damaged file.
    bool load(const std::string& path);
    // The translation, or null when the catalog has none for the text.
    const std::string* find(std::string_view text) const;
    // The "Language:" field of the catalog's header; empty when it has none.
    const std::string& getLanguage() const { return m_language; }
    std::size_t size() const { return m_messages.size(); }

    // Just the header's language of the file at path (empty on any failure).
    static std::string readLanguage(const std::string& path);

private:
    std::unordered_map<std::string, std::string> m_messages;
    std::string m_language;
};

// Makes the catalog current (null: the program's own texts again). A catalog
// once installed is kept until the program ends, so that every text uTr handed
// out stays valid. Any thread.
void uSetCatalog(std::shared_ptr<const uMoCatalog> catalog);
const uMoCatalog* uGetCatalog();

// The text in the current language: its translation, else the text itself.
std::string_view uTr(std::string_view text);

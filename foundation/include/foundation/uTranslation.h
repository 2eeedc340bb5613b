#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

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
    // The form of a text with plural forms that goes with the number n (by
    // the header's "Plural-Forms:" rule), or null when the catalog has none.
    const std::string* findPlural(std::string_view text, unsigned long n) const;
    // The "Language:" field of the catalog's header; empty when it has none.
    const std::string& getLanguage() const { return m_language; }
    std::size_t size() const { return m_messages.size(); }

    // Just the header's language of the file at path (empty on any failure).
    static std::string readLanguage(const std::string& path);

private:
    std::unordered_map<std::string, std::string> m_messages;
    // Texts with plural forms: all their forms, under the singular.
    std::unordered_map<std::string, std::vector<std::string>> m_plurals;
    std::string m_language;
    std::string m_pluralForms; // the header's "Plural-Forms:" value
};

// Makes the catalog current (null: the program's own texts again). A catalog
// once installed is kept until the program ends, so that every text uTr handed
// out stays valid. Any thread.
void uSetCatalog(std::shared_ptr<const uMoCatalog> catalog);
const uMoCatalog* uGetCatalog();

// The text in the current language: its translation, else the text itself.
std::string_view uTr(std::string_view text);

// The form of a text that goes with the number n, in the current language;
// without forms in the catalog, what uTr gives, whatever the number.
std::string_view uTrPlural(std::string_view text, unsigned long n);

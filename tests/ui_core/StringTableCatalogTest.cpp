// The string table against the shipped German catalog: every text the
// program takes from the table has its translation, under an id of its own,
// and a German text takes the same arguments as its English one.
#include "StringTable.h"
#include "foundation/uTranslation.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <regex>
#include <set>
#include <string>
#include <vector>

namespace
{
// The conversions of a format text: printf's in their order, then the
// numbered places ("%1"), which a translation may reorder, sorted.
std::vector<std::string> Conversions(const std::string& text)
{
    static const std::regex conversion(
        R"(%(?:[-+ #0]*[0-9]*(?:\.[0-9]+)?(?:hh|h|ll|l|L|z|j|t)?[diouxXeEfgGcsp]|%|[1-9]))");
    std::vector<std::string> ordered;
    std::vector<std::string> numbered;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), conversion); it != std::sregex_iterator();
         ++it)
    {
        const std::string found = it->str();
        (std::isdigit(static_cast<unsigned char>(found[1])) ? numbered : ordered).push_back(found);
    }
    std::sort(numbered.begin(), numbered.end());
    ordered.insert(ordered.end(), numbered.begin(), numbered.end());
    return ordered;
}

TEST(StringTableCatalogTest, EveryTableTextHasAGermanTranslationWithItsConversionsAndEachIdIsUsedOnce)
{
    std::set<int> ids;
    for (const resources::StringEntry& entry : resources::kStringTable)
        EXPECT_TRUE(ids.insert(entry.id).second) << "id " << entry.id << " twice";

    const char* program = std::getenv("KESTROVA_PROGRAM_DIR");
    ASSERT_NE(program, nullptr);
    const std::string path = std::string(program) + "/languages/de.mo";
    if (!std::filesystem::exists(path))
        GTEST_SKIP() << "the build made no catalogs (msgfmt missing)";
    uMoCatalog german;
    ASSERT_TRUE(german.load(path));
    for (const resources::StringEntry& entry : resources::kStringTable)
    {
        const std::string text(entry.text);
        // Texts without a letter ("5 min." has one) need no translation.
        if (text.find_first_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz") == std::string::npos)
            continue;
        const std::string* translated = german.find(text);
        EXPECT_TRUE(translated != nullptr && !translated->empty()) << entry.id << " \"" << text << "\"";
        // The German texts are formats too: another argument there reads
        // what the caller never passed.
        if (translated != nullptr)
        {
            EXPECT_EQ(Conversions(*translated), Conversions(text))
                << entry.id << " \"" << *translated << "\"";
        }
    }
}
} // namespace

// The string table against the shipped German catalog: every text the
// program takes from the table has its translation, under an id of its own.
#include "StringTable.h"
#include "foundation/uTranslation.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <set>
#include <string>

namespace
{
TEST(StringTableCatalogTest, EveryTableTextHasAGermanTranslationAndEachIdIsUsedOnce)
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
    }
}
} // namespace

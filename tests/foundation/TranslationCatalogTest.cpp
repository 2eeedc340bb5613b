// The catalog reader on files made by the real msgfmt, and on damaged ones.
#include "foundation/uTranslation.h"
#include "support/MsgfmtCatalog.h"
#include "support/TempDir.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>

using testsupport::TempDir;

namespace
{
using testsupport::HaveMsgfmt;

// A catalog compiled by the real msgfmt.
std::string Compile(const TempDir& dir, const std::string& name, const std::string& language,
                    const std::string& endianness = "little")
{
    return testsupport::CompileCatalog(dir, name, language, endianness);
}

} // namespace

TEST(MoCatalogTest, CatalogsOfEitherByteOrderAreReadAndDamagedOnesRefused)
{
    if (!HaveMsgfmt())
        GTEST_SKIP() << "msgfmt (gettext) is not installed";
    TempDir dir;
    uSetCatalog(nullptr);
    for (const char* order : {"little", "big"})
    {
        uMoCatalog catalog;
        ASSERT_TRUE(catalog.load(Compile(dir, std::string("x-") + order + ".mo", "de_AT", order))) << order;
        EXPECT_EQ(catalog.getLanguage(), "de_AT");
        ASSERT_NE(catalog.find("&File"), nullptr);
        EXPECT_EQ(*catalog.find("&File"), "&Datei");
        EXPECT_EQ(*catalog.find("item"), "Eintrag");
        EXPECT_EQ(catalog.find("untranslated"), nullptr) << "an empty translation is no translation";
    }
    std::string whole = testsupport::ReadFileBytes(dir.file("x-little.mo"));
    uMoCatalog catalog;
    for (size_t length : {size_t(0), size_t(3), size_t(20), whole.size() / 2})
        EXPECT_FALSE(catalog.load(dir.write("cut.mo", whole.substr(0, length)))) << length;
    std::string wild = whole;
    wild[8] = '\x7f'; // a message count far beyond the file
    EXPECT_FALSE(catalog.load(dir.write("wild.mo", wild)));
    EXPECT_FALSE(catalog.load(dir.file("none.mo")));
    EXPECT_EQ(catalog.size(), 0u);

    auto current = std::make_shared<uMoCatalog>();
    ASSERT_TRUE(current->load(dir.file("x-big.mo")));
    uSetCatalog(current);
    EXPECT_EQ(uTr("&File"), "&Datei");
    EXPECT_EQ(uTr("not in it"), "not in it");
    uSetCatalog(nullptr);
    EXPECT_EQ(uTr("&File"), "&File");
}

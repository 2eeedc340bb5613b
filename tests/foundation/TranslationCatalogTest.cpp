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

// A text after a number takes the form the catalog's rule picks; a rule that
// cannot be read, or a form left empty, falls back without fault.
TEST(MoCatalogTest, PluralFormsFollowTheCatalogsRule)
{
    if (!HaveMsgfmt())
        GTEST_SKIP() << "msgfmt (gettext) is not installed";
    TempDir dir;
    auto compile = [&](const std::string& name, const std::string& rule, const std::string& forms)
    {
        std::string po =
            dir.write(name + ".po", "msgid \"\"\nmsgstr \"\"\n\"Content-Type: text/plain; "
                                    "charset=UTF-8\\n\"\n\"Plural-Forms: " +
                                        rule + "\\n\"\n\nmsgid \"file\"\nmsgid_plural \"files\"\n" + forms +
                                        "\nmsgid \"days\"\nmsgstr \"Tage\"\n");
        std::string mo = dir.file(name + ".mo");
        std::system(("/usr/bin/msgfmt -o '" + mo + "' '" + po + "' 2>/dev/null").c_str());
        return mo;
    };
    const std::string three = "msgstr[0] \"plik\"\nmsgstr[1] \"pliki\"\nmsgstr[2] \"plików\"\n";
    const struct
    {
        const char* rule;
        std::string forms;
        std::vector<std::pair<unsigned long, const char*>> expected;
    } rows[] = {
        {"nplurals=3; plural=(n==1 ? 0 : n%10>=2 && n%10<=4 && (n%100<10 || n%100>=20) ? 1 : 2);",
         three,
         {{1, "plik"}, {3, "pliki"}, {13, "plików"}, {22, "pliki"}, {0, "plików"}}},
        // Divides by zero for 3 only.
        {"nplurals=2; plural=n%(n-3);",
         "msgstr[0] \"Datei\"\nmsgstr[1] \"Dateien\"\n",
         {{3, "Datei"}, {1, "Dateien"}}},
        {"nplurals=2; plural=(n !=;",
         "msgstr[0] \"Datei\"\nmsgstr[1] \"Dateien\"\n",
         {{1, "Datei"}, {4, "Dateien"}}},
        {"nplurals=3; plural=n;", three, {{2, "plików"}, {3, "plik"}}},
    };
    int index = 0;
    for (const auto& row : rows)
    {
        auto catalog = std::make_shared<uMoCatalog>();
        ASSERT_TRUE(catalog->load(compile("rule" + std::to_string(index++), row.rule, row.forms)))
            << row.rule;
        uSetCatalog(catalog);
        for (const auto& [n, form] : row.expected)
            EXPECT_EQ(uTrPlural("file", n), form) << row.rule << " n=" << n;
        EXPECT_EQ(uTrPlural("days", 1), "Tage") << "a text without forms: its translation";
    }
    uSetCatalog(nullptr);
    EXPECT_EQ(uTrPlural("file", 2), "file");
}

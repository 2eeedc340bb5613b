// Document type declarations cut out of a feed that the strict load refused:
// the result of pass after pass, computed in one sweep.
#include "feeds/DocumentTypes.h"

#include "feeds/FeedStore.h"
#include "feeds/support/ConfigHome.h"
#include "feeds/support/FeedTestSupport.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <random>
#include <string>

namespace
{

using feedtest::S;
using feedtest::U;

// The plain rule, one pass over the whole text per round: the first
// declaration from where the last cut ended goes through its first ">".
std::string CutPassByPass(std::string text)
{
    for (bool cut = true; cut;)
    {
        cut = false;
        std::string kept;
        std::size_t position = 0;
        for (;;)
        {
            const std::size_t start = text.find("<!DOCTYPE", position);
            const std::size_t end = start == std::string::npos ? start : text.find('>', start);
            if (end == std::string::npos)
                break;
            kept.append(text, position, start - position);
            position = end + 1;
            cut = true;
        }
        kept.append(text, position, std::string::npos);
        text.swap(kept);
    }
    return text;
}

std::string Cut(const std::string& text)
{
    uString value(text.c_str(), 0, static_cast<int>(text.size()));
    feeds::RemoveDocumentTypes(value);
    return std::string(value.c_str(), static_cast<std::size_t>(value.getLength()));
}

TEST(DocumentTypesTest, CutsAsPassAfterPassWould)
{
    const struct
    {
        const char* text;
        const char* kept;
    } cases[] = {
        {"<?xml?>\n<!DOCTYPE rss SYSTEM \"x.dtd\">\n<rss/>", "<?xml?>\n\n<rss/>"},
        // An internal subset is cut at its first ">".
        {"<!DOCTYPE rss [<!ENTITY a \"b\">]><rss/>", "]><rss/>"},
        // A cut that joins the pieces of another declaration cuts that one next.
        {"<!DOC<!DOCTYPE>TYPE x>y", "y"},
        // The first declaration swallows one that starts before its ">".
        {"<!DOCTYPE a <!DOCTYPE b> c>", " c>"},
        // A declaration joined by an early cut waits for the next pass, by
        // which time the later one of this pass is gone.
        {"<!DOC<!DOCTYPE>TYPE <!DOCTYPE q>z>", ""},
        {"<!DOCTYPE><!DOCTYPE>x<!DOCTYPE", "x<!DOCTYPE"},
        {"a<!DOCTYPE b", "a<!DOCTYPE b"},
        {"<!doctype rss>", "<!doctype rss>"},
    };
    for (const auto& c : cases)
    {
        EXPECT_EQ(Cut(c.text), c.kept) << c.text;
        EXPECT_EQ(CutPassByPass(c.text), c.kept) << c.text;
    }

    // Random texts from the pieces declarations are made of: the sweep and the
    // passes agree on every one.
    const char* pieces[] = {"<!DOCTYPE", "<!DOC",  "TYPE", ">", "<", "<!",
                            "!DOCTYPE",  "OCTYPE", "x",    " ", "E>"};
    std::mt19937 random(7);
    for (int round = 0; round < 20000; ++round)
    {
        std::string text;
        const int count = static_cast<int>(random() % 24);
        for (int i = 0; i < count; ++i)
            text += pieces[random() % std::size(pieces)];
        ASSERT_EQ(Cut(text), CutPassByPass(text)) << text;
    }
}

// "<!DOC" k times, one declaration, "TYPE>" k times: k passes of the whole
// text, minutes at this size for a pass-by-pass removal.
TEST(DocumentTypesTest, DeepNestingIsCutInOneSweep)
{
    const std::size_t depth = 400000;
    std::string text = "head ";
    for (std::size_t i = 0; i < depth; ++i)
        text += "<!DOC";
    text += "<!DOCTYPE>";
    for (std::size_t i = 0; i < depth; ++i)
        text += "TYPE>";
    text += " tail";
    EXPECT_EQ(Cut(text), "head  tail");

    // Cuts spread over the text between the nested ones do not slow it down.
    std::string spread;
    for (std::size_t i = 0; i < depth / 2; ++i)
        spread += "<!DOCTYPE a>b";
    EXPECT_EQ(Cut(spread + text), std::string(depth / 2, 'b') + "head  tail");
}

// The whole fetch path: a feed behind a nest of declarations the strict
// load refuses is read through the cut text (4 MB: minutes pass by pass).
TEST(DocumentTypesTest, FeedBehindNestedDeclarationsIsRead)
{
    testsupport::ConfigHome config;
    testsupport::TempDir dir;
    std::string body;
    for (int i = 0; i < 400000; ++i)
        body += "<!DOC";
    body += "<!DOCTYPE rss>";
    for (int i = 0; i < 400000; ++i)
        body += "TYPE>";
    body += "<rss><channel><title>c</title><item><title>one</title><link>http://x.test/1</link></item>"
            "</channel></rss>";
    CFeedStore store;
    ASSERT_TRUE(store.LoadFeedFile(uFile(dir.write("feed.xml", body).c_str()), false)) << S(store.errorText);
    ASSERT_EQ(store.items.size(), 1u);
    EXPECT_EQ(S(store.items[0].link), "http://x.test/1");
}

} // namespace

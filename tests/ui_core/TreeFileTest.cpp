#include "foundation/uFile.h"
#include "foundation/uXml.h"
#include "mainwindow/SubscriptionTreeFile.h"
#include "support/TempDir.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <string>

using namespace subscription;

namespace
{
TreeNode Node(uint16_t kind, const char* label, const char* value = "", bool expanded = false)
{
    TreeNode node;
    node.kind = kind;
    node.label = label;
    node.value = value;
    node.expanded = expanded;
    return node;
}

void ExpectSameTree(const std::vector<TreeNode>& expected, const std::vector<TreeNode>& actual,
                    const std::string& where = "top")
{
    ASSERT_EQ(expected.size(), actual.size()) << where;
    for (size_t i = 0; i < expected.size(); ++i)
    {
        std::string at = where + "/" + expected[i].label.c_str();
        EXPECT_EQ(expected[i].kind, actual[i].kind) << at;
        EXPECT_STREQ(expected[i].label.c_str(), actual[i].label.c_str()) << at;
        EXPECT_STREQ(expected[i].value.c_str(), actual[i].value.c_str()) << at;
        EXPECT_EQ(expected[i].expanded, actual[i].expanded) << at;
        ExpectSameTree(expected[i].children, actual[i].children, at);
    }
}

class TreeFileTest : public testing::Test
{
protected:
    uFile File() const { return uFile(m_dir.file("config.xml").c_str()); }
    std::vector<TreeNode> ReadText(const std::string& xml)
    {
        m_dir.write("config.xml", xml);
        std::vector<TreeNode> roots;
        uString aside;
        EXPECT_EQ(ReadTreeFile(File(), roots, aside), TreeFileStatus::kLoaded);
        return roots;
    }

    uXmlPlatform m_xml;
    testsupport::TempDir m_dir;
};
} // namespace

TEST_F(TreeFileTest, EveryKindNestingAndAttributeSurvivesWriteAndRead)
{
    std::vector<TreeNode> tree;
    // The first channel is open: reading opens it anyway once a second
    // channel follows.
    tree.push_back(Node(kChannel, "Nachrichten & Wetter <heute>", "", true));
    TreeNode folder = Node(kFolder, "Dossiers \"été\"", "", true);
    folder.children.push_back(Node(kList, "Économie", "user0.mdb", true));
    TreeNode inner = Node(kFolder, "Inner", "", false);
    inner.children.push_back(Node(kWatch, "Wahl 'watch'", "vote and \"count\" & <tally>"));
    folder.children.push_back(std::move(inner));
    tree[0].children.push_back(std::move(folder));
    tree[0].children.push_back(Node(kList, "Collapsed list", "user1.mdb", false));
    tree.push_back(Node(kChannel, "Second", "", false));
    tree.back().children.push_back(Node(kList, "Default", "default.mdb", false));
    tree.push_back(Node(kChannel, "Empty channel", "", false));

    ASSERT_TRUE(WriteTreeFile(File(), tree));
    std::vector<TreeNode> read;
    uString aside;
    ASSERT_EQ(ReadTreeFile(File(), read, aside), TreeFileStatus::kLoaded);
    ExpectSameTree(tree, read);

    std::string text = testsupport::ReadFileBytes(m_dir.file("config.xml"));
    EXPECT_NE(text.find("<Kestrova>"), std::string::npos) << text;
    EXPECT_NE(text.find("type=\"newsfeed\""), std::string::npos) << "channels carry their type";
}

TEST_F(TreeFileTest, WritingSkipsFeedsAndTheChildrenOfLists)
{
    std::vector<TreeNode> tree;
    tree.push_back(Node(kChannel, "Channel", "", true));
    TreeNode list = Node(kList, "List", "default.mdb", true);
    list.children.push_back(Node(kFeed, "A feed (3)", "http://127.0.0.1/a.xml"));
    tree[0].children.push_back(std::move(list));
    tree[0].children.push_back(Node(kFeed, "Stray feed", "http://127.0.0.1/b.xml"));

    ASSERT_TRUE(WriteTreeFile(File(), tree));
    std::string text = testsupport::ReadFileBytes(m_dir.file("config.xml"));
    EXPECT_EQ(text.find("127.0.0.1"), std::string::npos) << "feeds live in the list databases only:\n"
                                                         << text;

    std::vector<TreeNode> read = ReadText(text);
    ASSERT_EQ(read.size(), 1u);
    ASSERT_EQ(read[0].children.size(), 1u);
    EXPECT_TRUE(read[0].children[0].children.empty());
    EXPECT_TRUE(read[0].children[0].expanded) << "an open list is loaded again at the next start";
}

TEST_F(TreeFileTest, ReadingFollowsTheFilesRules)
{
    std::vector<TreeNode> read = ReadText(R"(<?xml version="1.0"?>
<Kestrova ignored="x">
  <channel name="First" status="EXPAND">
    <folder name="Outer" status="Expand">
      <channel name="Nested"/>
      <newsfeed name="Open list" url="user2.mdb" status="expand"/>
    </folder>
    <folder>
      <newsfeed name="Orphan of a nameless folder" url="user3.mdb"/>
    </folder>
    <Folder name="Wrong case">
      <keyword name="Watch" value="a or b" status="expand"/>
    </Folder>
    <folder name="Shut" status="collapsed"><newsfeed name="L" url="user4.mdb" status="open"/></folder>
    <folder name="Childless" status="expand"/>
  </channel>
</Kestrova>)");

    ASSERT_EQ(read.size(), 2u);
    EXPECT_STREQ(read[0].label.c_str(), "First");
    EXPECT_STREQ(read[1].label.c_str(), "Nested") << "a channel is always top-level";
    EXPECT_TRUE(read[0].expanded);

    const std::vector<TreeNode>& under = read[0].children;
    ASSERT_EQ(under.size(), 5u);
    EXPECT_STREQ(under[0].label.c_str(), "Outer");
    EXPECT_TRUE(under[0].expanded);
    ASSERT_EQ(under[0].children.size(), 1u);
    EXPECT_EQ(under[0].children[0].kind, kList);
    EXPECT_STREQ(under[0].children[0].value.c_str(), "user2.mdb");
    EXPECT_TRUE(under[0].children[0].expanded);

    EXPECT_STREQ(under[1].label.c_str(), "Orphan of a nameless folder") << "joins the enclosing item";
    EXPECT_EQ(under[2].kind, kWatch) << "the children of an unknown element join the enclosing item";
    EXPECT_STREQ(under[2].value.c_str(), "a or b");
    EXPECT_FALSE(under[2].expanded);

    EXPECT_STREQ(under[3].label.c_str(), "Shut");
    EXPECT_FALSE(under[3].expanded);
    EXPECT_FALSE(under[3].children[0].expanded) << "only \"expand\" opens";
    EXPECT_STREQ(under[4].label.c_str(), "Childless");
    EXPECT_FALSE(under[4].expanded) << "an item opens only once it has children";
}

TEST_F(TreeFileTest, EachChannelReadOpensTheFirstTopLevelItem)
{
    // Kept from the original reading order: a closed first channel with
    // children ends up open once another channel follows it.
    std::vector<TreeNode> read = ReadText(R"(<Kestrova>
  <channel name="One"><newsfeed name="L" url="default.mdb"/></channel>
  <channel name="Two"><newsfeed name="M" url="user0.mdb"/></channel>
</Kestrova>)");
    ASSERT_EQ(read.size(), 2u);
    EXPECT_TRUE(read[0].expanded);
    EXPECT_FALSE(read[1].expanded);

    read = ReadText(
        R"(<Kestrova><channel name="Alone"><newsfeed name="L" url="default.mdb"/></channel></Kestrova>)");
    ASSERT_EQ(read.size(), 1u);
    EXPECT_FALSE(read[0].expanded);
}

TEST_F(TreeFileTest, AMissingFileIsNothingToTellButADamagedOneIsMovedAside)
{
    std::vector<TreeNode> roots{Node(kChannel, "stale")};
    uString aside;
    EXPECT_EQ(ReadTreeFile(File(), roots, aside), TreeFileStatus::kMissing) << "no file: nothing to tell";
    EXPECT_TRUE(aside.isEmpty());

    const std::string damaged = "<?xml version=\"1.0\"?>\n<Kestrova><channel name=\"Mine\"><folder name=";
    m_dir.write("config.xml", damaged);
    roots.push_back(Node(kChannel, "stale"));
    EXPECT_EQ(ReadTreeFile(File(), roots, aside), TreeFileStatus::kUnreadable);
    EXPECT_TRUE(roots.empty());
    ASSERT_FALSE(aside.isEmpty());
    EXPECT_NE(std::string(aside.c_str()).find("config.xml.bad-"), std::string::npos) << aside.c_str();
    EXPECT_EQ(testsupport::ReadFileBytes(aside.c_str()), damaged);
    EXPECT_FALSE(testsupport::FileExists(m_dir.file("config.xml")))
        << "the tree written at close cannot replace it";

    // A second damaged file the same second gets a name of its own.
    m_dir.write("config.xml", "not xml at all");
    uString secondAside;
    EXPECT_EQ(ReadTreeFile(File(), roots, secondAside), TreeFileStatus::kUnreadable);
    EXPECT_NE(std::string(secondAside.c_str()), std::string(aside.c_str()));
    EXPECT_EQ(testsupport::ReadFileBytes(aside.c_str()), damaged);
    EXPECT_EQ(testsupport::ReadFileBytes(secondAside.c_str()), "not xml at all");
}

// What the writer writes, its reader takes back: a tree nested as deep as
// the reader's limit goes round whole; one level deeper is refused and the
// file keeps the tree written before, rather than becoming one the next
// start refuses.
TEST_F(TreeFileTest, ATreeTooDeepForTheReaderIsNotWritten)
{
    auto chain = [](int elements)
    {
        TreeNode top = Node(kChannel, "Top");
        TreeNode* end = &top;
        for (int level = 1; level < elements - 1; ++level)
        {
            end->children.push_back(Node(kFolder, "Folder"));
            end = &end->children.back();
        }
        end->children.push_back(Node(kList, "Deepest", "user0.mdb"));
        return std::vector<TreeNode>{std::move(top)};
    };
    // The root element and 999 nested items: the reader's limit of 1000.
    std::vector<TreeNode> deepest = chain(999);
    ASSERT_TRUE(FitsTreeFile(deepest));
    ASSERT_TRUE(WriteTreeFile(File(), deepest));
    std::vector<TreeNode> read;
    uString aside;
    ASSERT_EQ(ReadTreeFile(File(), read, aside), TreeFileStatus::kLoaded);
    ExpectSameTree(deepest, read);

    std::vector<TreeNode> tooDeep = chain(1000);
    EXPECT_FALSE(FitsTreeFile(tooDeep));
    EXPECT_FALSE(WriteTreeFile(File(), tooDeep));
    ASSERT_EQ(ReadTreeFile(File(), read, aside), TreeFileStatus::kLoaded);
    ExpectSameTree(deepest, read);

    // Feeds and what lists hold are not written, so they add no depth.
    std::vector<TreeNode> withFeeds = chain(999);
    TreeNode* end = &withFeeds[0];
    while (!end->children.empty())
        end = &end->children.back();
    end->children.push_back(Node(kFeed, "A feed", "http://127.0.0.1/a.xml"));
    EXPECT_TRUE(FitsTreeFile(withFeeds));
}

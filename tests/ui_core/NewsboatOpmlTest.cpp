// Outline files exchanged with another reader: Debian's newsboat writes one
// we import, and imports one we write. Skipped where newsboat is absent. It
// never fetches here: export and import only read and write its urls file,
// and every address is on 127.0.0.1.
#include "dialogs/Opml.h"
#include "support/ChildProcess.h"
#include "support/TempDir.h"

#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <unistd.h>

namespace
{
const char* const kNewsboat = "/usr/bin/newsboat";

std::vector<std::string> Lines(const std::string& path)
{
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
    {
        if (!line.empty() && line[0] != '#')
            lines.push_back(line);
    }
    return lines;
}

class NewsboatOpmlTest : public testing::Test
{
protected:
    void SetUp() override
    {
        if (access(kNewsboat, X_OK) != 0)
            GTEST_SKIP() << "newsboat is not installed";
    }
    // Runs newsboat with its own home, urls file and cache; stdout and stderr into `log`.
    int Newsboat(const std::vector<std::string>& arguments, const std::string& log)
    {
        std::vector<std::string> argv = {"/usr/bin/env",
                                         "HOME=" + m_home.path(),
                                         "XDG_CONFIG_HOME=" + m_home.file("config"),
                                         "XDG_DATA_HOME=" + m_home.file("data"),
                                         "http_proxy=http://127.0.0.1:9",
                                         kNewsboat,
                                         "-u",
                                         m_home.file("urls"),
                                         "-c",
                                         m_home.file("cache.db")};
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        return testsupport::RunProgram(argv, log, 30000);
    }

    testsupport::TempHome m_home;
};

TEST_F(NewsboatOpmlTest, ItsExportImportsHereAndOursImportsThere)
{
    std::ofstream(m_home.file("urls")) << "http://127.0.0.1:9/one.xml\n"
                                          "http://127.0.0.1:9/two.xml?a=1&b=2 \"tag\"\n"
                                          "http://127.0.0.1:9/three.xml\n";
    std::string exported = m_home.file("exported.opml");
    ASSERT_EQ(Newsboat({"-e"}, exported), 0) << testsupport::ReadFileBytes(exported);
    opml::Document read = opml::ReadFile(exported.c_str());
    ASSERT_EQ(read.error, 0) << testsupport::ReadFileBytes(exported);
    std::vector<std::string> links;
    for (const opml::Row& row : read.rows)
        links.push_back(row.link.c_str());
    EXPECT_EQ(links,
              (std::vector<std::string>{"http://127.0.0.1:9/one.xml", "http://127.0.0.1:9/two.xml?a=1&b=2",
                                        "http://127.0.0.1:9/three.xml"}));

    // Ours, with titles newsboat has to unescape, into an empty urls file.
    std::vector<opml::Feed> feeds;
    for (int i = 0; i < 4; ++i)
        feeds.push_back({uString(("Feed & \"" + std::to_string(i) + "\" é").c_str()), uString(),
                         uString(("http://127.0.0.1:9/ours" + std::to_string(i) + ".xml?x=1&y=2").c_str()),
                         uString()});
    std::string ours = m_home.file("ours.opml");
    ASSERT_TRUE(opml::WriteList(uString("Ours"), feeds, ours.c_str()));
    std::ofstream(m_home.file("urls"), std::ios::trunc).flush();
    std::string log = m_home.file("import.log");
    ASSERT_EQ(Newsboat({"-i", ours}, log), 0) << testsupport::ReadFileBytes(log);
    std::vector<std::string> urls = Lines(m_home.file("urls"));
    ASSERT_EQ(urls.size(), feeds.size()) << testsupport::ReadFileBytes(m_home.file("urls"));
    EXPECT_EQ(urls[3].substr(0, urls[3].find(' ')), "http://127.0.0.1:9/ours3.xml?x=1&y=2");
}
} // namespace

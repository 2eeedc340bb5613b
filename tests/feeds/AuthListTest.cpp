#include "feeds/AuthList.h"

#include "foundation/uFile.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <regex>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace
{

using testsupport::ReadFileBytes;
using testsupport::TempDir;

std::vector<std::string> urlsOf(const CAuthList& list)
{
    std::vector<uString> urls;
    list.GetUrls(urls);
    std::vector<std::string> result;
    for (const uString& url : urls)
        result.push_back(url.c_str());
    return result;
}

std::string passwordOf(const CAuthList& list, const char* url)
{
    uString user, password;
    return list.GetCredentials(url, user, password) ? std::string(user.c_str()) + "/" + password.c_str()
                                                    : "<none>";
}

TEST(AuthListTest, LoadKeepsOneEntryPerSiteAndSavesEveryPasswordEncoded)
{
    TempDir dir;
    // "c2VjcmV0" is Base64 of "secret", "b3RoZXI=" of "other".
    const std::string file =
        dir.write("auth.xml", "<?xml version=\"1.0\"?>\n<Auth>\n"
                              "  <entry url=\"https://A.test/feed\" user=\"ann\" "
                              "auth=\"c2VjcmV0\" crypto-type=\"base64\"/>\n"
                              "  <entry url=\"https://a.test/FEED\" user=\"bob\" "
                              "auth=\"b3RoZXI=\"/>\n"
                              "  <entry url=\"https://plain.test/\" user=\"cy\" "
                              "auth=\"as-is==\" crypto-type=\"plain\"/>\n"
                              "  <entry url=\"https://bare.test/\" user=\"di\" auth=\"b3RoZXI=\"/>\n"
                              "  <entry url=\"https://nouser.test/\" user=\"\" auth=\"c2VjcmV0\"/>\n"
                              "  <wrapper><entry url=\"https://deep.test/\" user=\"ed\"/></wrapper>\n"
                              "</Auth>\n");
    CAuthList list;
    list.Add("https://earlier.test/", "zoe", "mine");
    list.Load(uFile(file.c_str()));
    EXPECT_EQ(urlsOf(list),
              (std::vector<std::string>{"https://earlier.test/", "https://A.test/feed", "https://plain.test/",
                                        "https://bare.test/", "https://deep.test/"}));
    EXPECT_EQ(passwordOf(list, "https://a.test/feed"), "ann/secret");
    EXPECT_EQ(passwordOf(list, "https://plain.test/"), "cy/as-is==");
    EXPECT_EQ(passwordOf(list, "https://bare.test/"), "di/other");
    EXPECT_EQ(passwordOf(list, "https://deep.test/"), "ed/");
    EXPECT_EQ(passwordOf(list, "https://a.test/feed?x=1"), "<none>") << "the whole URL identifies the site";

    const std::string saved = dir.file("saved.xml");
    ASSERT_TRUE(list.Save(uFile(saved.c_str())));
    struct stat info = {};
    ASSERT_EQ(::stat(saved.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    const std::string xml = ReadFileBytes(saved);
    EXPECT_NE(xml.find("standalone=\"yes\""), std::string::npos);
    EXPECT_EQ(xml.find("as-is"), std::string::npos) << "a plain password is written encoded";
    auto count = [&xml](const char* pattern)
    {
        const std::regex expression(pattern);
        return std::distance(std::sregex_iterator(xml.begin(), xml.end(), expression),
                             std::sregex_iterator());
    };
    EXPECT_EQ(count("<entry "), 5);
    EXPECT_EQ(count("<entry [^>]*crypto-type=\"base64\""), 5);
    EXPECT_EQ(count("<entry [^>]*url=\"[^\"]+\""), 5);
    EXPECT_EQ(count("<entry [^>]*user=\"[^\"]+\""), 5);
    EXPECT_EQ(count("<entry [^>]*auth=\""), 5);

    CAuthList again;
    again.Load(uFile(saved.c_str()));
    EXPECT_EQ(urlsOf(again), urlsOf(list));
    for (const std::string& url : urlsOf(list))
        EXPECT_EQ(passwordOf(again, url.c_str()), passwordOf(list, url.c_str()));
}

TEST(AuthListTest, OperationsKeepOrderAndNeverAddOnChange)
{
    CAuthList list;
    std::vector<uString> urls{uString("stale")};
    EXPECT_FALSE(list.GetUrls(urls));
    EXPECT_TRUE(urls.empty());
    EXPECT_FALSE(list.SetCredentials("https://one.test/", "u", "p"));
    EXPECT_FALSE(list.Contains("https://one.test/"));

    EXPECT_TRUE(list.Add("https://one.test/", "u1", "p1"));
    EXPECT_TRUE(list.Add("https://two.test/", "u2", "p2"));
    EXPECT_TRUE(list.Add("https://ONE.test/", "other", "other"));
    EXPECT_EQ(passwordOf(list, "https://one.test/"), "u1/p1") << "Add keeps an existing entry";
    uString user("untouched"), password("untouched");
    EXPECT_FALSE(list.GetCredentials("https://three.test/", user, password));
    EXPECT_STREQ(user.c_str(), "untouched");

    list.FindOrAdd("https://One.Test/", "u1b", "p1b");
    EXPECT_EQ(urlsOf(list), (std::vector<std::string>{"https://two.test/", "https://One.Test/"}));
    EXPECT_EQ(passwordOf(list, "https://one.test/"), "u1b/p1b");
    EXPECT_TRUE(list.SetCredentials("https://TWO.test/", "u2b", "p2b"));
    EXPECT_EQ(passwordOf(list, "https://two.test/"), "u2b/p2b");
    EXPECT_EQ(urlsOf(list).front(), "https://two.test/");

    list.Remove("https://two.TEST/");
    list.Remove("https://never.test/");
    EXPECT_EQ(urlsOf(list), (std::vector<std::string>{"https://One.Test/"}));
    list.Remove("https://one.test/");
    TempDir dir;
    const std::string saved = dir.file("auth.xml");
    ASSERT_TRUE(list.Save(uFile(saved.c_str())));
    const std::string xml = ReadFileBytes(saved);
    EXPECT_TRUE(std::regex_search(xml, std::regex("<Auth\\s*/>"))) << xml;
    EXPECT_EQ(xml.find("<entry"), std::string::npos);
}

TEST(AuthListTest, OnlyARootNamedAuthIsRead)
{
    TempDir dir;
    CAuthList list;
    list.Load(
        uFile(dir.write("lower.xml", "<auth><entry url=\"https://x.test/\" user=\"u\"/></auth>").c_str()));
    list.Load(uFile(dir.file("missing.xml").c_str()));
    testing::internal::CaptureStderr();
    list.Load(uFile(dir.write("broken.xml", "<Auth><entry url=").c_str()));
    testing::internal::GetCapturedStderr();
    EXPECT_FALSE(list.Contains("https://x.test/"));
    std::vector<uString> urls;
    EXPECT_FALSE(list.GetUrls(urls));
}

} // namespace

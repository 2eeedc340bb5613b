#include "feeds/AuthList.h"

#include "foundation/uFile.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace
{

using testsupport::ReadFileBytes;
using testsupport::TempDir;

// "url=user/password" of every entry, in order.
std::vector<std::string> Entries(const CAuthList& list)
{
    std::vector<uString> urls;
    list.GetUrls(urls);
    std::vector<std::string> entries;
    for (const uString& url : urls)
    {
        uString user, password;
        list.GetCredentials(url.c_str(), user, password);
        entries.push_back(std::string(url.c_str()) + "=" + user.c_str() + "/" + password.c_str());
    }
    return entries;
}

TEST(AuthListTest, LoadKeepsOneEntryPerSiteAndSavesEveryPasswordEncoded)
{
    TempDir dir;
    // "c2VjcmV0" is Base64 of "secret", "b3RoZXI=" of "other".
    const std::string file = dir.write(
        "auth.xml",
        "<?xml version=\"1.0\"?>\n<Auth>\n"
        "<entry url=\"https://A.test/feed\" user=\"ann\" auth=\"c2VjcmV0\" crypto-type=\"base64\"/>\n"
        "<entry url=\"https://a.test/FEED\" user=\"bob\" auth=\"b3RoZXI=\"/>\n"
        "<entry url=\"https://plain.test/\" user=\"cy\" auth=\"as-is==\" crypto-type=\"plain\"/>\n"
        "<entry url=\"https://bare.test/\" user=\"di\" auth=\"b3RoZXI=\"/>\n"
        "<entry url=\"https://nouser.test/\" user=\"\" auth=\"c2VjcmV0\"/>\n"
        "<wrapper><entry url=\"https://deep.test/\" user=\"ed\"/></wrapper>\n</Auth>\n");
    CAuthList list;
    list.Add("https://earlier.test/", "zoe", "mine");
    list.Load(uFile(file.c_str()));
    const std::vector<std::string> expected = {
        "https://earlier.test/=zoe/mine", "https://A.test/feed=ann/secret",
        "https://plain.test/=cy/as-is==", "https://bare.test/=di/other", "https://deep.test/=ed/"};
    EXPECT_EQ(Entries(list), expected);
    EXPECT_TRUE(list.Contains("HTTPS://a.test/feed"));
    EXPECT_FALSE(list.Contains("https://a.test/feed?x=1")) << "the whole URL identifies the site";

    const std::string saved = dir.file("saved.xml");
    ASSERT_TRUE(list.Save(uFile(saved.c_str())));
    struct stat info = {};
    ASSERT_EQ(::stat(saved.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    EXPECT_EQ(ReadFileBytes(saved).find("as-is"), std::string::npos) << "a plain password is written encoded";
    CAuthList again;
    again.Load(uFile(saved.c_str()));
    EXPECT_EQ(Entries(again), expected);
}

TEST(AuthListTest, ChangesMatchTheUrlInAnyCaseAndOnlyAddWhenAsked)
{
    CAuthList list;
    EXPECT_FALSE(list.SetCredentials("https://one.test/", "u", "p"));
    list.Add("https://one.test/", "u1", "p1");
    list.Add("https://two.test/", "u2", "p2");
    list.Add("https://ONE.test/", "other", "other");
    EXPECT_TRUE(list.SetCredentials("https://TWO.test/", "u2b", "p2b"));
    EXPECT_EQ(Entries(list),
              (std::vector<std::string>{"https://one.test/=u1/p1", "https://two.test/=u2b/p2b"}));
    list.FindOrAdd("https://One.Test/", "u1b", "p1b");
    EXPECT_EQ(Entries(list),
              (std::vector<std::string>{"https://two.test/=u2b/p2b", "https://One.Test/=u1b/p1b"}));
    list.Remove("https://one.TEST/");
    list.Remove("https://never.test/");
    EXPECT_EQ(Entries(list), std::vector<std::string>{"https://two.test/=u2b/p2b"});
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
    std::vector<uString> urls;
    EXPECT_FALSE(list.GetUrls(urls));
}

} // namespace

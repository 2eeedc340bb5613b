#include "feeds/support/FeedTestSupport.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace
{

using feedtest::S;

TEST(UserServicesTest, CredentialPromptRefusesUnlessInstalledAndConfirmed)
{
    uString user("kept"), password("kept-too");
    EXPECT_FALSE(CCredentialPrompt::AskInstalled("https://site.test/login", "ann", user, password));

    auto refusing = feedtest::InstallPrompt("", "typed");
    EXPECT_FALSE(CCredentialPrompt::AskInstalled("https://site.test/login", "ann", user, password));
    EXPECT_EQ(S(user) + "/" + S(password), "kept/kept-too")
        << "a refused prompt must not leak what was typed";
    EXPECT_EQ(refusing->asked, std::vector<std::string>{"https://site.test/login as 'ann'"});

    feedtest::InstallPrompt("typed-user", "typed-secret");
    EXPECT_TRUE(CCredentialPrompt::AskInstalled("https://site.test/login", "ann", user, password));
    EXPECT_EQ(S(user) + "/" + S(password), "typed-user/typed-secret");
    CCredentialPrompt::Install(nullptr);
}

TEST(UserServicesTest, MessageBoxFallsBackToStandardError)
{
    testing::internal::CaptureStderr();
    CMessageBox::Display("Failed to download http://feed.test/rss");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Failed to download http://feed.test/rss\n");

    feedtest::ShownMessages shown;
    testing::internal::CaptureStderr();
    CMessageBox::Display("Database locked");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(shown(), std::vector<std::string>{"Database locked"});
}

} // namespace

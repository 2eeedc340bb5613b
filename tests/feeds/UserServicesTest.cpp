#include "feeds/CredentialPrompt.h"
#include "feeds/MessageBox.h"

#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace
{

class ScriptedPrompt : public CCredentialPrompt
{
public:
    explicit ScriptedPrompt(bool confirm) : m_confirm(confirm) {}
    bool Ask(const uString& caption, const uString& initialUser, uString& user, uString& password) override
    {
        captions.push_back(caption.c_str());
        initialUsers.push_back(initialUser.c_str());
        user = "typed-user";
        password = "typed-secret";
        return m_confirm;
    }
    std::vector<std::string> captions;
    std::vector<std::string> initialUsers;

private:
    bool m_confirm;
};

TEST(UserServicesTest, CredentialPromptRefusesUnlessInstalledAndConfirmed)
{
    uString user("kept");
    uString password("kept-too");
    EXPECT_FALSE(CCredentialPrompt::AskInstalled("https://site.test/login", "ann", user, password));
    EXPECT_STREQ(user.c_str(), "kept");

    auto refusing = std::make_shared<ScriptedPrompt>(false);
    CCredentialPrompt::Install(refusing);
    EXPECT_FALSE(CCredentialPrompt::AskInstalled("https://site.test/login", "ann", user, password));
    EXPECT_STREQ(user.c_str(), "kept") << "a refused prompt must not leak what was typed";
    EXPECT_STREQ(password.c_str(), "kept-too");
    ASSERT_EQ(refusing->captions.size(), 1u);
    EXPECT_EQ(refusing->captions[0], "https://site.test/login");
    EXPECT_EQ(refusing->initialUsers[0], "ann");

    CCredentialPrompt::Install(std::make_shared<ScriptedPrompt>(true));
    EXPECT_TRUE(CCredentialPrompt::AskInstalled("https://site.test/login", "ann", user, password));
    EXPECT_STREQ(user.c_str(), "typed-user");
    EXPECT_STREQ(password.c_str(), "typed-secret");

    CCredentialPrompt::Install(nullptr);
}

class RecordingMessageBox : public CMessageBox
{
public:
    void Show(const uString& text) override { shown.push_back(text.c_str()); }
    std::vector<std::string> shown;
};

TEST(UserServicesTest, MessageBoxFallsBackToStandardError)
{
    testing::internal::CaptureStderr();
    CMessageBox::Display("Failed to download http://feed.test/rss");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Failed to download http://feed.test/rss\n");

    auto display = std::make_shared<RecordingMessageBox>();
    CMessageBox::Install(display);
    testing::internal::CaptureStderr();
    CMessageBox::Display("Database locked");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    CMessageBox::Install(nullptr);
    ASSERT_EQ(display->shown.size(), 1u);
    EXPECT_EQ(display->shown[0], "Database locked");
}

} // namespace

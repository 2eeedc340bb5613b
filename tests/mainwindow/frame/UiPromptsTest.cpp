#include "mainwindow/UiPrompts.h"

#include "GuiTestSupport.h"
#include "mainwindow/UiThreadCaller.h"

#include <atomic>
#include <future>
#include <gtest/gtest.h>
#include <thread>
#include <wx/frame.h>
#include <wx/thread.h>

namespace
{
class UiPromptsTest : public testing::Test
{
protected:
    void SetUp() override
    {
        m_window = new wxFrame(nullptr, wxID_ANY, "prompts");
        m_caller = std::make_shared<CUiThreadCaller>(m_window);
    }
    void TearDown() override
    {
        m_caller->Detach();
        guitest::DestroyWindow(m_window);
    }

    wxFrame* m_window = nullptr;
    std::shared_ptr<CUiThreadCaller> m_caller;
};
} // namespace

TEST_F(UiPromptsTest, AWorkersPasswordRequestIsAnsweredOnTheUserInterfaceThread)
{
    std::atomic<bool> dialogOnUiThread{false};
    CUiCredentialPrompt prompt(
        m_caller, m_window,
        [&](wxWindow*, const uString& caption, const uString& initialUser, uString& user, uString& password)
        {
            dialogOnUiThread = wxIsMainThread();
            EXPECT_STREQ(caption.c_str(), "http://127.0.0.1/login");
            user = initialUser;
            user += "-ok";
            password = "secret";
            return true;
        });
    auto answer =
        std::async(std::launch::async,
                   [&]
                   {
                       uString user("unchanged"), password;
                       bool confirmed = prompt.Ask("http://127.0.0.1/login", "ann", user, password);
                       return std::string(confirmed ? "yes " : "no ") + user.c_str() + " " + password.c_str();
                   });
    ASSERT_TRUE(guitest::RunEventsUntil(
        [&] { return answer.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }, 10000));
    EXPECT_EQ(answer.get(), "yes ann-ok secret");
    EXPECT_TRUE(dialogOnUiThread);
}

TEST_F(UiPromptsTest, ClosingRefusesAWorkerThatWaitsForAnAnswer)
{
    std::atomic<int> dialogs{0};
    CUiCredentialPrompt prompt(m_caller, m_window,
                               [&](wxWindow*, const uString&, const uString&, uString&, uString&)
                               {
                                   ++dialogs;
                                   return true;
                               });
    // The user-interface thread is busy (as in the close) and runs no dialog.
    auto answer = std::async(std::launch::async,
                             [&]
                             {
                                 uString user, password;
                                 return prompt.Ask("http://127.0.0.1/", "", user, password);
                             });
    EXPECT_EQ(answer.wait_for(std::chrono::milliseconds(200)), std::future_status::timeout);
    prompt.Cancel();
    EXPECT_FALSE(answer.get());
    guitest::RunEventsFor(100);
    EXPECT_EQ(dialogs, 0) << "the queued request shows no dialog once refused";

    uString user, password;
    EXPECT_FALSE(prompt.Ask("http://127.0.0.1/", "", user, password)) << "and later ones are refused at once";
}

TEST_F(UiPromptsTest, AWorkersMessageBoxShowsOnTheUserInterfaceThreadWithoutHoldingTheWorker)
{
    std::vector<std::string> shown;
    std::atomic<bool> onUiThread{true};
    CUiMessageBox box(m_caller, m_window,
                      [&](wxWindow*, const uString& text)
                      {
                          onUiThread = onUiThread && wxIsMainThread();
                          shown.push_back(text.c_str());
                      });
    std::thread worker([&] { box.Show("Failed to download http://127.0.0.1/x"); });
    worker.join();
    EXPECT_TRUE(shown.empty()) << "nothing shown on the worker";
    guitest::RunEventsUntil([&] { return !shown.empty(); });
    EXPECT_EQ(shown, std::vector<std::string>{"Failed to download http://127.0.0.1/x"});
    EXPECT_TRUE(onUiThread);

    m_caller->Detach();
    std::thread late([&] { box.Show("after the close"); });
    late.join();
    guitest::RunEventsFor(100);
    EXPECT_EQ(shown.size(), 1u);
}

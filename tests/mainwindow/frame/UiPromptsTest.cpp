#include "mainwindow/UiPrompts.h"

#include "GuiTestSupport.h"
#include "ModalDriver.h"
#include "PromptWatchdog.h"
#include "SlowFetch.h"
#include "common/FetchProgress.h"
#include "dialogs/MailDlgs.h"
#include "mainwindow/OpenDialogs.h"
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

// The worker of a fetch asks for a password while the window waits in the
// fetch's progress dialog: the dialog's loop shows the prompt, and Cancel in
// the progress dialog answers a later request of that worker unasked.
TEST_F(UiPromptsTest, APasswordRequestIsShownWhileTheProgressDialogWaitsAndRefusedAfterItsCancel)
{
    std::vector<std::string> asked;
    std::atomic<bool> dialogOnUiThread{true};
    auto dialog = [&](wxWindow*, const uString& caption, const uString&, uString& user, uString& password)
    {
        dialogOnUiThread = dialogOnUiThread && wxIsMainThread();
        asked.push_back(caption.c_str());
        user = "ann";
        password = "secret";
        return true;
    };
    {
        CUiCredentialPrompt prompt(m_caller, m_window, dialog);
        guitest::PromptWatchdog watchdog(prompt);
        std::string answer;
        ui::FetchEnd end =
            ui::RunFetch(m_window, "Subscribe", "http://127.0.0.1/private.xml",
                         [&](const std::atomic<bool>&)
                         {
                             uString user, password;
                             bool confirmed = prompt.Ask("http://127.0.0.1/private.xml", "", user, password);
                             answer = std::string(user.c_str()) + ":" + password.c_str();
                             return confirmed;
                         });
        EXPECT_FALSE(watchdog.fired) << "the prompt was never shown";
        EXPECT_EQ(end, ui::FetchEnd::kDone);
        EXPECT_EQ(answer, "ann:secret");
        EXPECT_EQ(asked, std::vector<std::string>{"http://127.0.0.1/private.xml"});
        EXPECT_TRUE(dialogOnUiThread);
        // What the window may still hold for the prompt runs while it lives.
        guitest::RunEventsFor(100);
    }

    // Cancel first, then the worker asks (a transfer that got its 401 as the
    // user cancelled): no dialog, the answer is a refusal, the fetch ends.
    asked.clear();
    CUiCredentialPrompt prompt(m_caller, m_window, dialog);
    guitest::PromptWatchdog watchdog(prompt);
    guitest::CancelProgressOnTick user;
    bool refused = false;
    ui::FetchEnd end = ui::RunFetch(m_window, "Subscribe", "http://127.0.0.1/private.xml",
                                    [&](const std::atomic<bool>& abort)
                                    {
                                        for (int i = 0; i < 1000 && !abort; ++i)
                                            std::this_thread::sleep_for(std::chrono::milliseconds(20));
                                        uString name, password;
                                        refused =
                                            !prompt.Ask("http://127.0.0.1/private.xml", "", name, password);
                                        return !refused;
                                    });
    EXPECT_TRUE(user.cancelled);
    EXPECT_FALSE(watchdog.fired) << "the request waited until the watchdog refused it";
    EXPECT_EQ(end, ui::FetchEnd::kCancelled);
    EXPECT_TRUE(refused);
    EXPECT_TRUE(asked.empty()) << "nothing is asked for a cancelled fetch";
    guitest::RunEventsFor(100);
}

// A stop signal ends the open dialogs as File > Exit would need: a password
// prompt shown over a fetch's progress dialog, and that dialog, whose fetch
// then ends as cancelled. No fetch starts after that.
TEST_F(UiPromptsTest, AStopEndsThePromptAndTheProgressDialogBehindIt)
{
    COpenDialogs openDialogs;
    CUiCredentialPrompt prompt(m_caller, m_window);
    guitest::PromptWatchdog watchdog(prompt);
    bool promptShown = false;
    guitest::WhenDialogShownWithin<CPromptUserPassDlg>(15000,
                                                       [&](CPromptUserPassDlg&)
                                                       {
                                                           promptShown = true;
                                                           openDialogs.EndAll();
                                                       });
    ui::FetchEnd end = ui::RunFetch(m_window, "Subscribe", "http://127.0.0.1/private.xml",
                                    [&](const std::atomic<bool>& abort)
                                    {
                                        // Asks again after a refusal, as a login does once more.
                                        bool confirmed = false;
                                        for (int i = 0; i < 3 && !confirmed && !abort; ++i)
                                        {
                                            uString user, password;
                                            confirmed = prompt.Ask("http://127.0.0.1/", "", user, password);
                                        }
                                        return confirmed;
                                    });
    EXPECT_TRUE(promptShown);
    EXPECT_FALSE(watchdog.fired) << "the stop left the fetch waiting";
    EXPECT_EQ(end, ui::FetchEnd::kCancelled);

    bool ran = false;
    EXPECT_EQ(ui::RunFetch(m_window, "Subscribe", "http://127.0.0.1/",
                           [&](const std::atomic<bool>&)
                           {
                               ran = true;
                               return true;
                           }),
              ui::FetchEnd::kCancelled);
    EXPECT_FALSE(ran) << "nothing is fetched once the program stops";
    guitest::RunEventsFor(100);
}

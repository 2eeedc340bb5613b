#include "dialogs/MailDlgs.h"

#include "GuiTestSupport.h"
#include "ModalDriver.h"
#include "mainwindow/UiPrompts.h"
#include "mainwindow/UiThreadCaller.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <thread>
#include <wx/checkbox.h>
#include <wx/frame.h>
#include <wx/textctrl.h>

namespace
{
wxTextCtrl* Field(wxDialog& dialog, int id)
{
    return wxDynamicCast(dialog.FindWindow(id), wxTextCtrl);
}
} // namespace

TEST(MailDlgsTest, ForwardDialogOpensWithTheRecipientAndAttachChecked)
{
    CForwardMailDlg dialog(uString("max@example.test"), nullptr);
    std::string recipient;
    bool checked = false;
    guitest::RunModal(
        dialog, {[&](wxDialog&)
                 {
                     recipient = Field(dialog, CForwardMailDlg::kRecipientEdit)->GetValue().utf8_string();
                     checked =
                         wxDynamicCast(dialog.FindWindow(CForwardMailDlg::kAttachContentCheck), wxCheckBox)
                             ->GetValue();
                     guitest::RunEventsFor(300);
                     guitest::TakeScreenshot("issue28-forward-mail-dialog");
                 }});
    EXPECT_EQ(recipient, "max@example.test");
    EXPECT_TRUE(checked);
    EXPECT_EQ(dialog.GetTitle(), "Forward to ...");
}

// A worker asks through the window program's prompt: the dialog opens on the
// window thread with the user given and an empty password, and the worker
// gets what was typed.
TEST(MailDlgsTest, AWorkerAsksForALoginThroughThePrompt)
{
    wxFrame* frame = new wxFrame(nullptr, wxID_ANY, "owner");
    frame->Show();
    auto caller = std::make_shared<CUiThreadCaller>(frame);
    CUiCredentialPrompt prompt(caller, frame);

    for (int round = 0; round < 2; ++round)
    {
        std::string title, shownUser, shownPassword;
        // The worker's request reaches the window thread whenever the worker runs.
        guitest::WhenDialogShownWithin<CPromptUserPassDlg>(
            15000,
            [&](CPromptUserPassDlg& dialog)
            {
                title = dialog.GetTitle().utf8_string();
                shownUser = Field(dialog, CPromptUserPassDlg::kUserEdit)->GetValue().utf8_string();
                shownPassword = Field(dialog, CPromptUserPassDlg::kPasswordEdit)->GetValue().utf8_string();
                Field(dialog, CPromptUserPassDlg::kPasswordEdit)->SetValue("s3cret");
                if (round == 0)
                    guitest::TakeScreenshot("issue28-credentials-prompt");
                guitest::Press(dialog, wxID_OK);
            });
        std::atomic<bool> done{false};
        bool confirmed = false;
        uString user, password;
        std::thread worker(
            [&]
            {
                confirmed =
                    prompt.Ask(uString("smtp://mail.example.test:25"), uString("zoe"), user, password);
                done = true;
            });
        guitest::RunEventsUntil([&] { return done.load(); }, 20000);
        if (!done)
            prompt.Cancel(); // a prompt nobody answered must not keep the worker
        worker.join();
        EXPECT_TRUE(confirmed);
        EXPECT_EQ(std::string(user.c_str()), "zoe");
        EXPECT_EQ(std::string(password.c_str()), "s3cret");
        EXPECT_EQ(title, "smtp://mail.example.test:25");
        EXPECT_EQ(shownUser, "zoe");
        EXPECT_EQ(shownPassword, "") << "round " << round;
    }
    caller->Detach();
    guitest::DestroyWindow(frame);
}

// Forwarding the shown item by mail from the real main window, to SMTP
// servers on 127.0.0.1 started by the test.
#include "ScriptBoxes.h"
#include "SubscriptionFrameFixture.h"
#include "dialogs/MailDlgs.h"
#include "dialogs/TreePropSheet.h"
#include "mainwindow/KestrovaView.h"
#include "mainwindow/WebBrowserFrame.h"
#include "support/MimeReader.h"
#include "support/ScriptedSmtpServer.h"

#include <wx/textctrl.h>
#include <wx/webview.h>

using namespace subscription;
using namespace subscriptiontest;
using testsupport::ScriptedSmtpServer;

namespace
{
class ForwardMailFrame : public SubscriptionFrameTest
{
protected:
    // The frame showing the first item of a feed served here, and mail settings for `server`.
    void ShowItem(const std::string& server, const char* sender = "zoe@example.test")
    {
        const std::string base = m_site.server.url("/");
        CMainFrame& frame = Start();
        ASSERT_TRUE(frame.AddSubscription(Find("First", kList), m_site.Url(), uString(), false, false));
        wxTreeItemId feed =
            frame.FindTreeItem(m_site.Url(), tree->GetFirstTopLevelItem(), CMainFrame::kFindByValue, kFeed);
        tree->SelectItem(feed);
        guitest::RunEventsFor(50);
        CKestrovaView* list = frame.GetItemListView();
        ASSERT_GT(list->GetRowCount(), 0);
        m_title = list->GetRowText(0, CKestrovaView::kTitle).c_str();
        wxRect rect;
        list->GetItemRect(0, rect);
        guitest::ClickAt(list->ClientToScreen(wxPoint(rect.x + 80, rect.y + rect.height / 2)));
        ASSERT_FALSE(guitest::WaitForPage(*frame.GetBrowser(), m_title).empty());

        CPreference::PersonalSection personal;
        personal.strEmailAdress = sender;
        personal.strEmailName = "Zoë Ünal";
        personal.strServerSMTP = server.c_str();
        CPreference::GetInstance()->SetPersonalSection(personal);
    }

    // "Send email" on the browser frame, as its tool button sends it.
    void SendEmail()
    {
        wxCommandEvent event(wxEVT_TOOL, CWebBrowserFrame::kSendMail);
        m_frame->GetBrowserFrame()->GetEventHandler()->ProcessEvent(event);
    }

    // Types the recipient into the forward dialog and confirms it.
    static void Confirm(CForwardMailDlg& dialog, const char* recipient)
    {
        wxDynamicCast(dialog.FindWindow(CForwardMailDlg::kRecipientEdit), wxTextCtrl)->SetValue(recipient);
        guitest::Press(dialog, wxID_OK);
    }

    Site m_site{"Mailed news", {200, 120, 40, 255}, 2};
    std::string m_title;
};
} // namespace

TEST_F(ForwardMailFrame, TheShownItemIsSentToTheConfiguredServer)
{
    ScriptedSmtpServer server(ScriptedSmtpServer::Accepting());
    ShowItem(server.address());
    m_frame->GetBrowserFrame()->LastRecipient() = "max@example.test";
    std::string proposed;
    bool attachChecked = false;
    guitest::WhenDialogShown<CForwardMailDlg>(
        [&](CForwardMailDlg& dialog)
        {
            proposed = dialog.GetRecipient().c_str();
            attachChecked = dialog.GetAttachContent();
            guitest::RunEventsFor(300);
            guitest::TakeScreenshot("issue28-forward-mail-dialog-on-frame");
            Confirm(dialog, "ann@example.test");
        });
    SendEmail();

    EXPECT_EQ(proposed, "max@example.test");
    EXPECT_TRUE(attachChecked);
    EXPECT_EQ(m_prompt->Ids(), (std::vector<int>{3056}));
    ASSERT_EQ(server.messages().size(), 1u);
    testsupport::MimePart mail = testsupport::ReadMimePart(server.messages()[0]);
    EXPECT_EQ(testsupport::DecodeEncodedWords(mail.header("Subject")), "FWD: " + m_title);
    EXPECT_EQ(mail.header("To"), "<ann@example.test>");
    std::vector<testsupport::MimePart> parts = testsupport::ReadMimeParts(mail);
    ASSERT_EQ(parts.size(), 2u);
    std::string page = parts[1].decodedBody();
    EXPECT_EQ(page.rfind("<base href=\"", 0), 0u) << page.substr(0, 200);
    EXPECT_NE(page.find(m_title), std::string::npos);
    EXPECT_EQ(std::string(m_frame->GetBrowserFrame()->LastRecipient().c_str()), "ann@example.test");
}

// By its Cancel, and ended from outside as a stop of the program ends it.
TEST_F(ForwardMailFrame, CancelStopsASendToAStalledServer)
{
    ScriptedSmtpServer stalled(ScriptedSmtpServer::Stalled());
    ShowItem(stalled.address());
    for (bool fromOutside : {false, true})
    {
        SCOPED_TRACE(fromOutside ? "ended from outside" : "Cancel");
        std::string shownWhileWaiting;
        int turnsWhileWaiting = 0;
        guitest::WhenDialogShown<CForwardMailDlg>(
            [&](CForwardMailDlg& dialog)
            {
                Confirm(dialog, "ann@example.test");
                // The send dialog comes up once the forward dialog has closed.
                guitest::WhenDialogShownWithin<CMailSendDlg>(
                    15000,
                    [&](CMailSendDlg& sending)
                    {
                        // The window keeps turning while the server says nothing.
                        guitest::RunEventsUntil(
                            [&]
                            {
                                ++turnsWhileWaiting;
                                return stalled.connections() > 0 &&
                                       sending.GetStatusText().StartsWith("Connecting");
                            },
                            15000);
                        shownWhileWaiting = sending.GetStatusText().utf8_string();
                        if (fromOutside)
                            sending.EndModal(wxID_CANCEL);
                        else
                            guitest::Press(sending, wxID_CANCEL);
                    });
            });
        SendEmail();

        EXPECT_EQ(shownWhileWaiting, "Connecting to " + stalled.address() + " ...");
        EXPECT_GT(turnsWhileWaiting, 1);
        EXPECT_TRUE(m_prompt->Ids().empty()) << "a cancelled send reports neither success nor failure";
        EXPECT_TRUE(stalled.messages().empty());
    }
}

TEST_F(ForwardMailFrame, AnInvalidRecipientIsRefusedAndNotRemembered)
{
    ScriptedSmtpServer server(ScriptedSmtpServer::Accepting());
    ShowItem(server.address());
    guitest::WhenDialogShown<CForwardMailDlg>([](CForwardMailDlg& dialog)
                                              { Confirm(dialog, "ann@localhost"); });
    SendEmail();
    EXPECT_EQ(m_prompt->Ids(), (std::vector<int>{3055}));
    EXPECT_TRUE(m_frame->GetBrowserFrame()->LastRecipient().isEmpty());
    EXPECT_EQ(server.connections(), 0);
}

TEST_F(ForwardMailFrame, WithoutASenderThePreferencesAreAskedForAndNothingIsSent)
{
    ScriptedSmtpServer server(ScriptedSmtpServer::Accepting());
    // A sender that would add a line to the headers counts as none.
    ShowItem(server.address(), "zoe@example.test\r\nBcc: x@y.test");
    std::vector<std::uint32_t> messages;
    m_frame->SetMessageObserver([&](const CFrameMessage& message) { messages.push_back(message.message); });
    bool dialogShown = false;
    guitest::WhenDialogShown<CForwardMailDlg>(
        [&](CForwardMailDlg& dialog)
        {
            dialogShown = true;
            guitest::Press(dialog, wxID_CANCEL);
        });
    wxString preferencesPage;
    guitest::WhenDialogShown<CTreePropSheet>(
        [&](CTreePropSheet& sheet)
        {
            preferencesPage = sheet.GetActivePage()->GetCaption();
            guitest::Press(sheet, wxID_CANCEL);
        });
    SendEmail();
    m_frame->SetMessageObserver(nullptr);
    EXPECT_EQ(messages, (std::vector<std::uint32_t>{WM_APP_SHOWPREFERENCES}));
    EXPECT_EQ(preferencesPage, "Personal");
    EXPECT_FALSE(dialogShown);
    EXPECT_TRUE(m_prompt->Ids().empty());
    EXPECT_EQ(server.connections(), 0);
}

TEST_F(ForwardMailFrame, ARefusedRecipientIsReportedAsAFailure)
{
    ScriptedSmtpServer server(ScriptedSmtpServer::RefusingRecipients());
    ShowItem(server.address());
    guitest::WhenDialogShown<CForwardMailDlg>([](CForwardMailDlg& dialog)
                                              { Confirm(dialog, "ann@example.test"); });
    SendEmail();
    EXPECT_EQ(m_prompt->Ids(), (std::vector<int>{3057}));
    EXPECT_EQ(server.connections(), 1);
    EXPECT_TRUE(server.messages().empty());
}

// Send email on a browsed page goes on with the page's bytes, which the
// page's box holds back, and holds the window up meanwhile: the mail carries
// the page once the box has gone, and nothing goes on when the window began
// to close before.
TEST_F(ForwardMailFrame, ABrowsedPageIsSentOnceItsBoxHasGoneWhileTheWindowIsOpen)
{
    ScriptedSmtpServer server(ScriptedSmtpServer::Accepting());
    ShowItem(server.address());
    const std::string page =
        "<html><body><p>boxed page</p><script>setTimeout(function(){alert('x')},300)</script></body></html>";
    m_site.server.serveContent("/boxed", page, "text/html");
    guitest::ScriptBoxes boxes;
    boxes.Watch(*m_frame->GetBrowser());
    auto showBox = [&]
    {
        m_frame->GetBrowserFrame()->Navigate(uString(m_site.server.url("/boxed").c_str()));
        return guitest::RunEventsUntil([&] { return boxes.shown != nullptr; }, 15000);
    };
    int asked = 0;
    auto answer = [&](int withinMs)
    {
        guitest::WhenDialogShownWithin<CForwardMailDlg>(withinMs,
                                                        [&](CForwardMailDlg& dialog)
                                                        {
                                                            ++asked;
                                                            Confirm(dialog, "ann@example.test");
                                                        });
    };

    ASSERT_TRUE(showBox());
    answer(20000);
    boxes.CloseAfter(5000);
    SendEmail();
    EXPECT_FALSE(boxes.closedLate) << "Send email waited for the page";
    EXPECT_EQ(asked, 0) << "asked before the page's bytes came";
    boxes.Close();
    ASSERT_TRUE(guitest::RunEventsUntil([&] { return server.messages().size() == 1u; }, 20000));
    EXPECT_EQ(m_prompt->Ids(), (std::vector<int>{3056}));
    std::vector<testsupport::MimePart> parts =
        testsupport::ReadMimeParts(testsupport::ReadMimePart(server.messages()[0]));
    ASSERT_EQ(parts.size(), 2u);
    EXPECT_NE(parts[1].decodedBody().find(page), std::string::npos) << parts[1].decodedBody();

    ASSERT_TRUE(showBox());
    answer(3000);
    SendEmail();
    m_frame->PrepareToClose();
    boxes.Close();
    guitest::RunEventsFor(3500);
    EXPECT_EQ(asked, 1) << "the window began to close before the page's bytes came";
    EXPECT_EQ(server.messages().size(), 1u);
    CloseFrame(); // before the boxes' watch goes
}

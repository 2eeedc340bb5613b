// The window tests need a wx application and a display (Xvfb). Listing the
// tests, as the build does to register them, needs neither.
#include "common/MenuToolTips.h"
#include "mainwindow/ToolkitEnvironment.h"

#include <cstdio>
#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/debug.h>
#include <wx/init.h>
#include <wx/log.h>

namespace
{
class TestApp : public wxApp
{
public:
    bool OnInit() override { return true; }
};

// A failed wx assertion fails the running test instead of opening a dialog
// that nobody answers.
void FailTestOnAssert(const wxString& file, int line, const wxString& function, const wxString& condition,
                      const wxString& message)
{
    ADD_FAILURE_AT(file.utf8_str(), line) << "wx assertion \"" << condition.utf8_str() << "\" failed in "
                                          << function.utf8_str() << ": " << message.utf8_str();
}
} // namespace

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    if (testing::GTEST_FLAG(list_tests))
        return RUN_ALL_TESTS();

    ui::PrepareToolkitEnvironment();
    wxSetAssertHandler(FailTestOnAssert);
    wxApp::SetInstance(new TestApp);
    if (!wxEntryStart(argc, argv))
    {
        std::fprintf(stderr, "cannot start wx: is DISPLAY set (run under xvfb-run)?\n");
        return 1;
    }
    // Messages go to stderr: a modal log dialog would stall the run.
    delete wxLog::SetActiveTarget(new wxLogStderr);
    // As in the program: no tip over an open menu.
    ui::KeepToolTipsOffMenus();
    wxTheApp->CallOnInit();

    int result = RUN_ALL_TESTS();

    wxTheApp->OnExit();
    wxEntryCleanup();
    return result;
}

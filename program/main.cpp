#include "mainwindow/DesktopIntegration.h"
#include "mainwindow/KestrovaApp.h"
#include "mainwindow/ToolkitEnvironment.h"

#include <cstdio>
#include <string_view>
#include <wx/debug.h>
#include <wx/init.h>

wxIMPLEMENT_APP_NO_MAIN(CKestrovaApp);

namespace
{
// A toolkit assertion goes to the log: its box would hold the window, and a
// stop signal, until somebody answered it. The tests keep theirs loud.
void LogAssertion(const wxString& file, int line, const wxString& function, const wxString& condition,
                  const wxString& message)
{
    std::fprintf(stderr, "%s:%d: toolkit assertion \"%s\" failed in %s: %s\n", file.utf8_str().data(), line,
                 condition.utf8_str().data(), function.utf8_str().data(), message.utf8_str().data());
}
} // namespace

int main(int argc, char** argv)
{
    // Taking the program off the desktop needs no display: done before the
    // toolkit starts.
    for (int i = 1; i < argc; ++i)
    {
        if (std::string_view(argv[i]) == "--unregister")
        {
            desktop::CDesktopIntegration(desktop::Folders::FromEnvironment(),
                                         desktop::CDesktopIntegration::RunningProgramPath())
                .Unregister();
            return 0;
        }
    }
    CKestrovaApp::HoldStopSignals();
    wxSetAssertHandler(LogAssertion);
    ui::PrepareToolkitEnvironment();
    int result = wxEntry(argc, argv);
    // Handing the file to the running instance is a success.
    return CKestrovaApp::HandedOver() ? 0 : result;
}

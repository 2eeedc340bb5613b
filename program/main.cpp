#include "mainwindow/DesktopIntegration.h"
#include "mainwindow/KestrovaApp.h"
#include "mainwindow/ToolkitEnvironment.h"

#include <string_view>
#include <wx/init.h>

wxIMPLEMENT_APP_NO_MAIN(CKestrovaApp);

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
    ui::PrepareToolkitEnvironment();
    int result = wxEntry(argc, argv);
    // Handing the file to the running instance is a success.
    return CKestrovaApp::HandedOver() ? 0 : result;
}

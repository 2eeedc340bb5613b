#include "mainwindow/KestrovaApp.h"
#include "mainwindow/ToolkitEnvironment.h"

#include <wx/init.h>

wxIMPLEMENT_APP_NO_MAIN(CKestrovaApp);

int main(int argc, char** argv)
{
    ui::PrepareToolkitEnvironment();
    int result = wxEntry(argc, argv);
    // Handing the file to the running instance, or leaving the desktop on
    // request, is a success.
    return CKestrovaApp::HandedOver() || CKestrovaApp::Unregistered() ? 0 : result;
}

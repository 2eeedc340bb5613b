#include "mainwindow/KestrovaApp.h"

#include <wx/init.h>

wxIMPLEMENT_APP_NO_MAIN(CKestrovaApp);

int main(int argc, char** argv)
{
    int result = wxEntry(argc, argv);
    // Handing the file to the running instance is a success.
    return CKestrovaApp::HandedOver() ? 0 : result;
}

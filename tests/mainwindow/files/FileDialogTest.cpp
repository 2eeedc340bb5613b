// The desktop's file dialog behind ui::ChooseFile, answered as the user
// answers it. A toolkit assertion on the way fails the test.
#include "mainwindow/FileChooser.h"
#include "support/TempDir.h"

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include <wx/filedlg.h>
#include <wx/modalhook.h>

namespace
{
// The dialog is the toolkit's own: its Save button answers as the user's
// click does.
void PressSave(wxDialog& dialog)
{
    using Respond = void (*)(void* dialog, int response);
    static Respond respond = reinterpret_cast<Respond>(dlsym(RTLD_DEFAULT, "gtk_dialog_response"));
    constexpr int kGtkResponseAccept = -3;
    ASSERT_NE(respond, nullptr);
    respond(dialog.GetHandle(), kGtkResponseAccept);
}
// Presses Save once the dialog's loop runs.
class SaveWhenShown : public wxModalDialogHook
{
public:
    SaveWhenShown() { Register(); }
    ~SaveWhenShown() override { Unregister(); }
    bool pressed = false;

protected:
    int Enter(wxDialog* dialog) override
    {
        dialog->CallAfter(
            [this, dialog]
            {
                pressed = true;
                PressSave(*dialog);
            });
        return wxID_NONE;
    }
    void Exit(wxDialog*) override {}
};
} // namespace

TEST(FileDialog, SaveGivesTheOfferedNameWithTheChosenFiltersExtensionIfAny)
{
    testsupport::TempDir folder;
    struct Case
    {
        const char* filter;
        std::vector<uString> extensions;
        const char* name;
        const char* saved;
    };
    const Case cases[] = {
        // A download of the browser pane: no filters at all.
        {"", {}, "pack.zip", "pack.zip"},
        {"News/Podcast Feed (*.rss)|*.rss", {uString("rss")}, "items", "items.rss"},
    };
    for (const Case& test : cases)
    {
        SCOPED_TRACE(test.name);
        ui::FileRequest request;
        request.save = true;
        request.filter = uString(test.filter);
        request.extensions = test.extensions;
        request.defaultName = uString(test.name);
        request.defaultDir = uString(folder.path().c_str());
        SaveWhenShown saver;
        EXPECT_EQ(std::string(ui::ChooseFile(nullptr, request).c_str()), folder.file(test.saved));
        EXPECT_TRUE(saver.pressed);
    }
}

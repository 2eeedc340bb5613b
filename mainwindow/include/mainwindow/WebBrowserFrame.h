#pragma once

#include "foundation/uString.h"

#include <functional>
#include <memory>
#include <vector>
#include <wx/panel.h>

class CHtmlCtrl;
class CPreference;
class wxComboBox;
class wxCommandEvent;
class wxStaticText;
class wxToolBar;

// The lower right pane: a tool bar and the address box above the browser
// view (CHtmlCtrl). Every address the main window shows goes through
// Navigate, which records it in the address box's history (20 addresses,
// newest first, repeats kept).
//
// The browser commands keep their numbers 5000 to 5008 although wx reserves
// that range for stock ids: every button is given its own label and bitmap,
// so nothing stock is substituted, and the pane handles the commands itself
// (they never travel up to the main frame).
class CWebBrowserFrame : public wxPanel
{
public:
    static constexpr int kHistorySize = 20;
    enum Command : int
    {
        kBack = 5000,
        kForward = 5001,
        kStop = 5002,
        kRefresh = 5003,
        kHome = 5004,
        kSearch = 5005,
        kSendMail = 5008,
    };
    // There is no system start or search page: the start page is a blank
    // page, the search page a web search engine's front page.
    static constexpr const char* kHomeUrl = "about:blank";
    static constexpr const char* kSearchUrl = "https://duckduckgo.com/";

    // `templateDir` is the folder of the item templates: written pages
    // resolve relative references against it.
    CWebBrowserFrame(wxWindow* parent, wxWindowID id, const uString& templateDir);
    ~CWebBrowserFrame() override;

    CHtmlCtrl* GetHtmlCtrl() const { return m_view.get(); }
    // The address box. Its old control id (32819) is past the ids wx accepts
    // for windows, so it takes an id of wx's choosing.
    wxComboBox* GetAddressBox() const { return m_address; }

    // Shows the address in the browser and records it. The extra arguments
    // of the old interface are accepted and ignored: no caller passes them.
    void Navigate(const uString& url, int flags = 0, const uString& targetFrame = uString(),
                  const uString& headers = uString(), const void* postData = nullptr, int postDataLength = 0);
    // Only the address box's text (for pages the program writes itself).
    void SetAddressText(const uString& text);
    uString GetAddressText() const;
    // The recorded addresses, newest first.
    std::vector<uString> GetHistory() const;

    // Gives the buttons their tips and status-bar texts again, in the
    // interface language now current.
    void ReadToolTexts();

    void ToggleBars();
    bool AreBarsShown() const { return m_barsShown; }
    void FocusBrowser();
    // Brings the window to the front first (a window manager may refuse).
    void FocusBrowser(bool raiseFrame);
    void FocusAddress();

    // 2 when the focus is in the address box, else 1 (the browser).
    int GetFocusTarget() const;
    // For the browser these give what the engine last said, and never wait
    // for it (a page's box may hold its answer back).
    bool CanCut() const;
    bool CanCopy() const;
    bool CanPaste() const;
    void Cut();
    void Copy();
    void Paste();

    // The last recipient of a forwarded page, kept between forwards.
    uString& LastRecipient() { return m_lastRecipient; }
    // Runs on "Send email"; nothing happens without it.
    void SetSendMailHandler(std::function<void()> handler) { m_sendMail = std::move(handler); }
    // "Send email": mails the shown page to an address the user types, with
    // the sender and server of the personal settings; `showPreferences`
    // opens the settings when no sender is set. The outcome is shown in a box.
    // The page's text may come later (a page's box holds it back): the rest
    // runs then, only while this frame lives and `mayGoOn` (when given)
    // holds, for the window that owns the settings may be closing by then.
    void ForwardPage(CPreference& preference, std::function<void()> showPreferences,
                     std::function<bool()> mayGoOn = {});

private:
    void ForwardSource(const uString& source, CPreference& preference,
                       const std::function<void()>& showPreferences);
    void CreateToolBar();
    void RecordAddress(const wxString& url);
    void OnCommand(wxCommandEvent& event);
    void OnAddressEnter(wxCommandEvent& event);
    void OnAddressChosen(wxCommandEvent& event);

    std::unique_ptr<CHtmlCtrl> m_view;
    wxToolBar* m_toolBar = nullptr;
    wxStaticText* m_addressLabel = nullptr;
    wxComboBox* m_address = nullptr;
    uString m_lastRecipient;
    bool m_barsShown = true;
    bool m_typed = false; // the address box holds the user's typing, not yet given
    std::function<void()> m_sendMail;
};

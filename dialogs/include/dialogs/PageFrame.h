#pragma once

#include <vector>
#include <wx/bitmap.h>
#include <wx/colour.h>
#include <wx/gdicmn.h>
#include <wx/string.h>
#include <wx/window.h>

class wxDC;

/// The visual-styles library of other systems. GTK draws every control in
/// its own theme and has no such library to load, so there are never
/// styles: the page frame always takes the unthemed geometry and the
/// button-face background.
class CThemeLib
{
public:
    bool IsAvailable() const { return false; }
    /// "no styles": what the loader reports here.
    static const char* Describe() { return "no styles"; }
};

/// The one loader of the process.
extern const CThemeLib g_themeLib;

namespace pageframe
{
/// The caption band: the client rectangle cut to `height` from its top when
/// the caption is shown, else of height 0 at the top.
wxRect CaptionRect(const wxRect& client, bool showCaption, int height);
/// The message area: below the band and one pixel apart when the caption is
/// shown, else the whole client rectangle.
wxRect MessageRect(const wxRect& client, bool showCaption, int height);
/// One colour per pixel column of a band `width` columns wide, both edges
/// included (width + 1 lines), from `left` growing by a per-column step
/// kept in floating point and truncated for each line.
std::vector<wxColour> GradientColours(const wxColour& left, const wxColour& right, int width);
} // namespace pageframe

/// The drawing logic of the area in which the tree sheet shows its page: a
/// caption band with the page's icon and name, and a message area for a
/// tree node without a page.
class CPageFrame
{
public:
    virtual ~CPageFrame() = default;

    virtual bool Create(long style, const wxRect& rect, wxWindow* parent, int id) = 0;
    virtual wxWindow* GetWnd() = 0;
    virtual void ShowCaption(bool show);
    virtual void SetCaptionHeight(int height);
    virtual void SetCaption(const wxString& text, const wxBitmap& icon);
    virtual void SetMsgText(const wxString& text);
    /// wx alignment flags; centred on both axes by default.
    virtual void SetMsgFormat(int format);
    virtual void Draw(wxDC& dc);
    virtual wxRect GetMsgRect();
    virtual void DrawMsg(wxDC& dc, const wxRect& rect, const wxString& text, int format);
    virtual wxRect GetCaptionRect();
    virtual void DrawCaption(wxDC& dc, const wxRect& rect, const wxString& text, const wxBitmap& icon);

    bool GetShowCaption() const { return m_showCaption; }
    int GetCaptionHeight() const { return m_captionHeight; }
    const wxString& GetCaption() const { return m_caption; }
    const wxString& GetMsgText() const { return m_msgText; }

protected:
    wxRect ClientRect();
    void Invalidate(const wxRect& rect);

    bool m_showCaption = false;
    int m_captionHeight = 0;
    wxString m_caption;
    wxBitmap m_icon; // not owned in spirit: a copy of the caller's
    wxString m_msgText;
    int m_msgFormat = wxALIGN_CENTER;
};

/// The page frame window: button-face background, the gradient caption.
class CPageFrameWnd : public wxWindow, public CPageFrame
{
public:
    CPageFrameWnd() = default;

    bool Create(long style, const wxRect& rect, wxWindow* parent, int id) override;
    wxWindow* GetWnd() override { return this; }
    void SetCaption(const wxString& text, const wxBitmap& icon) override;
    void DrawCaption(wxDC& dc, const wxRect& rect, const wxString& text, const wxBitmap& icon) override;

    /// The colours of the band's two ends and of its text.
    static wxColour LeftColour();
    static wxColour RightColour();
    static wxColour TextColour();

private:
    void OnPaint(wxPaintEvent& event);
};

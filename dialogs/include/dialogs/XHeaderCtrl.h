#pragma once

#include "downloads/XHeaderLayout.h"
#include "downloads/XListModel.h"

#include <vector>
#include <wx/bitmap.h>
#include <wx/headerctrl.h>

class wxImageList;

/// One header item as the header paints it.
struct CXHeaderItem
{
    wxString text;
    bool hasText = false; // a caption to draw (an empty one draws nothing)
    wxBitmap bitmap;      // drawn right-aligned when valid
    int image = 0;        // in the header's image list; 0 is never drawn
    int width = 0;
};

/// The list's header. Its columns come from the list's model, and a column's
/// header check state is the index of its image (0 none, 1 unchecked, 2
/// checked). The toolkit's header keeps what it does with the mouse
/// (resizing, clicks); the painting is ours: a flat face-coloured
/// background, each item's image, bitmap and blue caption, etched dividers
/// between the items and a 3-D frame around them all, off-screen first.
class CXHeaderCtrl : public wxHeaderCtrl
{
public:
    CXHeaderCtrl(wxWindow* parent, const CXListModel& model);

    /// Takes the model's columns again (count, widths, titles, check states).
    void SyncColumns();

    /// The images the items show; the owner keeps the list. Records the size
    /// of image 0, which every item's image is laid out with.
    void SetImageList(wxImageList* images);
    wxImageList* GetImageList() const { return m_images; }
    /// The inner margin of each item and the gap between its image and text.
    int GetSpacing() const { return m_spacing; }
    /// How far the items are scrolled left with the list (0 or less).
    int GetScrollOffset() const { return m_scrollOffset; }

    /// The column as painted.
    CXHeaderItem GetHeaderItem(int index) const;
    /// The items where they are now, in display order.
    XHeaderLayout GetLayout() const;

    /// Paints the part of the header inside the DC's clip box.
    virtual void DoPaint(wxDC& dc);
    /// Paints one item into its rectangle (the item less the spacing).
    virtual void DrawItem(wxDC& dc, const wxRect& rect, const CXHeaderItem& item);

    /// The caption as it fits a width, cut with "..." when it does not.
    static wxString FitCaption(wxDC& dc, const wxString& text, int width);

    void ScrollWindow(int dx, int dy, const wxRect* rect = nullptr) override;

protected:
    const wxHeaderColumn& GetColumn(unsigned int index) const override;

    // The three parts of an item; each answers the width it took.
    int DrawImage(wxDC& dc, const wxRect& rect, const XHeaderItemLayout& layout, const CXHeaderItem& item);
    int DrawBitmap(wxDC& dc, const XHeaderItemLayout& layout, const CXHeaderItem& item);
    int DrawText(wxDC& dc, const wxRect& rect, const CXHeaderItem& item);

private:
    // A changed column repaints the whole header: the toolkit's own update
    // computes a negative rectangle once the columns outgrow the window.
    void DoUpdate(unsigned int index) override;
    void OnPaint(wxPaintEvent& event);
    void OnSysColourChanged(wxSysColourChangedEvent& event);
    void ReadColours();

    const CXListModel& m_model;
    mutable std::vector<wxHeaderColumnSimple> m_columns;
    bool m_doubleBuffer = true; // paint off-screen first; nothing turns it off
    int m_spacing = 6;
    wxImageList* m_images = nullptr;
    int m_imageWidth = 0;
    int m_imageHeight = 0;
    int m_scrollOffset = 0;

    // System colours, read at creation and when they change.
    wxColour m_highlightColour;
    wxColour m_shadowColour;
    wxColour m_faceColour;
    wxColour m_buttonTextColour;
};

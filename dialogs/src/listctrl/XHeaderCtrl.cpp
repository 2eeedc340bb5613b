#include "dialogs/XHeaderCtrl.h"

#include "ListRects.h"
#include "dialogs/MemoryDC.h"
#include "downloads/XListText.h"
#include "foundation/uTranslation.h"

#include <algorithm>
#include <string>
#include <wx/dcclient.h>
#include <wx/imaglist.h>
#include <wx/settings.h>

namespace
{
// Every caption is blue, whatever the theme.
const wxColour kCaptionColour(0, 0, 255);

// A one-pixel line as a filled span: exact pixels, whatever the DC does with
// line ends.
void FillSpan(wxDC& dc, const wxColour& colour, int x, int y, int width, int height)
{
    if (width <= 0 || height <= 0)
        return;
    dc.SetPen(*wxTRANSPARENT_PEN);
    dc.SetBrush(wxBrush(colour));
    dc.DrawRectangle(x, y, width, height);
}

// Light at the top and left, dark at the bottom and right.
void Draw3dRect(wxDC& dc, const XListRect& rect, const wxColour& topLeft, const wxColour& bottomRight)
{
    const int width = rect.Width();
    const int height = rect.Height();
    FillSpan(dc, topLeft, rect.left, rect.top, width - 1, 1);
    FillSpan(dc, topLeft, rect.left, rect.top, 1, height - 1);
    FillSpan(dc, bottomRight, rect.right - 1, rect.top, 1, height);
    FillSpan(dc, bottomRight, rect.left, rect.bottom - 1, width, 1);
}
} // namespace

CXHeaderCtrl::CXHeaderCtrl(wxWindow* parent, const CXListModel& model)
    : wxHeaderCtrl(parent, wxID_ANY, wxDefaultPosition, wxDefaultSize, 0), m_model(model)
{
    ReadColours();
    // Bound here, our painting runs before the toolkit header's own.
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    Bind(wxEVT_PAINT, &CXHeaderCtrl::OnPaint, this);
    Bind(wxEVT_ERASE_BACKGROUND, [](wxEraseEvent&) {});
    Bind(wxEVT_SYS_COLOUR_CHANGED, &CXHeaderCtrl::OnSysColourChanged, this);
}

void CXHeaderCtrl::ReadColours()
{
    m_highlightColour = wxSystemSettings::GetColour(wxSYS_COLOUR_3DHIGHLIGHT);
    m_shadowColour = wxSystemSettings::GetColour(wxSYS_COLOUR_3DSHADOW);
    m_faceColour = wxSystemSettings::GetColour(wxSYS_COLOUR_3DFACE);
    m_buttonTextColour = wxSystemSettings::GetColour(wxSYS_COLOUR_BTNTEXT);
}

void CXHeaderCtrl::OnSysColourChanged(wxSysColourChangedEvent& event)
{
    ReadColours();
    Refresh();
    event.Skip();
}

void CXHeaderCtrl::SetImageList(wxImageList* images)
{
    m_images = images;
    m_imageWidth = 0;
    m_imageHeight = 0;
    if (images != nullptr && images->GetImageCount() > 0)
        images->GetSize(0, m_imageWidth, m_imageHeight);
    Refresh();
}

void CXHeaderCtrl::SyncColumns()
{
    while (static_cast<int>(m_columns.size()) < m_model.GetColumns())
        m_columns.emplace_back(wxString());
    SetColumnCount(m_model.GetColumns());
    Refresh();
}

const wxHeaderColumn& CXHeaderCtrl::GetColumn(unsigned int index) const
{
    // What the toolkit's header needs for the mouse: titles and widths.
    while (index >= m_columns.size())
        m_columns.emplace_back(wxString());
    wxHeaderColumnSimple& column = m_columns[index];
    const XListColumn* source = m_model.GetColumn(static_cast<int>(index));
    if (source != nullptr)
    {
        column.SetTitle(wxString::FromUTF8(std::string(uTr(source->title.c_str()))));
        column.SetWidth(source->width);
        column.SetResizeable(true);
        column.SetSortable(false);
    }
    return column;
}

CXHeaderItem CXHeaderCtrl::GetHeaderItem(int index) const
{
    CXHeaderItem item;
    const XListColumn* source = m_model.GetColumn(index);
    if (source == nullptr)
        return item;
    item.text = wxString::FromUTF8(std::string(uTr(source->title.c_str())));
    item.hasText = !item.text.empty();
    item.image = source->headerState;
    item.width = source->width;
    return item;
}

XHeaderLayout CXHeaderCtrl::GetLayout() const
{
    std::vector<int> widths;
    for (unsigned int index = 0; index < GetColumnCount(); ++index)
    {
        const XListColumn* source = m_model.GetColumn(static_cast<int>(index));
        widths.push_back(source != nullptr ? source->width : 0);
    }
    const wxArrayInt order = GetColumnsOrder();
    return LayOutHeader(std::vector<int>(order.begin(), order.end()), widths, GetClientSize().y,
                        m_scrollOffset);
}

void CXHeaderCtrl::ScrollWindow(int dx, int dy, const wxRect* rect)
{
    m_scrollOffset += dx;
    wxHeaderCtrl::ScrollWindow(dx, dy, rect);
}

void CXHeaderCtrl::DoUpdate(unsigned int)
{
    InvalidateBestSize();
    Refresh();
}

void CXHeaderCtrl::OnPaint(wxPaintEvent&)
{
    wxPaintDC dc(this);
    if (m_doubleBuffer)
    {
        CMemoryDC memory(dc);
        DoPaint(memory.GetDC());
    }
    else
        DoPaint(dc);
}

void CXHeaderCtrl::DoPaint(wxDC& dc)
{
    wxRect clipBox;
    dc.GetClippingBox(clipBox);
    if (clipBox.IsEmpty())
        return;
    FillSpan(dc, m_faceColour, clipBox.x, clipBox.y, clipBox.width, clipBox.height);
    const wxFont previousFont = dc.GetFont();
    dc.SetFont(GetFont());
    dc.SetTextBackground(m_faceColour);
    dc.SetTextForeground(m_buttonTextColour);

    const XListRect clip = ToListRect(clipBox);
    const XHeaderLayout layout = GetLayout();
    for (const XHeaderPosition& position : layout.positions)
    {
        if (!MeetsHorizontally(position.rect, clip))
            continue;
        XListRect inner = position.rect;
        inner.left += m_spacing;
        inner.right -= m_spacing;
        DrawItem(dc, ToWxRect(inner), GetHeaderItem(position.index));
        if (position.divider)
        {
            const XHeaderDivider divider = DividerOf(position.rect);
            FillSpan(dc, m_shadowColour, divider.shadowX, divider.top, 1, divider.bottom - divider.top);
            FillSpan(dc, m_highlightColour, divider.highlightX, divider.top, 1, divider.bottom - divider.top);
        }
    }
    // The frame runs round every column, also those outside the clip box.
    if (layout.totalWidth > 0)
        Draw3dRect(dc, layout.frame, m_highlightColour, m_shadowColour);
    dc.SetFont(previousFont);
    dc.SetPen(wxNullPen);
    dc.SetBrush(wxNullBrush);
}

void CXHeaderCtrl::DrawItem(wxDC& dc, const wxRect& rect, const CXHeaderItem& item)
{
    XHeaderItemParts parts;
    parts.image = item.image;
    parts.imageCount = m_images != nullptr ? m_images->GetImageCount() : 0;
    parts.imageWidth = m_imageWidth;
    parts.imageHeight = m_imageHeight;
    if (item.bitmap.IsOk())
    {
        parts.bitmapWidth = item.bitmap.GetWidth();
        parts.bitmapHeight = item.bitmap.GetHeight();
    }
    const XHeaderItemLayout layout = LayOutHeaderItem(ToListRect(rect), m_spacing, parts);
    DrawImage(dc, rect, layout, item);
    DrawBitmap(dc, layout, item);
    DrawText(dc, ToWxRect(layout.text), item);
}

int CXHeaderCtrl::DrawImage(wxDC& dc, const wxRect& rect, const XHeaderItemLayout& layout,
                            const CXHeaderItem& item)
{
    if (!layout.imageShown)
        return 0;
    wxDCClipper clip(dc, ToWxRect(layout.image).Intersect(rect));
    m_images->Draw(item.image, dc, layout.image.left, layout.image.top, wxIMAGELIST_DRAW_TRANSPARENT);
    return m_imageWidth;
}

int CXHeaderCtrl::DrawBitmap(wxDC& dc, const XHeaderItemLayout& layout, const CXHeaderItem& item)
{
    if (!layout.bitmapShown)
        return 0;
    dc.DrawBitmap(item.bitmap, layout.bitmap.left, layout.bitmap.top, /*useMask=*/false);
    return layout.bitmap.Width();
}

int CXHeaderCtrl::DrawText(wxDC& dc, const wxRect& rect, const CXHeaderItem& item)
{
    dc.SetTextForeground(kCaptionColour);
    if (rect.width < 1 || !item.hasText)
        return 0;
    const wxString caption = FitCaption(dc, item.text, rect.width);
    const wxSize extent = dc.GetTextExtent(caption);
    wxDCClipper clip(dc, rect);
    dc.SetBackgroundMode(wxBRUSHSTYLE_TRANSPARENT);
    dc.DrawText(caption, rect.x + (rect.width - extent.x) / 2, rect.y + (rect.height - extent.y) / 2);
    return std::max(std::min(extent.x, rect.width), 0);
}

wxString CXHeaderCtrl::FitCaption(wxDC& dc, const wxString& text, int width)
{
    // One line: a line break would only draw as a box.
    wxString line = text;
    line.Replace("\n", " ");
    const std::string fitted =
        EllipsizeEnd(std::string(line.utf8_str()), width,
                     [&dc](const std::string& part) { return dc.GetTextExtent(wxString::FromUTF8(part)).x; });
    return wxString::FromUTF8(fitted);
}

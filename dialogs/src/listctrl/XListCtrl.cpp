#include "dialogs/XListCtrl.h"

#include "ListRects.h"
#include "common/ColumnWidth.h"
#include "dialogs/MemoryDC.h"
#include "downloads/XListText.h"
#include "foundation/uTranslation.h"

#include <algorithm>
#include <wx/dcclient.h>
#include <wx/dcmemory.h>
#include <wx/imaglist.h>
#include <wx/renderer.h>
#include <wx/settings.h>
#include <wx/sizer.h>

wxDEFINE_EVENT(EVT_XLIST_CLICK, CXListEvent);
wxDEFINE_EVENT(EVT_XLIST_DBLCLICK, CXListEvent);
wxDEFINE_EVENT(EVT_XLIST_RCLICK, CXListEvent);
wxDEFINE_EVENT(EVT_XLIST_COLUMN_CLICK, CXListEvent);
wxDEFINE_EVENT(EVT_XLIST_CHECKBOX_CLICKED, CXListEvent);

namespace
{
constexpr const char* kEmptyText = "There are no items to show in this view.";
// How long the pointer rests on a row before track selection selects it: the
// usual hover time of desktops, so that a pointer passing over rows on its
// way elsewhere selects nothing.
constexpr int kHoverMilliseconds = 400;

wxString Wide(const uString& text)
{
    return wxString::FromUTF8(text.c_str());
}

wxColour CellColour(uint32_t colour, const wxColour& system)
{
    if (colour == XListCellData::kSystemColour)
        return system;
    return wxColour((colour >> 16) & 0xFF, (colour >> 8) & 0xFF, colour & 0xFF);
}
} // namespace

// ---- body

class CXListCtrl::Body : public wxScrolled<wxWindow>
{
public:
    explicit Body(CXListCtrl& list)
        : wxScrolled<wxWindow>(&list, wxID_ANY, wxDefaultPosition, wxDefaultSize,
                               wxVSCROLL | wxHSCROLL | wxWANTS_CHARS | wxBORDER_NONE),
          m_list(list)
    {
        SetBackgroundStyle(wxBG_STYLE_PAINT);
        Bind(wxEVT_PAINT, &Body::OnPaint, this);
        Bind(wxEVT_LEFT_DOWN, [this](wxMouseEvent& event) { Forward(event, &CXListCtrl::OnLeftDown); });
        Bind(wxEVT_LEFT_DCLICK,
             [this](wxMouseEvent& event) { Forward(event, &CXListCtrl::OnLeftDoubleClick); });
        Bind(wxEVT_RIGHT_DOWN, [this](wxMouseEvent& event) { Forward(event, &CXListCtrl::OnRightDown); });
        Bind(wxEVT_MOTION,
             [this](wxMouseEvent& event)
             {
                 m_list.UpdateToolTip(event.GetPosition());
                 m_list.OnHover(event.GetPosition());
                 event.Skip();
             });
        Bind(wxEVT_LEAVE_WINDOW,
             [this](wxMouseEvent& event)
             {
                 m_list.OnHover(wxPoint(-1, -1));
                 event.Skip();
             });
        Bind(wxEVT_KEY_DOWN, [this](wxKeyEvent& event) { KeyDown(event); });
        Bind(wxEVT_SET_FOCUS, [this](wxFocusEvent& event) { FocusChanged(event); });
        Bind(wxEVT_KILL_FOCUS, [this](wxFocusEvent& event) { FocusChanged(event); });
    }

private:
    void OnPaint(wxPaintEvent&)
    {
        wxPaintDC dc(this);
        DoPrepareDC(dc);
        m_list.SyncHeaderScroll();
        wxRect area = GetUpdateRegion().GetBox();
        CalcUnscrolledPosition(area.x, area.y, &area.x, &area.y);
        CMemoryDC memory(dc);
        // Off-screen, every pixel of the bitmap is copied back: paint it all.
        m_list.DrawRows(memory.GetDC(), memory.IsOffScreen() ? memory.GetRect() : area);
    }
    void Forward(wxMouseEvent& event, void (CXListCtrl::*handler)(const wxPoint&))
    {
        SetFocus();
        (m_list.*handler)(event.GetPosition());
    }
    void KeyDown(wxKeyEvent& event)
    {
        switch (event.GetKeyCode())
        {
        case WXK_UP:
        case WXK_DOWN:
        case WXK_HOME:
        case WXK_END:
        case WXK_PAGEUP:
        case WXK_PAGEDOWN:
            m_list.OnKey(event.GetKeyCode());
            break;
        default:
            event.Skip();
        }
    }
    void FocusChanged(wxFocusEvent& event)
    {
        // The selection's colours depend on the focus.
        if (m_list.m_model.GetSelection() != -1)
            m_list.UpdateSubItem(m_list.m_model.GetSelection(), -1);
        event.Skip();
    }

    CXListCtrl& m_list;
};

// ---- list

CXListCtrl::CXListCtrl(wxWindow* parent, wxWindowID id, const wxPoint& position, const wxSize& size)
    : wxWindow(parent, id, position, size, wxBORDER_THEME)
{
    ReadColours();
    m_header = new CXHeaderCtrl(this, m_model);
    MakeHeaderImages();
    m_body = new Body(*this);
    const int checkHeight = wxRendererNative::Get().GetCheckBoxSize(this).y;
    m_rowHeight = std::max(GetCharHeight() + 8, checkHeight + 5);
    m_body->SetScrollRate(10, m_rowHeight);

    auto* sizer = new wxBoxSizer(wxVERTICAL);
    sizer->Add(m_header, 0, wxEXPAND);
    sizer->Add(m_body, 1, wxEXPAND);
    SetSizer(sizer);

    m_header->Bind(wxEVT_HEADER_CLICK, &CXListCtrl::OnHeaderClick, this);
    m_header->Bind(wxEVT_HEADER_RESIZING, &CXListCtrl::OnHeaderResizing, this);
    m_header->Bind(wxEVT_HEADER_END_RESIZE, &CXListCtrl::OnHeaderResizing, this);
    Bind(wxEVT_SYS_COLOUR_CHANGED, &CXListCtrl::OnSysColourChanged, this);
    m_hoverTimer.SetOwner(this);
    Bind(
        wxEVT_TIMER, [this](wxTimerEvent&) { OnHoverTimer(); }, m_hoverTimer.GetId());
    m_model.SetChangeObserver([this](int row, int column) { OnModelChanged(row, column); });
}

CXListCtrl::~CXListCtrl()
{
    m_hoverTimer.Stop();
    m_model.SetChangeObserver(nullptr);
}

wxWindow* CXListCtrl::GetBody() const
{
    return m_body;
}

void CXListCtrl::MakeHeaderImages()
{
    // The check boxes as the theme draws them, on the header's face.
    const wxSize size = wxRendererNative::Get().GetCheckBoxSize(this);
    m_headerImages.Create(size.x, size.y, /*mask=*/false, 3);
    for (int state = kHeaderNoCheckbox; state <= kHeaderChecked; ++state)
    {
        wxBitmap bitmap(size.x, size.y, 32);
        bitmap.UseAlpha();
        {
            wxMemoryDC dc(bitmap);
            dc.SetBackground(wxBrush(wxSystemSettings::GetColour(wxSYS_COLOUR_3DFACE)));
            dc.Clear();
            if (state != kHeaderNoCheckbox)
                wxRendererNative::Get().DrawCheckBox(this, dc, wxRect(size),
                                                     state == kHeaderChecked ? int(wxCONTROL_CHECKED) : 0);
        }
        m_headerImages.Add(bitmap);
    }
    m_header->SetImageList(&m_headerImages);
}

void CXListCtrl::ReadColours()
{
    m_windowColour = wxSystemSettings::GetColour(wxSYS_COLOUR_WINDOW);
    m_windowTextColour = wxSystemSettings::GetColour(wxSYS_COLOUR_WINDOWTEXT);
    m_highlightColour = wxSystemSettings::GetColour(wxSYS_COLOUR_HIGHLIGHT);
    m_highlightTextColour = wxSystemSettings::GetColour(wxSYS_COLOUR_HIGHLIGHTTEXT);
    m_buttonFaceColour = wxSystemSettings::GetColour(wxSYS_COLOUR_BTNFACE);
    m_buttonShadowColour = wxSystemSettings::GetColour(wxSYS_COLOUR_BTNSHADOW);
    m_greyTextColour = wxSystemSettings::GetColour(wxSYS_COLOUR_GRAYTEXT);
}

void CXListCtrl::OnSysColourChanged(wxSysColourChangedEvent& event)
{
    ReadColours();
    Refresh();
    event.Skip();
}

void CXListCtrl::OnModelChanged(int row, int column)
{
    if (row == -1 && (column == -1 || column >= static_cast<int>(m_header->GetColumnCount())))
    {
        // Row counts and column widths change in bursts (a list being
        // filled): the scroll range and the header follow once, afterwards.
        // The cell under the mouse may be another one now.
        m_toolId = -1;
        if (!m_layoutPending)
        {
            m_layoutPending = true;
            CallAfter([this] { UpdateLayout(); });
        }
        m_body->Refresh();
        return;
    }
    if (row == -1)
    {
        m_header->UpdateColumn(column);
        return;
    }
    UpdateSubItem(row, column);
}

void CXListCtrl::FitColumns(const std::function<std::vector<uString>(int column)>& cellTexts)
{
    const int spacing = m_header->GetSpacing();
    for (int column = 0; column < m_model.GetColumns(); ++column)
    {
        const XListColumn* header = m_model.GetColumn(column);
        // The header's check box stands beside its caption.
        const int image = header->headerState != kHeaderNoCheckbox ? m_headerImages.GetSize().x + spacing : 0;
        const wxString title = wxString::FromUTF8(std::string(uTr(header->title.c_str())));
        int width = ui::ColumnWidthFor(*m_header, header->width, {title}, image);
        std::vector<wxString> cells;
        for (const uString& text : cellTexts ? cellTexts(column) : std::vector<uString>())
            cells.push_back(Wide(text));
        width = ui::ColumnWidthFor(*this, width, cells);
        if (width > header->width)
            m_model.SetColumnWidth(column, width);
    }
}

int CXListCtrl::GetColumnsWidth() const
{
    int width = 0;
    for (int column = 0; column < m_model.GetColumns(); ++column)
        width += m_model.GetColumn(column)->width;
    return width;
}

void CXListCtrl::UpdateLayout()
{
    m_layoutPending = false;
    const int width = GetColumnsWidth();
    if (static_cast<int>(m_header->GetColumnCount()) != m_model.GetColumns())
        m_header->SyncColumns();
    else
    {
        for (int column = 0; column < m_model.GetColumns(); ++column)
            m_header->UpdateColumn(column);
    }
    m_body->SetVirtualSize(width, m_model.GetItemCount() * m_rowHeight);
    m_body->Refresh();
}

void CXListCtrl::SyncHeaderScroll()
{
    int x = 0;
    m_body->CalcUnscrolledPosition(0, 0, &x, nullptr);
    if (x != m_headerScroll)
    {
        m_header->ScrollWindow(m_headerScroll - x, 0);
        m_headerScroll = x;
    }
}

void CXListCtrl::OnHeaderClick(wxHeaderCtrlEvent& event)
{
    const int column = event.GetColumn();
    m_model.ClickHeaderCheckbox(column);
    Notify(EVT_XLIST_COLUMN_CLICK, -1, column, wxDefaultPosition);
}

void CXListCtrl::OnHeaderResizing(wxHeaderCtrlEvent& event)
{
    m_model.SetColumnWidth(event.GetColumn(), event.GetWidth());
}

int CXListCtrl::HitTest(const wxPoint& bodyPoint, int* column) const
{
    if (column != nullptr)
        *column = -1;
    int x = 0;
    int y = 0;
    m_body->CalcUnscrolledPosition(bodyPoint.x, bodyPoint.y, &x, &y);
    if (y < 0 || x < 0)
        return -1;
    const int row = y / m_rowHeight;
    if (row >= m_model.GetItemCount())
        return -1;
    int left = 0;
    for (int index = 0; index < m_model.GetColumns(); ++index)
    {
        const int width = m_model.GetColumn(index)->width;
        if (x >= left && x < left + width)
        {
            if (column != nullptr)
                *column = index;
            return row;
        }
        left += width;
    }
    return row; // right of the last column: the row, no cell
}

wxRect CXListCtrl::GetSubItemRect(int row, int column) const
{
    if (row < 0 || row >= m_model.GetItemCount() || column < -1 || column >= m_model.GetColumns())
        return wxRect();
    int left = 0;
    int total = 0;
    for (int index = 0; index < m_model.GetColumns(); ++index)
    {
        if (index < column)
            left += m_model.GetColumn(index)->width;
        total += m_model.GetColumn(index)->width;
    }
    if (column == -1)
        return wxRect(0, row * m_rowHeight, std::max(total, m_body->GetClientSize().x), m_rowHeight);
    return wxRect(left, row * m_rowHeight, m_model.GetColumn(column)->width, m_rowHeight);
}

void CXListCtrl::UpdateSubItem(int row, int column)
{
    wxRect rect = GetSubItemRect(row, column);
    if (rect.IsEmpty())
        return;
    m_body->CalcScrolledPosition(rect.x, rect.y, &rect.x, &rect.y);
    // Rows out of view cost nothing: only what shows is invalidated.
    if (rect.Intersects(wxRect(m_body->GetClientSize())))
        m_body->RefreshRect(rect, false);
}

void CXListCtrl::EnsureVisible(int row)
{
    if (row < 0 || row >= m_model.GetItemCount())
        return;
    if (m_layoutPending)
        UpdateLayout();
    int firstX = 0;
    int firstRow = 0;
    m_body->GetViewStart(&firstX, &firstRow);
    const int rowsInView = std::max(m_body->GetClientSize().y / m_rowHeight, 1);
    if (row < firstRow)
        m_body->Scroll(-1, row);
    else if (row >= firstRow + rowsInView)
        m_body->Scroll(-1, row - rowsInView + 1);
}

void CXListCtrl::Notify(wxEventType type, int row, int column, const wxPoint& position)
{
    CXListEvent event(type, GetId(), row, column, position);
    event.SetEventObject(this);
    event.SetInt(row);
    ProcessWindowEvent(event);
}

void CXListCtrl::SelectRow(int row)
{
    m_model.SetSelection(row);
    EnsureVisible(row);
}

void CXListCtrl::OnLeftDown(const wxPoint& bodyPoint)
{
    int column = -1;
    const int row = HitTest(bodyPoint, &column);
    if (row != -1 && !m_model.IsRowEnabled(row))
        return; // a disabled row swallows the click
    if (row != -1 && m_model.ToggleCheckbox(row, column))
        Notify(EVT_XLIST_CHECKBOX_CLICKED, row, column, bodyPoint);
    SelectRow(row);
    Notify(EVT_XLIST_CLICK, row, column, bodyPoint);
}

void CXListCtrl::OnLeftDoubleClick(const wxPoint& bodyPoint)
{
    int column = -1;
    const int row = HitTest(bodyPoint, &column);
    if (row != -1 && !m_model.IsRowEnabled(row))
        return;
    SelectRow(row);
    Notify(EVT_XLIST_DBLCLICK, row, column, bodyPoint);
}

void CXListCtrl::OnRightDown(const wxPoint& bodyPoint)
{
    int column = -1;
    const int row = HitTest(bodyPoint, &column);
    if (row != -1)
        SelectRow(row);
    Notify(EVT_XLIST_RCLICK, row, column, bodyPoint);
}

void CXListCtrl::SetTrackSelect(bool on)
{
    m_trackSelect = on;
    if (!on)
        OnHover(wxPoint(-1, -1));
}

void CXListCtrl::OnHover(const wxPoint& bodyPoint)
{
    const int row = m_trackSelect && bodyPoint.x >= 0 ? HitTest(bodyPoint) : -1;
    if (row == m_hoverRow)
        return; // still resting on the same row: its time runs on
    m_hoverRow = row;
    if (row == -1 || row == m_model.GetSelection() || !m_model.IsRowEnabled(row))
        m_hoverTimer.Stop();
    else
        m_hoverTimer.StartOnce(kHoverMilliseconds);
}

void CXListCtrl::OnHoverTimer()
{
    // The row may have gone or been disabled while the pointer rested on it.
    if (m_hoverRow < 0 || m_hoverRow >= m_model.GetItemCount() || !m_model.IsRowEnabled(m_hoverRow))
        return;
    // Only selected: the row is under the pointer, so it is in view already.
    m_model.SetSelection(m_hoverRow);
}

void CXListCtrl::OnKey(int key)
{
    const int count = m_model.GetItemCount();
    if (count == 0)
        return;
    const int page = std::max(m_body->GetClientSize().y / m_rowHeight - 1, 1);
    const int current = m_model.GetSelection();
    int row = current;
    switch (key)
    {
    case WXK_UP:
        row = current <= 0 ? 0 : current - 1;
        break;
    case WXK_DOWN:
        row = current + 1;
        break;
    case WXK_HOME:
        row = 0;
        break;
    case WXK_END:
        row = count - 1;
        break;
    case WXK_PAGEUP:
        row = current - page;
        break;
    case WXK_PAGEDOWN:
        row = current + page;
        break;
    }
    SelectRow(std::clamp(row, 0, count - 1));
}

// ---- tool tips

int CXListCtrl::OnToolHitTest(const wxPoint& bodyPoint) const
{
    int column = -1;
    const int row = HitTest(bodyPoint, &column);
    return row != -1 && column != -1 ? ToolTipId(row, column) : -1;
}

uString CXListCtrl::OnToolTipText(int id) const
{
    if (id == 0)
        return uString();
    // The cell under the mouse now, which may have moved since the hit test.
    int column = -1;
    const int row = HitTest(m_body->ScreenToClient(wxGetMousePosition()), &column);
    const XListCellData* cell = column != -1 ? m_model.GetCell(row, column) : nullptr;
    if (cell == nullptr)
        return uString();
    return CutToolTip(cell->tooltip);
}

void CXListCtrl::UpdateToolTip(const wxPoint& bodyPoint)
{
    const int id = OnToolHitTest(bodyPoint);
    if (id == m_toolId)
        return;
    m_toolId = id;
    const uString text = id > 0 ? OnToolTipText(id) : uString();
    if (text.isEmpty())
        m_body->UnsetToolTip();
    else
        m_body->SetToolTip(Wide(text));
}

// ---- painting

void CXListCtrl::DrawRows(wxDC& dc, const wxRect& area)
{
    dc.SetFont(GetFont());
    dc.SetPen(*wxTRANSPARENT_PEN);
    dc.SetBrush(wxBrush(m_windowColour));
    dc.DrawRectangle(area);
    if (m_model.GetItemCount() == 0)
    {
        // The empty-list text, 10 pixels below the header, each line centred
        // in the body's visible width.
        int left = 0;
        int top = 0;
        m_body->CalcUnscrolledPosition(0, 0, &left, &top);
        const int width = m_body->GetClientSize().x;
        dc.SetTextForeground(m_windowTextColour);
        dc.SetBackgroundMode(wxBRUSHSTYLE_TRANSPARENT);
        int y = top + 10;
        for (const wxString& line : EmptyTextLines(dc))
        {
            const wxSize extent = dc.GetTextExtent(line.empty() ? wxString(" ") : line);
            dc.DrawText(line, left + (width - extent.x) / 2, y);
            y += extent.y;
        }
        dc.SetFont(GetFont());
        return;
    }
    const int first = std::max(area.GetTop() / m_rowHeight, 0);
    const int last = std::min(area.GetBottom() / m_rowHeight, m_model.GetItemCount() - 1);
    for (int row = first; row <= last; ++row)
    {
        for (int column = 0; column < m_model.GetColumns(); ++column)
        {
            const wxRect rect = GetSubItemRect(row, column);
            if (rect.GetRight() >= area.GetLeft() && rect.GetLeft() <= area.GetRight())
                DrawCell(dc, row, column, rect);
        }
    }
}

std::vector<wxString> CXListCtrl::EmptyTextLines(wxDC& dc) const
{
    dc.SetFont(wxSystemSettings::GetFont(wxSYS_ANSI_VAR_FONT));
    const std::vector<std::string> lines =
        WrapWords(std::string(uTr(kEmptyText)), m_body->GetClientSize().x,
                  [&dc](const std::string& text) { return dc.GetTextExtent(wxString::FromUTF8(text)).x; });
    std::vector<wxString> wide;
    for (const std::string& line : lines)
        wide.push_back(wxString::FromUTF8(line));
    return wide;
}

void CXListCtrl::GetDrawColours(int row, int column, wxColour& text, wxColour& background) const
{
    const XListCellData* cell = m_model.GetCell(row, column);
    text = m_windowTextColour;
    background = m_windowColour;
    if (cell != nullptr)
    {
        text = CellColour(cell->textColour, m_windowTextColour);
        background = CellColour(cell->backgroundColour, m_windowColour);
        if (!m_model.IsRowEnabled(row))
            text = m_greyTextColour;
    }
    // The whole row shows the selection.
    if (row == m_model.GetSelection())
    {
        if (wxWindow::FindFocus() == m_body)
        {
            text = m_highlightTextColour;
            background = m_highlightColour;
        }
        else if (m_showSelectionAlways)
        {
            text = m_windowTextColour;
            background = m_buttonFaceColour;
        }
    }
}

void CXListCtrl::DrawCell(wxDC& dc, int row, int column, const wxRect& rect)
{
    const XListCellData* cell = m_model.GetCell(row, column);
    if (cell == nullptr)
        return;
    wxColour text;
    wxColour background;
    GetDrawColours(row, column, text, background);
    wxDCClipper clip(dc, rect);
    if (cell->showProgress)
        DrawProgress(dc, *cell, rect, text, background);
    else if (cell->checkState != -1)
        DrawCheckbox(dc, row, *cell, rect, text, background);
    else
        DrawText(dc, *cell, column, rect, text, background);
}

void CXListCtrl::DrawText(wxDC& dc, const XListCellData& cell, int column, wxRect rect, const wxColour& text,
                          const wxColour& background)
{
    dc.SetPen(*wxTRANSPARENT_PEN);
    dc.SetBrush(wxBrush(background));
    dc.DrawRectangle(rect);
    const int spacing = m_header->GetSpacing();
    if (m_images != nullptr && cell.image != -1 && rect.width > spacing)
    {
        int width = 0;
        int height = 0;
        m_images->GetSize(cell.image, width, height);
        m_images->Draw(cell.image, dc, rect.x + spacing, rect.y + (rect.height - height) / 2,
                       wxIMAGELIST_DRAW_TRANSPARENT);
        rect.x += spacing + width;
        rect.width -= spacing + width;
    }
    if (cell.text.isEmpty())
        return;
    const XListColumn* header = m_model.GetColumn(column);
    const int alignment = header == nullptr                   ? wxALIGN_LEFT
                          : header->alignment == kAlignCentre ? wxALIGN_CENTER_HORIZONTAL
                          : header->alignment == kAlignRight  ? wxALIGN_RIGHT
                                                              : wxALIGN_LEFT;
    wxFont font = GetFont();
    if (cell.bold)
        font.SetWeight(wxFONTWEIGHT_BOLD);
    dc.SetFont(font);
    dc.SetTextForeground(text);
    dc.SetBackgroundMode(wxBRUSHSTYLE_TRANSPARENT);
    dc.DrawLabel(Wide(cell.text), rect.Deflate(3, 0), alignment | wxALIGN_CENTER_VERTICAL);
    dc.SetFont(GetFont());
}

void CXListCtrl::DrawCheckbox(wxDC& dc, int row, const XListCellData& cell, const wxRect& rect,
                              const wxColour& text, const wxColour& background)
{
    dc.SetPen(*wxTRANSPARENT_PEN);
    dc.SetBrush(wxBrush(background));
    dc.DrawRectangle(rect);
    const wxSize size = wxRendererNative::Get().GetCheckBoxSize(m_body);
    const XListRect box = LayOutCheckbox(ToListRect(rect), !cell.text.isEmpty(), size.y);
    int flags = cell.checkState == 1 ? int(wxCONTROL_CHECKED) : 0;
    if (!m_model.IsRowEnabled(row))
        flags |= wxCONTROL_DISABLED;
    wxRendererNative::Get().DrawCheckBox(m_body, dc, ToWxRect(box), flags);
    if (!cell.text.isEmpty())
    {
        dc.SetTextForeground(text);
        dc.SetBackgroundMode(wxBRUSHSTYLE_TRANSPARENT);
        wxRect label(box.right + 4, rect.y, rect.GetRight() - box.right - 4, rect.height);
        dc.DrawLabel(Wide(cell.text), label, wxALIGN_LEFT | wxALIGN_CENTER_VERTICAL);
    }
}

void CXListCtrl::DrawProgress(wxDC& dc, const XListCellData& cell, const wxRect& rect, const wxColour& text,
                              const wxColour& background)
{
    const XProgressLayout layout = LayOutProgress(ToListRect(rect), cell.percent);
    dc.SetPen(*wxTRANSPARENT_PEN);
    dc.SetBrush(wxBrush(background));
    dc.DrawRectangle(rect);
    // The outline in button shadow, the inside light grey with a dark inner
    // top and left edge.
    const XListRect& frame = layout.frame;
    dc.SetPen(wxPen(m_buttonShadowColour));
    dc.DrawLine(frame.left, frame.bottom, frame.right + 1, frame.bottom);
    dc.DrawLine(frame.left, frame.top, frame.right, frame.top);
    dc.DrawLine(frame.left, frame.top, frame.left, frame.bottom);
    dc.DrawLine(frame.right, frame.top, frame.right, frame.bottom);
    dc.SetPen(*wxTRANSPARENT_PEN);
    dc.SetBrush(wxBrush(wxColour(224, 224, 224)));
    dc.DrawRectangle(ToWxRect(layout.inside));
    dc.SetPen(*wxBLACK_PEN);
    dc.DrawLine(frame.left + 1, frame.top + 1, frame.right, frame.top + 1);
    dc.DrawLine(frame.left + 1, frame.top + 1, frame.left + 1, frame.bottom);
    if (cell.percent <= 0)
        return;
    const wxRect bar = ToWxRect(layout.bar);
    dc.SetPen(*wxTRANSPARENT_PEN);
    dc.SetBrush(wxBrush(m_highlightColour));
    dc.DrawRectangle(bar);
    if (!cell.showProgressMessage)
        return;
    // The text twice: in the background colour over the bar, in the text
    // colour over the rest.
    const wxString label = Wide(ProgressText(cell.progressMessage, cell.percent));
    const wxRect area = ToWxRect(layout.text);
    dc.SetBackgroundMode(wxBRUSHSTYLE_TRANSPARENT);
    {
        wxDCClipper clip(dc, bar);
        dc.SetTextForeground(background);
        dc.DrawLabel(label, area, wxALIGN_CENTER);
    }
    const wxRect rest(bar.GetRight() + 1, area.y, std::max(area.GetRight() - bar.GetRight(), 0), area.height);
    if (!rest.IsEmpty())
    {
        wxDCClipper clip(dc, rest);
        dc.SetTextForeground(text);
        dc.DrawLabel(label, area, wxALIGN_CENTER);
    }
}

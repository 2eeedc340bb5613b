#pragma once

#include "dialogs/XHeaderCtrl.h"
#include "downloads/XListModel.h"

#include <functional>
#include <vector>
#include <wx/event.h>
#include <wx/imaglist.h>
#include <wx/scrolwin.h>
#include <wx/timer.h>
#include <wx/window.h>

/// What the list tells its parent: a click on a row (row -1 below the
/// rows), a double click, a right click, a click on a column header (also
/// after the header's check box did its work) and a check box the user
/// toggled. The position is in the list's client coordinates.
class CXListEvent : public wxCommandEvent
{
public:
    CXListEvent(wxEventType type = wxEVT_NULL, int id = 0, int row = -1, int column = -1,
                wxPoint position = wxDefaultPosition)
        : wxCommandEvent(type, id), m_row(row), m_column(column), m_position(position)
    {
    }
    int GetRow() const { return m_row; }
    int GetColumn() const { return m_column; }
    wxPoint GetPosition() const { return m_position; }
    wxEvent* Clone() const override { return new CXListEvent(*this); }

private:
    int m_row;
    int m_column;
    wxPoint m_position;
};

wxDECLARE_EVENT(EVT_XLIST_CLICK, CXListEvent);
wxDECLARE_EVENT(EVT_XLIST_DBLCLICK, CXListEvent);
wxDECLARE_EVENT(EVT_XLIST_RCLICK, CXListEvent);
wxDECLARE_EVENT(EVT_XLIST_COLUMN_CLICK, CXListEvent);
wxDECLARE_EVENT(EVT_XLIST_CHECKBOX_CLICKED, CXListEvent);

/// A report list that paints every cell itself: text with an optional image,
/// a check box, or a progress bar with its percent. A header on top and a
/// scrolled body that paints only the rows in view. The rows and their rules
/// are the model's (CXListModel); this window paints, hit-tests, selects one
/// row and tells its parent through CXListEvent.
class CXListCtrl : public wxWindow
{
public:
    CXListCtrl(wxWindow* parent, wxWindowID id, const wxPoint& position = wxDefaultPosition,
               const wxSize& size = wxDefaultSize);
    ~CXListCtrl() override;

    CXListModel& GetModel() { return m_model; }
    const CXListModel& GetModel() const { return m_model; }
    CXHeaderCtrl* GetHeader() const { return m_header; }
    wxWindow* GetBody() const;

    /// Images for the cells' image indices; the owner keeps the list.
    void SetSmallImageList(wxImageList* images) { m_images = images; }
    /// Paint the selection in button face while the list has no focus.
    void SetShowSelectionAlways(bool show) { m_showSelectionAlways = show; }
    /// Track selection: a row the pointer rests on for a moment is selected,
    /// as if clicked but without telling the parent. Off at first.
    void SetTrackSelect(bool on);

    int GetRowHeight() const { return m_rowHeight; }
    /// Widens each column to show its header whole, in the interface
    /// language, and each of `cellTexts` of it (the widest texts its cells
    /// are known to show); a column never narrows.
    void FitColumns(const std::function<std::vector<uString>(int column)>& cellTexts = {});
    /// What all columns take side by side.
    int GetColumnsWidth() const;
    /// The row and column at a point of the body window (its client
    /// coordinates); -1 where there is none.
    int HitTest(const wxPoint& bodyPoint, int* column = nullptr) const;
    /// A cell's rectangle in unscrolled body coordinates (the whole row for
    /// column -1); empty outside the rows or columns.
    wxRect GetSubItemRect(int row, int column) const;
    /// Repaints a cell (the whole row for column -1) when it is in view.
    void UpdateSubItem(int row, int column);
    void EnsureVisible(int row);

    /// Paints the rows that meet the area (unscrolled body coordinates), or
    /// the empty-list text, onto dc.
    void DrawRows(wxDC& dc, const wxRect& area);
    /// The empty-list text as painted: wrapped to the body's width in the
    /// font it is painted with, which this selects into dc.
    std::vector<wxString> EmptyTextLines(wxDC& dc) const;

    /// The tool of a point of the body: ToolTipId of the cell under it, -1
    /// off the cells.
    int OnToolHitTest(const wxPoint& bodyPoint) const;
    /// The tip of the cell under the mouse now (its first 80 characters);
    /// empty for id 0, off the cells, or a cell without a tip.
    uString OnToolTipText(int id) const;

private:
    class Body;

    void OnModelChanged(int row, int column);
    void UpdateLayout();
    void OnHeaderClick(wxHeaderCtrlEvent& event);
    void OnHeaderResizing(wxHeaderCtrlEvent& event);
    void OnSysColourChanged(wxSysColourChangedEvent& event);
    void ReadColours();
    void Notify(wxEventType type, int row, int column, const wxPoint& position);
    void SelectRow(int row);
    void SyncHeaderScroll();
    void MakeHeaderImages();
    void UpdateToolTip(const wxPoint& bodyPoint);

    // Input, from the body.
    void OnLeftDown(const wxPoint& bodyPoint);
    void OnLeftDoubleClick(const wxPoint& bodyPoint);
    void OnRightDown(const wxPoint& bodyPoint);
    void OnKey(int key);
    // The pointer over a point of the body, (-1, -1) when it left.
    void OnHover(const wxPoint& bodyPoint);
    void OnHoverTimer();

    // The three cell painters and their colours.
    void DrawCell(wxDC& dc, int row, int column, const wxRect& rect);
    void GetDrawColours(int row, int column, wxColour& text, wxColour& background) const;
    void DrawText(wxDC& dc, const XListCellData& cell, int column, wxRect rect, const wxColour& text,
                  const wxColour& background);
    void DrawCheckbox(wxDC& dc, int row, const XListCellData& cell, const wxRect& rect, const wxColour& text,
                      const wxColour& background);
    void DrawProgress(wxDC& dc, const XListCellData& cell, const wxRect& rect, const wxColour& text,
                      const wxColour& background);

    CXListModel m_model;
    CXHeaderCtrl* m_header = nullptr;
    Body* m_body = nullptr;
    wxImageList* m_images = nullptr;
    // The header's check boxes: 0 none (never drawn), 1 unchecked, 2 checked.
    wxImageList m_headerImages;
    int m_toolId = -1; // the cell whose tip the body carries
    bool m_showSelectionAlways = false;
    bool m_trackSelect = false;
    int m_hoverRow = -1; // the row the pointer rests on
    wxTimer m_hoverTimer;
    bool m_layoutPending = false;
    int m_rowHeight = 20;
    int m_headerScroll = 0;

    // System colours, read at creation and when they change.
    wxColour m_windowColour;
    wxColour m_windowTextColour;
    wxColour m_highlightColour;
    wxColour m_highlightTextColour;
    wxColour m_buttonFaceColour;
    wxColour m_buttonShadowColour;
    wxColour m_greyTextColour;
};

#pragma once

#include "feeds/FeedSearchCriteria.h"

#include <functional>
#include <string_view>
#include <vector>
#include <wx/combobox.h>
#include <wx/toolbar.h>

/// A combo box that keeps a history of what was entered, newest first.
class CSmartComboBox : public wxComboBox
{
public:
    static constexpr int kHistoryLimit = 50;

    using wxComboBox::wxComboBox;

    /// Puts the text at the top of the drop-down list, dropping an entry equal
    /// to it in any letter case and, at the limit, the oldest entry. An empty
    /// text adds nothing: -1. Otherwise the text's index, 0.
    int AddToHistory(const wxString& text);
};

/// The search bar (tool bar 168): the phrase box with its history, the
/// "Find" button and the list box. Enter in the phrase box sends a search
/// request to the frame. While the focus is in the bar it also answers the
/// frame's Cut, Copy and Paste. UI thread only.
class CMainToolBar : public wxToolBar
{
public:
    /// The search dialog's names of the match and the fields the bar's
    /// requests use.
    static constexpr std::string_view kMatchName = "Contains";
    static constexpr std::string_view kFieldName = "Title and Description";

    explicit CMainToolBar(wxWindow* parent);

    /// Adds the buttons of a tool-bar table (resources/ToolBars.h).
    void LoadToolBar(int toolBarId);
    /// Put the phrase box (a drop-down with an edit) or the list box (a
    /// drop-down list) where the separator at `position` is; true when made.
    /// The drop height is the system's on this platform.
    bool CreateSearchCombo(int position, int id, int width, int dropHeight);
    bool CreateListCombo(int position, int id, int width, int dropHeight);

    /// The list labels, in order; the first is selected. The box widens to
    /// show the longest label whole.
    void FillListCombo(const std::vector<uString>& names);
    /// The same, keeping the selected label selected when it is still there.
    void RefillListCombo(const std::vector<uString>& names);

    /// Fills the request from the boxes (the phrase goes into the history and
    /// leaves the edit) and sends it to the search handler.
    void StartSearch();
    /// Fills the request as StartSearch does, without sending it: the caller
    /// runs the one search.
    const CFeedSearchCriteria& GetSearchRequest();
    bool HasSearchText() const;

    /// Where the requests of StartSearch go (the frame's WM_APP_SEARCH).
    void SetSearchHandler(std::function<void(const CFeedSearchCriteria&)> handler)
    {
        m_searchHandler = std::move(handler);
    }

    /// Where the list box takes the labels from when it drops down, so that
    /// lists made, renamed or removed since are there.
    void SetListSource(std::function<std::vector<uString>()> source) { m_listSource = std::move(source); }

    /// True when the focus is in the bar.
    bool HasFocus() const;
    /// Focus in the bar and a selection in the phrase box.
    bool CanCut() const;
    bool CanCopy() const;
    bool CanPaste() const;
    void Cut();
    void Copy();
    void Paste();

    CSmartComboBox* GetSearchCombo() const { return m_searchCombo; }
    CSmartComboBox* GetListCombo() const { return m_listCombo; }

private:
    bool HasSelection() const;
    void FillRequest();
    void OnPhraseEnter(wxCommandEvent& event);
    void FitListCombo();

    CSmartComboBox* m_searchCombo = nullptr;
    CSmartComboBox* m_listCombo = nullptr;
    int m_listComboWidth = 0;
    CFeedSearchCriteria m_request{};
    std::function<void(const CFeedSearchCriteria&)> m_searchHandler;
    std::function<std::vector<uString>()> m_listSource;
};

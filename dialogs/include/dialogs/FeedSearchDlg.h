#pragma once

#include "common/Dialog.h"
#include "feeds/FeedSearchCriteria.h"

#include <ctime>
#include <string_view>
#include <vector>

class wxChoice;
class wxDatePickerCtrl;
class wxTextCtrl;

/// "Database Query Tool": which list to search, the phrase, how to match it,
/// in which fields, and a range of creation days. After wxID_OK the caller
/// reads `criteria` and runs the search; an empty phrase is passed on.
class CFeedSearchDlg : public ui::CDialog
{
public:
    enum ControlId
    {
        kListChoice = 1019,
        kMatchChoice = 1020,
        kPhraseEdit = 1021,
        kStartDate = 1022,
        kEndDate = 1023,
        kFieldChoice = 1025,
    };
    /// The drop-down entries; an index into a table is the request's value.
    static constexpr std::string_view kMatchNames[] = {"Contains", "Starts with", "Ends with"};
    static constexpr std::string_view kFieldNames[] = {
        "Any Fields", "Title and Description", "Title", "Description", "Author", "Category", "Download"};

    /// `now` is taken once: the range starts fourteen days before it.
    CFeedSearchDlg(const std::vector<uString>& listLabels, wxWindow* parent,
                   std::time_t now = std::time(nullptr));

    CFeedSearchCriteria criteria{CFeedSearchCriteria::kTitleAndDescription};

private:
    void OnOK(wxCommandEvent& event);

    const std::vector<uString>& m_listLabels;
    wxChoice* m_listChoice = nullptr;
    wxChoice* m_matchChoice = nullptr;
    wxChoice* m_fieldChoice = nullptr;
    wxTextCtrl* m_phraseEdit = nullptr;
    wxDatePickerCtrl* m_startDate = nullptr;
    wxDatePickerCtrl* m_endDate = nullptr;
};

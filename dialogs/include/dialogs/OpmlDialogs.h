#pragma once

#include "common/Dialog.h"
#include "dialogs/Opml.h"
#include "foundation/uString.h"

#include <vector>

class wxChoice;
class wxListCtrl;

/// "Import RSS Feeds": the feeds of an outline file (file mode) or of a web
/// page (list mode) with check boxes, and the list to import them into.
/// After wxID_OK the caller reads checkedLinks and GetSelectedList().
class OPMLImport : public ui::CDialog
{
public:
    enum ControlId
    {
        kSelectAll = 1010,
        kUnselectAll = 1011,
        kFeedList = 1012,
        kListChoice = 1019,
    };
    enum Column
    {
        kCheckColumn,
        kTitleColumn,
        kDescriptionColumn,
        kLinkColumn,
        kPageColumn,
    };

    /// File mode: the rows come from the outline file.
    OPMLImport(const std::vector<uString>& listLabels, const uString& path, wxWindow* parent);
    /// List mode: one row per link, with its title and description.
    OPMLImport(const std::vector<uString>& listLabels, const std::vector<uString>& links,
               const std::vector<uString>& titles, const std::vector<uString>& descriptions,
               wxWindow* parent);

    int GetSelectedList() const { return m_selectedList; }
    /// The file as read (file mode): the rows with their titles.
    const opml::Document& GetDocument() const { return m_document; }
    wxListCtrl* GetFeedList() const { return m_feedList; }

    /// The links of the checked rows, in row order, after wxID_OK.
    std::vector<uString> checkedLinks;

private:
    void Build(const std::vector<uString>& listLabels);
    void AddRow(const uString& title, const uString& description, const uString& link, const uString& page);
    void ReadFile(const uString& path);
    void CheckAll(bool check);
    void OnInitDialog(wxInitDialogEvent& event);
    void OnOK(wxCommandEvent& event);

    wxListCtrl* m_feedList = nullptr;
    wxChoice* m_listChoice = nullptr;
    int m_selectedList = 0;
    opml::Document m_document;
};

/// "Select List to Export", and with a caption of its own the choice of a
/// list for a local feed file.
class OPMLExport : public ui::CDialog
{
public:
    enum ControlId
    {
        kListChoice = 1020,
    };

    /// An empty caption keeps "Select List to Export".
    OPMLExport(const std::vector<uString>& listLabels, const uString& caption, wxWindow* parent);
    int GetSelectedList() const { return m_selectedList; }

protected:
    OPMLExport(const std::vector<uString>& listLabels, const wxString& title, wxWindow* parent, int);

private:
    void OnOK(wxCommandEvent& event);

    wxChoice* m_listChoice = nullptr;
    int m_selectedList = 0;
};

/// "Add Subscription to List": the list a feed from a page or a directory
/// goes into.
class OPMLSubscribe : public OPMLExport
{
public:
    OPMLSubscribe(const std::vector<uString>& listLabels, wxWindow* parent);
};

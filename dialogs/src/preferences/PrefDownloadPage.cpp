#include "PrefPageHelpers.h"
#include "dialogs/PrefPages.h"

#include <wx/checkbox.h>
#include <wx/datetime.h>
#include <wx/radiobut.h>
#include <wx/timectrl.h>

using namespace prefpage;

namespace
{
std::vector<uString> NumberItems(int last)
{
    std::vector<uString> items;
    for (int i = 1; i <= last; ++i)
        items.emplace_back(std::to_string(i).c_str());
    return items;
}
} // namespace

PrefFrameDownload::PrefFrameDownload(wxWindow* parent, const prefs::DownloadForm& form)
    : CPropertyPageBase(parent, "Download"), m_shown(form)
{
    auto* outer = new wxBoxSizer(wxVERTICAL);
    auto* mode = new wxBoxSizer(wxHORIZONTAL);
    m_automatic = new wxRadioButton(this, kAutomaticRadio, "Automatic Download", wxDefaultPosition,
                                    wxDefaultSize, wxRB_GROUP);
    auto* manual = new wxRadioButton(this, kManualRadio, "Manual Download");
    (form.autoDownload ? m_automatic : manual)->SetValue(true);
    mode->Add(m_automatic, 0, wxRIGHT, 12);
    mode->Add(manual);
    outer->Add(mode, 0, wxBOTTOM, 8);

    wxFlexGridSizer* grid = Grid();
    m_freeSpace = Edit(this, kFreeSpaceEdit, form.freeSpace, 0, true);
    Row(this, *grid, "Do not download when free space is less than (MB):", m_freeSpace);
    m_scanThreads = Combo(this, kScanThreadsCombo, NumberItems(8), form.scanThreads);
    Row(this, *grid, "feed scan threads", m_scanThreads);
    m_downloadThreads = Combo(this, kDownloadThreadsCombo, NumberItems(4), form.downloadThreads);
    Row(this, *grid, "download threads", m_downloadThreads);
    outer->Add(grid, 0, wxEXPAND | wxBOTTOM, 8);

    auto* every = new wxBoxSizer(wxHORIZONTAL);
    m_runEvery =
        new wxRadioButton(this, kRunEveryRadio, "Run every", wxDefaultPosition, wxDefaultSize, wxRB_GROUP);
    every->Add(m_runEvery, 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, 6);
    m_interval = Combo(this, kIntervalCombo, prefs::IntervalItems(), form.interval);
    every->Add(m_interval);
    outer->Add(every, 0, wxBOTTOM, 6);
    auto* runAt = new wxRadioButton(this, kRunAtRadio, "Run At");
    (form.intervalScheduler ? m_runEvery : runAt)->SetValue(true);
    outer->Add(runAt, 0, wxBOTTOM, 6);

    auto* timers = new wxFlexGridSizer(4, wxSize(8, 4));
    for (int i = 0; i < 6; ++i)
    {
        m_timerChecks[i] =
            new wxCheckBox(this, kTimerChecks[i], wxString::Format(ToWx(uTr("Timer %d")), i + 1));
        m_timerChecks[i]->SetValue(form.timerEnabled[i]);
        wxDateTime time = wxDateTime::Today();
        time.SetHour(form.timerMinute[i] / 60);
        time.SetMinute(form.timerMinute[i] % 60);
        m_pickers[i] = new wxTimePickerCtrl(this, kTimerPickers[i], time);
        timers->Add(m_timerChecks[i], 0, wxALIGN_CENTER_VERTICAL);
        timers->Add(m_pickers[i]);
        m_timerChecks[i]->Bind(wxEVT_CHECKBOX, [this](wxCommandEvent&) { UpdateEnabling(); });
    }
    outer->Add(timers, 0, wxLEFT, 20);
    m_runEvery->Bind(wxEVT_RADIOBUTTON, [this](wxCommandEvent&) { UpdateEnabling(); });
    runAt->Bind(wxEVT_RADIOBUTTON, [this](wxCommandEvent&) { UpdateEnabling(); });
    UpdateEnabling();

    auto* border = new wxBoxSizer(wxVERTICAL);
    border->Add(outer, 1, wxEXPAND | wxALL, 10);
    SetSizerAndFit(border);
}

void PrefFrameDownload::UpdateEnabling()
{
    bool every = m_runEvery->GetValue();
    m_interval->Enable(every);
    for (int i = 0; i < 6; ++i)
    {
        m_timerChecks[i]->Enable(!every);
        m_pickers[i]->Enable(!every && m_timerChecks[i]->GetValue());
    }
}

prefs::DownloadForm PrefFrameDownload::Read() const
{
    prefs::DownloadForm form;
    form.autoDownload = m_automatic->GetValue();
    form.freeSpace = FromWx(m_freeSpace->GetValue());
    form.scanThreads = FromWx(m_scanThreads->GetValue());
    form.downloadThreads = FromWx(m_downloadThreads->GetValue());
    form.intervalScheduler = m_runEvery->GetValue();
    form.interval = FromWx(m_interval->GetValue());
    for (int i = 0; i < 6; ++i)
    {
        form.timerEnabled[i] = m_timerChecks[i]->GetValue();
        int hour = 0;
        int minute = 0;
        int second = 0;
        m_pickers[i]->GetTime(&hour, &minute, &second);
        form.timerMinute[i] = hour * 60 + minute;
    }
    return form;
}

bool PrefFrameDownload::Apply(CPreference::DownloadSection& section, prefs::Refusal& refusal) const
{
    return prefs::ApplyDownload(m_shown, Read(), section, refusal);
}

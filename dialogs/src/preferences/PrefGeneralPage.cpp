#include "PrefPageHelpers.h"
#include "dialogs/PrefPages.h"

#include <wx/checkbox.h>
#include <wx/radiobut.h>
#include <wx/statbox.h>

using namespace prefpage;

PrefFrameGeneral::PrefFrameGeneral(wxWindow* parent, const prefs::GeneralForm& form)
    : CPropertyPageBase(parent, "General"), m_shown(form), m_shownMode(form.startupMode)
{
    auto* outer = new wxBoxSizer(wxVERTICAL);

    auto* refresh = new wxBoxSizer(wxHORIZONTAL);
    refresh->Add(new wxStaticText(this, wxID_ANY, "Refresh every"), 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, 6);
    m_refresh = Edit(this, kRefreshEdit, form.refreshNumber, 0, true);
    m_refresh->SetMinSize(wxSize(60, -1));
    refresh->Add(m_refresh, 0, wxRIGHT, 6);
    m_unit = Combo(this, kRefreshUnitCombo, prefs::RefreshUnitItems(form.refreshNumber), form.refreshUnit);
    refresh->Add(m_unit);
    // The unit takes the form that goes with the number ("1 Minute", "5 Minuten").
    m_refresh->Bind(wxEVT_TEXT,
                    [this](wxCommandEvent& event)
                    {
                        event.Skip();
                        const std::vector<uString> items =
                            prefs::RefreshUnitItems(FromWx(m_refresh->GetValue()));
                        const int chosen = m_unit->FindString(m_unit->GetValue(), true);
                        for (unsigned i = 0; i < items.size() && i < m_unit->GetCount(); ++i)
                            m_unit->SetString(i, ToWx(items[i]));
                        if (chosen != wxNOT_FOUND && static_cast<size_t>(chosen) < items.size())
                            m_unit->SetValue(ToWx(items[static_cast<size_t>(chosen)]));
                    });
    outer->Add(refresh, 0, wxBOTTOM, 8);

    auto* timeout = new wxBoxSizer(wxHORIZONTAL);
    timeout->Add(new wxStaticText(this, wxID_ANY, "Connection time-out:"), 0,
                 wxALIGN_CENTER_VERTICAL | wxRIGHT, 6);
    m_timeout = Combo(this, kTimeoutCombo, prefs::TimeoutItems(), form.timeout);
    timeout->Add(m_timeout);
    outer->Add(timeout, 0, wxBOTTOM, 8);

    auto* notify = new wxBoxSizer(wxHORIZONTAL);
    notify->Add(new wxStaticText(this, wxID_ANY, "Notify when new item(s) arrive:"), 0,
                wxALIGN_CENTER_VERTICAL | wxRIGHT, 6);
    m_notifyYes =
        new wxRadioButton(this, kNotifyYesRadio, "Yes", wxDefaultPosition, wxDefaultSize, wxRB_GROUP);
    auto* notifyNo = new wxRadioButton(this, kNotifyNoRadio, "No");
    (form.notify ? m_notifyYes : notifyNo)->SetValue(true);
    notify->Add(m_notifyYes, 0, wxRIGHT, 6);
    notify->Add(notifyNo);
    outer->Add(notify, 0, wxBOTTOM, 8);

    m_autoPurge = new wxCheckBox(this, kAutoPurgeCheck, "Auto-purge outdated feeds");
    m_autoPurge->SetValue(form.autoPurge);
    outer->Add(m_autoPurge, 0, wxBOTTOM, 6);
    auto* purge = new wxBoxSizer(wxHORIZONTAL);
    m_purgeOlder = new wxCheckBox(this, kPurgeOlderCheck, "Purge outdated feeds which is older than ");
    m_purgeOlder->SetValue(form.purgeOlder);
    purge->Add(m_purgeOlder, 0, wxALIGN_CENTER_VERTICAL);
    m_purgeDays = Edit(this, kPurgeDaysEdit, form.purgeDays, 0, true);
    m_purgeDays->SetMinSize(wxSize(60, -1));
    m_purgeDays->Enable(form.purgeOlder);
    purge->Add(m_purgeDays, 0, wxRIGHT, 6);
    purge->Add(new wxStaticText(this, wxID_ANY, "days"), 0, wxALIGN_CENTER_VERTICAL);
    outer->Add(purge, 0, wxBOTTOM, 8);
    m_purgeOlder->Bind(wxEVT_CHECKBOX,
                       [this](wxCommandEvent&) { m_purgeDays->Enable(m_purgeOlder->GetValue()); });

    m_startAtLogon = new wxCheckBox(this, kStartAtLogonCheck, "Launch upon Logon");
    m_startAtLogon->SetValue(form.startAtLogon);
    outer->Add(m_startAtLogon, 0, wxBOTTOM, 6);
    auto* normal = new wxRadioButton(this, kNormalWindowRadio, "Launch in normal window", wxDefaultPosition,
                                     wxDefaultSize, wxRB_GROUP);
    m_minimised = new wxRadioButton(this, kMinimisedRadio, "Launch minimized in taskbar");
    (form.startupMode == 1 ? m_minimised : normal)->SetValue(true);
    outer->Add(normal, 0, wxBOTTOM, 4);
    outer->Add(m_minimised);

    auto* border = new wxBoxSizer(wxVERTICAL);
    border->Add(outer, 1, wxEXPAND | wxALL, 10);
    SetSizerAndFit(border);
}

prefs::GeneralForm PrefFrameGeneral::Read() const
{
    prefs::GeneralForm form;
    form.refreshNumber = FromWx(m_refresh->GetValue());
    form.refreshUnit = FromWx(m_unit->GetValue());
    form.timeout = FromWx(m_timeout->GetValue());
    form.purgeDays = FromWx(m_purgeDays->GetValue());
    form.notify = m_notifyYes->GetValue();
    form.autoPurge = m_autoPurge->GetValue();
    form.purgeOlder = m_purgeOlder->GetValue();
    form.startAtLogon = m_startAtLogon->GetValue();
    // A stored mode that is neither button stays unless the user picks one.
    form.startupMode = m_minimised->GetValue() ? 1 : (m_shownMode == 1 ? 0 : m_shownMode);
    return form;
}

bool PrefFrameGeneral::Apply(CPreference::GeneralSection& section, prefs::Refusal& refusal) const
{
    return prefs::ApplyGeneral(m_shown, Read(), section, refusal);
}

#include "PrefPageHelpers.h"
#include "dialogs/PrefPages.h"
#include "common/UserPrompt.h"

#include <wx/checkbox.h>
#include <wx/spinbutt.h>

using namespace prefpage;

PrefFrameProxy::PrefFrameProxy(wxWindow* parent, const prefs::ProxyForm& form)
    : CPropertyPageBase(parent, "Proxy"), m_shown(form)
{
    wxFlexGridSizer* grid = Grid();
    m_host = Edit(this, kHostEdit, form.host);
    Row(this, *grid, "Hostname:", m_host);
    m_port = Edit(this, kPortEdit, form.port, 0, true);
    Row(this, *grid, "Port:", m_port);
    m_user = Edit(this, kUserEdit, form.user);
    Row(this, *grid, "Username:", m_user);
    m_password = Edit(this, kPasswordEdit, form.password, wxTE_PASSWORD);
    Row(this, *grid, "Password:", m_password);
    m_sock5 = new wxCheckBox(this, kSock5Check, "Use Sock 5 Proxy");
    m_sock5->SetValue(form.sock5);
    auto* border = new wxBoxSizer(wxVERTICAL);
    border->Add(grid, 0, wxEXPAND | wxALL, 10);
    border->Add(m_sock5, 0, wxLEFT | wxRIGHT, 10);
    SetSizerAndFit(border);
}

prefs::ProxyForm PrefFrameProxy::Read() const
{
    return prefs::ProxyForm{FromWx(m_host->GetValue()), FromWx(m_port->GetValue()),
                            FromWx(m_user->GetValue()), FromWx(m_password->GetValue()), m_sock5->GetValue()};
}

PrefFrameTorrent::PrefFrameTorrent(wxWindow* parent, const prefs::TorrentForm& form)
    : CPropertyPageBase(parent, "Bittorrent"), m_shown(form)
{
    auto* outer = new wxBoxSizer(wxVERTICAL);
    auto* ports = new wxBoxSizer(wxHORIZONTAL);
    ports->Add(new wxStaticText(this, wxID_ANY, "Listen Port  From"), 0, wxALIGN_CENTER_VERTICAL | wxRIGHT,
               6);
    m_firstPort = Edit(this, kFirstPortEdit, form.firstPort, 0, true);
    m_firstPort->SetMinSize(wxSize(80, -1));
    ports->Add(m_firstPort, 0, wxRIGHT, 6);
    ports->Add(new wxStaticText(this, wxID_ANY, "To"), 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, 6);
    m_lastPort = Edit(this, kLastPortEdit, form.lastPort, 0, true);
    m_lastPort->SetMinSize(wxSize(80, -1));
    ports->Add(m_lastPort);
    outer->Add(ports, 0, wxBOTTOM, 10);

    static const char* const kRowLabels[4] = {
        "Global Max Download Rate (kB/s):",
        "Global Max Upload Rate (kB/s):",
        "Max Simultaneous Connections:",
        "Max Simultaneous Upload Task:",
    };
    m_values[prefs::kDownloadRateRow] = form.downloadRate;
    m_values[prefs::kUploadRateRow] = form.uploadRate;
    m_values[prefs::kConnectionsRow] = form.connections;
    m_values[prefs::kUploadsRow] = form.uploads;
    auto* grid = new wxFlexGridSizer(3, wxSize(6, 6));
    for (int row = 0; row < 4; ++row)
    {
        grid->Add(new wxStaticText(this, wxID_ANY, kRowLabels[row]), 0, wxALIGN_CENTER_VERTICAL);
        // Only the arrows change these values. Wide enough for "No Limit"
        // in any language.
        m_rowEdits[row] = new wxTextCtrl(this, kRowEdits[row], wxString(), wxDefaultPosition, wxSize(90, -1),
                                         wxTE_READONLY);
        wxSize text =
            m_rowEdits[row]->GetTextExtent(ToWx(prefs::TorrentValueText(prefs::kDownloadRateRow, 0)));
        m_rowEdits[row]->SetMinSize(wxSize(std::max(90, text.x + 24), -1));
        m_spins[row] =
            new wxSpinButton(this, kRowSpins[row], wxDefaultPosition, wxDefaultSize, wxSP_VERTICAL);
        prefs::SpinRange range = prefs::TorrentRange(row);
        m_spins[row]->SetRange(range.low, range.high);
        m_spins[row]->SetValue(std::clamp(m_values[row], range.low, range.high));
        m_spins[row]->Bind(wxEVT_SPIN_UP,
                           [this, row](wxSpinEvent& event)
                           {
                               Spin(row, 1);
                               event.Veto(); // the position is ours to set
                           });
        m_spins[row]->Bind(wxEVT_SPIN_DOWN,
                           [this, row](wxSpinEvent& event)
                           {
                               Spin(row, -1);
                               event.Veto();
                           });
        grid->Add(m_rowEdits[row]);
        grid->Add(m_spins[row], 0, wxALIGN_CENTER_VERTICAL);
        ShowRow(row);
    }
    outer->Add(grid);
    auto* border = new wxBoxSizer(wxVERTICAL);
    border->Add(outer, 1, wxEXPAND | wxALL, 10);
    SetSizerAndFit(border);
}

void PrefFrameTorrent::ShowRow(int row)
{
    m_rowEdits[row]->ChangeValue(ToWx(prefs::TorrentValueText(row, m_values[row])));
}

void PrefFrameTorrent::Spin(int row, int delta)
{
    m_values[row] = prefs::SpinValue(row, m_values[row], delta);
    m_spins[row]->SetValue(m_values[row]);
    ShowRow(row);
}

bool PrefFrameTorrent::OnKillActive()
{
    for (wxTextCtrl* edit : {m_firstPort, m_lastPort})
    {
        if (prefs::ParsePort(FromWx(edit->GetValue())) == 0)
        {
            ShowRefusal(this, prefs::PortRefusal(edit->GetId()));
            return false;
        }
    }
    return true;
}

prefs::TorrentForm PrefFrameTorrent::Read() const
{
    prefs::TorrentForm form;
    form.firstPort = FromWx(m_firstPort->GetValue());
    form.lastPort = FromWx(m_lastPort->GetValue());
    form.downloadRate = m_values[prefs::kDownloadRateRow];
    form.uploadRate = m_values[prefs::kUploadRateRow];
    form.connections = m_values[prefs::kConnectionsRow];
    form.uploads = m_values[prefs::kUploadsRow];
    return form;
}

bool PrefFrameProxy::Apply(CPreference::ProxySection& section, prefs::Refusal& refusal) const
{
    return prefs::ApplyProxy(m_shown, Read(), section, refusal);
}

bool PrefFrameTorrent::Apply(CPreference::TorrentSection& section, prefs::Refusal& refusal) const
{
    return prefs::ApplyTorrent(m_shown, Read(), section, refusal);
}

#include "PrefPageHelpers.h"
#include "dialogs/PrefPages.h"
#include "feeds/DownloadQueue.h"

#include <wx/button.h>
#include <wx/radiobut.h>

using namespace prefpage;

PrefFramePodcast::PrefFramePodcast(wxWindow* parent, const prefs::PodcastForm& form)
    : CPropertyPageBase(parent, "Podcast"), m_shown(form), m_format(form.format)
{
    auto* outer = new wxBoxSizer(wxVERTICAL);
    outer->Add(new wxStaticText(this, wxID_ANY, "Podcast folder:"));
    auto* folder = new wxBoxSizer(wxHORIZONTAL);
    m_folder = Edit(this, kFolderEdit, form.folder);
    m_folder->SetMinSize(wxSize(320, -1));
    folder->Add(m_folder, 1, wxRIGHT, 4);
    auto* browse = new wxButton(this, kBrowseButton, "...", wxDefaultPosition, wxSize(30, -1));
    browse->Disable();
    browse->Hide();
    folder->Add(browse);
    outer->Add(folder, 0, wxEXPAND);
    outer->Add(new wxStaticText(this, wxID_ANY, "Leave it empty to use the default download directory"), 0,
               wxBOTTOM, 10);
    outer->Add(new wxStaticText(this, wxID_ANY, "Execute this command after downloading"));
    m_command = Edit(this, kCommandEdit, form.command);
    outer->Add(m_command, 0, wxEXPAND);
    outer->Add(new wxStaticText(this, wxID_ANY, "'%f' - full path to downloaded file\n'%n' - podcast title"),
               0, wxBOTTOM, 10);
    outer->Add(new wxStaticText(this, wxID_ANY, "Playlist:"), 0, wxBOTTOM, 4);
    m_mediaPlayer = new wxRadioButton(this, kMediaPlayerRadio, "Microsoft Media Player", wxDefaultPosition,
                                      wxDefaultSize, wxRB_GROUP);
    m_m3u = new wxRadioButton(this, kM3uRadio, "Generic M3U");
    m_itunes = new wxRadioButton(this, kITunesRadio, "Apple iTune");
    // A group always has a checked button: this one, never shown, holds the
    // check when none of the three may show it (iTunes stored but absent).
    m_noPlaylist = new wxRadioButton(this, wxID_ANY, wxString());
    m_noPlaylist->Hide();
    const bool itunes = IsITunesInstalled();
    m_itunes->Enable(itunes);
    wxRadioButton* buttons[3] = {m_mediaPlayer, m_m3u, m_itunes};
    int checked = prefs::CheckedPlaylistButton(form.format, itunes);
    (checked >= 0 ? buttons[checked] : m_noPlaylist)->SetValue(true);
    for (int format = 0; format < 3; ++format)
    {
        outer->Add(buttons[format], 0, wxBOTTOM, 4);
        buttons[format]->Bind(wxEVT_RADIOBUTTON, [this, format](wxCommandEvent&) { m_format = format; });
    }
    auto* border = new wxBoxSizer(wxVERTICAL);
    border->Add(outer, 1, wxEXPAND | wxALL, 10);
    SetSizerAndFit(border);
}

prefs::PodcastForm PrefFramePodcast::Read() const
{
    return prefs::PodcastForm{FromWx(m_folder->GetValue()), FromWx(m_command->GetValue()), m_format};
}

void PrefFramePodcast::Apply(CPreference::PodcastSection& section) const
{
    prefs::ApplyPodcast(m_shown, Read(), section);
}

void PrefFramePodcast::Committed(const CPreference::PodcastSection& stored)
{
    m_folder->ChangeValue(ToWx(stored.strPodcastDirectory));
    m_shown = Read();
}

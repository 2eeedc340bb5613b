#include "PrefPageHelpers.h"
#include "dialogs/PrefPages.h"

#include <wx/button.h>
#include <wx/radiobut.h>

using namespace prefpage;

CPrefPodcastPage::CPrefPodcastPage(wxWindow* parent, const prefs::PodcastForm& form)
    : CPropertyPageBase(parent, "Podcast"), m_format(form.format)
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
    m_itunes->Disable(); // no iTunes on this system
    (form.format == 0 ? m_mediaPlayer : form.format == 1 ? m_m3u : m_itunes)->SetValue(true);
    for (wxRadioButton* button : {m_mediaPlayer, m_m3u})
    {
        outer->Add(button, 0, wxBOTTOM, 4);
        button->Bind(wxEVT_RADIOBUTTON,
                     [this, button](wxCommandEvent&) { m_format = button == m_mediaPlayer ? 0 : 1; });
    }
    outer->Add(m_itunes);
    auto* border = new wxBoxSizer(wxVERTICAL);
    border->Add(outer, 1, wxEXPAND | wxALL, 10);
    SetSizerAndFit(border);
}

prefs::PodcastForm CPrefPodcastPage::Read() const
{
    return prefs::PodcastForm{FromWx(m_folder->GetValue()), FromWx(m_command->GetValue()), m_format};
}

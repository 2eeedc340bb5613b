#pragma once

#include <vector>
#include <wx/gdicmn.h>

// A minimal notification area (system tray) on the test's X server: it owns
// the tray selection, so that the toolkit sees a tray, and embeds the icon
// windows that ask to dock, side by side in a strip at the top left of the
// screen. Call Pump() while waiting for the toolkit.
class FakeTrayHost
{
public:
    static constexpr int kIconSize = 24;

    FakeTrayHost();
    ~FakeTrayHost();
    FakeTrayHost(const FakeTrayHost&) = delete;
    FakeTrayHost& operator=(const FakeTrayHost&) = delete;

    bool IsRunning() const { return m_tray != 0; }
    // Handles the dock requests that have arrived.
    void Pump();
    int DockedCount() const { return static_cast<int>(m_docked.size()); }
    // Screen position of the middle of docked icon i.
    wxPoint IconCentre(int i) const;

private:
    void* m_display = nullptr; // Display*
    unsigned long m_tray = 0;  // Window
    unsigned long m_opcodeAtom = 0;
    unsigned long m_xembedAtom = 0;
    std::vector<unsigned long> m_docked;
};

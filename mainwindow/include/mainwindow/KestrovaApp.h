#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <vector>
#include <wx/app.h>
#include <wx/timer.h>
#include <wx/weakref.h>

class CInstanceChannel;
class CMainFrame;
class COpenDialogs;
class CProfileStore;
class uComInit;
class uXmlPlatform;

/// The application object: one instance per user (a later start hands its
/// file to the running one and ends), the profile, the main window, its
/// placement, and files opened through the shell routed by their extension.
class CKestrovaApp : public wxApp
{
public:
    /// Names the single-instance channel.
    static constexpr const char* kInstanceGuid = "{6A290585-30E8-47F2-9B90-9587760B914A}";

    /// Starts the XML library and makes the configuration.
    CKestrovaApp();
    ~CKestrovaApp() override;

    /// The start-up sequence; false ends the program without a main loop
    /// (also when this start handed its file to the running instance).
    bool OnInit() override;
    int OnExit() override;

    /// False when another instance runs; the file this start was given has
    /// then been handed to it.
    virtual bool CheckSingleInstance(const char* guid);
    /// A later instance's request, on the user-interface thread.
    virtual void ActivateFirstInstance(const std::string& path);
    /// Routes a file by its extension to the main window.
    virtual bool OpenDocumentFile(const std::string& path);
    /// Registers the program with the desktop (its own files, start at logon).
    virtual void RegisterShell(bool compatible, bool registerTypes);

    /// True once this process handed its file to a running instance.
    static bool HandedOver();
    /// Keeps a stop signal that comes before the toolkit is up (its handlers
    /// are set once it is) from ending the program unsaved: the start goes on
    /// and then ends as File > Exit does. First thing in main.
    static void HoldStopSignals();

    CMainFrame* GetMainFrame() const { return m_mainFrame.get(); }
    CProfileStore* GetProfile() const { return m_profile.get(); }

private:
    // SIGTERM, SIGINT and SIGHUP, called from the event loop.
    static void OnStopSignal(int signal);
    // A stop signal: the window's File > Exit, once the window stands.
    void Stop();
    void ExitMainFrame();
    // The window is gone, everything saved: the program ends even when a
    // loop of the toolkit's or the engine's own holds it.
    void OnMainFrameDestroyed(wxWindowDestroyEvent& event);
    // Each step of the end: the pane's saves first, then the main loop.
    void EndAfterSaves();
    void EndWithoutTheLoop();
    std::string ParseCommandLine() const;
    void PlaceMainWindow();

    std::unique_ptr<uComInit> m_comInit;
    std::unique_ptr<uXmlPlatform> m_xmlPlatform;
    std::unique_ptr<CInstanceChannel> m_instanceChannel;
    std::unique_ptr<CProfileStore> m_profile;
    wxWeakRef<CMainFrame> m_mainFrame;
    std::unique_ptr<COpenDialogs> m_openDialogs;
    bool m_stopRequested = false;
    wxTimer m_endTimer;
    std::chrono::steady_clock::time_point m_endStarted; // of the step under way
    bool m_loopEnding = false;
};

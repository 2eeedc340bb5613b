#pragma once

#include <memory>

// Whether the shown page would take Cut, Copy or Paste, as the engine last
// said. The window's update handlers ask again and again, and the engine's
// answer waits while a page's box (an alert) shows, so nothing here waits:
// each question returns the last answer and asks the engine anew, and an
// answer that changes wakes the window's idle handling, whose update
// handlers then see it. Made with the view's native object and gone before
// it; GTK only, elsewhere nothing is enabled. User-interface thread only.
class CEditStates
{
public:
    enum class Command
    {
        kCut,
        kCopy,
        kPaste,
    };

    explicit CEditStates(void* view);
    CEditStates(const CEditStates&) = delete;
    CEditStates& operator=(const CEditStates&) = delete;

    bool Can(Command command);

    // The engine's answer for `command` came (false when it failed).
    void OnAnswer(Command command, bool enabled);

private:
    struct State
    {
        bool enabled = false;
        bool asking = false;
    };

    void* m_view = nullptr;
    State m_states[3];
    // Gone with this object: an answer that comes later finds it expired.
    std::shared_ptr<char> m_alive = std::make_shared<char>();
};

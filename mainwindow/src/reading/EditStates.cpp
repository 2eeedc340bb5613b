#include "EditStates.h"

#include "WebKitCalls.h"

#include <wx/app.h>

namespace
{
const char* EngineName(CEditStates::Command command)
{
    switch (command)
    {
    case CEditStates::Command::kCut:
        return "Cut";
    case CEditStates::Command::kCopy:
        return "Copy";
    case CEditStates::Command::kPaste:
        return "Paste";
    }
    return "";
}

#ifdef __WXGTK__
struct Question
{
    std::weak_ptr<char> alive;
    CEditStates* states;
    CEditStates::Command command;
};

void OnAnswered(GObject* view, GAsyncResult* result, gpointer data)
{
    std::unique_ptr<Question> question(static_cast<Question*>(data));
    const bool enabled = webkitcalls::Editing().canExecuteFinish(view, result, nullptr) != FALSE;
    if (!question->alive.expired())
        question->states->OnAnswer(question->command, enabled);
}
#endif
} // namespace

CEditStates::CEditStates(void* view) : m_view(view) {}

bool CEditStates::Can(Command command)
{
    State& state = m_states[static_cast<int>(command)];
#ifdef __WXGTK__
    const webkitcalls::EditingApi& api = webkitcalls::Editing();
    if (!state.asking && m_view != nullptr && api.canExecute != nullptr)
    {
        state.asking = true;
        api.canExecute(m_view, EngineName(command), nullptr, OnAnswered,
                       new Question{m_alive, this, command});
    }
#else
    (void)EngineName;
#endif
    return state.enabled;
}

void CEditStates::OnAnswer(Command command, bool enabled)
{
    State& state = m_states[static_cast<int>(command)];
    state.asking = false;
    if (state.enabled == enabled)
        return;
    state.enabled = enabled;
    // The update handlers run when the window is idle next.
    wxWakeUpIdle();
}

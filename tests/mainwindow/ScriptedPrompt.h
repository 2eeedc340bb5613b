#pragma once

#include "common/UserPrompt.h"

#include <deque>
#include <memory>
#include <string>
#include <vector>
#include <wx/defs.h>

namespace guitest
{
/// Answers the window code's message boxes from a script and records them.
/// Installed for the lifetime of the object.
class ScriptedPrompt : public ui::CUserPrompt
{
public:
    struct Shown
    {
        int stringId;
        std::string text;
        long style;
    };

    static std::shared_ptr<ScriptedPrompt> Install()
    {
        auto prompt = std::make_shared<ScriptedPrompt>();
        ui::CUserPrompt::Install(prompt);
        return prompt;
    }
    ~ScriptedPrompt() override = default;

    /// The next questions get these answers in turn; then wxYES (or wxOK).
    void Answer(int answer) { m_answers.push_back(answer); }

    int Show(wxWindow*, int stringId, const uString& text, long style) override
    {
        shown.push_back({stringId, text.c_str(), style});
        if (!m_answers.empty())
        {
            int answer = m_answers.front();
            m_answers.pop_front();
            return answer;
        }
        return (style & wxYES_NO) != 0 ? wxYES : wxOK;
    }

    std::vector<int> Ids() const
    {
        std::vector<int> ids;
        for (const Shown& entry : shown)
            ids.push_back(entry.stringId);
        return ids;
    }

    std::vector<Shown> shown;

private:
    std::deque<int> m_answers;
};

/// Puts the default prompt back when the test ends.
struct PromptReset
{
    ~PromptReset() { ui::CUserPrompt::Install(nullptr); }
};
} // namespace guitest

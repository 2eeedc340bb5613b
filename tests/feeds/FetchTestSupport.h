#pragma once

// Shared by the web-fetch, page-save and discovery tests: text conversions
// and a scripted credential prompt.
#include "feeds/CredentialPrompt.h"

#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace fetchtest
{

inline std::string S(const uString& text)
{
    return std::string(text.c_str(), static_cast<std::size_t>(text.getLength()));
}

inline uString U(const std::string& text)
{
    return uString(text.data(), 0, static_cast<int>(text.size()));
}

// Answers every question with the same credentials (or refuses) and records
// what it was asked. Installed for the lifetime of the object.
class ScriptedPrompt : public CCredentialPrompt
{
public:
    struct Question
    {
        std::string caption;
        std::string initialUser;
    };

    static std::shared_ptr<ScriptedPrompt> Install(bool confirm, const std::string& user = "",
                                                   const std::string& password = "")
    {
        auto prompt = std::make_shared<ScriptedPrompt>(confirm, user, password);
        CCredentialPrompt::Install(prompt);
        return prompt;
    }

    ScriptedPrompt(bool confirm, std::string user, std::string password)
        : m_confirm(confirm), m_user(std::move(user)), m_password(std::move(password))
    {
    }
    ~ScriptedPrompt() override = default;

    bool Ask(const uString& caption, const uString& initialUser, uString& user, uString& password) override
    {
        std::lock_guard hold(m_lock);
        questions.push_back({S(caption), S(initialUser)});
        user = U(m_user);
        password = U(m_password);
        return m_confirm;
    }

    std::vector<Question> questions;

private:
    std::mutex m_lock;
    bool m_confirm;
    std::string m_user;
    std::string m_password;
};

// Removes whatever prompt a test installed.
struct PromptReset
{
    ~PromptReset() { CCredentialPrompt::Install(nullptr); }
};

} // namespace fetchtest

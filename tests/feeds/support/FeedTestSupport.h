#pragma once

// Text conversions, a message-box recorder and a scripted credential prompt
// shared by the feed and download tests.
#include "feeds/CredentialPrompt.h"
#include "feeds/MessageBox.h"
#include "foundation/uString.h"

#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace feedtest
{

inline std::string S(const uString& text)
{
    return std::string(text.c_str(), static_cast<std::size_t>(text.getLength()));
}

inline uString U(const std::string& text)
{
    return uString(text.data(), 0, static_cast<int>(text.size()));
}

// Records the message boxes the feed engine shows while the object lives.
class ShownMessages
{
public:
    ShownMessages() { CMessageBox::Install(m_box); }
    ~ShownMessages() { CMessageBox::Install(nullptr); }
    ShownMessages(const ShownMessages&) = delete;
    ShownMessages& operator=(const ShownMessages&) = delete;
    std::vector<std::string> operator()() const { return m_box->Texts(); }

private:
    struct Box : CMessageBox
    {
        void Show(const uString& text) override
        {
            std::lock_guard hold(lock);
            shown.push_back(S(text));
        }
        std::vector<std::string> Texts()
        {
            std::lock_guard hold(lock);
            return shown;
        }
        std::mutex lock;
        std::vector<std::string> shown;
    };
    std::shared_ptr<Box> m_box = std::make_shared<Box>();
};

// Answers every question with the same user and password (confirmed unless
// the user is empty) and records each caption and initial user name.
struct ScriptedPrompt : CCredentialPrompt
{
    ScriptedPrompt(const char* user, const char* password) : user(user), password(password) {}
    bool Ask(const uString& caption, const uString& initialUser, uString& typedUser,
             uString& typedPassword) override
    {
        asked.push_back(S(caption) + " as '" + S(initialUser) + "'");
        typedUser = user;
        typedPassword = password;
        return *user != '\0';
    }
    const char* user;
    const char* password;
    std::vector<std::string> asked;
};

// Installs a scripted prompt; the caller installs null when done.
inline std::shared_ptr<ScriptedPrompt> InstallPrompt(const char* user = "", const char* password = "")
{
    auto prompt = std::make_shared<ScriptedPrompt>(user, password);
    CCredentialPrompt::Install(prompt);
    return prompt;
}

} // namespace feedtest

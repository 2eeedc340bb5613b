#include "feeds/CredentialPrompt.h"
#include "feeds/MessageBox.h"

#include <cstdio>
#include <mutex>
#include <utility>

namespace
{

// The installed services are swapped rarely and read from any thread; a copy
// of the pointer keeps an implementation alive while a call is in it, even if
// it is replaced meanwhile.
template <typename Service> class Installed
{
public:
    void set(std::shared_ptr<Service> service)
    {
        std::lock_guard hold(m_lock);
        m_service = std::move(service);
    }
    std::shared_ptr<Service> get()
    {
        std::lock_guard hold(m_lock);
        return m_service;
    }

private:
    std::mutex m_lock;
    std::shared_ptr<Service> m_service;
};

Installed<CCredentialPrompt>& installedPrompt()
{
    static Installed<CCredentialPrompt> instance;
    return instance;
}

Installed<CMessageBox>& installedMessageBox()
{
    static Installed<CMessageBox> instance;
    return instance;
}

} // namespace

void CCredentialPrompt::Install(std::shared_ptr<CCredentialPrompt> prompt)
{
    installedPrompt().set(std::move(prompt));
}

bool CCredentialPrompt::AskInstalled(const uString& caption, const uString& initialUser, uString& user,
                                     uString& password)
{
    std::shared_ptr<CCredentialPrompt> prompt = installedPrompt().get();
    if (!prompt)
        return false;
    uString enteredUser;
    uString enteredPassword;
    if (!prompt->Ask(caption, initialUser, enteredUser, enteredPassword))
        return false;
    user = std::move(enteredUser);
    password = std::move(enteredPassword);
    return true;
}

void CMessageBox::Install(std::shared_ptr<CMessageBox> display)
{
    installedMessageBox().set(std::move(display));
}

void CMessageBox::Display(const uString& text)
{
    if (std::shared_ptr<CMessageBox> display = installedMessageBox().get())
    {
        display->Show(text);
        return;
    }
    std::fprintf(stderr, "%s\n", text.c_str());
}

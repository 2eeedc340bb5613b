#pragma once

#include "foundation/uString.h"

#include <memory>

// Asks the user for a user name and password, for a login form that needs
// them. The window code installs the real prompt; with none installed every
// request is refused, which is what a headless run wants.
class CCredentialPrompt
{
public:
    virtual ~CCredentialPrompt() = default;

    // Shows `caption` (the site's URL) with `initialUser` filled in and an
    // empty password. True when the user confirmed; only then are `user` and
    // `password` set. Called on whatever thread performs the fetch: an
    // implementation must show its dialog on the user-interface thread (and
    // wait for it there), and refuse once the program is closing, so that a
    // worker never waits on a dialog nobody will answer.
    virtual bool Ask(const uString& caption, const uString& initialUser, uString& user,
                     uString& password) = 0;

    // Replaces the installed prompt; null removes it. Any thread.
    static void Install(std::shared_ptr<CCredentialPrompt> prompt);
    // Asks through the installed prompt; false (refused) when there is none.
    // On refusal `user` and `password` are left as they were.
    static bool AskInstalled(const uString& caption, const uString& initialUser, uString& user,
                             uString& password);
};

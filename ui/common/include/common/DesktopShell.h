#pragma once

#include "foundation/uString.h"

#include <functional>
#include <memory>
#include <mutex>
#include <vector>

class wxWindow;

// Every hand-off to the desktop goes through one opener: files, folders,
// playlists and web pages the user asks to see in another program. The
// desktop's opener starts "xdg-open" with the target as its one argument,
// without a shell, so text from a feed can never become a command. Tests
// install a CRecordingShell instead and look at what was asked for.
//
// User-interface thread, except CRecordingShell, which may be read from any.
class IShell
{
public:
    // Called on the user-interface thread when the opener could not be
    // started (before Open or Explore returns) or ended with a failure
    // (later, once its status is known).
    using Failure = std::function<void()>;

    virtual ~IShell() = default;
    // Opens a file, a playlist or an address with the desktop's default
    // handler (the "open" verb). False when nothing could be started.
    virtual bool Open(const uString& target, Failure failed = {}) = 0;
    // Shows a folder in the file manager (the "explore" verb).
    virtual bool Explore(const uString& folder, Failure failed = {}) = 0;
};

// The desktop's own opener: xdg-open, which picks the handler of the
// target's type (the file manager for a folder).
class CDesktopShell : public IShell
{
public:
    bool Open(const uString& target, Failure failed = {}) override;
    bool Explore(const uString& folder, Failure failed = {}) override;
};

// Records each request and starts nothing; answers with SetResult's value
// (false also calls the failure handler).
class CRecordingShell : public IShell
{
public:
    struct Request
    {
        enum Verb
        {
            kOpen,
            kExplore
        } verb;
        uString target;
    };

    bool Open(const uString& target, Failure failed = {}) override;
    bool Explore(const uString& folder, Failure failed = {}) override;

    std::vector<Request> GetRequests() const;
    void Clear();
    void SetResult(bool result) { m_result = result; }

private:
    mutable std::mutex m_mutex;
    std::vector<Request> m_requests;
    bool m_result = true;
};

namespace ui
{
// The opener the program uses; the desktop's until another is installed.
IShell& GetShell();
// Installs an opener (null: the desktop's again); returns the one before.
std::shared_ptr<IShell> SetShell(std::shared_ptr<IShell> shell);

// What the user asked to see, handed to the opener in use (explore: shown
// in the file manager); when it cannot be opened, a box over the owner's
// window names it. False when nothing could be started.
bool OpenOrSay(wxWindow* owner, const uString& target, bool explore = false);

// Installs an opener for the life of the object (a test's), then puts the
// previous one back.
class CScopedShell
{
public:
    explicit CScopedShell(std::shared_ptr<IShell> shell) : m_previous(SetShell(std::move(shell))) {}
    ~CScopedShell() { SetShell(std::move(m_previous)); }
    CScopedShell(const CScopedShell&) = delete;
    CScopedShell& operator=(const CScopedShell&) = delete;

private:
    std::shared_ptr<IShell> m_previous;
};
} // namespace ui

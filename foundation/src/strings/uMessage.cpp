#include "foundation/uMessage.h"

#include <mutex>
#include <shared_mutex>
#include <unordered_map>
#include <utility>

namespace
{

struct Registry
{
    // Posters hold it shared while their transport runs, so closing a window
    // (exclusive) waits for deliveries already under way.
    std::shared_mutex lock;
    std::unordered_map<uWindowHandle, std::shared_ptr<uMessageTransport>> windows;
    uWindowHandle lastHandle = 0;
};

// Never destroyed: a worker that outlives static destruction may still post,
// and must then see "no such window" rather than a dead map.
Registry& registry()
{
    static Registry* instance = new Registry;
    return *instance;
}

bool post(uWindowHandle window, uWindowMessage message)
{
    if (window == 0)
        return false;
    Registry& r = registry();
    std::shared_lock hold(r.lock);
    auto found = r.windows.find(window);
    if (found == r.windows.end())
        return false;
    found->second->deliver(std::move(message));
    return true;
}

} // namespace

uMessageWindow::uMessageWindow(std::shared_ptr<uMessageTransport> transport)
{
    if (!transport)
        return;
    Registry& r = registry();
    std::unique_lock hold(r.lock);
    // Handles are not reused, so a stale handle kept by a late worker can never
    // reach a window opened after its own one closed.
    do
        ++r.lastHandle;
    while (r.lastHandle == 0 || r.windows.count(r.lastHandle) != 0);
    m_handle = r.lastHandle;
    r.windows.emplace(m_handle, std::move(transport));
}

uMessageWindow::~uMessageWindow()
{
    close();
}

void uMessageWindow::close()
{
    if (m_handle == 0)
        return;
    Registry& r = registry();
    std::shared_ptr<uMessageTransport> transport;
    {
        std::unique_lock hold(r.lock);
        auto found = r.windows.find(m_handle);
        if (found != r.windows.end())
        {
            transport = std::move(found->second);
            r.windows.erase(found);
        }
    }
    m_handle = 0;
    // The transport is released here, outside the lock, in case its
    // destructor does more than free memory.
}

bool PostMessage(uWindowHandle window, std::uint32_t message, std::uintptr_t wParam)
{
    return post(window, uWindowMessage{message, wParam, std::nullopt});
}

bool PostMessage(uWindowHandle window, std::uint32_t message, std::uintptr_t wParam, uString text)
{
    return post(window, uWindowMessage{message, wParam, std::move(text)});
}

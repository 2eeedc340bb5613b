#pragma once

#include "foundation/uString.h"

#include <cstdint>
#include <functional>
#include <memory>

class wxWebView;

// The downloads a browser view starts. A response the view cannot show is
// downloaded, not dropped, when it is one of the program's own documents
// (by panedownload::MessageFor); such a document is fetched into the hooks'
// folder under a new name and, once complete, handed to the hooks with the
// message that opens it. A feed is not fetched at all: its address goes to
// the hooks, to be subscribed as it is on the network; so does the address
// of a feed that asks for a login. Every other download, and all of them
// while no hooks are set, goes where the browser engine puts it by default.
//
// User-interface thread only.
class CPaneDownloads
{
public:
    struct Hooks
    {
        // The folder the documents are fetched into, asked at each download.
        std::function<uString()> folder;
        // A document fetched completely: the message and the file's path.
        std::function<void(std::uint32_t message, const uString& path)> open;
        // A feed's address; the response itself is dropped.
        std::function<void(const uString& address)> subscribe;
    };

    // Made with the view, and destroyed before it.
    explicit CPaneDownloads(wxWebView* view);
    // Downloads still running are no longer handed on; their files stay.
    ~CPaneDownloads();
    CPaneDownloads(const CPaneDownloads&) = delete;
    CPaneDownloads& operator=(const CPaneDownloads&) = delete;

    void SetHooks(Hooks hooks);

    struct Shared;

private:
    std::shared_ptr<Shared> m_shared;
    void* m_context = nullptr;
    unsigned long m_signal = 0;
    unsigned long m_policySignal = 0;
    unsigned long m_loginSignal = 0;
};

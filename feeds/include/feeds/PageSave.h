#pragma once

#include "foundation/uFile.h"
#include "foundation/uHtmlParser.h"
#include "foundation/uString.h"
#include "foundation/uThread.h"

#include <atomic>
#include <cstdint>

// Takes a page apart for its offline copy: the meta declarations (http-equiv
// and charset), the link elements, the page's own base element, and the markup
// and text of the body and of style elements, scripts left out. Every copied
// line ends in CR LF.
class CPageHeadHandler : public uHtmlHandler
{
public:
    CPageHeadHandler();
    ~CPageHeadHandler() override;

    void onBegin(uHtmlParser& parser, bool& stop) override;
    void onStartTag(const uString& name, uHtmlParser& parser, bool& stop) override;
    void onEndTag(const uString& name, uHtmlParser& parser, bool& stop) override;
    void onText(const uString& text, uHtmlParser& parser, bool& stop) override;

    uString GetBody() const { return m_body; }
    uString GetMetaLines() const { return m_metaLines; }
    uString GetLinkLines() const { return m_linkLines; }
    // The base element's href as written, ending in "/"; empty without one.
    uString GetBaseHref() const { return m_baseHref; }

private:
    bool Copying() const { return m_started && m_outsideScript && (m_inBody || m_inStyle); }

    uString m_body;
    uString m_metaLines;
    uString m_linkLines;
    uString m_baseHref;
    bool m_started = false;
    bool m_inBody = false;
    bool m_outsideScript = true;
    bool m_inStyle = false;
};

// Saves an item's page for offline reading, on a thread of its own. The page
// is downloaded into "<target>.part" and, when complete, rewritten into a
// reduced page (meta lines, a base element pointing back at the page's site,
// link lines, body and styles without scripts) that atomically replaces the
// target. A failed save leaves neither the target changed nor a ".part" file.
// Only one task works on a target at a time; a second one ends at once.
//
// Live tasks are tracked so that the program can cancel them and wait for
// them before it releases what they use.
class CPageSaveTask : public uRunnable
{
public:
    // Seconds a save may take; a worker never waits on the network without end.
    static constexpr int kTimeoutSeconds = 120;

    // Starts the task on its own thread at once. The task deletes itself.
    CPageSaveTask(const uString& url, const uFile& target, bool rewrite);
    // A task without a thread, for a caller that runs it itself.
    CPageSaveTask();
    ~CPageSaveTask() override;
    CPageSaveTask(const CPageSaveTask&) = delete;
    CPageSaveTask& operator=(const CPageSaveTask&) = delete;

    void SetTarget(const uFile& target);
    void SetURL(const uString& url) { m_url = url; }
    // Saves the page. A task started by the first constructor then deletes
    // its thread object and itself.
    virtual void Run();
    void run() override { Run(); }

    // Aborts the transfers of all live tasks and waits up to `milliseconds`
    // for them to end; true when none is left.
    static bool CancelAllAndWait(uint32_t milliseconds);
    // Waits up to `milliseconds` for all live tasks to end; true when none is left.
    static bool WaitAll(uint32_t milliseconds);

private:
    bool Save();
    bool Rewrite(const uFile& downloaded, const uString& pageUrl);
    void Forget(); // leaves the registry of live tasks

    bool m_rewrite = true;
    uString m_url;
    uFile m_target;
    uThread* m_thread = nullptr;
    std::atomic<bool> m_abort{false};
    bool m_registered = false;
};

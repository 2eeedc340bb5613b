#include "feeds/PageSave.h"

#include "feeds/PageUrl.h"
#include "feeds/WebFetch.h"
#include "foundation/uHtmlEntities.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <set>
#include <string>

namespace
{

// The tasks alive and the targets being written. Never destroyed: a task
// still ending while the process exits must not find it gone.
struct Registry
{
    std::mutex lock;
    std::condition_variable changed;
    std::set<CPageSaveTask*> live;
    std::set<std::string> targets;
};

Registry& registry()
{
    static Registry* instance = new Registry();
    return *instance;
}

// Holds a target for one task; a second claim of the same path fails.
class TargetClaim
{
public:
    explicit TargetClaim(const uString& path) : m_path(path.c_str())
    {
        Registry& tasks = registry();
        std::lock_guard hold(tasks.lock);
        m_held = tasks.targets.insert(m_path).second;
    }
    ~TargetClaim()
    {
        if (!m_held)
            return;
        Registry& tasks = registry();
        std::lock_guard hold(tasks.lock);
        tasks.targets.erase(m_path);
    }
    TargetClaim(const TargetClaim&) = delete;
    TargetClaim& operator=(const TargetClaim&) = delete;
    bool held() const { return m_held; }

private:
    std::string m_path;
    bool m_held = false;
};

// Where the saved page's relative links point: the page's own base element
// (made absolute against the page: read from disk, a relative one would point
// into the local folder) or else the directory of the page.
uString BaseFor(const uString& pageUrl, const uString& baseHref)
{
    pageurl::PageBase page;
    if (!pageurl::SplitPageUrl(pageUrl, page))
    {
        int slash = pageUrl.reverseFindChar('/');
        page.directory = slash < 0 ? uString() : uString(pageUrl, 0, slash + 1);
    }
    if (baseHref.isEmpty())
        return page.directory;
    return pageurl::ResolveLink(page, baseHref);
}

} // namespace

CPageSaveTask::CPageSaveTask(const uString& url, const uFile& target, bool rewrite)
    : m_rewrite(rewrite), m_url(url), m_target(target.getPath().c_str())
{
    Registry& tasks = registry();
    {
        std::lock_guard hold(tasks.lock);
        tasks.live.insert(this);
        m_registered = true;
    }
    m_thread = new uThread(this);
    if (!m_thread->start())
    {
        // No thread will ever run the task. Untracked and without its thread it
        // stays behind as a small leak; the caller holds no pointer to delete.
        delete m_thread;
        m_thread = nullptr;
        Forget();
    }
}

CPageSaveTask::CPageSaveTask() = default;

CPageSaveTask::~CPageSaveTask()
{
    Forget();
}

void CPageSaveTask::Forget()
{
    if (!m_registered)
        return;
    Registry& tasks = registry();
    std::lock_guard hold(tasks.lock);
    tasks.live.erase(this);
    m_registered = false;
    tasks.changed.notify_all();
}

void CPageSaveTask::SetTarget(const uFile& target)
{
    m_target.setPath(target.getPath().c_str());
}

void CPageSaveTask::Run()
{
    if (m_thread)
    {
        Save();
        // The thread object first, then the task; the thread ends right after.
        delete m_thread;
        m_thread = nullptr;
        delete this;
        return;
    }
    // Run by its caller: tracked while it works, so that it can be cancelled too.
    {
        Registry& tasks = registry();
        std::lock_guard hold(tasks.lock);
        tasks.live.insert(this);
        m_registered = true;
    }
    Save();
    Forget();
}

bool CPageSaveTask::Save()
{
    TargetClaim claim(m_target.getPath());
    if (!claim.held() || m_abort.load())
        return false;
    // A ".part" file left by an earlier run is not resumed: the page may have
    // changed since, and the two halves would not belong together.
    uFile part((m_target.getPath() + ".part").c_str());
    part.remove();
    // The page's relative links belong to where redirects ended, not to the link asked for.
    uString pageUrl;
    bool saved = FetchUrlToFile(m_url, part, kTimeoutSeconds, nullptr, /*login=*/false, /*prompt=*/false,
                                &pageUrl, &m_abort);
    if (saved)
        saved = m_rewrite ? Rewrite(part, pageUrl) : m_target.replaceWith(part.getPath().c_str());
    part.remove(); // complete or failed, the download is done with

    return saved;
}

bool CPageSaveTask::Rewrite(const uFile& downloaded, const uString& pageUrl)
{
    uHtmlParser parser;
    auto* page = new CPageHeadHandler();
    parser.setHandler(page);
    uFile input(downloaded.getPath().c_str());
    parser.parseFile(input);

    uString text = page->GetMetaLines();
    text += "<base href=\"";
    // The base sits inside a quoted attribute: a link from a feed must not break out of it.
    text += html::EscapeText(BaseFor(pageUrl, page->GetBaseHref()).c_str()).c_str();
    text += "\">\r\n";
    text += page->GetLinkLines();
    text += page->GetBody();
    return m_target.replaceContents(text.c_str(), static_cast<uint64_t>(text.getLength()));
}

bool CPageSaveTask::CancelAllAndWait(uint32_t milliseconds)
{
    Registry& tasks = registry();
    {
        std::lock_guard hold(tasks.lock);
        for (CPageSaveTask* task : tasks.live)
            task->m_abort = true;
    }
    return WaitAll(milliseconds);
}

bool CPageSaveTask::WaitAll(uint32_t milliseconds)
{
    Registry& tasks = registry();
    std::unique_lock hold(tasks.lock);
    return tasks.changed.wait_for(hold, std::chrono::milliseconds(milliseconds),
                                  [&] { return tasks.live.empty(); });
}

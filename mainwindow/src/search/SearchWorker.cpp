#include "mainwindow/SearchWorker.h"

#include "mainwindow/UiThreadCaller.h"

CSearchWorker::CSearchWorker(std::shared_ptr<CUiThreadCaller> caller) : m_caller(std::move(caller))
{
    m_thread = std::thread([this] { Run(); });
}

CSearchWorker::~CSearchWorker()
{
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_stopping = true;
        m_waiting.clear();
    }
    m_wake.notify_all();
    m_thread.join();
}

void CSearchWorker::Post(const void* key, Job job)
{
    {
        std::lock_guard<std::mutex> lock(m_lock);
        for (Entry& entry : m_waiting)
        {
            if (entry.key == key)
            {
                entry.job = std::move(job);
                return;
            }
        }
        m_waiting.push_back(Entry{key, std::move(job)});
        ++m_unfinished;
    }
    m_wake.notify_one();
}

bool CSearchWorker::IsBusy() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_unfinished > 0;
}

// The worker thread.
void CSearchWorker::Run()
{
    for (;;)
    {
        Job job;
        {
            std::unique_lock<std::mutex> lock(m_lock);
            m_wake.wait(lock, [this] { return m_stopping || !m_waiting.empty(); });
            if (m_stopping)
                return;
            job = std::move(m_waiting.front().job);
            m_waiting.pop_front();
        }
        std::function<void()> ending = job();
        // The count drops on the UI thread, after the ending ran, so that a
        // waiting caller sees the result in place once the worker is idle.
        bool queued = m_caller->Queue(
            [this, ending = std::move(ending)]
            {
                if (ending)
                    ending();
                std::lock_guard<std::mutex> lock(m_lock);
                --m_unfinished;
            });
        if (!queued)
        {
            std::lock_guard<std::mutex> lock(m_lock);
            --m_unfinished;
        }
    }
}

#include "uGatheredCookieSaves.h"

#include "uCookieJar.h"

#include <chrono>
#include <condition_variable>
#include <ctime>
#include <mutex>
#include <set>
#include <system_error>
#include <thread>

namespace
{

constexpr std::chrono::milliseconds kGathering{50};

struct Saves
{
    std::mutex lock;
    std::condition_variable added;
    std::set<uCookieJar*> jars;
    bool started = false;

    [[noreturn]] void run()
    {
        for (;;)
        {
            {
                std::unique_lock hold(lock);
                added.wait(hold, [this] { return !jars.empty(); });
            }
            std::this_thread::sleep_for(kGathering);
            std::set<uCookieJar*> due;
            {
                std::lock_guard hold(lock);
                due.swap(jars);
            }
            for (uCookieJar* jar : due)
                jar->save(std::time(nullptr));
        }
    }
};

Saves& TheSaves()
{
    static auto* saves = new Saves; // never destroyed: the thread may run at exit
    return *saves;
}

} // namespace

void uGatheredCookieSaves::add(uCookieJar* jar)
{
    Saves& saves = TheSaves();
    std::lock_guard hold(saves.lock);
    saves.jars.insert(jar);
    if (!saves.started)
    {
        try
        {
            std::thread([&saves] { saves.run(); }).detach();
            saves.started = true;
        }
        catch (const std::system_error&)
        {
            saves.jars.erase(jar);
            return;
        }
    }
    saves.added.notify_one();
}

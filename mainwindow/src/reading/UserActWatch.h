#pragma once

#include <memory>
#include <string>
#include <vector>

class CUserActs;

// Feeds CUserActs what the program sees of a browser view: the toolkit's
// presses on it, the reports of the program's own script on trusted clicks,
// the engine's hit tests, and the page's own load and request; and keeps
// the view's requests in flight, each until it ends. Made with the view's
// native object, and destroyed before it. GTK only; elsewhere it sees
// nothing.
class CUserActWatch
{
public:
    CUserActWatch(void* view, std::shared_ptr<CUserActs> acts);
    ~CUserActWatch();
    CUserActWatch(const CUserActWatch&) = delete;
    CUserActWatch& operator=(const CUserActWatch&) = delete;

    CUserActs& Acts() const { return *m_acts; }
    // The address the view shows or, while its page loads, loads.
    std::string ViewAddress() const;
    // The addresses of the requests in flight: the page's own (empty when
    // it has ended) and all others (frames', images', scripts', the old
    // page's too). A login question names no request, only its server.
    void RequestsInFlight(std::string& pageRequest, std::vector<std::string>& others) const;

    // From the engine's signals.
    void OnPageLoadStarted();
    void OnRequestStarted(void* resource, bool pageItself);
    void OnRequestEnded(void* resource);

private:
    void* m_view = nullptr;
    void* m_manager = nullptr;
    std::shared_ptr<CUserActs> m_acts;
    unsigned long m_pressSignal = 0;
    unsigned long m_keySignal = 0;
    unsigned long m_pointerSignal = 0;
    unsigned long m_loadSignal = 0;
    unsigned long m_failSignal = 0;
    unsigned long m_requestSignal = 0;
    unsigned long m_reportSignal = 0;
    // Held until each ends.
    std::vector<void*> m_requests;
    // The page's own request of the load under way, until it ends.
    void* m_pageRequest = nullptr;
};

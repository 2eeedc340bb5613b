#pragma once

#include <memory>
#include <string>

class CUserActs;

// Feeds CUserActs what the program sees of a browser view: the toolkit's
// presses on it, the reports of the program's own script on trusted clicks,
// and the page's own load. Made with the view's native object, and
// destroyed before it. GTK only; elsewhere it sees nothing.
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
};

#pragma once

#include "foundation/uString.h"

#include <mutex>
#include <set>
#include <string>

// Site-icon links whose fetch failed during one update pass. The feeds of one
// site share its "/favicon.ico": as one fetched icon serves them all, one
// refused fetch answers for them all until the next pass tries again. Any
// thread.
class CFailedIcons
{
public:
    void Add(const uString& iconLink)
    {
        std::lock_guard hold(m_lock);
        m_links.insert(iconLink.c_str());
    }
    bool Contains(const uString& iconLink) const
    {
        std::lock_guard hold(m_lock);
        return m_links.count(iconLink.c_str()) != 0;
    }

private:
    mutable std::mutex m_lock;
    std::set<std::string> m_links;
};

#pragma once

#include <clocale>
#include <locale.h>

namespace clocale_detail
{

// The "C" locale, created once. Numbers written or read by the foundation use
// it so that a toolkit switching LC_NUMERIC cannot turn "1.5" into "1,5".
locale_t cLocale();

// Switches the calling thread to the C locale for its lifetime.
class CLocaleScope
{
public:
    CLocaleScope() : m_previous(uselocale(cLocale())) {}
    ~CLocaleScope() { uselocale(m_previous); }
    CLocaleScope(const CLocaleScope&) = delete;
    CLocaleScope& operator=(const CLocaleScope&) = delete;

private:
    locale_t m_previous;
};

} // namespace clocale_detail

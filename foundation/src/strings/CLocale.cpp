#include "CLocale.h"

namespace clocale_detail
{

locale_t cLocale()
{
    static const locale_t locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    return locale;
}

} // namespace clocale_detail

#pragma once

#include "foundation/ProductAddress.h"
#include "foundation/uString.h"

namespace subscription
{
/// The feed address the subscription dialogs offer when the clipboard is
/// empty: the news feed of the program's own site.
uString SampleFeedAddress();

/// The entries of the interval unit list, in their order (strings 2140 to 2142).
enum IntervalUnit
{
    kUnitMinute = 0,
    kUnitHour = 1,
    kUnitDays = 2,
};

struct IntervalDisplay
{
    int number = 0;
    int unit = kUnitMinute;
};

/// An interval in minutes as number and unit: whole hours from 60 to 1439,
/// whole days from 1440, minutes for everything else (0 and negatives too).
IntervalDisplay DisplayInterval(int minutes);

/// Minutes from the number as typed (read as the C library's atoi reads it)
/// and the chosen unit entry: days x 1440, hours x 60, else the number.
int ParseInterval(const char* number, int unit);

/// The open-URL dialog's first address from the clipboard text: the trimmed
/// text when it starts with "http://", "https://" or "ftp://" in any case, or
/// when it is one word with a "."; otherwise the product's web address.
uString DefaultOpenUrl(const uString& clipboard);
} // namespace subscription

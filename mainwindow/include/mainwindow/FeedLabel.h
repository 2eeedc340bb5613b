#pragma once

#include "foundation/uString.h"

namespace subscription
{
/// A feed's tree label: the title, followed by " (N)" when N unread items
/// are above 0.
uString FeedLabel(const uString& title, int unread);

/// The label without its unread count: when it ends in "(N)" with N a
/// non-zero whole number (blanks after it allowed), the text before the "(",
/// trimmed; otherwise the label as it is. Counts are only ever appended, so
/// "Top (news)", "Item (0)" and "A (3) b" stay whole.
uString StripUnreadCount(const uString& label);

/// base, then "base 1", "base 2", ...: the n-th candidate of a new item's name.
uString NumberedName(const char* base, int n);
} // namespace subscription

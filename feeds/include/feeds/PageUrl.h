#pragma once

#include "foundation/uString.h"

// How links found in a page are made absolute, and what counts as one site.
namespace pageurl
{

// A page URL taken apart for resolving its links: the site root (scheme, "://"
// and authority, no trailing "/") and the page's directory (ending in "/").
struct PageBase
{
    uString siteRoot;
    uString directory;
    uString document; // the page URL without its fragment
};

// False, with `base` emptied, when the URL has no "://" after its first byte.
bool SplitPageUrl(const uString& url, PageBase& base);

// The site root and directory of a page, for resolving its links. A URL that
// does not split empties the directory (relative links then stay as written)
// and leaves the site root.
void TakePageBase(const uString& pageUrl, uString& siteRoot, uString& directory);

// A link as the link scan sees it: "//host/..." takes the page's scheme, "/..."
// the site root; a link with ":" at index 4 or "/" at index 5 or 6
// ("http://", "https://", "ftp://") is kept; anything else goes after the
// directory. An empty base keeps relative links as written.
uString ResolveLink(const PageBase& base, const uString& link);

// The same for a form action: "/..." and "//..." as above, one containing "://"
// is kept, an empty action is the page itself, "?..." replaces the page's
// query, and anything else goes after the directory.
uString ResolveAction(const PageBase& base, const uString& action);

// The reference made absolute against the base as RFC 3986 (section 5.2)
// does, dot segments removed. A reference with a scheme, an empty one, and
// any reference when the base has no scheme come back as written.
uString ResolveReference(const uString& base, const uString& reference);

// The text starts with a scheme and ":" ("http:", "mailto:"), white space
// before it ignored.
bool HasScheme(const uString& text);

// Scheme, host (both case ignored) and port (the scheme's default when none
// is written) are equal. A text without "://" belongs to no site.
bool SameOrigin(const uString& a, const uString& b);

} // namespace pageurl

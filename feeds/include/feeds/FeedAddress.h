#pragma once

#include "foundation/uString.h"

#include <vector>

// The one rule for the addresses Kestrova subscribes to and fetches. Files,
// scripts and inline data are never feeds: an address from an outline file,
// a directory or a dialog that named one would have a refresh read a local
// file or hand a script to the browser pane.
namespace feeds
{
/// The address as it is subscribed: trimmed, with "feed://host/..." and
/// "feed:http://..." (any case) turned into the http or https address they
/// stand for. Empty when the result is no http, https or ftp address with a
/// host, or holds a control character.
uString FeedAddress(const uString& address);

/// The path of a "file://" address (the scheme in lower case, then an
/// absolute path, taken as it is): where a feed file the user opened lies.
/// Empty for any other address. Only a list may hold such an address, never
/// one of the sources FeedAddress checks.
uString LocalFeedPath(const uString& address);

/// The addresses refused, one a line, for a message that names them; at
/// most `shown` lines, then "..." when there were more.
uString ListAddresses(const std::vector<uString>& addresses, std::size_t shown = 20);
} // namespace feeds

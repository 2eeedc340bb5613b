#pragma once

#include "foundation/uString.h"

// Pieces of a URL, read the way the transfer layer needs them. A URL without "://" has no scheme
// part; its authority starts at the beginning. Each function takes its argument by value.

// The text before the first ":" (when that is not the first byte); "http" otherwise.
uString ExtractScheme(uString url);
// The part of the authority before "@"; empty when there is none.
uString ExtractUserInfo(uString url);
// The host of the authority (an IPv6 literal keeps its brackets).
uString ExtractHost(uString url);
// Everything after the authority: path, query and fragment ("/" when the URL has no path).
uString ExtractPath(uString url);
// The text between "?" and "#", without them.
uString ExtractQuery(uString url);
// The text after "#".
uString ExtractFragment(uString url);
// The path without query and fragment ("/" when the URL has no path).
uString ExtractFilePath(uString url);
// The explicit port of the authority, or GetDefaultPort when it names none.
int ExtractPort(uString url);
// 80, 443, 21, 70, 25, 119 or 23 by the scheme ("http://", "https://", "ftp://", "gopher://",
// "mailto:", "news:", "telnet://", case ignored); -1 for any other.
int GetDefaultPort(uString url);
// The site root: scheme, "://", authority and "/". A URL without "://" comes back unchanged.
uString GetBaseURL(uString url);

// Percent-encoding: letters, digits, "-", "_" and "." stay; every other byte becomes "%XX"
// (upper-case hex). unescape turns "%XX" (either case) back into the byte.
uString escape(uString text);
uString unescape(uString text);

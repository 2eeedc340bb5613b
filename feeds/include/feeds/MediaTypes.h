#pragma once

#include "foundation/uString.h"

#include <atomic>

// Classification of enclosure MIME types, links and file names. Every test
// works on a lower-cased copy of its argument; an empty text gives false.

bool IsAudioType(uString type);      // "audio…" or "x-audio…"
bool IsVideoType(uString type);      // "video…" or "x-video…"
bool IsOtherMediaType(uString type); // "application…" but not Flash, or "unknown"
bool IsHtmlType(uString type);       // "text/html…"
bool IsTorrentType(uString type);    // "application/x-bittorrent…" or "….torrent"
bool IsStreamType(uString type);     // Flash, "….swf", "rtsp://…" or "mms://…"

// By the name's final extension (".mp3", ".avi", ...), in any letter case.
bool IsAudioFileName(uString name);
bool IsMediaFileName(uString name); // audio or video
// The MIME type for the name's extension; "application/unknown" when none fits.
uString GetMimeTypeFromExtension(uString name);

// Asks the server (a HEAD request, no login, no prompt) whether the link is a
// .torrent file: true when the first Content-Type header the request saw is
// "application/x-bittorrent". A link without ".torrent" past its first
// character is refused without a request. Blocks the calling thread; while
// *abortFlag is true the request ends soon, as a "no".
bool IsTorrentLink(uString link, const std::atomic<bool>* abortFlag = nullptr);

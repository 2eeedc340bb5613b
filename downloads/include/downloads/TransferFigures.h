#pragma once

#include "downloads/TorrentEngine.h"
#include "foundation/uString.h"

// The texts of the BitTorrent list: one cell of a torrent's row, made from its
// status record, and the short duration of the "Time Left" column. Pure
// functions, C locale.

// The columns of a torrent row, in order.
inline constexpr int kTorrentColumnCount = 11;
inline constexpr const char* kTorrentColumnTitles[kTorrentColumnCount] = {
    "File Name", "Size",      "%",      "KB/s dn", "KB/s up", "Time Left",
    "Seed/Peer", "U/D Radio", "Health", "Status",  ""};

// "Queued" ... "Allocating", "Paused"; "" for a state outside them.
const char* TorrentStateName(int state);

// Seconds as "12.50 s", "3m 20s", "2h 5m" or "1d 3h" (each bound inclusive:
// 60 s is still "60.00 s"); "" for a value that is not a number.
uString FormatTimeLeft(float seconds);

// The text of a row's cell in the column (0 to 10); "" outside them.
uString FormatTorrentCell(const CTorrentStatus& status, int column);

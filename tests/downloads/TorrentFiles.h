#pragma once

#include <string>
#include <utility>
#include <vector>

namespace torrenttest
{

// A .torrent file written by the test itself, so that the engine's reading of
// it is checked against an independent encoder and digest.
struct MadeTorrent
{
    std::string bytes;   // the bencoded file
    std::string infoKey; // SHA-1 of the bencoded info dictionary, 40 lower-case hex digits
};

// One file named `name`.
MadeTorrent MakeSingleFileTorrent(const std::string& name, const std::string& content,
                                  const std::string& announceUrl, int pieceLength,
                                  const std::string& comment = "");

// A folder `name` holding the files (relative paths with "/" and their content).
MadeTorrent MakeMultiFileTorrent(const std::string& name,
                                 const std::vector<std::pair<std::string, std::string>>& files,
                                 const std::string& announceUrl, int pieceLength);

// Deterministic bytes that differ from piece to piece.
std::string PatternBytes(std::size_t count, unsigned seed);

} // namespace torrenttest

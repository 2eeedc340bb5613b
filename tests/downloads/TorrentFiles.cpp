#include "TorrentFiles.h"

#include <openssl/evp.h>
#include <stdexcept>

namespace torrenttest
{

namespace
{

std::string Sha1(const std::string& bytes)
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (!EVP_Digest(bytes.data(), bytes.size(), digest, &length, EVP_sha1(), nullptr))
        throw std::runtime_error("SHA-1 failed");
    return std::string(reinterpret_cast<const char*>(digest), length);
}

std::string Hex(const std::string& bytes)
{
    static const char kDigits[] = "0123456789abcdef";
    std::string text;
    for (unsigned char c : bytes)
    {
        text += kDigits[c >> 4];
        text += kDigits[c & 15];
    }
    return text;
}

std::string Text(const std::string& value)
{
    return std::to_string(value.size()) + ":" + value;
}

std::string Number(long long value)
{
    return "i" + std::to_string(value) + "e";
}

std::string PieceHashes(const std::string& data, int pieceLength)
{
    std::string hashes;
    for (std::size_t at = 0; at < data.size(); at += static_cast<std::size_t>(pieceLength))
        hashes += Sha1(data.substr(at, static_cast<std::size_t>(pieceLength)));
    return hashes;
}

// Dictionary keys are written in sorted order, as bencoding requires.
MadeTorrent Finish(const std::string& info, const std::string& announceUrl, const std::string& comment)
{
    MadeTorrent made;
    made.bytes = "d" + Text("announce") + Text(announceUrl);
    if (!comment.empty())
        made.bytes += Text("comment") + Text(comment);
    made.bytes += Text("info") + info + "e";
    made.infoKey = Hex(Sha1(info));
    return made;
}

} // namespace

MadeTorrent MakeSingleFileTorrent(const std::string& name, const std::string& content,
                                  const std::string& announceUrl, int pieceLength, const std::string& comment)
{
    const std::string info = "d" + Text("length") + Number(static_cast<long long>(content.size())) +
                             Text("name") + Text(name) + Text("piece length") + Number(pieceLength) +
                             Text("pieces") + Text(PieceHashes(content, pieceLength)) + "e";
    return Finish(info, announceUrl, comment);
}

MadeTorrent MakeMultiFileTorrent(const std::string& name,
                                 const std::vector<std::pair<std::string, std::string>>& files,
                                 const std::string& announceUrl, int pieceLength)
{
    std::string list = "l";
    std::string all;
    for (const auto& [path, content] : files)
    {
        std::string components = "l";
        std::size_t start = 0;
        for (std::size_t slash = path.find('/'); slash != std::string::npos; slash = path.find('/', start))
        {
            components += Text(path.substr(start, slash - start));
            start = slash + 1;
        }
        components += Text(path.substr(start)) + "e";
        list += "d" + Text("length") + Number(static_cast<long long>(content.size())) + Text("path") +
                components + "e";
        all += content;
    }
    list += "e";
    const std::string info = "d" + Text("files") + list + Text("name") + Text(name) + Text("piece length") +
                             Number(pieceLength) + Text("pieces") + Text(PieceHashes(all, pieceLength)) + "e";
    return Finish(info, announceUrl, "");
}

std::string PatternBytes(std::size_t count, unsigned seed)
{
    std::string bytes(count, '\0');
    unsigned state = seed * 2654435761u + 1;
    for (char& c : bytes)
    {
        state = state * 1103515245u + 12345u;
        c = static_cast<char>(state >> 16);
    }
    return bytes;
}

} // namespace torrenttest

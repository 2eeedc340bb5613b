#pragma once

#include <string>
#include <utility>
#include <vector>

namespace testsupport
{

// Reads a MIME message back the way a mail program would, independently of the
// builder: headers unfolded, encoded words and transfer encodings decoded.
struct MimePart
{
    std::vector<std::pair<std::string, std::string>> headers; // names as written, values unfolded
    std::string body;                                         // raw, as between the boundaries

    // The first header of that name (case ignored); empty when none.
    std::string header(const std::string& name) const;
    // The body with its Content-Transfer-Encoding undone.
    std::string decodedBody() const;
};

MimePart ReadMimePart(const std::string& raw);
// The parts of a multipart body, by the boundary parameter of its Content-Type.
std::vector<MimePart> ReadMimeParts(const MimePart& message);
// "=?UTF-8?B?...?=" words decoded; blanks between two words dropped.
std::string DecodeEncodedWords(const std::string& value);
std::string DecodeQuotedPrintable(const std::string& text);

} // namespace testsupport

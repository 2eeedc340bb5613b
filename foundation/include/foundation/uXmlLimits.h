#pragma once

#include <cstddef>
#include <cstdint>

// What a document may cost before the parser builds anything from it. Real
// feeds and settings files are far below all three; a hostile or broken one
// would otherwise cost gigabytes of memory or minutes of CPU on every refresh.
namespace xmllimits
{

// Largest document read or downloaded as XML. Big feeds carry a few MB.
constexpr std::int64_t kMaxDocumentBytes = 64LL * 1024 * 1024;
// Bytes that all entity references of one document may add in all (the
// replacement texts, counted each time they are used, DTD attribute defaults
// included). One entity used many times is the "billion laughs" attack; the
// parser's own limit counts expansions, not bytes.
constexpr std::int64_t kMaxEntityExpansionBytes = 1024 * 1024;
// Deepest element nesting. The parser's cost grows with the square of the
// depth; feeds nest a handful of levels.
constexpr int kMaxNestingDepth = 1000;

enum class Refusal
{
    kNone,
    kTooLarge,
    kEntityExpansion,
    kTooDeep,
};

// One pass over the bytes, in time linear in their length, before any DOM is
// built. Understands UTF-8 and the 8-bit encodings, UTF-16 and UTF-32 (by BOM
// or by the "<?" that starts a declaration).
Refusal Check(const char* bytes, std::size_t length);

// A short English reason for a refusal ("" for kNone).
const char* Describe(Refusal refusal);

} // namespace xmllimits

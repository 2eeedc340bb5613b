#pragma once

// Shared by the text and the file forms of the Base64 coder.
namespace b64
{

// The 6-bit value of a Base64 character, or -1 for anything else ("=" too).
int SextetOf(unsigned char c);

} // namespace b64

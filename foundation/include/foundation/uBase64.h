#pragma once

#include "foundation/uString.h"

// Base64 (RFC 4648 alphabet, "=" padding). The encoder writes lines of 72
// characters (18 groups) and ends every line, the last partial one included,
// with "\r\n"; an empty input gives an empty output. The decoder skips every
// character outside the alphabet ("=" included) wherever it stands; its
// output is raw bytes and may hold NULs (use getLength, not strlen).

// Encodes n (1 to 3) bytes into 4 characters, padding with "=".
void Base64EncodeBlock(const unsigned char* in, char* out, int n);
// Turns 4 six-bit values into 3 bytes.
void Base64DecodeBlock(const unsigned char* in, unsigned char* out);

// Empties `out`, then writes the encoding of all bytes of `in`.
void Base64Encode(const uString& in, uString& out);
// Removes every CR and LF from `in` in place, empties `out`, then appends the decoded bytes.
void Base64Decode(uString& in, uString& out);
uString Base64Encode(uString in);
uString Base64Decode(uString in);

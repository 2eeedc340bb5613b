#pragma once

#include <cstdint>

// Conversion between UTF-32, UTF-16 and UTF-8 with the behaviour of the
// Unicode, Inc. reference routines, and in-place byte-order reversal.
//
// Each converter takes (source start in/out, source end, target start in/out,
// target end, mode): both start pointers advance past what was consumed and
// written, so a conversion stopped by a full target resumes with the same
// pointers and a bigger target.
namespace unicode
{

enum ConversionResult : int
{
    conversionOK = 0,
    sourceExhausted = 1, // the source ends inside a sequence; nothing of it was consumed
    targetExhausted = 2, // no room for the next character; everything before it is kept
    sourceIllegal = 3,   // the source pointer stays on the offending sequence
};

enum ConversionMode : int
{
    strictConversion = 0,
    // Unpaired surrogates pass through (UTF-16 to UTF-8 writes their own 3-byte
    // form); ill-formed UTF-8 is still illegal.
    lenientConversion = 1,
};

inline constexpr char16_t replacementCharacter = 0xFFFD;

} // namespace unicode

unicode::ConversionResult ConvertUTF32toUTF16(const char32_t** sourceStart, const char32_t* sourceEnd,
                                              char16_t** targetStart, char16_t* targetEnd, int mode);
unicode::ConversionResult ConvertUTF16toUTF32(const char16_t** sourceStart, const char16_t* sourceEnd,
                                              char32_t** targetStart, char32_t* targetEnd, int mode);
unicode::ConversionResult ConvertUTF16toUTF8(const char16_t** sourceStart, const char16_t* sourceEnd,
                                             unsigned char** targetStart, unsigned char* targetEnd, int mode);
unicode::ConversionResult ConvertUTF8toUTF16(const unsigned char** sourceStart,
                                             const unsigned char* sourceEnd, char16_t** targetStart,
                                             char16_t* targetEnd, int mode);
unicode::ConversionResult ConvertUTF8toUTF32(const unsigned char** sourceStart,
                                             const unsigned char* sourceEnd, char32_t** targetStart,
                                             char32_t* targetEnd, int mode);

// Whether the `length` bytes at `bytes` form one legal UTF-8 sequence (1 to 4 bytes).
bool isLegalUTF8(const unsigned char* bytes, int length);
// Whether the sequence starting at `source` is legal and ends before `end`.
bool isLegalUTF8Sequence(const unsigned char* source, const unsigned char* end);

// The process-wide conversion flag: 0 selects lenient conversion, anything
// else strict. Nothing changes it, so it is a constant 0.
int16_t GetConversionFlag();

// Byte-order reversal in place. swapBytes16 returns the value before the swap;
// the x2 and x4 forms swap each word of two or four consecutive 32-bit words.
uint16_t swapBytes16(uint16_t* value);
void swapBytes32(uint32_t* value);
void swapBytes32x2(uint32_t* words);
void swapBytes32x4(uint32_t* words);

#include "foundation/uUnicode.h"

using namespace unicode;

namespace
{

constexpr char32_t kMaxBmp = 0xFFFF;
constexpr char32_t kMaxUtf16 = 0x10FFFF;
constexpr char32_t kHighSurrogateStart = 0xD800;
constexpr char32_t kHighSurrogateEnd = 0xDBFF;
constexpr char32_t kLowSurrogateStart = 0xDC00;
constexpr char32_t kLowSurrogateEnd = 0xDFFF;
constexpr int kHalfShift = 10;
constexpr char32_t kHalfBase = 0x10000;
constexpr char32_t kHalfMask = 0x3FF;

bool isHighSurrogate(char32_t c)
{
    return c >= kHighSurrogateStart && c <= kHighSurrogateEnd;
}
bool isLowSurrogate(char32_t c)
{
    return c >= kLowSurrogateStart && c <= kLowSurrogateEnd;
}
bool isSurrogate(char32_t c)
{
    return c >= kHighSurrogateStart && c <= kLowSurrogateEnd;
}

// Continuation bytes that follow a lead byte; 4 and 5 mark the obsolete
// 5- and 6-byte forms, which isLegalUTF8 rejects.
int trailingBytes(unsigned char lead)
{
    if (lead < 0xC0)
        return 0;
    if (lead < 0xE0)
        return 1;
    if (lead < 0xF0)
        return 2;
    if (lead < 0xF8)
        return 3;
    if (lead < 0xFC)
        return 4;
    return 5;
}

constexpr char32_t kOffsetsFromUtf8[6] = {0x00000000UL, 0x00003080UL, 0x000E2080UL,
                                          0x03C82080UL, 0xFA082080UL, 0x82082080UL};
constexpr unsigned char kFirstByteMark[5] = {0x00, 0x00, 0xC0, 0xE0, 0xF0};

// Decodes a sequence already known to be legal.
char32_t decodeUtf8(const unsigned char* source, int extra)
{
    char32_t ch = 0;
    for (int i = 0; i <= extra; ++i)
    {
        ch += source[i];
        if (i < extra)
            ch <<= 6;
    }
    return ch - kOffsetsFromUtf8[extra];
}

// Reads one code point from UTF-16 with the surrogate rules shared by the
// UTF-16 converters. Returns false with `result` set when conversion must stop.
bool readUtf16(const char16_t*& source, const char16_t* sourceEnd, int mode, char32_t& ch,
               ConversionResult& result)
{
    ch = *source++;
    if (isHighSurrogate(ch))
    {
        if (source >= sourceEnd)
        {
            --source;
            result = sourceExhausted;
            return false;
        }
        char32_t low = *source;
        if (isLowSurrogate(low))
        {
            ch = ((ch - kHighSurrogateStart) << kHalfShift) + (low - kLowSurrogateStart) + kHalfBase;
            ++source;
        }
        else if (mode == strictConversion)
        {
            --source;
            result = sourceIllegal;
            return false;
        }
    }
    else if (mode == strictConversion && isLowSurrogate(ch))
    {
        --source;
        result = sourceIllegal;
        return false;
    }
    return true;
}

// Writes one code point as UTF-16; false when the target has no room.
bool writeUtf16(char32_t ch, char16_t*& target, char16_t* targetEnd)
{
    if (ch <= kMaxBmp)
    {
        if (target >= targetEnd)
            return false;
        *target++ = static_cast<char16_t>(ch);
        return true;
    }
    if (targetEnd - target < 2)
        return false;
    ch -= kHalfBase;
    *target++ = static_cast<char16_t>((ch >> kHalfShift) + kHighSurrogateStart);
    *target++ = static_cast<char16_t>((ch & kHalfMask) + kLowSurrogateStart);
    return true;
}

} // namespace

ConversionResult ConvertUTF32toUTF16(const char32_t** sourceStart, const char32_t* sourceEnd,
                                     char16_t** targetStart, char16_t* targetEnd, int mode)
{
    ConversionResult result = conversionOK;
    const char32_t* source = *sourceStart;
    char16_t* target = *targetStart;
    while (source < sourceEnd)
    {
        if (target >= targetEnd)
        {
            result = targetExhausted;
            break;
        }
        char32_t ch = *source;
        if (isSurrogate(ch) || ch > kMaxUtf16)
        {
            if (mode == strictConversion)
            {
                result = sourceIllegal;
                break;
            }
            ch = replacementCharacter;
        }
        if (!writeUtf16(ch, target, targetEnd))
        {
            result = targetExhausted;
            break;
        }
        ++source;
    }
    *sourceStart = source;
    *targetStart = target;
    return result;
}

ConversionResult ConvertUTF16toUTF32(const char16_t** sourceStart, const char16_t* sourceEnd,
                                     char32_t** targetStart, char32_t* targetEnd, int mode)
{
    ConversionResult result = conversionOK;
    const char16_t* source = *sourceStart;
    char32_t* target = *targetStart;
    while (source < sourceEnd)
    {
        const char16_t* oldSource = source;
        char32_t ch;
        if (!readUtf16(source, sourceEnd, mode, ch, result))
            break;
        if (target >= targetEnd)
        {
            source = oldSource;
            result = targetExhausted;
            break;
        }
        *target++ = ch;
    }
    *sourceStart = source;
    *targetStart = target;
    return result;
}

ConversionResult ConvertUTF16toUTF8(const char16_t** sourceStart, const char16_t* sourceEnd,
                                    unsigned char** targetStart, unsigned char* targetEnd, int mode)
{
    ConversionResult result = conversionOK;
    const char16_t* source = *sourceStart;
    unsigned char* target = *targetStart;
    while (source < sourceEnd)
    {
        const char16_t* oldSource = source;
        char32_t ch;
        if (!readUtf16(source, sourceEnd, mode, ch, result))
            break;
        int bytesToWrite;
        if (ch < 0x80)
            bytesToWrite = 1;
        else if (ch < 0x800)
            bytesToWrite = 2;
        else if (ch < 0x10000)
            bytesToWrite = 3;
        else
            bytesToWrite = 4;
        if (targetEnd - target < bytesToWrite)
        {
            source = oldSource;
            result = targetExhausted;
            break;
        }
        for (int i = bytesToWrite - 1; i > 0; --i)
        {
            target[i] = static_cast<unsigned char>((ch & 0x3F) | 0x80);
            ch >>= 6;
        }
        target[0] = static_cast<unsigned char>(ch | kFirstByteMark[bytesToWrite]);
        target += bytesToWrite;
    }
    *sourceStart = source;
    *targetStart = target;
    return result;
}

bool isLegalUTF8(const unsigned char* bytes, int length)
{
    if (length < 1 || length > 4)
        return false;
    const unsigned char lead = bytes[0];
    for (int i = length - 1; i >= 2; --i)
    {
        if (bytes[i] < 0x80 || bytes[i] > 0xBF)
            return false;
    }
    if (length >= 2)
    {
        const unsigned char second = bytes[1];
        if (second > 0xBF)
            return false;
        switch (lead)
        {
        case 0xE0:
            if (second < 0xA0)
                return false;
            break;
        case 0xED:
            if (second > 0x9F)
                return false;
            break;
        case 0xF0:
            if (second < 0x90)
                return false;
            break;
        case 0xF4:
            if (second > 0x8F)
                return false;
            break;
        default:
            if (second < 0x80)
                return false;
        }
    }
    if (lead >= 0x80 && lead < 0xC2)
        return false;
    return lead <= 0xF4;
}

bool isLegalUTF8Sequence(const unsigned char* source, const unsigned char* end)
{
    const int length = trailingBytes(*source) + 1;
    if (length > end - source)
        return false;
    return isLegalUTF8(source, length);
}

namespace
{

// The shared UTF-8 decoding loop; `emit` writes one code point and returns
// false when the target is full.
template <typename Emit>
ConversionResult decodeUtf8Loop(const unsigned char** sourceStart, const unsigned char* sourceEnd, int mode,
                                Emit emit)
{
    ConversionResult result = conversionOK;
    const unsigned char* source = *sourceStart;
    while (source < sourceEnd)
    {
        const int extra = trailingBytes(*source);
        if (extra >= sourceEnd - source)
        {
            result = sourceExhausted;
            break;
        }
        if (!isLegalUTF8(source, extra + 1))
        {
            result = sourceIllegal;
            break;
        }
        char32_t ch = decodeUtf8(source, extra);
        // isLegalUTF8 already rejects both of these; kept so the lenient
        // mode's meaning stays explicit.
        if (isSurrogate(ch) || ch > kMaxUtf16)
        {
            if (mode == strictConversion)
            {
                result = sourceIllegal;
                break;
            }
            ch = replacementCharacter;
        }
        if (!emit(ch))
        {
            result = targetExhausted;
            break;
        }
        source += extra + 1;
    }
    *sourceStart = source;
    return result;
}

} // namespace

ConversionResult ConvertUTF8toUTF16(const unsigned char** sourceStart, const unsigned char* sourceEnd,
                                    char16_t** targetStart, char16_t* targetEnd, int mode)
{
    char16_t* target = *targetStart;
    ConversionResult result = decodeUtf8Loop(sourceStart, sourceEnd, mode,
                                             [&](char32_t ch) { return writeUtf16(ch, target, targetEnd); });
    *targetStart = target;
    return result;
}

ConversionResult ConvertUTF8toUTF32(const unsigned char** sourceStart, const unsigned char* sourceEnd,
                                    char32_t** targetStart, char32_t* targetEnd, int mode)
{
    char32_t* target = *targetStart;
    ConversionResult result = decodeUtf8Loop(sourceStart, sourceEnd, mode,
                                             [&](char32_t ch)
                                             {
                                                 if (target >= targetEnd)
                                                     return false;
                                                 *target++ = ch;
                                                 return true;
                                             });
    *targetStart = target;
    return result;
}

int16_t GetConversionFlag()
{
    // Constant: a lazily set process-wide flag would race between threads.
    return 0;
}

uint16_t swapBytes16(uint16_t* value)
{
    const uint16_t before = *value;
    *value = static_cast<uint16_t>((before >> 8) | (before << 8));
    return before;
}

void swapBytes32(uint32_t* value)
{
    const uint32_t v = *value;
    *value = (v >> 24) | ((v >> 8) & 0x0000FF00u) | ((v << 8) & 0x00FF0000u) | (v << 24);
}

void swapBytes32x2(uint32_t* words)
{
    swapBytes32(&words[0]);
    swapBytes32(&words[1]);
}

void swapBytes32x4(uint32_t* words)
{
    for (int i = 0; i < 4; ++i)
        swapBytes32(&words[i]);
}

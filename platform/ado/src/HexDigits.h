#pragma once

#include <array>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace ado::detail
{

// Hex digit values by byte, -1 for anything else: the store sends every text
// as hex digits, so these run over most of the bytes a refresh writes.
inline constexpr std::array<signed char, 256> kHexValues = []
{
    std::array<signed char, 256> values{};
    values.fill(-1);
    for (int c = 0; c < 10; ++c)
        values['0' + c] = static_cast<signed char>(c);
    for (int c = 0; c < 6; ++c)
    {
        values['a' + c] = static_cast<signed char>(10 + c);
        values['A' + c] = static_cast<signed char>(10 + c);
    }
    return values;
}();

inline bool isHexDigit(char c)
{
    return kHexValues[static_cast<unsigned char>(c)] >= 0;
}

#if defined(__SSE2__)
// The values of sixteen hex digits at once; `digits` gets a bit per byte
// (lowest first) that is set where the byte is a hex digit.
inline __m128i hexNibbles(__m128i text, unsigned& digits)
{
    // Signed compares: bytes of 0x80 and above are negative, never digits.
    const __m128i digit = _mm_and_si128(_mm_cmpgt_epi8(text, _mm_set1_epi8('0' - 1)),
                                        _mm_cmplt_epi8(text, _mm_set1_epi8('9' + 1)));
    const __m128i lower = _mm_or_si128(text, _mm_set1_epi8(0x20));
    const __m128i letter = _mm_and_si128(_mm_cmpgt_epi8(lower, _mm_set1_epi8('a' - 1)),
                                         _mm_cmplt_epi8(lower, _mm_set1_epi8('f' + 1)));
    digits = static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(digit, letter)));
    const __m128i digitValue = _mm_and_si128(digit, _mm_sub_epi8(text, _mm_set1_epi8('0')));
    const __m128i letterValue = _mm_and_si128(letter, _mm_sub_epi8(lower, _mm_set1_epi8('a' - 10)));
    return _mm_or_si128(digitValue, letterValue);
}
#endif

} // namespace ado::detail

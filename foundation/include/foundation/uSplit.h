#pragma once

#include "foundation/uString.h"

#include <vector>

// Splitting a C string at a delimiter byte into numbers or texts.
//
// The numeric forms empty the list, then take from each piece (leading white
// space skipped) the run of digits (int, long) or of digits, signs, "." and
// "E"/"e" (float, double) and append its value, read in the C locale. A piece
// without such a run adds nothing, so "-5" gives no integer. Runs longer than
// 63 bytes are cut to 63.
void SplitToIntList(const char* text, char delimiter, std::vector<int>& list);
void SplitToLongList(const char* text, char delimiter, std::vector<long>& list);
void SplitToFloatList(const char* text, char delimiter, std::vector<float>& list);
void SplitToDoubleList(const char* text, char delimiter, std::vector<double>& list);

// The same as new[] arrays owned by the caller (free with delete[]), with the
// element count through `count`; an empty array and 0 when nothing was found,
// null when memory is short.
int* SplitToArray(const char* text, char delimiter, int* count);
long* SplitToLongArray(const char* text, char delimiter, int* count);
float* SplitToFloatArray(const char* text, char delimiter, int* count);
double* SplitToDoubleArray(const char* text, char delimiter, int* count);

// Empties the list and appends every piece that a delimiter ends: the text
// after the last delimiter is no piece ("a;b;c" gives "a" and "b", "a;b;"
// gives the same). Callers that want the last piece end the text with a
// delimiter.
void SplitToList(const char* text, char delimiter, std::vector<uString>& list);

#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

// A growable, NUL-terminated buffer of UTF-8 bytes with an explicit length,
// plus a UTF-16 copy made on demand (getWide).
//
// Lengths and indexes count bytes. Index and count arguments are compared as
// unsigned values, so a negative index counts as past the end. Every C string
// handed out (duplicate, substring, formatAlloc) comes from malloc: free it
// with free(). The same heap backs the string itself, so such a buffer can be
// given back with attach().
//
// Numbers are rendered in the C locale ("%d", "%ld", "%f"); case mapping is
// ASCII only. A uString belongs to one thread at a time.
class uString
{
public:
    // Construction. A null pointer gives the empty text.
    uString();
    uString(const char* text);
    uString(const char* source, int from, int count);
    uString(const char16_t* text);
    uString(std::nullptr_t);
    uString(const uString& other);
    uString(uString&& other) noexcept;
    explicit uString(const uString* other);
    uString(const uString& other, int from, int count);
    virtual ~uString();

    // New heap objects owned by the caller (delete them); null when memory is short.
    static uString* create(const char* source, int from, int count);
    static uString* valueOf(bool value);
    static uString* valueOf(char value);
    static uString* valueOf(int value);
    static uString* valueOf(long value);
    static uString* valueOf(float value);
    static uString* valueOf(double value);
    static uString* valueOf(const char* text);

    // Access.
    const char* c_str() const { return m_data ? m_data : ""; }
    char* getData() { return m_data; }
    const char* getData() const { return m_data; }
    int getLength() const { return static_cast<int>(m_length); }
    int getCapacity() const { return static_cast<int>(m_capacity); }
    bool isEmpty() const { return m_length == 0; }
    // "UTF-8" once text came in from UTF-16 (assignWide, appendWide and their
    // operators), else empty. Kept for callers; the class itself never reads it.
    const char* getEncoding() const { return m_encoding; }

    // Assignment.
    bool assign(const char* text); // null empties the text
    bool assign(const char* source, int from, int count);
    uString& assign(char c); // exactly one byte, byte 0 included
    bool assignWide(const char16_t* source, int from, int to);
    bool assignWide(const char16_t* text);
    uString& operator=(const uString& other);
    uString& operator=(uString&& other) noexcept;
    uString& operator=(const char* text); // null leaves the text unchanged, unlike assign(nullptr)
    uString& operator=(const char16_t* text);
    uString& operator=(char c); // one byte, as assign(char)
    uString& operator=(bool value);
    uString& operator=(int value);
    uString& operator=(long value);
    uString& operator=(float value);
    uString& operator=(double value);
    uString& operator=(const uString*) = delete; // would silently pick operator=(bool)
    uString& operator=(std::nullptr_t) { return *this; }

    // Takes ownership of a malloc'ed C string; 0 means strlen (length) or strlen + 1 (capacity).
    uString& attach(char* buffer, int length = 0, int capacity = 0);
    void setEmpty();
    void clear();
    bool reserve(int n);
    bool setCapacity(int n);

    // Appending. The ...Text and counted forms report success.
    bool appendText(const char* text);
    uString& append(const char* text);
    uString& operator+=(const char* text);
    bool append(const char* source, int from, int count);
    uString& appendRange(const char* source, int from, int count);
    bool appendWide(const char16_t* source, int from, int to);
    uString& appendWideRange(const char16_t* source, int from, int to);
    bool appendWideText(const char16_t* text);
    uString& append(const char16_t* text);
    uString& operator+=(const char16_t* text);
    bool appendString(const uString* other);
    uString& append(const uString* other);
    uString& operator+=(const uString& other);
    uString& append(char c);           // exactly one byte, byte 0 included
    uString& appendCharAsText(char c); // the byte as a one-character C string: byte 0 appends nothing
    uString& operator+=(char c);       // one byte, as append(char)
    uString& append(bool value);
    uString& operator+=(bool value);
    uString& append(int value);
    uString& append(long value);
    uString& operator+=(int value);
    uString& operator+=(long value);
    bool appendInt(int value);
    // Every byte of the buffer, NULs included (unlike the counted append,
    // which stops at a NUL): for bodies received off the network.
    bool appendBytes(const char* bytes, size_t count);
    uString& append(float value);
    uString& append(double value);
    uString& operator+=(float value);
    uString& operator+=(double value);

    // Comparison: −1, 0 or 1 by unsigned byte order; a null argument gives −1.
    int compare(const char* text) const;
    int compare(const uString* other) const;
    bool equals(const char* text) const;
    bool equals(const uString* other) const;
    bool operator==(const char* text) const;   // null compares as the empty text
    int compareNoCase(const char* text) const; // null compares as ""
    int compareNoCase(const uString& other) const;
    bool equalsNoCase(const char* text) const;
    bool equalsNoCase(const uString& other) const;

    // Search: byte indexes, −1 when not found.
    virtual bool contains(const char* needle) const;
    virtual bool contains(const uString& needle) const;
    bool startsWith(const char* needle) const;
    bool startsWith(const uString& needle) const;
    bool startsWith(const char* needle, int at) const;
    bool startsWith(const uString& needle, int at) const;
    bool endsWith(const char* needle) const;
    bool endsWith(const uString& needle) const;
    int findChar(char c) const; // seeking byte 0 gives the length
    int findChar(char c, int from) const;
    int find(const char* needle) const;
    int find(const uString& needle) const;
    int find(const char* needle, int from) const;
    int reverseFindChar(char c) const;
    int reverseFindChar(char c, int n) const;  // among indexes length − n down to 0
    int reverseFind(const char* needle) const; // empty needle gives −1
    int reverseFind(const uString& needle, int n) const;
    char getAt(int i) const;

    // Editing. Inserting at or past the end leaves the text unchanged.
    bool insert(int i, const char* text);
    bool insert(int i, const uString& text);
    bool insert(int i, const char* source, int from, int count);
    bool insert(int i, bool value);
    bool insert(int i, char c);
    bool insert(int i, int value);
    bool insert(int i, long value);
    bool insert(int i, float value);
    bool insert(int i, double value);
    void erase(int a, int b); // nothing when b is past the end or a > b
    void eraseAt(int i);
    bool truncate(int n);
    bool setAt(int i, char c);
    bool replace(const char* a, const char* b); // false when a is empty or absent
    bool replace(const uString& a, const uString& b);
    bool replaceFirst(const char* a, const char* b);
    bool replaceFirst(const uString& a, const uString& b);
    bool replaceRange(int a, int b, const char* text); // false when b is not below the length or a > b
    bool replaceRange(int a, int b, const uString& text);
    void replaceChar(char from, char to); // to == 0 removes every byte `from`
    void makeLower();
    void makeUpper();
    static void toLower(char* text);
    static void toUpper(char* text);
    bool trim();
    bool trimTrailingNewlines();
    bool stripPhp();

    // Conversion and output.
    // UTF-16 copy, valid until the next getWide, assign or append, or the
    // destructor. Ill-formed UTF-8 becomes U+FFFD and the rest is kept.
    const char16_t* getWide();
    char* duplicate() const;
    char* substring(int i) const;
    char* substring(int i, int j) const;
    char* copyRange(int i, int j, char* dest, int at) const;
    bool format(const char* fmt, ...) __attribute__((format(printf, 2, 3)));
    static char* formatAlloc(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
    // Writes min(count, length − start) bytes from start as one record and
    // returns the stream's item count; writes nothing and returns the length
    // when start is past the end.
    size_t write(FILE* stream, int start, int count) const;

    // Character-set conversion is not offered here: each form reports
    // failure and leaves the text as it was (the form with a source empties
    // the string when that source is null or empty; toCharset gives null).
    bool convertCharset(const char* fromCharset, const char* toCharset);
    bool convertCharset(const char* source, int length, const char* fromCharset, const char* toCharset);
    static char* toCharset(const char* text, int length, const char* fromCharset, const char* toCharset,
                           int* convertedLength = nullptr);

private:
    bool ensure(size_t needed);
    bool reallocate(size_t capacity);
    bool setBytes(const char* bytes, size_t count);
    bool appendCounted(const char* source, int from, int count);
    bool insertBytes(size_t at, const char* bytes, size_t count);
    bool replaceBytes(size_t a, size_t b, const char* bytes, size_t count);
    bool appendUtf16(const char16_t* source, size_t count);
    bool replaceAll(const char* a, size_t aLength, const char* b, size_t bLength, bool firstOnly);
    int findBytes(const char* needle, size_t needleLength, size_t from) const;
    void dropWide();
    bool isInside(const char* pointer) const;

    char m_encoding[16] = {};
    char* m_data = nullptr;
    uint32_t m_capacity = 0;
    uint32_t m_length = 0;
    char16_t* m_wide = nullptr;
};

// Byte-wise comparisons over the whole length (embedded NULs included).
bool operator==(const uString& a, const uString& b);
bool operator!=(const uString& a, const uString& b);
bool operator<(const uString& a, const uString& b);

uString operator+(const uString& a, const uString& b);
uString operator+(const uString& a, const char* b);
uString operator+(const char* a, const uString& b);
uString operator+(const uString& a, bool b);
uString operator+(bool a, const uString& b);
uString operator+(const uString& a, char b);
uString operator+(char a, const uString& b);
uString operator+(const uString& a, int b);
uString operator+(int a, const uString& b);
uString operator+(const uString& a, long b);
uString operator+(long a, const uString& b);
uString operator+(const uString& a, float b);
uString operator+(float a, const uString& b);
uString operator+(const uString& a, double b);
uString operator+(double a, const uString& b);

// A 16-bit value paired with a text, kept by the user interface in its lists.
class CNamedValue
{
public:
    CNamedValue(const uString& text, uint16_t value) : value(value), text(text) {}

    uint16_t value;
    uString text;
};

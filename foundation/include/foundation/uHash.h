#pragma once

#include "foundation/uString.h"

#include <cstdint>

// Message digests over byte sequences. The lower-case hex text names cache
// files, .torrent files and transfer identities, so it must stay stable: it is
// computed over exactly the bytes given (UTF-8 as stored), never re-encoded.
//
// Order of use: update (any number of times), final (or hashString, or
// getDigest), then getHexDigest as often as needed; reset starts over.
class uHash
{
public:
    virtual ~uHash();

    // Calls final and copies min(size, digest size) digest bytes to buffer+offset;
    // returns that count (0 for a negative size or a null buffer).
    virtual int getDigest(unsigned char* buffer, int offset, int size);
    // update over the text's bytes, then final.
    virtual const unsigned char* hashString(const char* text);
    virtual const unsigned char* final() = 0;
    virtual int getDigestSize() const = 0;
    virtual void reset() = 0;
    virtual bool getHexDigest(uString& out) = 0;
    // Processes buffer[offset] .. buffer[offset+count-1]; a non-positive count does nothing.
    virtual void update(const unsigned char* buffer, int offset, int count) = 0;
    virtual void updateString(const char* text);
    virtual void updateByte(unsigned char byte);

    // "MD5" or "CRC32".
    const uString& getName() const { return m_name; }

protected:
    explicit uHash(const char* name);

private:
    uString m_name;
};

// MD5 (RFC 1321) whose four initial chaining words can be shifted by a seed;
// seed 0 is the standard MD5. final does not reset: a second final pads again.
class uMD5 : public uHash
{
public:
    explicit uMD5(std::uint32_t seed);

    const unsigned char* final() override;
    int getDigestSize() const override { return 16; }
    void reset() override;
    // The 16 bytes of the last final as 32 lower-case hex digits; does not call final.
    bool getHexDigest(uString& out) override;
    void update(const unsigned char* buffer, int offset, int count) override;

private:
    void transform(const unsigned char block[64]);

    std::uint32_t m_countLow = 0; // bit count, low word
    std::uint32_t m_countHigh = 0;
    std::uint32_t m_state[4] = {};
    unsigned char m_block[64] = {};
    unsigned char m_digest[16] = {}; // zero until the first final
    std::uint32_t m_seed;
};

// CRC-32 of IEEE 802.3 (reflected polynomial 0xEDB88320). final complements
// the register in place, so a second final gives the register back.
class uCRC32 : public uHash
{
public:
    uCRC32();

    // The register's 4 bytes, least significant first.
    const unsigned char* final() override;
    int getDigestSize() const override { return 4; }
    void reset() override;
    // The register as it stands, 8 lower-case hex digits, most significant first.
    bool getHexDigest(uString& out) override;
    void update(const unsigned char* buffer, int offset, int count) override;

private:
    std::uint32_t m_register = 0xFFFFFFFFu;
    unsigned char m_bytes[4] = {};
};

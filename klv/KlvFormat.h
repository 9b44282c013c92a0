#pragma once
#include "KlvMetadata.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

// The wire rules the reader and the writer share: the UAS Datalink Local Set
// key, BER lengths, BER-OID tags, the checksum and the integer mapping of the
// numeric tags. A packet is key, BER length, then tag/length/value items with
// the checksum item (tag 1, length 2) last.

inline constexpr std::array<uint8_t, 16> kKlvUasLocalSetKey = {0x06, 0x0E, 0x2B, 0x34, 0x02, 0x0B, 0x01, 0x01,
                                                               0x0E, 0x01, 0x03, 0x01, 0x01, 0x00, 0x00, 0x00};

enum : uint32_t
{
    kKlvTagChecksum = 1,
    kKlvTagTimeStamp = 2,
    kKlvTagVersion = 65,
};

// 16-bit sum of nCount bytes, those at even positions as the high byte of a
// big-endian word: from the key's first byte to the checksum item's length byte.
uint16_t KlvChecksum(const uint8_t* pData, size_t nCount);

enum class eKlvField
{
    Ok,
    Short,  // the field runs past nEnd
    Bad,    // a form the format does not allow
};

// BER length at pData[nPos], reading nothing at or after nEnd: short form
// (0..127) or long form (0x81..0x88 then that many bytes); the indefinite form
// 0x80 is not KLV. On Ok, nPos is past the field.
eKlvField KlvReadBerLength(const uint8_t* pData, size_t& nPos, size_t nEnd, uint64_t& nLength);
// BER-OID tag: 7 bits a byte, high bit set on all but the last; at most four
// bytes (tags below 2^28).
eKlvField KlvReadTag(const uint8_t* pData, size_t& nPos, size_t nEnd, uint32_t& nTag);

void KlvAppendBerLength(std::vector<uint8_t>& bytes, uint64_t nLength);
void KlvAppendTag(std::vector<uint8_t>& bytes, uint32_t nTag);

// A tag whose value is an integer mapped linearly onto dMin..dMax. Unsigned:
// 0..2^(8n)-1 onto dMin..dMax. Signed: -(2^(8n-1)-1)..2^(8n-1)-1 onto
// -dMax..dMax, and -2^(8n-1) is the tag's "out of range"/"error" value.
struct KlvMappedTag
{
    enum class eBeyond
    {
        Wrap,       // an angle around the circle: written modulo the range
        Clamp,      // written as the nearest end of the range
        Indicator,  // written as the "out of range"/"error" value (signed tags only)
    };

    uint32_t nTag;
    uint8_t nBytes;  // 2 or 4
    bool bSigned;
    double dMin;
    double dMax;
    eBeyond eWriteBeyond;  // what the writer does with a value outside dMin..dMax
    std::optional<double> KlvMetadata::*pField;

    // The value of nBytes big-endian bytes; empty for the indicator.
    std::optional<double> Decode(const uint8_t* pValue) const;
    // nBytes big-endian bytes; false (nothing appended) for a value that is
    // not a number.
    bool Append(std::vector<uint8_t>& bytes, double dValue) const;
    // Half a step of the mapping: the most a written value moves.
    double HalfStep() const;
};

// Every mapped tag, in ascending tag order.
std::span<const KlvMappedTag> KlvMappedTags();
const KlvMappedTag* KlvFindMappedTag(uint32_t nTag);

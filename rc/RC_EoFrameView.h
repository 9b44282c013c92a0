#pragma once
#include <cstddef>
#include <cstdint>

// Reads one received EO track or tag report in place:
//   77 id L(2, big-endian, whole frame) format timestamp(8) count records... cs.
// Records are the whole ones between the header and the checksum (the last
// byte), however many the count claims. Bytes too few for the header and the
// checksum make a view that is not valid and has no fields: each reads 0 and
// no record is there.
class RC_EoFrameView
{
public:
    static constexpr size_t kHeader = 14;

    // A frame as the framer handed it on: nLength bytes from pFrame.
    RC_EoFrameView(const uint8_t* pFrame, int32_t nLength);

    // The identifier decides which report a frame was meant for before its
    // length is judged, so it alone is read from any two bytes or more (0 otherwise).
    static uint8_t IdOf(const uint8_t* pFrame, int32_t nLength);

    bool IsValid() const { return m_pFrame != nullptr; }
    size_t Size() const { return m_nSize; }

    uint8_t Id() const { return Byte(1); }
    uint16_t LengthField() const { return static_cast<uint16_t>(Byte(2) << 8 | Byte(3)); }
    uint8_t Format() const { return Byte(4); }
    uint64_t Timestamp() const;
    uint8_t TrackCount() const { return Byte(13); }  // as claimed

    // How many records of nRecordSize bytes lie whole before the checksum (0 for size 0).
    size_t WholeRecords(size_t nRecordSize) const;
    // The first byte of record nRecord; null unless it is one of the whole records.
    const uint8_t* Record(size_t nRecord, size_t nRecordSize) const;

private:
    uint8_t Byte(size_t nPos) const { return m_pFrame ? m_pFrame[nPos] : 0; }

    const uint8_t* m_pFrame = nullptr;  // null unless valid
    size_t m_nSize = 0;
};

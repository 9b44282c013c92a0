#pragma once
#include "RC_Variant.h"

#include <cstddef>
#include <cstdint>

// Reads one received page-protocol frame in place; RC_Frame builds them.
//  - command frames: short 10 sub 00 N payload cs, long 99 sub idx 00 N payload cs;
//  - status frames: short 10 sub status N payload cs,
//    long 99 sub idx status L(2, big-endian, whole frame) payload cs.
// The payload is what lies between the header and the checksum (the last
// byte), whatever the length field says: the framer has already cut the frame
// by that field, and a view never reads outside the bytes it was given. Bytes
// too few for the header and the checksum make a view that is not valid and
// has no fields: each reads 0 and the payload is empty.
class RC_FrameView
{
public:
    // Where heartbeats come from and go to; they are long frames in both directions.
    static constexpr uint8_t kHeartbeatSubSystem = 0;
    static constexpr uint8_t kHeartbeatIndex = 1;

    // A frame as the framer handed it on: nLength bytes from pFrame.
    static RC_FrameView Command(RC_Variant eVariant, const uint8_t* pFrame, int32_t nLength);
    static RC_FrameView Status(RC_Variant eVariant, const uint8_t* pFrame, int32_t nLength);

    bool IsValid() const { return m_pFrame != nullptr; }
    bool IsLong() const { return m_bLong; }
    size_t Size() const { return m_nSize; }

    uint8_t SubSystem() const { return Byte(1); }
    uint8_t Index() const { return m_bLong ? Byte(2) : 0; }  // short frames carry none
    uint8_t Status() const { return Byte(m_bLong ? 3 : 2); }  // sent as 0 in a command
    // As sent: the payload count, except in long status frames, where it is the whole frame.
    uint16_t LengthField() const;

    const uint8_t* Payload() const { return m_pFrame ? m_pFrame + m_nHeader : nullptr; }
    size_t PayloadSize() const { return m_pFrame ? m_nSize - m_nHeader - 1 : 0; }

    bool IsHeartbeat() const;
    // The heartbeat's first two payload bytes; false when this is no heartbeat
    // or its payload is shorter.
    bool ReadHeartbeat(uint8_t& nMissed, uint8_t& nState) const;

private:
    RC_FrameView(const uint8_t* pFrame, int32_t nLength, size_t nHeader, bool bLong);

    uint8_t Byte(size_t nPos) const { return m_pFrame ? m_pFrame[nPos] : 0; }

    const uint8_t* m_pFrame = nullptr;  // null unless valid
    size_t m_nSize = 0;
    size_t m_nHeader = 0;
    bool m_bLong = false;
};

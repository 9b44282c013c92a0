#pragma once
#include "RC_FrameSync.h"
#include "RC_Variant.h"

#include <array>
#include <cstddef>
#include <cstdint>

class RC_Payload;

// One whole frame, built in place without allocating; RC_FrameView reads them.
//  - command frames (console to remote): short 10 sub 00 N payload cs,
//    long 99 sub idx 00 N payload cs;
//  - status frames (remote to console): short 10 sub status N payload cs,
//    long 99 sub idx status L(2, big-endian, whole frame) payload cs.
class RC_Frame
{
public:
    static constexpr uint8_t kShortSync = RC_ShortSync;
    static constexpr uint8_t kLongSync = RC_LongSync;
    static constexpr uint8_t kEoSync = RC_EoSync;
    static constexpr size_t kMaxFrame = 1022;  // the most the receive framer accepts

    // False for an unknown variant.
    bool BuildCommand(RC_Variant eVariant, uint8_t nSubSystem, uint8_t nIndex, const RC_Payload& payload);
    bool BuildCommand(RC_Variant eVariant, uint8_t nSubSystem, uint8_t nIndex, const uint8_t* pPayload, size_t nCount);
    bool BuildStatus(RC_Variant eVariant, uint8_t nSubSystem, uint8_t nIndex, uint8_t nStatus, const uint8_t* pPayload,
                     size_t nCount);

    const uint8_t* Data() const { return m_Bytes.data(); }
    size_t Size() const { return m_nSize; }

private:
    bool Finish(size_t nHeader, const uint8_t* pPayload, size_t nCount);

    std::array<uint8_t, kMaxFrame> m_Bytes{};
    size_t m_nSize = 0;
};

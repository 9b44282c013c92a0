#pragma once
#include <cstdint>

// One registered frame kind of the receive framer.
struct MsgDescriptor
{
    // Receives the owner, the frame bytes (valid only during the call), the
    // frame length and the receive time of its first byte.
    using Callback = void (*)(void* pOwner, const uint8_t* pFrame, int32_t nLength, int64_t nTime);

    enum Mode : int32_t
    {
        kOneByteLength = 1,
        kTwoByteLength = 2,  // big-endian; the length position names the low byte
        kTerminated = 3,
        // any other value: fixed length, given by the adjustment
    };

    uint8_t nSync = 0;
    bool bCheckSecondByte = false;
    uint8_t nSecondByte = 1;  // or the terminator in terminated mode
    int32_t nMode = 0;
    int32_t nLengthPos = 2;
    int32_t nLengthAdjust = 3;
    void* pOwner = nullptr;
    bool bFlushAllowed = false;
    Callback fnCallback = nullptr;
};

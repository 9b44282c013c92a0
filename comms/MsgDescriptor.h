#pragma once
#include <cstdint>
#include <functional>

// One registered frame kind of the receive framer.
struct MsgDescriptor
{
    // Receives the frame bytes (valid only during the call), the frame length
    // and the receive time of its first byte, on the receive thread.
    using Handler = std::function<void(const uint8_t* pFrame, int32_t nLength, int64_t nTime)>;

    enum Mode : int32_t
    {
        kFixedLength = 0,  // as is any value not named here; the length is the adjustment
        kOneByteLength = 1,
        kTwoByteLength = 2,  // big-endian; the length position names the low byte
        kTerminated = 3,
    };

    uint8_t nSync = 0;
    bool bCheckSecondByte = false;
    uint8_t nSecondByte = 1;  // or the terminator in terminated mode
    int32_t nMode = kFixedLength;
    int32_t nLengthPos = 2;
    int32_t nLengthAdjust = 3;
    bool bFlushAllowed = false;
    Handler fnHandler;  // none: frames are logged as unknown and dropped
};

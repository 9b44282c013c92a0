#pragma once
#include <cstdint>

// First byte of each frame kind on the remote-control wire. The transports
// need them to classify heartbeats, the protocol objects to build and cut frames.
constexpr uint8_t RC_ShortSync = 0x10;
constexpr uint8_t RC_LongSync = 0x99;
constexpr uint8_t RC_EoSync = 0x77;

inline bool RC_IsSync(uint8_t nByte)
{
    return nByte == RC_ShortSync || nByte == RC_LongSync || nByte == RC_EoSync;
}

#pragma once
#include <cstdint>

// The protocol variant, chosen by the console's nControllerType setting; the
// numbers are the ones the settings files hold. Any other number is kept as it
// is and refused by whatever needs a known variant.
enum class RC_Variant : int32_t
{
    ShortFrames = 0,  // sync 0x10, no index byte
    LongFrames = 1,   // sync 0x99 with an index byte; the VMS, which may exchange heartbeats
};

inline bool RC_IsKnownVariant(RC_Variant eVariant)
{
    return eVariant == RC_Variant::ShortFrames || eVariant == RC_Variant::LongFrames;
}

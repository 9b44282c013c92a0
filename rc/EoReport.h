#pragma once
#include "RC_ItemValue.h"

#include <array>
#include <cstdint>

// One decoded EO track or tag report: header and up to 32 track entries.
// An entry the report did not fill stays all zero.
struct EoTrack
{
    struct Value
    {
        bool bValid = false;
        int32_t nValue = 0;
    };

    bool bIdValid = false;
    uint32_t nId = 0;
    Value xPosn;
    Value yPosn;
    Value xSize;
    Value ySize;
    bool bRangePresent = false;
    Value range;
    bool bExtraPresent = false;
    RC_FixedValue extra1;
    RC_FixedValue extra2;
    RC_ByteValue status;
    RC_ByteValue confidence;
    RC_FixedValue lifetime;
    RC_U16Value priority;
};

struct EoReport
{
    static constexpr size_t kMaxTracks = 32;

    RC_ByteValue format;
    RC_U64Value timestamp;
    RC_ByteValue numTracks;
    std::array<EoTrack, kMaxTracks> tracks;
};

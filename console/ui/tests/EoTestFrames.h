#pragma once
#include "RC_Checksum.h"
#include "RC_Codec.h"

#include <cstdint>
#include <vector>

// EO track frames as the remote system sends them, built byte by byte from
// the record layouts, for tests that play the remote system.
namespace eo_test
{
struct Track
{
    uint32_t nId = 1;
    int32_t nX = 0, nY = 0, nSizeX = 0, nSizeY = 0;  // whole pixels
    int32_t nRange = 0;
    uint8_t nStatus = 1;
    uint8_t nConfidence = 0;
    int32_t nLifetimeRaw = 0;  // Fixed
    uint16_t nPriority = 0;
};

inline std::vector<uint8_t> Frame(uint8_t nIdentifier, uint8_t nFormat, uint64_t nTimestamp,
                                  const std::vector<Track>& tracks)
{
    const bool bPlain = nFormat >= 30 && nFormat <= 32;
    const bool bRange = nFormat == 1 || nFormat == 9;
    const bool bExtra = nFormat == 33;
    const size_t nRecord = bExtra ? 50 : bRange ? 32 : 28;
    std::vector<uint8_t> frame(14 + nRecord * tracks.size() + 1, 0);
    frame[0] = 0x77;
    frame[1] = nIdentifier;
    RC_Codec::PutU16(&frame[2], static_cast<uint16_t>(frame.size()));
    frame[4] = nFormat;
    RC_Codec::PutU64(&frame[5], nTimestamp);
    frame[13] = static_cast<uint8_t>(tracks.size());
    for (size_t n = 0; n < tracks.size(); ++n)
    {
        const Track& t = tracks[n];
        uint8_t* p = &frame[14 + n * nRecord];
        RC_Codec::PutU32(p, t.nId);
        const int32_t positions[] = {t.nX, t.nY, t.nSizeX, t.nSizeY};
        for (size_t i = 0; i < 4; ++i)
            RC_Codec::PutU32(p + 4 + 4 * i, static_cast<uint32_t>(bPlain ? positions[i] : positions[i] * 4096));
        size_t nTail = 20;
        if (bRange)
        {
            RC_Codec::PutU32(p + 20, static_cast<uint32_t>(t.nRange * 4096));
            nTail = 24;
        }
        else if (bExtra)
        {
            nTail = 28;
        }
        p[nTail] = t.nStatus;
        p[nTail + 1] = t.nConfidence;
        RC_Codec::PutU32(p + nTail + 2, static_cast<uint32_t>(t.nLifetimeRaw));
        RC_Codec::PutU16(p + nTail + 6, t.nPriority);
    }
    frame.back() = RC_Checksum(frame.data(), frame.size() - 1);
    return frame;
}
} // namespace eo_test

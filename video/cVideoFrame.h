#pragma once
#include "KlvMetadata.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>

// One decoded picture, 32 bits a pixel in memory order B, G, R, x (what a
// QImage of Format_RGB32 paints without a copy). The pixels stay the
// decoder's until the last copy of the frame goes: no bytes are copied on
// the way to the painter.
struct cVideoFrame
{
    using WallClock = std::chrono::system_clock;

    int32_t nWidth = 0;
    int32_t nHeight = 0;
    int32_t nStride = 0;  // bytes from one row to the next
    std::shared_ptr<const uint8_t> pPixels;
    int64_t nPtsNs = -1;                // presentation time in the stream; -1 when it has none
    WallClock::time_point arrival;      // when the decoder handed it over
    uint64_t nKlvTimeUs = 0;            // the matching metadata's time stamp; 0 without one
    std::optional<KlvMetadata> klv;     // the metadata of the frame's time, or the latest before it
};

#pragma once
#include "KlvMetadata.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <utility>

// The metadata packets of the last couple of seconds by presentation time,
// for the decoded frames to find theirs: the packet of the frame's own time,
// or else the latest before it, as long as that is no older than kMostBehindNs
// (a stream whose metadata stopped has frames without any). The demuxer hands
// packets over on its thread and the decoder's frames look them up on
// another; both under the one lock.
class cKlvTimeline
{
public:
    static constexpr size_t kMostKept = 64;
    // A time this far behind the newest is a new stream (the sender restarted).
    static constexpr int64_t kRestartBackwardsNs = 1000000000;
    // Metadata this much older than a frame no longer describes it.
    static constexpr int64_t kMostBehindNs = 1000000000;

    // nPtsNs -1: the packet had no time; it then goes with the frames that follow it.
    void Add(int64_t nPtsNs, const KlvMetadata& metadata);
    // A frame without a time (-1) takes the newest packet.
    std::optional<KlvMetadata> Match(int64_t nPtsNs) const;
    void Clear();

private:
    mutable std::mutex m_Mutex;  // guards m_Packets
    std::deque<std::pair<int64_t, KlvMetadata>> m_Packets;  // by time, oldest first
};

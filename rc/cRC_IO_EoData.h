#pragma once
#include "EoReport.h"
#include "cRC_IO.h"

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <mutex>

class RC_EoFrameView;
class cRC_LinkQuality;

// Receives the remote system's EO track and tag reports on a connection of
// its own and keeps the latest of each. The receive thread rewrites a report
// under its lock; readers take whole copies under the same lock.
class cRC_IO_EoData : public cRC_IO
{
public:
    cRC_IO_EoData();
    ~cRC_IO_EoData() override;

    using cRC_IO::initialise;
    bool initialise(const CommsSettings& settings, const char* szName) override;
    bool loadRxMsgDescriptors() override;
    void handleMessage(const uint8_t* pFrame, int32_t nLength, int64_t nTime) override;

    using Clock = std::chrono::steady_clock;

    EoReport CopyTrackData() const;
    EoReport CopyTagData() const;
    // The same, with when the report arrived (the clock's epoch while none has).
    EoReport CopyTrackData(Clock::time_point& receivedAt) const;
    EoReport CopyTagData(Clock::time_point& receivedAt) const;
    // Where frames and reports are recorded for the link figures (null:
    // nowhere). It must outlive this object.
    void SetLinkQuality(cRC_LinkQuality* pQuality) { m_pLinkQuality = pQuality; }

    // Bytes per track record of a format; 0 for a format that is not known.
    static size_t RecordSize(uint8_t nFormat);
    // Decodes one report into a buffer, only the whole records it holds; false
    // when its format is not known.
    static bool Decode(const RC_EoFrameView& frame, EoReport& report);

private:
    static void DecodeTrack(const uint8_t* pRecord, uint8_t nFormat, EoTrack& track);

    mutable std::mutex m_TrackMutex;
    EoReport m_TrackData;
    Clock::time_point m_TrackReceivedAt;
    mutable std::mutex m_TagMutex;
    EoReport m_TagData;
    Clock::time_point m_TagReceivedAt;
    std::atomic<cRC_LinkQuality*> m_pLinkQuality{nullptr};
};

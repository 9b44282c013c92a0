#include "cSimFaults.h"

#include "RC_Checksum.h"
#include "RC_Frame.h"
#include "cSimOptions.h"

cSimFaults::Settings cSimFaults::From(const cSimOptions& options)
{
    Settings settings;
    settings.nBadChecksumEvery = options.m_nBadChecksumEvery;
    settings.nBadStatus = options.m_nBadStatus;
    settings.nBadStatusEvery = options.m_nBadStatusEvery;
    settings.nUnknownItemEvery = options.m_nUnknownItemEvery;
    settings.silence = Window{options.m_dSilenceAfter, options.m_dSilenceFor};
    settings.noHeartbeat = Window{options.m_dNoHeartbeatAfter, options.m_dNoHeartbeatFor};
    settings.bShortFrames = options.m_bShortFrames;
    return settings;
}

uint8_t cSimFaults::StatusFor(uint8_t nStatus)
{
    if (m_Settings.nBadStatus == 0)
        return nStatus;
    std::lock_guard<std::mutex> lock(m_Mutex);
    if (++m_nStatusFrames % static_cast<uint32_t>(m_Settings.nBadStatusEvery) != 0)
        return nStatus;
    return static_cast<uint8_t>((nStatus & 0xC3) | (m_Settings.nBadStatus & 0x0F) << 2);
}

bool cSimFaults::LeadWithUnknownItem()
{
    if (m_Settings.nUnknownItemEvery == 0)
        return false;
    std::lock_guard<std::mutex> lock(m_Mutex);
    return ++m_nUnknownFrames % static_cast<uint32_t>(m_Settings.nUnknownItemEvery) == 0;
}

bool cSimFaults::Finish(eLink eLink, std::vector<uint8_t>& frame, double dSeconds)
{
    if (Silent(dSeconds))
        return false;
    if (m_Settings.bShortFrames)
        Shorten(frame);
    if (m_Settings.nBadChecksumEvery != 0 && !frame.empty())
    {
        std::lock_guard<std::mutex> lock(m_Mutex);
        if (++m_nFramesSent[eLink] % static_cast<uint32_t>(m_Settings.nBadChecksumEvery) == 0)
            ++frame.back();
    }
    return true;
}

bool cSimFaults::Shorten(std::vector<uint8_t>& frame)
{
    if (frame.empty())
        return false;
    // Header size and where the length field sits (one byte: payload, two: whole frame).
    size_t nHeader = 0;
    size_t nLengthPos = 0;
    switch (frame[0])
    {
    case RC_Frame::kShortSync: nHeader = 4; nLengthPos = 3; break;
    case RC_Frame::kLongSync: nHeader = 6; nLengthPos = 4; break;
    case RC_Frame::kEoSync: nHeader = 4; nLengthPos = 2; break;
    default: return false;
    }
    if (frame.size() <= nHeader + 1)
        return false;  // no payload byte to take away
    if (frame[0] == RC_Frame::kShortSync)
    {
        --frame[nLengthPos];
    }
    else
    {
        const uint16_t nLength = static_cast<uint16_t>((frame[nLengthPos] << 8 | frame[nLengthPos + 1]) - 1);
        frame[nLengthPos] = static_cast<uint8_t>(nLength >> 8);
        frame[nLengthPos + 1] = static_cast<uint8_t>(nLength);
    }
    frame.erase(frame.end() - 2);
    frame.back() = RC_Checksum(frame.data(), frame.size() - 1);
    return true;
}

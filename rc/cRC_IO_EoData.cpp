#include "cRC_IO_EoData.h"

#include "DbgLog.h"
#include "RC_Codec.h"
#include "RC_EoFrameView.h"
#include "RC_Frame.h"
#include "cCommsIF.h"
#include "cRC_LinkQuality.h"
#include "cRxProtocol.h"

namespace
{
int32_t FixedInt(const uint8_t* p)
{
    int32_t nRaw = 0;
    RC_Codec::ReadFixed(p, 0, 4, nRaw);
    return RC_Codec::FixedToInt(nRaw);
}

int32_t PlainInt(const uint8_t* p)
{
    uint32_t nValue = 0;
    RC_Codec::ReadU32(p, 0, 4, nValue);
    return static_cast<int32_t>(nValue);
}

void DecodeInto(RC_ItemValue& holder, const uint8_t* p, size_t nSize)
{
    size_t nConsumed = 0;
    holder.Decode(p, 0, nSize, nConsumed);
}
} // namespace

cRC_IO_EoData::cRC_IO_EoData() : cRC_IO("cRC_IO_EoData")
{
    m_eTapLink = cTrafficTap::Link::kEo;
}

cRC_IO_EoData::~cRC_IO_EoData()
{
    close();
}

bool cRC_IO_EoData::initialise(const CommsSettings& settings, const char* szName)
{
    static const InitLog kLog{"cRC_IO_EoData::initialise", 31, 57, 64, 83};
    if (!Initialise(settings, szName, settings.nEoTxPort, settings.nEoRxPort, settings.sEoAllowedPeers, kLog))
        return false;
    // Over UDP an empty datagram tells the remote system where to send.
    if (CommsMethod() == CommsSettings::kUdp)
        sendMessage(nullptr, 0);
    return true;
}

bool cRC_IO_EoData::loadRxMsgDescriptors()
{
    cCommsIF* pCommsIF = getCommsIF();
    if (!pCommsIF || !pCommsIF->loadProtocol(nullptr))
    {
        DbgLog(DBG_ERR, "cRC_IO_EoData::loadRxMsgDescriptors", 255, "m_pUdpIF->loadProtocol failed");
        return false;
    }
    pCommsIF->getProtocol()->m_nDefaultSync = RC_Frame::kEoSync;
    return pCommsIF->getProtocol()->LoadMsgDescriptor(MsgDescriptor::kTwoByteLength, 3, 0, this) == 0;
}

size_t cRC_IO_EoData::RecordSize(uint8_t nFormat)
{
    switch (nFormat)
    {
    case 0:
    case 8:
    case 30:
    case 31:
    case 32: return 28;
    case 1:
    case 9: return 32;
    case 33: return 50;
    default: return 0;
    }
}

void cRC_IO_EoData::handleMessage(const uint8_t* pFrame, int32_t nLength, int64_t)
{
    cRC_LinkQuality* pQuality = m_pLinkQuality.load();
    const auto now = std::chrono::steady_clock::now();
    if (pQuality && nLength > 0)
        pQuality->FrameReceived(cRC_LinkQuality::Link::kEo, pFrame, static_cast<size_t>(nLength), now);
    std::mutex* pMutex = nullptr;
    EoReport* pReport = nullptr;
    Clock::time_point* pReceivedAt = nullptr;
    switch (RC_EoFrameView::IdOf(pFrame, nLength))
    {
    case 7:
    case 9:
        pMutex = &m_TrackMutex;
        pReport = &m_TrackData;
        pReceivedAt = &m_TrackReceivedAt;
        break;
    case 8:
        pMutex = &m_TagMutex;
        pReport = &m_TagData;
        pReceivedAt = &m_TagReceivedAt;
        break;
    default:
        DbgLog(DBG_WRN, "cRC_IO_EoData::handleMessage", 142, "Received unexpected message ID");
        return;
    }
    const RC_EoFrameView frame(pFrame, nLength);
    if (!frame.IsValid())
    {
        // The header alone needs 14 bytes and the checksum one more.
        DbgLog(DBG_WRN, "cRC_IO_EoData::handleMessage", __LINE__, DbgLogFormat("Track report of %d bytes is too short", nLength));
        return;
    }
    if (pQuality)
        pQuality->EoReportReceived(now);
    std::lock_guard<std::mutex> lock(*pMutex);
    *pReceivedAt = now;
    if (!Decode(frame, *pReport))
    {
        DbgLog(DBG_WRN, "cRC_IO_EoData::handleMessage", 242, "Received unexpected track data format");
        *pReport = EoReport();
    }
}

bool cRC_IO_EoData::Decode(const RC_EoFrameView& frame, EoReport& report)
{
    report = EoReport();
    report.format.Set(frame.Format());
    report.timestamp.Set(frame.Timestamp());
    report.numTracks.Set(frame.TrackCount());

    const uint8_t nFormat = frame.Format();
    size_t nCount = std::min<size_t>(frame.TrackCount(), EoReport::kMaxTracks);
    if (nCount == 0)
        return true;
    const size_t nRecordSize = RecordSize(nFormat);
    if (nRecordSize == 0)
        return false;
    nCount = std::min(nCount, frame.WholeRecords(nRecordSize));
    for (size_t i = 0; i < nCount; ++i)
        DecodeTrack(frame.Record(i, nRecordSize), nFormat, report.tracks[i]);
    return true;
}

void cRC_IO_EoData::DecodeTrack(const uint8_t* p, uint8_t nFormat, EoTrack& track)
{
    uint32_t nId = 0;
    RC_Codec::ReadU32(p, 0, 4, nId);
    track.nId = nId;
    track.bIdValid = true;

    const bool bPlain = nFormat >= 30 && nFormat <= 32;
    EoTrack::Value* positions[4] = {&track.xPosn, &track.yPosn, &track.xSize, &track.ySize};
    for (size_t i = 0; i < 4; ++i)
        *positions[i] = {true, bPlain ? PlainInt(p + 4 + 4 * i) : FixedInt(p + 4 + 4 * i)};

    size_t nTail = 20;  // offset of Status
    track.range = {false, -1};
    if (nFormat == 1 || nFormat == 9)
    {
        track.bRangePresent = true;
        track.range = {true, FixedInt(p + 20)};
        nTail = 24;
    }
    else if (nFormat == 33)
    {
        track.bExtraPresent = true;
        DecodeInto(track.extra1, p + 20, 4);
        DecodeInto(track.extra2, p + 24, 4);
        nTail = 28;
    }
    DecodeInto(track.status, p + nTail, 1);
    DecodeInto(track.confidence, p + nTail + 1, 1);
    DecodeInto(track.lifetime, p + nTail + 2, 4);
    DecodeInto(track.priority, p + nTail + 6, 2);
}

EoReport cRC_IO_EoData::CopyTrackData() const
{
    std::lock_guard<std::mutex> lock(m_TrackMutex);
    return m_TrackData;
}

EoReport cRC_IO_EoData::CopyTagData() const
{
    std::lock_guard<std::mutex> lock(m_TagMutex);
    return m_TagData;
}

EoReport cRC_IO_EoData::CopyTrackData(Clock::time_point& receivedAt) const
{
    std::lock_guard<std::mutex> lock(m_TrackMutex);
    receivedAt = m_TrackReceivedAt;
    return m_TrackData;
}

EoReport cRC_IO_EoData::CopyTagData(Clock::time_point& receivedAt) const
{
    std::lock_guard<std::mutex> lock(m_TagMutex);
    receivedAt = m_TagReceivedAt;
    return m_TagData;
}

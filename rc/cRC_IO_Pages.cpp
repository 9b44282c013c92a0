#include "cRC_IO_Pages.h"

#include "DbgLog.h"
#include "RC_Frame.h"
#include "RC_FrameView.h"
#include "RC_ItemValue.h"
#include "RC_Payload.h"
#include "cCommsIF.h"
#include "cPageList.h"
#include "cRC_LinkQuality.h"
#include "cRxProtocol.h"

cRC_IO_Pages::cRC_IO_Pages(RC_Variant nControllerType, bool bStartTimer)
    : cRC_IO("cRC_IO_Pages"), m_Watch(nControllerType == RC_Variant::LongFrames), m_nControllerType(nControllerType)
{
    ExpectFrames(nControllerType == RC_Variant::LongFrames ? RC_DatagramKind::Long : RC_DatagramKind::Short);
    m_TimerHB.m_sigTimer.connect([this] { MM_TimerHB_Handling(); });
    if (bStartTimer)
        m_TimerHB.start(100, true);
}

cRC_IO_Pages::~cRC_IO_Pages()
{
    m_TimerHB.stop(true);
    StopAllPeriodicRequests();
    close();
}

bool cRC_IO_Pages::loadRxMsgDescriptors()
{
    cCommsIF* pCommsIF = getCommsIF();
    if (!pCommsIF || !pCommsIF->loadProtocol(nullptr))
    {
        DbgLog(DBG_ERR, "cRC_IO_Pages::loadRxMsgDescriptors", 759, "m_pUdpIF->loadProtocol failed");
        return false;
    }
    cRxProtocol* pFramer = pCommsIF->getProtocol();
    switch (m_nControllerType)
    {
    case RC_Variant::ShortFrames:
        pFramer->m_nDefaultSync = RC_Frame::kShortSync;
        return pFramer->LoadMsgDescriptor(MsgDescriptor::kOneByteLength, 3, 5, this) == 0;
    case RC_Variant::LongFrames:
        pFramer->m_nDefaultSync = RC_Frame::kLongSync;
        return pFramer->LoadMsgDescriptor(MsgDescriptor::kTwoByteLength, 5, 0, this) == 0;
    }
    return false;
}

bool cRC_IO_Pages::SendValue(uint8_t nSubSystem, uint8_t nIndex, uint8_t nItem, const RC_ItemValue& value)
{
    RC_Payload payload;
    if (!payload.AddValue(nItem, value))
    {
        // Only a text can outgrow the one-byte payload length: item, length
        // byte, text and NUL must fit in 255 bytes.
        DbgLog(DBG_WRN, "cRC_IO_Pages::SendString", __LINE__,
               DbgLogFormat("Text of %zu characters is too long to send (at most 252)", value.ToText().size()));
        return false;
    }
    return Send(nSubSystem, nIndex, payload);
}

bool cRC_IO_Pages::SendQuery(uint8_t nSubSystem, uint8_t nIndex, uint8_t nItem)
{
    RC_Payload payload;
    return payload.AddQuery(nItem) && SendRequest(nSubSystem, nIndex, nItem, payload);
}

bool cRC_IO_Pages::SendByte(uint8_t nSubSystem, uint8_t nIndex, uint8_t nItem, uint8_t nValue)
{
    return SendValue(nSubSystem, nIndex, nItem, RC_ByteValue(nValue));
}

bool cRC_IO_Pages::SendU16(uint8_t nSubSystem, uint8_t nIndex, uint8_t nItem, uint16_t nValue)
{
    return SendValue(nSubSystem, nIndex, nItem, RC_U16Value(nValue));
}

bool cRC_IO_Pages::SendS16(uint8_t nSubSystem, uint8_t nIndex, uint8_t nItem, int16_t nValue)
{
    return SendValue(nSubSystem, nIndex, nItem, RC_S16Value(nValue));
}

bool cRC_IO_Pages::SendU32(uint8_t nSubSystem, uint8_t nIndex, uint8_t nItem, uint32_t nValue)
{
    return SendValue(nSubSystem, nIndex, nItem, RC_U32Value(nValue));
}

bool cRC_IO_Pages::SendS32(uint8_t nSubSystem, uint8_t nIndex, uint8_t nItem, int32_t nValue)
{
    return SendValue(nSubSystem, nIndex, nItem, RC_S32Value(nValue));
}

bool cRC_IO_Pages::SendFloat(uint8_t nSubSystem, uint8_t nIndex, uint8_t nItem, float fValue)
{
    return SendValue(nSubSystem, nIndex, nItem, RC_FloatValue(fValue));
}

bool cRC_IO_Pages::SendString(uint8_t nSubSystem, uint8_t nIndex, uint8_t nItem, const std::string& sText)
{
    return SendValue(nSubSystem, nIndex, nItem, RC_StringValue(sText));
}

bool cRC_IO_Pages::SendFixedPair(uint8_t nSubSystem, uint8_t nIndex, uint8_t nItem1, float fValue1, uint8_t nItem2,
                                 float fValue2)
{
    return SendPair(nSubSystem, nIndex, nItem1, RC_FixedValue(RC_Codec::FloatToFixed(fValue1)), nItem2,
                    RC_FixedValue(RC_Codec::FloatToFixed(fValue2)));
}

bool cRC_IO_Pages::SendS16Pair(uint8_t nSubSystem, uint8_t nIndex, uint8_t nItem1, int16_t nValue1, uint8_t nItem2,
                               int16_t nValue2)
{
    return SendPair(nSubSystem, nIndex, nItem1, RC_S16Value(nValue1), nItem2, RC_S16Value(nValue2));
}

bool cRC_IO_Pages::SendU16Pair(uint8_t nSubSystem, uint8_t nIndex, uint8_t nItem1, uint16_t nValue1, uint8_t nItem2,
                               uint16_t nValue2)
{
    return SendPair(nSubSystem, nIndex, nItem1, RC_U16Value(nValue1), nItem2, RC_U16Value(nValue2));
}

bool cRC_IO_Pages::SendPair(uint8_t nSubSystem, uint8_t nIndex, uint8_t nItem1, const RC_ItemValue& value1,
                            uint8_t nItem2, const RC_ItemValue& value2)
{
    RC_Payload payload;
    return payload.AddValue(nItem1, value1) && payload.AddValue(nItem2, value2) && Send(nSubSystem, nIndex, payload);
}

bool cRC_IO_Pages::Send(uint8_t nSubSystem, uint8_t nIndex, const RC_Payload& payload)
{
    RC_Frame frame;
    return frame.BuildCommand(m_nControllerType, nSubSystem, nIndex, payload) && SendFrame(frame);
}

bool cRC_IO_Pages::SendRequest(uint8_t nSubSystem, uint8_t nIndex, uint16_t nReplyItem, const RC_Payload& payload)
{
    cRC_LinkQuality* pQuality = m_pLinkQuality.load();
    if (!pQuality)
        return Send(nSubSystem, nIndex, payload);
    // Recorded before it goes: the reply may be handled before Send returns.
    const uint64_t nTicket = pQuality->RequestSent(nSubSystem, nIndex, nReplyItem, std::chrono::steady_clock::now());
    if (Send(nSubSystem, nIndex, payload))
        return true;
    pQuality->RequestWithdrawn(nTicket);
    return false;
}

bool cRC_IO_Pages::SendFrame(const RC_Frame& frame)
{
    if (!sendMessage(frame.Data(), static_cast<int32_t>(frame.Size())))
        return false;
    ++m_nTxCount;
    return true;
}

void cRC_IO_Pages::RegisterItems()
{
    if (!m_pPageDefinitions)
        return;
    for (size_t nPage = 0; nPage < m_pPageDefinitions->PageCount(); ++nPage)
    {
        for (const PageItem& item : m_pPageDefinitions->Items(nPage))
        {
            if (item.nItem & 0x80)
                continue;
            m_Registry.Register(item);
            if (item.nAccess != PageItem::kWriteOnly)
                m_Periodic.Add(item.nSubSystem, item.nIndex, item.nItem);
        }
    }
    if (m_bLinkActive)
        ResendPeriodicRequests();
}

uint8_t cRC_IO_Pages::PeriodicRate() const
{
    return CommsMethod() == CommsSettings::kSerial ? 4 : 1;
}

bool cRC_IO_Pages::SendPeriodicRequest(uint8_t nSubSystem, uint8_t nIndex, const std::array<uint8_t, 16>& mask)
{
    return SendPeriodic(nSubSystem, nIndex, PeriodicRate(), mask);
}

bool cRC_IO_Pages::SendPeriodic(uint8_t nSubSystem, uint8_t nIndex, uint8_t nRate, const std::array<uint8_t, 16>& mask)
{
    RC_Payload payload;
    const uint8_t header[3] = {kRate, nRate, kMask};
    if (!payload.AddRaw(header, 3) || !payload.AddRaw(mask.data(), mask.size()))
        return false;
    // A stop (rate 0) is not answered.
    return nRate == 0 ? Send(nSubSystem, nIndex, payload)
                      : SendRequest(nSubSystem, nIndex, cRC_LinkQuality::kAnyItem, payload);
}

bool cRC_IO_Pages::StopPeriodicRequest(uint8_t nSubSystem, uint8_t nIndex)
{
    return SendPeriodic(nSubSystem, nIndex, 0, {});
}

void cRC_IO_Pages::ResendPeriodicRequests()
{
    for (const PeriodicEntry& entry : m_Periodic.Entries())
    {
        // Watched before it goes: the first frame may be handled before the send returns.
        m_Watch.Requested(entry.nSubSystem, entry.nIndex, PeriodicRate());
        SendPeriodicRequest(entry.nSubSystem, entry.nIndex, entry.mask);
    }
}

void cRC_IO_Pages::AskAgain(const cRC_PeriodicWatch::Group& group)
{
    // Not Requested: the watch has lengthened the group's wait and keeps it so.
    PeriodicEntry entry;
    if (m_Periodic.Find(group.nSubSystem, group.nIndex, entry))
        SendPeriodicRequest(entry.nSubSystem, entry.nIndex, entry.mask);
}

void cRC_IO_Pages::StopAllPeriodicRequests()
{
    for (const PeriodicEntry& entry : m_Periodic.Entries())
    {
        m_Watch.Stopped(entry.nSubSystem, entry.nIndex);
        StopPeriodicRequest(entry.nSubSystem, entry.nIndex);
    }
}

bool cRC_IO_Pages::EnableEoDataOutput(bool bEnable)
{
    if (m_nControllerType == RC_Variant::ShortFrames)
    {
        const uint8_t nValue = !bEnable ? 0 : (CommsMethod() == CommsSettings::kSerial ? 2 : 1);
        return SendByte(0, 0, kEoOutput, nValue);
    }
    return SendByte(6, 0, kEoOutput, bEnable ? 1 : 0);
}

std::string cRC_IO_Pages::GetLinkStatusText() const
{
    return m_Link.LinkStatusText();
}

bool cRC_IO_Pages::SendHeartbeat(uint8_t nMissed, uint8_t nState)
{
    // Heartbeats exist only in long frames, whatever the variant.
    const uint8_t heartbeat[2] = {nMissed, nState};
    RC_Frame frame;
    return frame.BuildCommand(RC_Variant::LongFrames, kHeartbeatSubSystem, kHeartbeatIndex, heartbeat, 2) &&
           SendFrame(frame);
}

void cRC_IO_Pages::MM_TimerHB_Handling()
{
    const cRC_HeartbeatMonitor::Actions actions = m_Link.Tick();
    if (actions.bResendPeriodic)
        ResendPeriodicRequests();
    if (actions.bSendHeartbeat)
    {
        SendHeartbeat(actions.nMissed, actions.nState);
        if (cRC_LinkQuality* pQuality = m_pLinkQuality.load())
            pQuality->HeartbeatSent();
    }
    // After the heartbeat's rules, whose resend of every group starts each wait over.
    for (const cRC_PeriodicWatch::Group& group : m_Watch.Tick(m_bLinkActive))
        AskAgain(group);
    WatchLink(std::chrono::steady_clock::now());
}

std::string cRC_IO_Pages::DescribeMismatch(RC_DatagramKind eKind, uint64_t nSample) const
{
    const std::string sSeen = cRC_MismatchMonitor::SeenText(eKind, nSample);
    if (eKind == RC_DatagramKind::Eo)
        return "receiving " + sSeen + " on the page port; EO reports belong on the EO port (nRxPort of EoTrackData)";
    const int nType = static_cast<int>(m_nControllerType);
    return "receiving " + sSeen + "; this console is set to nControllerType " + std::to_string(nType) + ": " +
           (m_nControllerType == RC_Variant::LongFrames ? "long frames" : "short frames");
}

void cRC_IO_Pages::handleMessage(const uint8_t* pFrame, int32_t nLength, int64_t)
{
    cRC_LinkQuality* pQuality = m_pLinkQuality.load();
    if (pQuality && nLength > 0)
        pQuality->FrameReceived(cRC_LinkQuality::Link::kPages, pFrame, static_cast<size_t>(nLength), std::chrono::steady_clock::now());
    if (m_nControllerType == RC_Variant::ShortFrames)
    {
        const RC_FrameView frame = RC_FrameView::Status(RC_Variant::ShortFrames, pFrame, nLength);
        if (!frame.IsValid())
        {
            DbgLog(DBG_WRN, "cRC_IO_Pages::handleMessage", __LINE__, DbgLogFormat("Frame of %d bytes is too short", nLength));
        }
        else
        {
            m_Watch.StatusReceived(frame.SubSystem(), frame.Index());
            if (cRC_ItemRegistry::ProcessStatusByte(frame.Status()))
                ProcessStatus(frame);
        }
    }
    else if (m_nControllerType == RC_Variant::LongFrames)
    {
        handleVMS_HeartBeat(pFrame, nLength);
    }
    ++m_nRxCount;
    m_Link.FrameHandled();
}

void cRC_IO_Pages::handleVMS_HeartBeat(const uint8_t* pFrame, int32_t nLength)
{
    const RC_FrameView frame = RC_FrameView::Status(RC_Variant::LongFrames, pFrame, nLength);
    if (!frame.IsValid())
    {
        DbgLog(DBG_WRN, "cRC_IO_Pages::handleVMS_HeartBeat", __LINE__, DbgLogFormat("Frame of %d bytes is too short", nLength));
        return;
    }
    if (frame.IsHeartbeat())
    {
        // The heartbeat's status byte is not examined.
        uint8_t nMissed = 0;
        uint8_t nState = 0;
        if (!frame.ReadHeartbeat(nMissed, nState))
        {
            DbgLog(DBG_WRN, "cRC_IO_Pages::handleVMS_HeartBeat", __LINE__,
                   DbgLogFormat("Heartbeat of %d bytes is too short", nLength));
            return;
        }
        m_Link.HeartbeatReceived(nMissed, nState);
        cRC_LinkQuality* pQuality = m_pLinkQuality.load();
        if (pQuality && m_bUseHeartbeat)
            pQuality->HeartbeatReceived(nMissed, nState, std::chrono::steady_clock::now());
        return;
    }
    m_Watch.StatusReceived(frame.SubSystem(), frame.Index());
    if (cRC_ItemRegistry::ProcessStatusByte(frame.Status()))
        ProcessStatus(frame);
}

void cRC_IO_Pages::ProcessStatus(const RC_FrameView& frame)
{
    const uint8_t nSubSystem = frame.SubSystem();
    cRC_LinkQuality::Items items;
    const bool bDecoded =
        m_Registry.ProcessStatus(frame.Payload(), static_cast<int32_t>(frame.PayloadSize()), nSubSystem, frame.Index(), &items);
    if (cRC_LinkQuality* pQuality = m_pLinkQuality.load())
        pQuality->StatusReceived(nSubSystem, frame.Index(), items, std::chrono::steady_clock::now());
    if (bDecoded)
        m_sigSubsystemUpdated(nSubSystem);
}

#pragma once
#include "RC_FrameView.h"
#include "RC_Variant.h"
#include "cMM_TimerSignal.h"
#include "cRC_HeartbeatMonitor.h"
#include "cRC_IO.h"
#include "cRC_ItemRegistry.h"
#include "cRC_PeriodicTable.h"
#include "cRC_PeriodicWatch.h"

#include <array>
#include <atomic>
#include <boost/signals2/signal.hpp>
#include <cstdint>
#include <string>
#include <vector>

class cPageList;
class cRC_LinkQuality;
class RC_ItemValue;
class RC_Frame;
class RC_Payload;

// The console's view of the remote system's items: sends commands and
// queries, keeps periodic transmission requested, decodes status frames into
// the items' holders and, with long frames, exchanges the heartbeat that
// decides whether the link is active. Three threads meet here, each through
// its own part: the user interface registers items (m_Registry, m_Periodic)
// and sends, the receive thread decodes (m_Registry) and reports heartbeats
// (m_Link), and the 100 ms timer repeats requests and heartbeats as m_Link
// says, and a single group's request as m_Watch says. Sends may come from
// any thread.
class cRC_IO_Pages : public cRC_IO
{
    // The parts come first: the public link-state names below refer into m_Link.
    cRC_ItemRegistry m_Registry;
    cRC_PeriodicTable m_Periodic;
    cRC_HeartbeatMonitor m_Link;
    cRC_PeriodicWatch m_Watch;

public:
    // Item numbers the protocol itself uses.
    static constexpr uint8_t kRate = 0x70;
    static constexpr uint8_t kMask = 0x71;
    static constexpr uint8_t kEoOutput = 0x28;
    // Where heartbeats go and come from.
    static constexpr uint8_t kHeartbeatSubSystem = RC_FrameView::kHeartbeatSubSystem;
    static constexpr uint8_t kHeartbeatIndex = RC_FrameView::kHeartbeatIndex;

    using PeriodicEntry = cRC_PeriodicTable::Entry;

    // bStartTimer false leaves the 100 ms handling to the caller (tests drive
    // MM_TimerHB_Handling themselves).
    explicit cRC_IO_Pages(RC_Variant nControllerType, bool bStartTimer = true);
    ~cRC_IO_Pages() override;

    // The one send path: the item set to the holder's value, in the encoding of
    // its type. Refused (false, with a warning) when a text cannot fit a frame.
    bool SendValue(uint8_t nSubSystem, uint8_t nIndex, uint8_t nItem, const RC_ItemValue& value);
    bool SendQuery(uint8_t nSubSystem, uint8_t nIndex, uint8_t nItem);
    bool SendByte(uint8_t nSubSystem, uint8_t nIndex, uint8_t nItem, uint8_t nValue);
    bool SendU16(uint8_t nSubSystem, uint8_t nIndex, uint8_t nItem, uint16_t nValue);
    bool SendS16(uint8_t nSubSystem, uint8_t nIndex, uint8_t nItem, int16_t nValue);
    bool SendU32(uint8_t nSubSystem, uint8_t nIndex, uint8_t nItem, uint32_t nValue);
    bool SendS32(uint8_t nSubSystem, uint8_t nIndex, uint8_t nItem, int32_t nValue);
    bool SendFloat(uint8_t nSubSystem, uint8_t nIndex, uint8_t nItem, float fValue);
    bool SendString(uint8_t nSubSystem, uint8_t nIndex, uint8_t nItem, const std::string& sText);
    // Two items of one subsystem and index in one frame.
    bool SendFixedPair(uint8_t nSubSystem, uint8_t nIndex, uint8_t nItem1, float fValue1, uint8_t nItem2, float fValue2);
    bool SendS16Pair(uint8_t nSubSystem, uint8_t nIndex, uint8_t nItem1, int16_t nValue1, uint8_t nItem2, int16_t nValue2);
    bool SendU16Pair(uint8_t nSubSystem, uint8_t nIndex, uint8_t nItem1, uint16_t nValue1, uint8_t nItem2, uint16_t nValue2);

    void RegisterItems();
    bool EnableEoDataOutput(bool bEnable);
    std::string GetLinkStatusText() const;

    bool loadRxMsgDescriptors() override;
    void handleMessage(const uint8_t* pFrame, int32_t nLength, int64_t nTime) override;

    // One 100 ms tick; normally driven by m_TimerHB. Also watches the link for
    // frames of another kind and refused sends (cRC_IO::WatchLink).
    void MM_TimerHB_Handling();

    RC_Variant ControllerType() const { return m_nControllerType; }
    std::vector<PeriodicEntry> PeriodicRequests() const { return m_Periodic.Entries(); }
    // Whether a requested group has fallen silent while the link is up.
    bool IsPeriodicSilent(uint8_t nSubSystem, uint8_t nIndex) const { return m_Watch.IsSilent(nSubSystem, nIndex); }
    size_t HoldersRegistered(uint32_t nItemKey) const { return m_Registry.HoldersRegistered(nItemKey); }
    // Where requests, replies and frames are recorded for the link figures
    // (null: nowhere). It must outlive this object.
    void SetLinkQuality(cRC_LinkQuality* pQuality) { m_pLinkQuality = pQuality; }
    cRC_LinkQuality* LinkQuality() const { return m_pLinkQuality.load(); }

    boost::signals2::signal<void(unsigned char)> m_sigSubsystemUpdated;
    std::atomic<int32_t> m_nTxCount{0};
    std::atomic<int32_t> m_nRxCount{0};
    cPageList* m_pPageDefinitions = nullptr;  // set by the owner before RegisterItems
    // The link state, kept by m_Link.
    std::atomic<int32_t>& m_nIdleTicks = m_Link.m_nIdleTicks;
    std::atomic<bool>& m_bLinkActive = m_Link.m_bLinkActive;
    std::atomic<bool>& m_bUseHeartbeat = m_Link.m_bUseHeartbeat;
    std::atomic<uint8_t>& m_nMissedHB = m_Link.m_nMissedHB;
    std::atomic<uint8_t>& m_nInterfaceState = m_Link.m_nInterfaceState;
    std::atomic<uint8_t>& m_nVmsInterfaceState = m_Link.m_nVmsInterfaceState;
    std::atomic<int32_t>& m_nHBTicks = m_Link.m_nHBTicks;

protected:
    // Names nControllerType, the setting that decides the frame kind.
    std::string DescribeMismatch(RC_DatagramKind eKind, uint64_t nSample) const override;

private:
    bool Send(uint8_t nSubSystem, uint8_t nIndex, const RC_Payload& payload);
    bool SendFrame(const RC_Frame& frame);
    // A send that expects a status reply carrying nReplyItem (or any item).
    bool SendRequest(uint8_t nSubSystem, uint8_t nIndex, uint16_t nReplyItem, const RC_Payload& payload);
    bool SendPair(uint8_t nSubSystem, uint8_t nIndex, uint8_t nItem1, const RC_ItemValue& value1, uint8_t nItem2,
                  const RC_ItemValue& value2);
    uint8_t PeriodicRate() const;
    bool SendPeriodicRequest(uint8_t nSubSystem, uint8_t nIndex, const std::array<uint8_t, 16>& mask);
    bool SendPeriodic(uint8_t nSubSystem, uint8_t nIndex, uint8_t nRate, const std::array<uint8_t, 16>& mask);
    bool StopPeriodicRequest(uint8_t nSubSystem, uint8_t nIndex);
    void ResendPeriodicRequests();
    void AskAgain(const cRC_PeriodicWatch::Group& group);
    void StopAllPeriodicRequests();
    bool SendHeartbeat(uint8_t nMissed, uint8_t nState);
    void handleVMS_HeartBeat(const uint8_t* pFrame, int32_t nLength);
    void ProcessStatus(const RC_FrameView& frame);

    const RC_Variant m_nControllerType;
    std::atomic<cRC_LinkQuality*> m_pLinkQuality{nullptr};
    cMM_TimerSignal m_TimerHB;  // last: stopped before the rest goes
};

#pragma once
#include "RC_DataType.h"
#include "cMM_TimerSignal.h"
#include "cRC_IO.h"

#include <array>
#include <atomic>
#include <boost/signals2/signal.hpp>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

class cPageList;
class RC_ItemValue;
class RC_Payload;

// The console's view of the remote system's items: sends commands and
// queries, keeps periodic transmission requested, decodes status frames into
// the items' holders and, with long frames, exchanges the heartbeat that
// decides whether the link is active. Three threads meet here: the user
// interface (sends, registration), the receive thread (decoding) and the
// 100 ms timer (periodic requests, heartbeat).
class cRC_IO_Pages : public cRC_IO
{
public:
    // Item numbers the protocol itself uses.
    static constexpr uint8_t kRate = 0x70;
    static constexpr uint8_t kMask = 0x71;
    static constexpr uint8_t kEoOutput = 0x28;

    struct PeriodicEntry
    {
        std::array<uint8_t, 16> mask{};
        uint8_t nSubSystem = 0;
        uint8_t nIndex = 0;
    };

    // bStartTimer false leaves the 100 ms handling to the caller (tests drive
    // MM_TimerHB_Handling themselves).
    explicit cRC_IO_Pages(int32_t nControllerType, bool bStartTimer = true);
    ~cRC_IO_Pages() override;

    bool SendQuery(uint8_t nSubSystem, uint8_t nIndex, uint8_t nItem);
    bool SendByte(uint8_t nSubSystem, uint8_t nIndex, uint8_t nItem, uint8_t nValue);
    bool SendU16(uint8_t nSubSystem, uint8_t nIndex, uint8_t nItem, uint16_t nValue);
    bool SendS16(uint8_t nSubSystem, uint8_t nIndex, uint8_t nItem, int16_t nValue);
    bool SendU32(uint8_t nSubSystem, uint8_t nIndex, uint8_t nItem, uint32_t nValue);
    bool SendS32(uint8_t nSubSystem, uint8_t nIndex, uint8_t nItem, int32_t nValue);
    bool SendFloat(uint8_t nSubSystem, uint8_t nIndex, uint8_t nItem, float fValue);
    bool SendFixedPair(uint8_t nSubSystem, uint8_t nIndex, uint8_t nItem1, float fValue1, uint8_t nItem2, float fValue2);
    bool SendS16Pair(uint8_t nSubSystem, uint8_t nIndex, uint8_t nItem1, int16_t nValue1, uint8_t nItem2, int16_t nValue2);
    // Refused (false, with a warning) when the text cannot fit a frame.
    bool SendString(uint8_t nSubSystem, uint8_t nIndex, uint8_t nItem, const std::string& sText);

    void RegisterItems();
    bool EnableEoDataOutput(bool bEnable);
    std::string GetLinkStatusText() const;

    bool loadRxMsgDescriptors() override;
    void handleMessage(const uint8_t* pFrame, int32_t nLength, int64_t nTime) override;

    // One 100 ms tick; normally driven by m_TimerHB.
    void MM_TimerHB_Handling();

    int32_t ControllerType() const { return m_nControllerType; }
    std::vector<PeriodicEntry> PeriodicRequests() const;
    size_t HoldersRegistered(uint32_t nItemKey) const;

    boost::signals2::signal<void(unsigned char)> m_sigSubsystemUpdated;
    std::atomic<int32_t> m_nTxCount{0};
    std::atomic<int32_t> m_nRxCount{0};
    cPageList* m_pPageDefinitions = nullptr;  // set by the owner before RegisterItems
    std::atomic<int32_t> m_nIdleTicks{0};
    std::atomic<bool> m_bLinkActive{false};
    std::atomic<bool> m_bUseHeartbeat{false};
    std::atomic<uint8_t> m_nMissedHB{3};
    std::atomic<uint8_t> m_nInterfaceState{1};
    std::atomic<uint8_t> m_nVmsInterfaceState{1};
    std::atomic<int32_t> m_nHBTicks{0};

private:
    using Holders = std::vector<std::pair<RC_DataType, RC_ItemValue*>>;

    bool Send(uint8_t nSubSystem, uint8_t nIndex, const RC_Payload& payload);
    bool SendPeriodicRequest(uint8_t nSubSystem, uint8_t nIndex, const std::array<uint8_t, 16>& mask);
    bool SendPeriodic(uint8_t nSubSystem, uint8_t nIndex, uint8_t nRate, const std::array<uint8_t, 16>& mask);
    bool StopPeriodicRequest(uint8_t nSubSystem, uint8_t nIndex);
    void ResendPeriodicRequests();
    void StopAllPeriodicRequests();
    bool SendHeartbeat();
    void handleVMS_HeartBeat(const uint8_t* pFrame, int32_t nLength);
    bool ProcessStatusByte(uint8_t nStatus) const;
    void ProcessStatus(const uint8_t* pPayload, int32_t nLength, uint8_t nSubSystem, uint8_t nIndex);
    // False when an unknown item stopped the decoding.
    bool DecodeItems(const uint8_t* pPayload, size_t nEnd, uint8_t nSubSystem, uint8_t nIndex);

    const int32_t m_nControllerType;
    mutable std::mutex m_MapsMutex;  // guards m_Items and m_PeriodicRequests
    std::map<uint32_t, Holders> m_Items;
    std::map<uint16_t, PeriodicEntry> m_PeriodicRequests;
    cMM_TimerSignal m_TimerHB;  // last: stopped before the rest goes
};

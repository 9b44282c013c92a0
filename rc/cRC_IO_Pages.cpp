#include "cRC_IO_Pages.h"

#include "DbgLog.h"
#include "RC_Frame.h"
#include "RC_ItemValue.h"
#include "RC_Payload.h"
#include "cCommsIF.h"
#include "cPageList.h"
#include "cRxProtocol.h"

#include <algorithm>

namespace
{
const char* const kStatusFunction = "cRC_IO_Pages::ProcessStatusByte";
constexpr size_t kShortHeader = 4;  // sync, subsystem, status, length
constexpr size_t kLongHeader = 6;   // sync, subsystem, index, status, length (2)
constexpr int32_t kHeartbeatLength = 9;
} // namespace

cRC_IO_Pages::cRC_IO_Pages(int32_t nControllerType, bool bStartTimer)
    : cRC_IO("cRC_IO_Pages"), m_nControllerType(nControllerType)
{
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
    if (m_nControllerType == 0)
    {
        pFramer->m_nDefaultSync = RC_Frame::kShortSync;
        return pFramer->LoadMsgDescriptor(1, 3, 5, this) == 0;
    }
    if (m_nControllerType == 1)
    {
        pFramer->m_nDefaultSync = RC_Frame::kLongSync;
        return pFramer->LoadMsgDescriptor(2, 5, 0, this) == 0;
    }
    return false;
}

bool cRC_IO_Pages::Send(uint8_t nSubSystem, uint8_t nIndex, const RC_Payload& payload)
{
    RC_Frame frame;
    if (!frame.BuildCommand(m_nControllerType, nSubSystem, nIndex, payload))
        return false;
    if (!sendMessage(frame.Data(), static_cast<int32_t>(frame.Size())))
        return false;
    ++m_nTxCount;
    return true;
}

bool cRC_IO_Pages::SendQuery(uint8_t nSubSystem, uint8_t nIndex, uint8_t nItem)
{
    RC_Payload payload;
    return payload.AddQuery(nItem) && Send(nSubSystem, nIndex, payload);
}

bool cRC_IO_Pages::SendByte(uint8_t nSubSystem, uint8_t nIndex, uint8_t nItem, uint8_t nValue)
{
    RC_Payload payload;
    return payload.AddByte(nItem, nValue) && Send(nSubSystem, nIndex, payload);
}

bool cRC_IO_Pages::SendU16(uint8_t nSubSystem, uint8_t nIndex, uint8_t nItem, uint16_t nValue)
{
    RC_Payload payload;
    return payload.AddU16(nItem, nValue) && Send(nSubSystem, nIndex, payload);
}

bool cRC_IO_Pages::SendS16(uint8_t nSubSystem, uint8_t nIndex, uint8_t nItem, int16_t nValue)
{
    RC_Payload payload;
    return payload.AddS16(nItem, nValue) && Send(nSubSystem, nIndex, payload);
}

bool cRC_IO_Pages::SendU32(uint8_t nSubSystem, uint8_t nIndex, uint8_t nItem, uint32_t nValue)
{
    RC_Payload payload;
    return payload.AddU32(nItem, nValue) && Send(nSubSystem, nIndex, payload);
}

bool cRC_IO_Pages::SendS32(uint8_t nSubSystem, uint8_t nIndex, uint8_t nItem, int32_t nValue)
{
    RC_Payload payload;
    return payload.AddS32(nItem, nValue) && Send(nSubSystem, nIndex, payload);
}

bool cRC_IO_Pages::SendFloat(uint8_t nSubSystem, uint8_t nIndex, uint8_t nItem, float fValue)
{
    RC_Payload payload;
    return payload.AddFloat(nItem, fValue) && Send(nSubSystem, nIndex, payload);
}

bool cRC_IO_Pages::SendFixedPair(uint8_t nSubSystem, uint8_t nIndex, uint8_t nItem1, float fValue1, uint8_t nItem2,
                                 float fValue2)
{
    RC_Payload payload;
    return payload.AddFixed(nItem1, fValue1) && payload.AddFixed(nItem2, fValue2) && Send(nSubSystem, nIndex, payload);
}

bool cRC_IO_Pages::SendS16Pair(uint8_t nSubSystem, uint8_t nIndex, uint8_t nItem1, int16_t nValue1, uint8_t nItem2,
                               int16_t nValue2)
{
    RC_Payload payload;
    return payload.AddS16(nItem1, nValue1) && payload.AddS16(nItem2, nValue2) && Send(nSubSystem, nIndex, payload);
}

bool cRC_IO_Pages::SendString(uint8_t nSubSystem, uint8_t nIndex, uint8_t nItem, const std::string& sText)
{
    RC_Payload payload;
    if (!payload.AddString(nItem, sText))
    {
        // Item, length byte, text and NUL must fit the one-byte payload length.
        DbgLog(DBG_WRN, "cRC_IO_Pages::SendString", __LINE__,
               DbgLogFormat("Text of %zu characters is too long to send (at most 252)", sText.size()));
        return false;
    }
    return Send(nSubSystem, nIndex, payload);
}

void cRC_IO_Pages::RegisterItems()
{
    if (!m_pPageDefinitions)
        return;
    {
        std::lock_guard<std::mutex> lock(m_MapsMutex);
        for (size_t nPage = 0; nPage < m_pPageDefinitions->PageCount(); ++nPage)
        {
            for (const PageItem& item : m_pPageDefinitions->Items(nPage))
            {
                if (item.nItem & 0x80)
                    continue;
                // A holder registered earlier is not added again: each holder
                // receives each value once, however often this runs.
                Holders& holders = m_Items[item.Key()];
                const bool bKnown = std::any_of(holders.begin(), holders.end(),
                                                [&](const auto& entry) { return entry.second == item.pValue.get(); });
                if (!bKnown && item.pValue)
                    holders.emplace_back(item.eType, item.pValue.get());

                if (item.nAccess != PageItem::kWriteOnly)
                {
                    const uint16_t nGroup = static_cast<uint16_t>(item.nSubSystem << 8 | item.nIndex);
                    PeriodicEntry& entry = m_PeriodicRequests[nGroup];
                    entry.nSubSystem = item.nSubSystem;
                    entry.nIndex = item.nIndex;
                    entry.mask[item.nItem / 8] |= static_cast<uint8_t>(1u << (item.nItem % 8));
                }
            }
        }
    }
    if (m_bLinkActive)
        ResendPeriodicRequests();
}

std::vector<cRC_IO_Pages::PeriodicEntry> cRC_IO_Pages::PeriodicRequests() const
{
    std::lock_guard<std::mutex> lock(m_MapsMutex);
    std::vector<PeriodicEntry> entries;
    for (const auto& [nKey, entry] : m_PeriodicRequests)
        entries.push_back(entry);
    return entries;
}

size_t cRC_IO_Pages::HoldersRegistered(uint32_t nItemKey) const
{
    std::lock_guard<std::mutex> lock(m_MapsMutex);
    const auto it = m_Items.find(nItemKey);
    return it == m_Items.end() ? 0 : it->second.size();
}

bool cRC_IO_Pages::SendPeriodicRequest(uint8_t nSubSystem, uint8_t nIndex, const std::array<uint8_t, 16>& mask)
{
    return SendPeriodic(nSubSystem, nIndex, CommsMethod() == CommsSettings::kSerial ? 4 : 1, mask);
}

bool cRC_IO_Pages::SendPeriodic(uint8_t nSubSystem, uint8_t nIndex, uint8_t nRate, const std::array<uint8_t, 16>& mask)
{
    RC_Payload payload;
    const uint8_t header[3] = {kRate, nRate, kMask};
    return payload.AddRaw(header, 3) && payload.AddRaw(mask.data(), mask.size()) && Send(nSubSystem, nIndex, payload);
}

bool cRC_IO_Pages::StopPeriodicRequest(uint8_t nSubSystem, uint8_t nIndex)
{
    return SendPeriodic(nSubSystem, nIndex, 0, {});
}

void cRC_IO_Pages::ResendPeriodicRequests()
{
    // Sent outside the lock, so decoding is never held up by a slow link.
    for (const PeriodicEntry& entry : PeriodicRequests())
        SendPeriodicRequest(entry.nSubSystem, entry.nIndex, entry.mask);
}

void cRC_IO_Pages::StopAllPeriodicRequests()
{
    for (const PeriodicEntry& entry : PeriodicRequests())
        StopPeriodicRequest(entry.nSubSystem, entry.nIndex);
}

bool cRC_IO_Pages::EnableEoDataOutput(bool bEnable)
{
    if (m_nControllerType == 0)
    {
        const uint8_t nValue = !bEnable ? 0 : (CommsMethod() == CommsSettings::kSerial ? 2 : 1);
        return SendByte(0, 0, kEoOutput, nValue);
    }
    return SendByte(6, 0, kEoOutput, bEnable ? 1 : 0);
}

std::string cRC_IO_Pages::GetLinkStatusText() const
{
    char szText[64];
    std::snprintf(szText, sizeof(szText), "%s - %d", m_nInterfaceState.load() == 0 ? "Active" : "Inactive",
                  static_cast<int>(m_nMissedHB.load()));
    return szText;
}

bool cRC_IO_Pages::SendHeartbeat()
{
    RC_Payload payload;
    const uint8_t heartbeat[2] = {m_nMissedHB.load(), m_nInterfaceState.load()};
    payload.AddRaw(heartbeat, 2);
    RC_Frame frame;
    if (!frame.BuildCommand(1, 0, 1, payload))
        return false;
    if (!sendMessage(frame.Data(), static_cast<int32_t>(frame.Size())))
        return false;
    ++m_nTxCount;
    return true;
}

void cRC_IO_Pages::handleMessage(const uint8_t* pFrame, int32_t nLength, int64_t)
{
    if (m_nControllerType == 0)
    {
        if (nLength < static_cast<int32_t>(kShortHeader + 1))
            DbgLog(DBG_WRN, "cRC_IO_Pages::handleMessage", __LINE__, DbgLogFormat("Frame of %d bytes is too short", nLength));
        else if (ProcessStatusByte(pFrame[2]))
            ProcessStatus(pFrame + kShortHeader, nLength - 5, pFrame[1], 0);
    }
    else if (m_nControllerType == 1)
    {
        handleVMS_HeartBeat(pFrame, nLength);
    }
    ++m_nRxCount;
    m_nIdleTicks = 0;
    // With the heartbeat on, the heartbeat alone decides the link state:
    // status frames still arriving must not undo "three periods missed".
    if (!m_bUseHeartbeat)
        m_bLinkActive = true;
}

void cRC_IO_Pages::handleVMS_HeartBeat(const uint8_t* pFrame, int32_t nLength)
{
    if (nLength < static_cast<int32_t>(kLongHeader + 1))
    {
        DbgLog(DBG_WRN, "cRC_IO_Pages::handleVMS_HeartBeat", __LINE__, DbgLogFormat("Frame of %d bytes is too short", nLength));
        return;
    }
    if (pFrame[1] == 0 && pFrame[2] == 1)
    {
        if (nLength < kHeartbeatLength)
        {
            DbgLog(DBG_WRN, "cRC_IO_Pages::handleVMS_HeartBeat", __LINE__,
                   DbgLogFormat("Heartbeat of %d bytes is too short", nLength));
            return;
        }
        m_nMissedHB = 0;
        m_nVmsInterfaceState = pFrame[7];
        if (pFrame[6] != 0)
            DbgLog(DBG_WRN, "cRC_IO_Pages::handleVMS_HeartBeat", 569,
                   DbgLogFormat("Received VMS HB reporting %d missed messages", pFrame[6]));
        return;
    }
    if (ProcessStatusByte(pFrame[3]))
        ProcessStatus(pFrame + kLongHeader, nLength - 7, pFrame[1], pFrame[2]);
}

bool cRC_IO_Pages::ProcessStatusByte(uint8_t nStatus) const
{
    static const struct
    {
        const char* szText;
        int32_t nLine;
    } kErrors[16] = {
        {nullptr, 0},
        {"Bad status - Checksum failed", 582},
        {"Bad status - Unknown item", 585},
        {"Bad status - Data item not supported", 588},
        {"Bad status - Command not valid in this state", 591},
        {"Bad status - Invalid data access", 594},
        {"Bad status - Data type error", 597},
        {"Bad status - Unknown error", 600},
        {"Bad status - Device not initialised", 603},
        {"Bad status - Device busy", 606},
        {"Bad status - Unknown error", 610},
        {"Bad status - Unknown error", 610},
        {"Bad status - Unknown error", 610},
        {"Bad status - Unknown error", 610},
        {"Bad status - Unknown error", 610},
        {"Bad status - Unknown error", 610},
    };
    const uint8_t nError = (nStatus >> 2) & 0x0F;
    if (nError != 0)
    {
        DbgLog(DBG_WRN, kStatusFunction, kErrors[nError].nLine, kErrors[nError].szText);
        return false;
    }
    const uint8_t nTrigger = nStatus >> 6;
    if (nTrigger >= 2)
    {
        DbgLog(DBG_WRN, kStatusFunction, 624, DbgLogFormat("Unknown Transmission Trigger - %d", nTrigger));
        return false;
    }
    return true;
}

void cRC_IO_Pages::ProcessStatus(const uint8_t* pPayload, int32_t nLength, uint8_t nSubSystem, uint8_t nIndex)
{
    if (nLength >= 2 && !DecodeItems(pPayload, static_cast<size_t>(nLength), nSubSystem, nIndex))
        return;  // an unknown item: the rest is not trusted, and no update is announced
    m_sigSubsystemUpdated(nSubSystem);
}

bool cRC_IO_Pages::DecodeItems(const uint8_t* pPayload, size_t nEnd, uint8_t nSubSystem, uint8_t nIndex)
{
    std::lock_guard<std::mutex> lock(m_MapsMutex);
    size_t i = 0;
    while (i + 1 < nEnd)
    {
        const uint32_t nKey = static_cast<uint32_t>(nSubSystem) << 16 | static_cast<uint32_t>(nIndex) << 8 | pPayload[i];
        const auto it = m_Items.find(nKey);
        if (it == m_Items.end())
        {
            DbgLog(DBG_WRN, "cRC_IO_Pages::ProcessStatus", 647, DbgLogFormat("unknown item: %d", nKey));
            return false;
        }
        ++i;
        size_t nConsumed = 0;
        for (const auto& [eType, pHolder] : it->second)
        {
            // A value that would reach past the payload ends the frame.
            if (!pHolder->Decode(pPayload, i, nEnd, nConsumed))
                return true;
        }
        i += nConsumed;
    }
    return true;
}

void cRC_IO_Pages::MM_TimerHB_Handling()
{
    if (!m_bUseHeartbeat)
    {
        if (m_nIdleTicks.fetch_add(1) >= 11)
        {
            ResendPeriodicRequests();
            m_nIdleTicks = 0;
            m_bLinkActive = false;
        }
        return;
    }

    if (m_nMissedHB.load() == 0 && m_nVmsInterfaceState.load() != m_nInterfaceState.load())
    {
        const uint8_t nState = m_nVmsInterfaceState.load();
        DbgLog(DBG_INF, "cRC_IO_Pages::MM_TimerHB_Handling", 462, DbgLogFormat("Setting interface state to %d", nState));
        m_nInterfaceState = nState;
        if (nState == 0)
        {
            DbgLog(DBG_INF, "cRC_IO_Pages::MM_TimerHB_Handling", 468,
                   "HB interface state is now active, resending periodic requests");
            ResendPeriodicRequests();
            m_bLinkActive = true;
        }
    }
    if (++m_nHBTicks < 10)
        return;
    SendHeartbeat();
    if (m_nMissedHB.load() < 3)
    {
        if (++m_nMissedHB == 3)
        {
            DbgLog(DBG_WRN, "cRC_IO_Pages::MM_TimerHB_Handling", 487,
                   DbgLogFormat("Now missed %d HB messages from the VMS, setting link inactive", 3));
            m_nInterfaceState = 1;
            m_bLinkActive = false;
        }
    }
    m_nHBTicks = 0;
}

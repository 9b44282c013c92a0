#include "cSimProtocol.h"

#include "RC_Frame.h"
#include "RC_FrameView.h"
#include "cSimEventLog.h"
#include "cSimFaults.h"
#include "cSimHeartbeat.h"
#include "cSimItemStore.h"

#include <array>

namespace
{
constexpr size_t kUnknownEntry = 2;  // room kept in every status frame for the unknown-item fault
constexpr size_t kMostValue = 256;   // a String: length byte and 255 characters
} // namespace

// Collects item entries for one SubSystem/Index and sends them in as few
// status frames as the variant's length field allows.
class cSimProtocol::cBatch
{
public:
    cBatch(cSimProtocol& protocol, uint8_t nSubSystem, uint8_t nIndex, uint8_t nStatus)
        : m_Protocol(protocol), m_nSubSystem(nSubSystem), m_nIndex(nIndex), m_nStatus(nStatus),
          m_nMost(protocol.MostPayload() - kUnknownEntry)
    {
    }
    ~cBatch() { Flush(); }

    // The item's current value; false when the item is not defined.
    bool Add(uint8_t nItem)
    {
        std::array<uint8_t, kMostValue> value{};
        const size_t nSize =
            m_Protocol.m_Items.Encode(cSimItemStore::Key(m_nSubSystem, m_nIndex, nItem), value.data(), value.size());
        if (nSize == 0)
            return false;
        if (m_Payload.size() + 1 + nSize > m_nMost)
            Flush();
        m_Payload.push_back(nItem);
        m_Payload.insert(m_Payload.end(), value.begin(), value.begin() + static_cast<std::ptrdiff_t>(nSize));
        return true;
    }

    void Flush()
    {
        if (m_Payload.empty())
            return;
        m_nSent += m_Protocol.SendStatus(m_nSubSystem, m_nIndex, m_nStatus, m_Payload) ? 1 : 0;
        m_Payload.clear();
    }

    uint32_t Sent() const { return m_nSent; }

private:
    cSimProtocol& m_Protocol;
    const uint8_t m_nSubSystem;
    const uint8_t m_nIndex;
    const uint8_t m_nStatus;
    const size_t m_nMost;
    std::vector<uint8_t> m_Payload;
    uint32_t m_nSent = 0;
};

cSimProtocol::cSimProtocol(RC_Variant eVariant, cSimItemStore& items, cSimPeriodic& periodic, cSimHeartbeat& heartbeat,
                           cSimFaults& faults, cSimEventLog& log, Sender fnSend)
    : m_eVariant(eVariant), m_Items(items), m_Periodic(periodic), m_Heartbeat(heartbeat), m_Faults(faults), m_Log(log),
      m_fnSend(std::move(fnSend))
{
}

size_t cSimProtocol::MostPayload() const
{
    // Short frames state the payload in one byte, long status frames the whole frame in two.
    return m_eVariant == RC_Variant::ShortFrames ? 255 : RC_Frame::kMaxFrame - 7;
}

bool cSimProtocol::IsEoSwitch(uint8_t nSubSystem, uint8_t nIndex) const
{
    return m_eVariant == RC_Variant::ShortFrames ? nSubSystem == 0 : nSubSystem == 6 && nIndex == 0;
}

uint8_t cSimProtocol::UnknownItem(uint8_t nSubSystem, uint8_t nIndex) const
{
    for (int nItem = 127; nItem > 0; --nItem)
    {
        if (nItem == kRateItem || nItem == kMaskItem || nItem == kEoItem)
            continue;
        if (!m_Items.Contains(cSimItemStore::Key(nSubSystem, nIndex, static_cast<uint8_t>(nItem))))
            return static_cast<uint8_t>(nItem);
    }
    return 0;
}

void cSimProtocol::HandleFrame(const uint8_t* pFrame, int32_t nLength, bool bChecksumGood)
{
    const RC_FrameView frame = RC_FrameView::Command(m_eVariant, pFrame, nLength);
    if (!frame.IsValid())
        return;
    const uint8_t nSubSystem = frame.SubSystem();
    const uint8_t nIndex = frame.Index();
    const uint8_t* pPayload = frame.Payload();
    const size_t nCount = frame.PayloadSize();

    const bool bHeartbeat = frame.IsHeartbeat();
    if (!bChecksumGood)
    {
        // An answer from 0/1 would read as our heartbeat; a spoilt one from the console just goes missing.
        if (bHeartbeat)
        {
            m_Log.Event("console heartbeat with a wrong checksum ignored");
            return;
        }
        m_Log.Event("command to %u/%u with a wrong checksum: answered error %d", nSubSystem, nIndex, kChecksumFailed);
        SendError(nSubSystem, nIndex, kChecksumFailed, {});
        return;
    }
    if (bHeartbeat)
    {
        HandleHeartbeat(frame);
        return;
    }

    cBatch answer(*this, nSubSystem, nIndex, kAnswer);
    bool bPeriodicChanged = false;
    // Ends the frame with an error answer; what was answered so far goes first.
    auto refuse = [&](eError eCode, uint8_t nItemByte, const char* szWhy) {
        answer.Flush();
        m_Log.Event("%s %u/%u/%u: answered error %d", szWhy, nSubSystem, nIndex, nItemByte & 0x7F, eCode);
        SendError(nSubSystem, nIndex, eCode, {nItemByte});
    };

    size_t i = 0;
    while (i < nCount)
    {
        const uint8_t nItemByte = pPayload[i++];
        const uint8_t nItem = nItemByte & 0x7F;
        const uint32_t nKey = cSimItemStore::Key(nSubSystem, nIndex, nItem);
        if (nItemByte & 0x80)
        {
            if (!answer.Add(nItem))
                return refuse(kUnknownItem, nItemByte, "query of unknown item");
            m_Log.Event("query %u/%u/%u = %s", nSubSystem, nIndex, nItem, m_Items.Text(nKey).c_str());
            continue;
        }
        if (nItem == kRateItem || nItem == kMaskItem)
        {
            const size_t nSize = nItem == kRateItem ? 1 : 16;
            if (nCount - i < nSize)
                return refuse(kDataTypeError, nItemByte, "periodic request cut short at");
            if (nItem == kRateItem)
            {
                bPeriodicChanged |= m_Periodic.SetRate(nSubSystem, nIndex, pPayload[i]);
            }
            else
            {
                cSimPeriodic::Mask mask{};
                std::copy(pPayload + i, pPayload + i + 16, mask.begin());
                bPeriodicChanged |= m_Periodic.SetMask(nSubSystem, nIndex, mask);
            }
            i += nSize;
            continue;
        }
        const bool bEoSwitch = nItem == kEoItem && IsEoSwitch(nSubSystem, nIndex);
        if (bEoSwitch && !m_Items.Contains(nKey))
        {
            if (i >= nCount)
                return refuse(kDataTypeError, nItemByte, "EO switch without its value at");
            if (m_fnEoSwitch)
                m_fnEoSwitch(pPayload[i] != 0);
            ++i;
            continue;
        }

        size_t nConsumed = 0;
        switch (m_Items.Set(nKey, pPayload, i, nCount, nConsumed))
        {
        case cSimItemStore::eSet::Set:
            i += nConsumed;
            answer.Add(nItem);
            m_Log.Event("set %u/%u/%u = %s", nSubSystem, nIndex, nItem, m_Items.Text(nKey).c_str());
            if (bEoSwitch && m_fnEoSwitch)
                m_fnEoSwitch(pPayload[i - nConsumed] != 0);
            break;
        case cSimItemStore::eSet::ReadOnly:
            i += nConsumed;
            refuse(kInvalidAccess, nItem, "set of read-only item");
            break;
        case cSimItemStore::eSet::Refused:
            i += nConsumed;
            refuse(kNotSupported, nItem, "value not supported for item");
            break;
        case cSimItemStore::eSet::Truncated:
            return refuse(kDataTypeError, nItem, "value cut short for item");
        case cSimItemStore::eSet::Unknown:
            return refuse(kUnknownItem, nItem, "set of unknown item");
        }
    }
    answer.Flush();
    if (bPeriodicChanged)
        ReportPeriodic(nSubSystem, nIndex);
}

void cSimProtocol::HandleHeartbeat(const RC_FrameView& frame)
{
    uint8_t nMissed = 0;
    uint8_t nState = 0;
    if (!frame.ReadHeartbeat(nMissed, nState))
    {
        m_Log.Event("console heartbeat with %zu payload bytes ignored (2 expected)", frame.PayloadSize());
        return;
    }
    const cSimHeartbeat::ConsoleReport report =
        m_Heartbeat.OnConsoleHeartbeat(cSimHeartbeat::Clock::now(), nMissed, nState);
    if (report.bChanged)
        m_Log.Event("console heartbeat: missed %u, interface %s", report.nMissed,
                    report.nState == cSimHeartbeat::kActive ? "active" : "inactive");
}

void cSimProtocol::ReportPeriodic(uint8_t nSubSystem, uint8_t nIndex)
{
    cSimPeriodic::Group group;
    if (!m_Periodic.Find(nSubSystem, nIndex, group) || group.nRate == 0 || cSimPeriodic::ItemCount(group.mask) == 0)
    {
        m_Log.Event("periodic %u/%u stopped", nSubSystem, nIndex);
        return;
    }
    int32_t nUnknown = 0;
    for (int nItem = 0; nItem < 128; ++nItem)
        if (cSimPeriodic::HasItem(group.mask, static_cast<uint8_t>(nItem)) &&
            !m_Items.Contains(cSimItemStore::Key(nSubSystem, nIndex, static_cast<uint8_t>(nItem))))
            ++nUnknown;
    m_Log.Event("periodic %u/%u every %d ms: %d items (%d not defined here)", nSubSystem, nIndex,
                group.nRate * cSimPeriodic::kTickMs, cSimPeriodic::ItemCount(group.mask), nUnknown);
    if (m_fnPeriodicObserver)
        m_fnPeriodicObserver(group);
}

uint32_t cSimProtocol::SendGroup(const cSimPeriodic::Group& group)
{
    cBatch batch(*this, group.nSubSystem, group.nIndex, kPeriodic);
    for (int nItem = 0; nItem < 128; ++nItem)
        if (cSimPeriodic::HasItem(group.mask, static_cast<uint8_t>(nItem)))
            batch.Add(static_cast<uint8_t>(nItem));
    batch.Flush();
    return batch.Sent();
}

bool cSimProtocol::SendStatus(uint8_t nSubSystem, uint8_t nIndex, uint8_t nStatus, const std::vector<uint8_t>& payload)
{
    const uint8_t nSent = m_Faults.StatusFor(nStatus);
    const std::vector<uint8_t>* pPayload = &payload;
    std::vector<uint8_t> led;
    if (m_Faults.LeadWithUnknownItem())
    {
        led = {UnknownItem(nSubSystem, nIndex), 0};
        led.insert(led.end(), payload.begin(), payload.end());
        pPayload = &led;
    }
    RC_Frame frame;
    if (!frame.BuildStatus(m_eVariant, nSubSystem, nIndex, nSent, pPayload->data(), pPayload->size()))
        return false;
    std::vector<uint8_t> bytes(frame.Data(), frame.Data() + frame.Size());
    return m_fnSend(bytes);
}

void cSimProtocol::SendError(uint8_t nSubSystem, uint8_t nIndex, eError eCode, const std::vector<uint8_t>& payload)
{
    RC_Frame frame;
    if (!frame.BuildStatus(m_eVariant, nSubSystem, nIndex, static_cast<uint8_t>(eCode << 2), payload.data(),
                           payload.size()))
        return;
    std::vector<uint8_t> bytes(frame.Data(), frame.Data() + frame.Size());
    m_fnSend(bytes);
}

void cSimProtocol::SendHeartbeat(uint8_t nMissed, uint8_t nState)
{
    const uint8_t payload[] = {nMissed, nState};
    RC_Frame frame;
    if (!frame.BuildStatus(RC_Variant::LongFrames, 0, 1, 0, payload, sizeof(payload)))
        return;
    std::vector<uint8_t> bytes(frame.Data(), frame.Data() + frame.Size());
    m_fnSend(bytes);
}

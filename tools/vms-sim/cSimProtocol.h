#pragma once
#include "RC_Variant.h"
#include "cSimPeriodic.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

class RC_FrameView;
class cSimEventLog;
class cSimFaults;
class cSimHeartbeat;
class cSimItemStore;

// The remote system's side of the page protocol: takes the console's command
// frames (sets, queries, periodic requests, the EO switch, heartbeats) and
// builds the status frames that answer them. It owns no transport: every
// finished frame goes to the sender, which may still drop or spoil it.
// Commands arrive on the receive thread; periodic and heartbeat frames are
// sent from the timer thread.
class cSimProtocol
{
public:
    // Error codes of the status byte (bits 2 to 5).
    enum eError : uint8_t
    {
        kChecksumFailed = 1,
        kUnknownItem = 2,
        kNotSupported = 3,
        kInvalidAccess = 5,
        kDataTypeError = 6,
    };
    static constexpr uint8_t kAnswer = 0x00;    // transmission trigger 0
    static constexpr uint8_t kPeriodic = 0x40;  // transmission trigger 1
    static constexpr uint8_t kRateItem = 0x70;
    static constexpr uint8_t kMaskItem = 0x71;
    static constexpr uint8_t kEoItem = 0x28;

    // True when the frame went out (a fault may have held it back).
    using Sender = std::function<bool(std::vector<uint8_t>& frame)>;

    cSimProtocol(RC_Variant eVariant, cSimItemStore& items, cSimPeriodic& periodic, cSimHeartbeat& heartbeat,
                 cSimFaults& faults, cSimEventLog& log, Sender fnSend);

    // Called with the EO switch's new setting (true: stream on).
    void SetEoSwitch(std::function<void(bool)> fnSwitch) { m_fnEoSwitch = std::move(fnSwitch); }
    // Called after a request changed what a group sends.
    void SetPeriodicObserver(std::function<void(const cSimPeriodic::Group&)> fnObserver)
    {
        m_fnPeriodicObserver = std::move(fnObserver);
    }

    // One whole command frame as the framer cut it.
    void HandleFrame(const uint8_t* pFrame, int32_t nLength, bool bChecksumGood);
    // The group's masked items that we know, in as many frames as they need;
    // returns the frames that went out.
    uint32_t SendGroup(const cSimPeriodic::Group& group);
    void SendHeartbeat(uint8_t nMissed, uint8_t nState);

    RC_Variant Variant() const { return m_eVariant; }
    bool IsEoSwitch(uint8_t nSubSystem, uint8_t nIndex) const;
    // The highest item number of the group that no page defines (nor the protocol uses).
    uint8_t UnknownItem(uint8_t nSubSystem, uint8_t nIndex) const;

private:
    class cBatch;
    friend class cBatch;

    size_t MostPayload() const;
    bool SendStatus(uint8_t nSubSystem, uint8_t nIndex, uint8_t nStatus, const std::vector<uint8_t>& payload);
    void SendError(uint8_t nSubSystem, uint8_t nIndex, eError eCode, const std::vector<uint8_t>& payload);
    void HandleHeartbeat(const RC_FrameView& frame);
    void ReportPeriodic(uint8_t nSubSystem, uint8_t nIndex);

    const RC_Variant m_eVariant;
    cSimItemStore& m_Items;
    cSimPeriodic& m_Periodic;
    cSimHeartbeat& m_Heartbeat;
    cSimFaults& m_Faults;
    cSimEventLog& m_Log;
    const Sender m_fnSend;
    std::function<void(bool)> m_fnEoSwitch;
    std::function<void(const cSimPeriodic::Group&)> m_fnPeriodicObserver;
};

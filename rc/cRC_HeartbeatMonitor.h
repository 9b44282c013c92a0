#pragma once
#include <atomic>
#include <cstdint>
#include <string>

// Link state of the page protocol, from the 100 ms ticks and what arrives.
// With the heartbeat on, only the remote system's heartbeats move the link:
// three 1 s periods without one make it inactive, and it becomes active again
// when a heartbeat reports interface state 0. Without the heartbeat, any frame
// makes it active and 12 silent ticks inactive. It says what must be sent
// (our heartbeat, the periodic requests again) but sends nothing itself.
// Ticks come from the timer thread, frames and heartbeats from the receive
// thread, reads from anywhere: every field is atomic.
class cRC_HeartbeatMonitor
{
public:
    // Interface states, as the heartbeat carries them.
    enum InterfaceState : uint8_t
    {
        kActive = 0,
        kInactive = 1,
    };
    static constexpr int32_t kIdleTicksToResend = 12;  // 1.2 s without a frame
    static constexpr int32_t kTicksPerHeartbeat = 10;  // 1 s
    static constexpr uint8_t kMissedForInactive = 3;

    // What the owner must send after a tick, in this order.
    struct Actions
    {
        bool bResendPeriodic = false;
        bool bSendHeartbeat = false;
        uint8_t nMissed = 0;  // the heartbeat's payload: our missed count and interface state
        uint8_t nState = kInactive;
    };

    Actions Tick();
    // Any frame handled (after its checksum was found good).
    void FrameHandled();
    void HeartbeatReceived(uint8_t nRemoteMissed, uint8_t nRemoteState);
    // "Active - 0", "Inactive - 3": our interface state and missed count.
    std::string LinkStatusText() const;

    std::atomic<int32_t> m_nIdleTicks{0};     // timer thread counts, receive thread clears
    std::atomic<bool> m_bLinkActive{false};   // timer and receive threads
    std::atomic<bool> m_bUseHeartbeat{false}; // set by the owner's owner once, after registration
    std::atomic<uint8_t> m_nMissedHB{kMissedForInactive};  // timer thread counts, heartbeats clear
    std::atomic<uint8_t> m_nInterfaceState{kInactive};     // timer thread
    std::atomic<uint8_t> m_nVmsInterfaceState{kInactive};  // receive thread: the remote's last report
    std::atomic<int32_t> m_nHBTicks{0};                    // timer thread
};

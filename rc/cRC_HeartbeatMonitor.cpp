#include "cRC_HeartbeatMonitor.h"

#include "DbgLog.h"

#include <cstdio>

namespace
{
// The log names the page protocol's operations that these steps belong to.
const char* const kTimerFunction = "cRC_IO_Pages::MM_TimerHB_Handling";
} // namespace

cRC_HeartbeatMonitor::Actions cRC_HeartbeatMonitor::Tick()
{
    Actions actions;
    if (!m_bUseHeartbeat)
    {
        if (m_nIdleTicks.fetch_add(1) >= kIdleTicksToResend - 1)
        {
            // Asked again every 1.2 s while the remote system stays silent.
            m_nIdleTicks = 0;
            m_bLinkActive = false;
            actions.bResendPeriodic = true;
        }
        return actions;
    }

    if (m_nMissedHB.load() == 0 && m_nVmsInterfaceState.load() != m_nInterfaceState.load())
    {
        const uint8_t nState = m_nVmsInterfaceState.load();
        DbgLog(DBG_INF, kTimerFunction, 462, DbgLogFormat("Setting interface state to %d", nState));
        m_nInterfaceState = nState;
        if (nState == kActive)
        {
            DbgLog(DBG_INF, kTimerFunction, 468, "HB interface state is now active, resending periodic requests");
            actions.bResendPeriodic = true;
            m_bLinkActive = true;
        }
    }
    if (++m_nHBTicks < kTicksPerHeartbeat)
        return actions;
    // Our heartbeat reports the count before this period is added to it.
    actions.bSendHeartbeat = true;
    actions.nMissed = m_nMissedHB.load();
    actions.nState = m_nInterfaceState.load();
    if (m_nMissedHB.load() < kMissedForInactive && ++m_nMissedHB == kMissedForInactive)
    {
        DbgLog(DBG_WRN, kTimerFunction, 487,
               DbgLogFormat("Now missed %d HB messages from the VMS, setting link inactive", kMissedForInactive));
        m_nInterfaceState = kInactive;
        m_bLinkActive = false;
    }
    m_nHBTicks = 0;
    return actions;
}

void cRC_HeartbeatMonitor::FrameHandled()
{
    m_nIdleTicks = 0;
    // With the heartbeat on, status frames still arriving must not undo
    // "three periods missed".
    if (!m_bUseHeartbeat)
        m_bLinkActive = true;
}

void cRC_HeartbeatMonitor::HeartbeatReceived(uint8_t nRemoteMissed, uint8_t nRemoteState)
{
    m_nMissedHB = 0;
    m_nVmsInterfaceState = nRemoteState;
    if (nRemoteMissed != 0)
        DbgLog(DBG_WRN, "cRC_IO_Pages::handleVMS_HeartBeat", 569,
               DbgLogFormat("Received VMS HB reporting %d missed messages", nRemoteMissed));
}

std::string cRC_HeartbeatMonitor::LinkStatusText() const
{
    char szText[64];
    std::snprintf(szText, sizeof(szText), "%s - %d", m_nInterfaceState.load() == kActive ? "Active" : "Inactive",
                  static_cast<int>(m_nMissedHB.load()));
    return szText;
}

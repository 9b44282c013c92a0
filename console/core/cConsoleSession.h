#pragma once
#include "cEoStreamWatch.h"
#include "cKestrumSettings.h"
#include "cPageDefinitionsReader.h"
#include "cPageList.h"
#include "cRC_LinkQuality.h"
#include "cTrafficTap.h"

#include <memory>
#include <string>

class cRC_IO_EoData;
class cRC_IO_Pages;

// The console's side of the link, without windows: the settings (the file,
// with the per-user comms settings over it), the page definitions, and the two
// protocol objects made from them, which it owns. The main window and
// kestrum-scenario each run one. Failures come back as values; telling the
// operator is the caller's part.
//
// Stop (or the destructor) ends the protocol side in the one safe order: the
// EO stream switched off and its receiver closed, then the page protocol,
// whose destructor sends the stop of every periodic request before its
// transport closes. Whatever sends through the page protocol from another
// thread (the joystick) must have stopped first.
class cConsoleSession
{
public:
    enum class Result
    {
        kStarted,           // running (or already was)
        kCannotCreate,      // out of memory
        kCannotInitialise,  // no transport with these settings (see the debug log)
        kStopped,           // the session has been stopped; nothing starts again
    };

    // What Load could not read; what it could not read keeps its defaults.
    struct LoadReport
    {
        bool bSettingsRead = false;      // the settings file, both sections
        bool bUserSettingsRead = false;  // the per-user comms settings (no file is no fault)
        bool bPagesRead = false;         // the page definitions file
    };

    explicit cConsoleSession(std::string sSettingsPath);
    ~cConsoleSession();
    cConsoleSession(const cConsoleSession&) = delete;
    cConsoleSession& operator=(const cConsoleSession&) = delete;

    // Reads the settings file, the per-user comms settings over it and the page
    // definitions. Before anything starts.
    LoadReport Load();

    // The page protocol with every defined item registered and, with long
    // frames and bUseVMS_HeartBeat, the heartbeat. Once started it stays until Stop.
    Result StartPages();
    // The EO track receiver, on its own ports.
    Result StartEoData();
    // Asks the remote system to start or stop its EO track stream (needs the page protocol).
    bool EnableEoDataOutput(bool bEnable);
    // Asks again while the stream is wanted and no report comes (cEoStreamWatch);
    // called periodically from the thread that runs the session.
    void WatchEoStream(std::chrono::steady_clock::time_point now);
    void Stop();

    const std::string& SettingsPath() const { return m_sSettingsPath; }
    const cKestrumSettings& Settings() const { return m_Settings; }
    // The comms settings, for the comms setup to edit in place before a start.
    CommsSettings& Comms() { return m_Settings.m_CommsSettings; }
    const cPageList& Pages() const { return m_Pages; }
    cPageList& Pages() { return m_Pages; }
    cRC_IO_Pages* RC_IO_Pages() const { return m_pRC_IO_Pages.get(); }
    cRC_IO_EoData* RC_IO_EoData() const { return m_pRC_IO_EoData.get(); }
    // What both protocol objects record for the link figures; set up from
    // the settings when the first of them starts.
    cRC_LinkQuality& LinkQuality() { return m_LinkQuality; }
    bool IsStopped() const { return m_bStopped; }

    // The traffic inspector's tap, made on first use, takes a copy of every
    // frame both protocol objects receive and send (and those of one started
    // later) until it is detached; detached, the links pay one atomic load a
    // frame. The tap stays for the rest of the session, so a receive thread
    // still inside it when it is detached is never left with a dangling tap.
    cTrafficTap& AttachTrafficTap();
    void DetachTrafficTap();
    bool IsTrafficTapAttached() const { return m_bTapAttached; }

private:
    const std::string m_sSettingsPath;
    cKestrumSettings m_Settings;
    // Before the protocol objects: the holders and the link figures must outlive
    // their receive threads.
    cPageList m_Pages;
    cRC_LinkQuality m_LinkQuality;
    std::unique_ptr<cTrafficTap> m_pTrafficTap;
    bool m_bTapAttached = false;
    std::unique_ptr<cRC_IO_Pages> m_pRC_IO_Pages;
    std::unique_ptr<cRC_IO_EoData> m_pRC_IO_EoData;
    cEoStreamWatch m_EoWatch;
    bool m_bStopped = false;
};

#pragma once
#include "Portelle.h"
#include "cCallbackThread.h"

#include <array>
#include <atomic>
#include <boost/signals2/signal.hpp>
#include <cstdint>
#include <mutex>
#include <string>

// Opens a controller through Portelle and turns its stream of state records
// into events: stick movements shaped by dead zones, returns to centre,
// button presses, releases and holds, hat changes. Records and every signal
// arrive on the plug-in's polling thread; the slots run there too and must
// not touch widgets. The first record after connecting is the baseline: it
// gives no button events, so nothing runs before the operator touches the
// stick. Init and release run on the owner's thread; release returns only
// when no record is being handled any more.
class cUserControls
{
public:
    static constexpr float kDeadZoneXY = 0.1f;
    static constexpr float kDeadZoneZ = 0.2f;
    static constexpr float kDeadZoneAxis = 0.1f;
    static constexpr uint32_t kHoldCount = 25;  // records a button is down before it counts as held
    static constexpr int kAxes = 8;             // X, Y, Z, rotation X, Y, Z, slider 0, slider 1
    static constexpr int kButtons = 32;

    // What the owner can tell about the device.
    enum class LinkState
    {
        kNotConnected,  // no controller open (no plug-in, no device, or released)
        kWaiting,       // open, no record yet
        kLive,          // the last record came from a successful poll
        kNotAnswering,  // open, but the last poll failed (unplugged?); readings are the last ones
    };

    cUserControls();
    virtual ~cUserControls();
    cUserControls(const cUserControls&) = delete;
    cUserControls& operator=(const cUserControls&) = delete;

    // Connects, or with nRetryPeriodMs > 0 keeps trying every period on a
    // thread of its own (true then even though nothing is connected yet).
    virtual bool InitController(const std::string& sLibPath, NxValue hWindow, const std::string& sCfgPath,
                                uint32_t nRetryPeriodMs, int32_t nDevice);
    virtual bool ConnectController(int32_t nDevice);
    virtual void ReleaseController();

    // One record; called by the controller callback on the polling thread.
    void handleJoystickMessage(const ControllerState& state);

    LinkState GetLinkState() const;
    bool IsConnected() const { return m_hController.load() != nullptr; }
    // The latest record since connecting; false when none has come.
    bool LatestState(ControllerState& state, uint64_t* pnRecords = nullptr) const;

    // Linear and exponential response of one stick value outside a dead zone;
    // false (both 0) inside it.
    static bool Shape(double dValue, double dDeadZone, double& dLinear, double& dExponential);

    boost::signals2::signal<void(float, float)> m_sigXY;
    boost::signals2::signal<void(float, float)> m_sigXYExp;
    boost::signals2::signal<void()> m_sigXYCentred;
    boost::signals2::signal<void(int)> m_sigButtonDown;
    boost::signals2::signal<void(int)> m_sigButtonUp;
    boost::signals2::signal<void(int)> m_sigButtonHeld;
    boost::signals2::signal<void(bool)> m_sigDeviceValid;
    boost::signals2::signal<void(float)> m_sigZ;
    boost::signals2::signal<void()> m_sigZCentred;
    boost::signals2::signal<void(int32_t)> m_sigPOV;
    boost::signals2::signal<void(int32_t)> m_sigPOVDown;
    boost::signals2::signal<void(int32_t)> m_sigPOVUp;
    boost::signals2::signal<void(int32_t)> m_sigPOVHeld;
    boost::signals2::signal<void(int, float)> m_sigAxis;
    boost::signals2::signal<void(int, float)> m_sigAxisExp;
    boost::signals2::signal<void(int)> m_sigAxisCentred;

private:
    static void NX_CALL ControllerCallback(void* pUserData, const ControllerState* pState);
    static bool RetryConnect(void* pParam);
    // Back to the state before any record: the next record is a baseline again.
    void ResetTracking();
    // Logs the start and the end of a spell of failed polls.
    void ReportAnswering(bool bAnswering);
    void HandleStick(const ControllerState& state);
    void HandleHat(int32_t nPOV);
    void HandleButtons(uint32_t nButtons);
    void HandleHolds();

    std::atomic<NxHandle> m_hController{nullptr};  // written by the owner's or the retry thread
    // Set before any connection attempt, read-only while the retry thread runs.
    std::string m_sLibPath;
    NxValue m_hWindow = 0;
    std::string m_sCfgPath;
    int32_t m_nRetryDevice = 0;
    // The connecting thread's (the owner's, then the retry thread's while it runs).
    NxResult m_nLastCreateError = Nx_OK;  // the last failure logged at ERR; repeats go to DBG
    bool m_bAbsenceReported = false;      // "no joystick" said, "connected" not yet
    // What the log calls the connected controller; written before its polling
    // thread starts, read there.
    std::string m_sDeviceName;
    cCallbackThread m_RetryThread{"cCallbackThread"};

    // The polling thread's own state; reset only while no polling thread runs.
    std::array<float, kAxes> m_AxisDeadZone{};
    bool m_bXYActive = false;
    bool m_bZActive = false;
    std::array<bool, kAxes> m_AxisActive{};
    int32_t m_nLastPOV = -1;
    uint32_t m_nLastButtons = 0xFFFFFFFFu;
    bool m_bBaseline = false;  // a record has set m_nLastButtons
    std::array<bool, kButtons> m_ButtonDown{};
    std::array<bool, kButtons> m_ButtonHeld{};
    std::array<uint32_t, kButtons> m_ButtonHoldCount{};
    bool m_bPOVHeld = false;
    uint32_t m_nPOVHoldCount = 0;
    bool m_bAnswering = true;  // the last record came from a successful poll

    mutable std::mutex m_SnapshotMutex;  // guards the two below: the polling thread writes, the owner reads
    ControllerState m_LastState{};
    uint64_t m_nRecords = 0;
};

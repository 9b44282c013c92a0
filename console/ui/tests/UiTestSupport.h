#pragma once
#include "ChildProcess.h"
#include "RC_Frame.h"
#include "RC_Payload.h"
#include "TempDir.h"
#include "TestPaths.h"
#include "UdpPeer.h"
#include "cAppIdentity.h"

#include <QCoreApplication>
#include <QSettings>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace ui_test
{
// Runs the event loop until the condition holds or the limit passes.
template <typename Predicate>
bool SpinUntil(Predicate predicate, std::chrono::milliseconds limit = std::chrono::seconds(10))
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!predicate())
    {
        if (std::chrono::steady_clock::now() >= deadline)
            return predicate();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        // Objects closed with deleteLater go here too, as in a running event loop.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    return true;
}

inline void Spin(std::chrono::milliseconds duration)
{
    SpinUntil([] { return false; }, duration);
}

// The per-user settings every test starts from: none stored.
inline void ClearUserSettings()
{
    const std::unique_ptr<QSettings> pStore = cAppIdentity::UserSettings();
    pStore->clear();
    pStore->sync();
}

// The console program with the settings file given, offscreen, working in the
// folder and keeping its per-user settings there. Held back, the stop signals
// wait for the program's handlers, whenever they are sent.
inline std::unique_ptr<ChildProcess> StartConsole(const TempDir& dir, const std::string& sSettings,
                                                  bool bBlockStopSignals = false)
{
    ChildProcess::Options options;
    options.sWorkDir = dir.Path();
    options.environment = {{"QT_QPA_PLATFORM", "offscreen"}, {"XDG_CONFIG_HOME", dir.Path()},
                           {"XDG_RUNTIME_DIR", dir.Path()}};
    options.bBlockStopSignals = bBlockStopSignals;
    return std::make_unique<ChildProcess>(TestPaths::BinDir() + "/kestrum", std::vector<std::string>{sSettings},
                                          options);
}

// A short-frame status frame carrying one payload.
inline std::vector<uint8_t> StatusFrame(uint8_t nSubSystem, const RC_Payload& payload, uint8_t nStatus = 0)
{
    RC_Frame frame;
    frame.BuildStatus(RC_Variant::ShortFrames, nSubSystem, 0, nStatus, payload.Data(), payload.Size());
    return {frame.Data(), frame.Data() + frame.Size()};
}

inline std::vector<uint8_t> CommandFrame(uint8_t nSubSystem, const RC_Payload& payload)
{
    RC_Frame frame;
    frame.BuildCommand(RC_Variant::ShortFrames, nSubSystem, 0, payload);
    return {frame.Data(), frame.Data() + frame.Size()};
}
} // namespace ui_test

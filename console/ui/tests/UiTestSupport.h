#pragma once
#include "RC_Frame.h"
#include "RC_Payload.h"
#include "cAppIdentity.h"

#include <QCoreApplication>
#include <QSettings>
#include <boost/asio/ip/udp.hpp>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace ui_test
{
// A UDP port that was free a moment ago, for the console's own receive port.
inline uint16_t FreeUdpPort()
{
    boost::asio::io_context io;
    boost::asio::ip::udp::socket socket(io, boost::asio::ip::udp::endpoint(boost::asio::ip::make_address("127.0.0.1"), 0));
    return socket.local_endpoint().port();
}

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

// Settings file text with the main section and EoTrackData.
inline std::string SettingsXml(const std::string& sMainAttributes, const std::string& sEoAttributes = "")
{
    return "<VMS_Cfg>\n  <Kestrum " + sMainAttributes + "/>\n  <EoTrackData " + sEoAttributes + "/>\n</VMS_Cfg>\n";
}
} // namespace ui_test

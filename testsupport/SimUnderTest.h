#pragma once
// For test programs that link vms_sim_core.
#include "UdpPeer.h"
#include "cSimEventLog.h"
#include "cSimOptions.h"
#include "cSimReplay.h"
#include "cSimulator.h"

#include <cstdint>
#include <gtest/gtest.h>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

// The simulator (or the replay) in the test's own process: listening on free
// ports of 127.0.0.1, sending to two more that were free when it was made
// (the console's, ConsolePort() and ConsoleEoPort()), quiet, its events kept,
// stopped when the object goes. The options are copied when the simulator
// is made, at the first Sim() or Start(): change them before that.
template <typename Engine>
class BasicSimUnderTest
{
public:
    explicit BasicSimUnderTest(int32_t nVariant = 0, const std::string& sPagesFile = {})
    {
        m_Options.m_nVariant = nVariant;
        if (!sPagesFile.empty())
            m_Options.m_sPagesFile = sPagesFile;
        m_Options.m_sBindAddress = "127.0.0.1";
        m_Options.m_nPort = 0;
        m_Options.m_nEoListenPort = 0;
        // Both probes held at once, so that the two ports differ.
        const UdpPeer console;
        const UdpPeer eoConsole;
        m_Options.m_nReplyPort = console.Port();
        m_Options.m_nEoPort = eoConsole.Port();
        m_Options.m_bQuiet = true;
        m_Log.SetObserver([this](const std::string& sEvent) {
            std::lock_guard<std::mutex> lock(m_EventMutex);
            m_Events.push_back(sEvent);
        });
    }
    ~BasicSimUnderTest()
    {
        m_pEngine.reset();
        m_Log.SetObserver(nullptr);
    }
    BasicSimUnderTest(const BasicSimUnderTest&) = delete;
    BasicSimUnderTest& operator=(const BasicSimUnderTest&) = delete;

    cSimOptions& Options() { return m_Options; }
    Engine& Sim()
    {
        if (!m_pEngine)
            m_pEngine = std::make_unique<Engine>(m_Options, m_Log);
        return *m_pEngine;
    }
    // ASSERT_TRUE(sim.Start()) reports why it did not start.
    ::testing::AssertionResult Start()
    {
        std::string sError;
        if (Sim().Start(sError))
            return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << "the simulator did not start: " << sError;
    }
    void Stop()
    {
        if (m_pEngine)
            m_pEngine->Stop();
    }

    uint16_t PagesPort() { return Sim().PagesPort(); }  // where it takes commands
    uint16_t EoPort() { return Sim().EoPort(); }
    uint16_t ConsolePort() const { return static_cast<uint16_t>(m_Options.m_nReplyPort); }
    uint16_t ConsoleEoPort() const { return static_cast<uint16_t>(m_Options.m_nEoPort); }

    std::vector<std::string> Events()
    {
        std::lock_guard<std::mutex> lock(m_EventMutex);
        return m_Events;
    }
    bool SawEvent(const std::string& sFragment)
    {
        std::lock_guard<std::mutex> lock(m_EventMutex);
        for (const std::string& sEvent : m_Events)
        {
            if (sEvent.find(sFragment) != std::string::npos)
                return true;
        }
        return false;
    }

private:
    cSimOptions m_Options;
    std::mutex m_EventMutex;
    std::vector<std::string> m_Events;
    cSimEventLog m_Log{true};
    std::unique_ptr<Engine> m_pEngine;  // last: its threads write to the log
};

using SimUnderTest = BasicSimUnderTest<cSimulator>;
using ReplayUnderTest = BasicSimUnderTest<cSimReplay>;

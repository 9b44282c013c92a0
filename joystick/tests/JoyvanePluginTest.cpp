#include "DXInputDevice.h"
#include "Joyvane.h"
#include "LogCapture.h"
#include "TempDir.h"
#include "WaitFor.h"
#include "cConDirectX.h"
#include "cInstanceTable.h"
#include "cPipeJoystick.h"

#include <chrono>
#include <gtest/gtest.h>
#include <mutex>
#include <thread>
#include <vector>

namespace
{
using Clock = std::chrono::steady_clock;

// Everything a callback saw, for the test thread to look at.
struct Recorder
{
    struct Call
    {
        Clock::time_point when;
        ControllerState state;
    };
    std::mutex mutex;
    std::vector<Call> calls;

    size_t Count()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return calls.size();
    }
    Call Last()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return calls.back();
    }
    std::vector<Call> All()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return calls;
    }
    // Waits for a call whose record satisfies the predicate.
    template <typename Predicate>
    bool WaitForState(Predicate predicate)
    {
        return WaitFor([&] {
            std::lock_guard<std::mutex> lock(mutex);
            return !calls.empty() && predicate(calls.back().state);
        });
    }
};

void NX_CALL Record(void* pUserData, const ControllerState* pState)
{
    Recorder* pRecorder = static_cast<Recorder*>(pUserData);
    std::lock_guard<std::mutex> lock(pRecorder->mutex);
    pRecorder->calls.push_back({Clock::now(), *pState});
}

void NX_CALL Throw(void*, const ControllerState*)
{
    throw std::runtime_error("a client fault");
}

// Joyvane's entry points with the test's controllers behind the device layer.
class Joyvane : public ::testing::Test
{
protected:
    void SetUp() override
    {
        auto pProvider = std::make_shared<cPipeProvider>(m_Devices);
        DXInputDevice::SetInterfaceFactory([pProvider] { return pProvider; });
        m_Dir.Write("settings.xml", "<VMS_Cfg><ConDirectXCfg0/></VMS_Cfg>");
    }
    void TearDown() override
    {
        cInstanceTable::Instance().DestroyAll();
        DXInputDevice::SetInterfaceFactory(nullptr);
        DbgLogSetLevel(DBG_WRN);
    }

    void* Init(int32_t nDevice = 0, const std::string& sSettings = "settings.xml")
    {
        void* hLib = nullptr;
        const std::string sPath = m_Dir.File(sSettings);
        EXPECT_EQ(CI_LibInit(&hLib, 0, nDevice, sPath.c_str(), 0x1010), Nx_OK) << m_Log.Dump();
        return hLib;
    }

    std::shared_ptr<cPipeJoystick> m_pStick = std::make_shared<cPipeJoystick>(joystick_caps::Stick());
    std::vector<std::shared_ptr<cPipeJoystick>> m_Devices{m_pStick};
    TempDir m_Dir;
    LogCapture m_Log;
};
} // namespace

TEST_F(Joyvane, InstanceTableHoldsFourAndAppendsAfterAFreedSlot)
{
    void* handles[4];
    for (void*& hLib : handles)
        hLib = Init();
    void* hFifth = nullptr;
    const std::string sPath = m_Dir.File("settings.xml");
    EXPECT_EQ(CI_LibInit(&hFifth, 0, 0, sPath.c_str(), 0x1010), Nx_INVALIDPARAM);
    EXPECT_EQ(hFifth, nullptr);

    EXPECT_EQ(CI_LibDestroy(handles[1]), Nx_OK);
    // A destroyed handle is refused (until the address is reused, as it may be next).
    EXPECT_EQ(CI_LibDestroy(handles[1]), Nx_INVALIDHANDLE);
    EXPECT_EQ(CI_LibSetCallback(handles[1], Record, nullptr), Nx_INVALIDHANDLE);
    void* hNew = Init();
    cInstanceTable& table = cInstanceTable::Instance();
    ASSERT_EQ(table.Count(), 4);
    EXPECT_EQ(table.At(0), handles[0]);
    EXPECT_EQ(table.At(1), handles[2]);
    EXPECT_EQ(table.At(2), handles[3]);
    EXPECT_EQ(table.At(3), hNew);

    int nNotAnInstance = 0;
    EXPECT_EQ(CI_LibDestroy(&nNotAnInstance), Nx_INVALIDHANDLE);
    EXPECT_EQ(CI_LibDestroy(nullptr), Nx_INVALIDHANDLE);
    EXPECT_EQ(CI_LibSetCallback(nullptr, Record, nullptr), Nx_INVALIDHANDLE);
}

TEST_F(Joyvane, InitRefusesWhatItCannotServe)
{
    void* hLib = nullptr;
    const std::string sPath = m_Dir.File("settings.xml");
    EXPECT_EQ(CI_LibInit(&hLib, 0, 0, sPath.c_str(), 0x1011), Nx_BADVERSION);
    EXPECT_EQ(CI_LibInit(&hLib, 0, 0, "", 0x1010), Nx_InvalidFile);
    EXPECT_EQ(CI_LibInit(&hLib, 0, 0, nullptr, 0x1010), Nx_InvalidFile);
    EXPECT_EQ(CI_LibInit(nullptr, 0, 0, sPath.c_str(), 0x1010), Nx_ERR);

    // One controller attached: index 1 has none.
    EXPECT_EQ(CI_LibInit(&hLib, 0, 1, sPath.c_str(), 0x1010), Nx_ERR);
    EXPECT_TRUE(m_Log.Contains("cConDirectX::init (47): Initialise failed to allocate m_pJoystick", DBG_ERR));
    EXPECT_EQ(hLib, nullptr);
    EXPECT_EQ(cInstanceTable::Instance().Count(), 0);
}

// A host asking again and again while nothing is attached (and keeping the
// plug-in loaded) reads about it once; a stick that comes and goes makes the
// next absence news again.
TEST_F(Joyvane, InitWithoutADeviceIsReportedOncePerAbsence)
{
    std::vector<std::shared_ptr<cPipeJoystick>> attached;
    DXInputDevice::SetInterfaceFactory([&attached] { return std::make_shared<cPipeProvider>(attached); });
    const std::string sPath = m_Dir.File("settings.xml");
    void* hLib = nullptr;
    for (int n = 0; n < 4; ++n)
        EXPECT_EQ(CI_LibInit(&hLib, 0, 0, sPath.c_str(), 0x1010), Nx_ERR);
    EXPECT_EQ(m_Log.Count("cConDirectX::init (47): Initialise failed to allocate m_pJoystick", DBG_ERR), 1)
        << m_Log.Dump();
    EXPECT_EQ(m_Log.Count("cConDirectX::init (47)", DBG_DBG), 3);

    attached.push_back(m_pStick);
    ASSERT_EQ(CI_LibInit(&hLib, 0, 0, sPath.c_str(), 0x1010), Nx_OK) << m_Log.Dump();
    EXPECT_EQ(CI_LibDestroy(hLib), Nx_OK);
    attached.clear();
    for (int n = 0; n < 2; ++n)
        EXPECT_EQ(CI_LibInit(&hLib, 0, 0, sPath.c_str(), 0x1010), Nx_ERR);
    EXPECT_EQ(m_Log.Count("cConDirectX::init (47)", DBG_ERR), 2);
    DXInputDevice::SetInterfaceFactory(nullptr);
}

TEST_F(Joyvane, ConfigurationSectionMayRaiseTheLogLevel)
{
    const struct
    {
        const char* szValue;
        int32_t nExpected;
    } cases[] = {{"5", 5}, {"4", 4}, {"0", 3}, {"6", 3}, {"loud", 3}};
    for (const auto& c : cases)
    {
        DbgLogSetLevel(DBG_WRN);
        m_Dir.Write("levels.xml", std::string("<VMS_Cfg><ConDirectXCfg0 nLogLevelFilter=\"") + c.szValue +
                                      "\"/><ConDirectXCfg1 nLogLevelFilter=\"1\"/></VMS_Cfg>");
        CI_LibDestroy(Init(0, "levels.xml"));
        EXPECT_EQ(DbgLogGetLevel(), c.nExpected) << "nLogLevelFilter=" << c.szValue;
    }
    EXPECT_TRUE(m_Log.Contains("cConDirectX::readConfigFile (94): DbgLogSetLevel(5)", DBG_INF)) << m_Log.Dump();

    // A missing file or section only warns.
    DbgLogSetLevel(DBG_WRN);
    CI_LibDestroy(Init(0, "absent.xml"));
    EXPECT_TRUE(m_Log.Contains("cConDirectX::readConfigFile (80): Failed to find ConDirectXCfg0 in " +
                                   m_Dir.File("absent.xml"),
                               DBG_WRN));
    EXPECT_EQ(DbgLogGetLevel(), DBG_WRN);
}

// The first record comes one period after the callback is set, then one every
// period; each carries the whole state, changed or not.
TEST_F(Joyvane, CallbackDeliversTheStateEveryHundredMilliseconds)
{
    Recorder recorder;
    void* hLib = Init();
    const Clock::time_point start = Clock::now();
    ASSERT_EQ(CI_LibSetCallback(hLib, Record, &recorder), Nx_OK);
    ASSERT_TRUE(WaitFor([&] { return recorder.Count() >= 6; }));

    const std::vector<Recorder::Call> calls = recorder.All();
    EXPECT_GE(calls[0].when - start, std::chrono::milliseconds(99));
    for (size_t i = 1; i < 6; ++i)
        EXPECT_GE(calls[i].when - calls[i - 1].when, std::chrono::milliseconds(99)) << "call " << i;
    EXPECT_LT(calls[5].when - calls[0].when, std::chrono::milliseconds(5000));  // not starved, even on a busy machine

    const ControllerState& centred = calls[0].state;
    EXPECT_EQ(centred.bValid, 1);
    EXPECT_EQ(centred.nPOV, -1);
    EXPECT_EQ(centred.nAxisFlags, 0x07);
    EXPECT_DOUBLE_EQ(centred.dX, static_cast<double>(4.0f / 1000.0f));
    EXPECT_DOUBLE_EQ(centred.dRx, 0.0);
    EXPECT_DOUBLE_EQ(centred.dSlider0, 1.0);
    EXPECT_EQ(centred.nButtons, 0u);

    m_pStick->SendFrame({{EV_ABS, ABS_X, 255}, {EV_ABS, ABS_HAT0X, 1}, {EV_KEY, BTN_TRIGGER, 1}, {EV_KEY, BTN_THUMB2, 1}});
    ASSERT_TRUE(recorder.WaitForState([](const ControllerState& state) { return state.dX == 1.0; }));
    const ControllerState moved = recorder.Last().state;
    EXPECT_EQ(moved.nPOV, 90);
    EXPECT_EQ(moved.nButtons, 0x5u);
    EXPECT_EQ(moved.bValid, 1);
}

TEST_F(Joyvane, UnpluggedStickKeepsReportingAsInvalidAndResumesByItself)
{
    Recorder recorder;
    void* hLib = Init();
    ASSERT_EQ(CI_LibSetCallback(hLib, Record, &recorder), Nx_OK);
    m_pStick->SendFrame({{EV_ABS, ABS_X, 255}});
    ASSERT_TRUE(recorder.WaitForState([](const ControllerState& state) { return state.dX == 1.0; }));

    m_pStick->Unplug();
    ASSERT_TRUE(recorder.WaitForState([](const ControllerState& state) { return state.bValid == 0; }));
    EXPECT_DOUBLE_EQ(recorder.Last().state.dX, 1.0);  // the last reading, marked stale

    JoystickCapabilities caps = joystick_caps::Stick();
    caps.axes[0].nValue = 0;
    m_pStick->Plug(caps);
    ASSERT_TRUE(recorder.WaitForState([](const ControllerState& state) { return state.bValid == 1; }));
    EXPECT_DOUBLE_EQ(recorder.Last().state.dX, -1.0);
}

TEST_F(Joyvane, SecondCallbackIsTakenThoughTheCallAnswersOne)
{
    Recorder first, second;
    void* hLib = Init();
    ASSERT_EQ(CI_LibSetCallback(hLib, Record, &first), Nx_OK);
    ASSERT_TRUE(WaitFor([&] { return first.Count() >= 1; }));
    EXPECT_EQ(CI_LibSetCallback(hLib, Record, &second), Nx_ERR);
    EXPECT_TRUE(m_Log.Contains("(cControlIF) Thread Already Running", DBG_WRN));
    ASSERT_TRUE(WaitFor([&] { return second.Count() >= 2; }));
    const size_t nFirst = first.Count();
    ASSERT_TRUE(WaitFor([&] { return second.Count() >= 4; }));
    EXPECT_EQ(first.Count(), nFirst);
}

TEST_F(Joyvane, NoCallbackRunsAfterDestroyReturns)
{
    Recorder recorder;
    void* hLib = Init();
    ASSERT_EQ(CI_LibSetCallback(hLib, Record, &recorder), Nx_OK);
    ASSERT_TRUE(WaitFor([&] { return recorder.Count() >= 2; }));
    const Clock::time_point before = Clock::now();
    EXPECT_EQ(CI_LibDestroy(hLib), Nx_OK);
    EXPECT_LT(Clock::now() - before, std::chrono::milliseconds(2000));  // the pause is cut short
    const size_t nCalls = recorder.Count();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));  // several periods: none may come
    EXPECT_EQ(recorder.Count(), nCalls);
}

// What the library does as it is unloaded: every instance stops and goes.
TEST_F(Joyvane, DestroyAllStopsEveryInstance)
{
    Recorder recorder;
    ASSERT_EQ(CI_LibSetCallback(Init(), Record, &recorder), Nx_OK);
    ASSERT_EQ(CI_LibSetCallback(Init(), Record, &recorder), Nx_OK);
    ASSERT_TRUE(WaitFor([&] { return recorder.Count() >= 4; }));
    cInstanceTable::Instance().DestroyAll();
    EXPECT_EQ(cInstanceTable::Instance().Count(), 0);
    const size_t nCalls = recorder.Count();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(recorder.Count(), nCalls);
}

TEST_F(Joyvane, ThrowingCallbackDoesNotStopThePolling)
{
    cConDirectX controller;
    const std::string sPath = m_Dir.File("settings.xml");
    ASSERT_EQ(controller.init(sPath.c_str(), 0, 0), Nx_OK);
    ASSERT_TRUE(controller.setCallbackRate(Throw, nullptr, 50.0f));
    ASSERT_TRUE(WaitFor([&] { return m_Log.Contains("(cControlIF) callback raised an exception", DBG_ERR); }));
    EXPECT_TRUE(controller.IsRunning());
    controller.uninit();
    EXPECT_EQ(m_Log.Count("callback raised an exception"), 1);
}

TEST(ControlIF, RateBecomesAPeriodWithinBounds)
{
    EXPECT_EQ(cControlIF::PeriodFromRate(10.0f), 100);
    EXPECT_EQ(cControlIF::PeriodFromRate(3.0f), 333);
    EXPECT_EQ(cControlIF::PeriodFromRate(200.0f), 10);
    EXPECT_EQ(cControlIF::PeriodFromRate(0.5f), 1000);
    EXPECT_EQ(cControlIF::PeriodFromRate(0.0f), 1000);
    EXPECT_EQ(cControlIF::PeriodFromRate(-4.0f), 10);
}

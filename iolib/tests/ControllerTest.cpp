#include "CXLoadLibrary.h"
#include "Portelle.h"
#include "PluginTestSupport.h"
#include "ScriptedController.h"
#include "WaitFor.h"
#include "cCreateRetries.h"

#include <atomic>
#include <boost/filesystem.hpp>
#include <cstdio>
#include <mutex>
#include <unistd.h>
#include <vector>

namespace
{
int g_nUntouched = 0;
const NxHandle kUntouched = &g_nUntouched;  // never a handle Portelle gives out

class ControllerFamily : public PluginTest
{
protected:
    // A plug-in whose init failed is kept loaded for the next create: let it
    // go, so that each case starts with nothing loaded.
    void TearDown() override
    {
        for (const char* szPlugin : {"tc_full", "tc_script"})
            cCreateRetries::Instance().KeepLoaded(PluginPath(szPlugin).c_str(), false);
    }

    // Creates a controller on the named test plug-in; the test fails if it cannot.
    NxHandle Create(const std::string& sPlugin, const std::string& sSettings = "", int32_t nDevice = 0)
    {
        NxHandle hController = nullptr;
        m_sConfig = Config(sSettings);
        EXPECT_EQ(Nx_ConCreate(&hController, PluginPath(sPlugin).c_str(), 0, nDevice, m_sConfig.c_str()), Nx_OK)
            << m_Log.Dump();
        return hController;
    }

    // Create that is expected to fail: returns its code, checks no handle came
    // out and a library that could not be used is not left loaded.
    NxResult CreateFails(const char* szPath, const std::string& sSettings = "", int32_t nDevice = 0)
    {
        NxHandle hController = kUntouched;
        m_sConfig = Config(sSettings);
        const NxResult nResult = Nx_ConCreate(&hController, szPath, 0, nDevice, m_sConfig.c_str());
        EXPECT_EQ(hController, kUntouched);
        if (szPath && *szPath && (nResult == Nx_InvalidFile || nResult == Nx_INVALIDSRC))
        {
            EXPECT_FALSE(IsLoaded(szPath)) << szPath;
        }
        return nResult;
    }
};

struct Received
{
    std::mutex mutex;
    std::vector<ControllerState> states;
    std::vector<void*> users;
};

void NX_CALL Collect(void* pUserData, const ControllerState* pState)
{
    Received* pReceived = static_cast<Received*>(pUserData);
    std::lock_guard<std::mutex> lock(pReceived->mutex);
    pReceived->states.push_back(*pState);
    pReceived->users.push_back(pUserData);
}
} // namespace

TEST_F(ControllerFamily, NullAndEmptyPathsAreInvalidFiles)
{
    EXPECT_EQ(CreateFails(nullptr), Nx_InvalidFile);
    EXPECT_TRUE(m_Log.Contains("cControllerIFEx::LoadSource (62): received NULL filename", DBG_ERR)) << m_Log.Dump();
    EXPECT_TRUE(m_Log.Contains("Nx_ConCreate (256): LoadSource((null)) return 7", DBG_ERR));

    m_Log.Clear();
    EXPECT_EQ(CreateFails(""), Nx_InvalidFile);
    EXPECT_TRUE(m_Log.Contains("LoadLibrary failed", DBG_ERR)) << m_Log.Dump();
}

TEST_F(ControllerFamily, FilesThatAreNotControllerPluginsAreRefusedAndUnloaded)
{
    m_Dir.Write("notes.so", "this is text, not a shared object\n");
    EXPECT_EQ(CreateFails(m_Dir.File("notes.so").c_str()), Nx_InvalidFile);
    EXPECT_TRUE(m_Log.Contains("LoadLibrary failed", DBG_ERR));
    EXPECT_EQ(CreateFails(m_Dir.File("absent.so").c_str()), Nx_InvalidFile);

    m_Log.Clear();
    EXPECT_EQ(CreateFails(PluginPath("tc_noinit").c_str()), Nx_INVALIDSRC);
    EXPECT_TRUE(m_Log.Contains("Library does not have the CI_LibInit function", DBG_ERR)) << m_Log.Dump();
    EXPECT_EQ(CreateFails(PluginPath("tc_nodestroy").c_str()), Nx_INVALIDSRC);
    EXPECT_TRUE(m_Log.Contains("Library does not have the CI_LibDestroy function", DBG_ERR));

    // A bare name nobody placed beside the program goes to the loader's own
    // search (libm is loaded anyway, so only the answer can be checked).
    NxHandle hController = kUntouched;
    EXPECT_EQ(Nx_ConCreate(&hController, "libm.so.6", 0, 0, ""), Nx_INVALIDSRC);
    EXPECT_EQ(hController, kUntouched);

    // Cutting an over-long path to fit could name another library.
    const std::string sLong = m_Dir.Path() + "/" + std::string(600, 'x') + ".so";
    EXPECT_EQ(CreateFails(sLong.c_str()), Nx_InvalidFile);
}

TEST_F(ControllerFamily, NullHandlePointerIsRefusedBeforeLoading)
{
    EXPECT_EQ(Nx_ConCreate(nullptr, PluginPath("tc_full").c_str(), 0, 0, Config().c_str()), Nx_ERR);
    EXPECT_FALSE(IsLoaded(PluginPath("tc_full")));
    EXPECT_EQ(Journal(), "");
}

// Joyvane exports only init, destroy and set-callback: creation works and the
// other operations answer "incompatible".
TEST_F(ControllerFamily, PluginWithoutOptionalEntryPointsAnswersIncompatible)
{
    const NxHandle hController = Create("tc_basic");
    EXPECT_TRUE(m_Log.Contains("CI_LibSetCallback function found in the library", DBG_INF));
    EXPECT_TRUE(m_Log.Contains("Library does not have the CI_LibStopCallback function", DBG_INF));
    EXPECT_TRUE(m_Log.Contains("Library does not have the CI_LibSetTimer function", DBG_INF));
    EXPECT_TRUE(m_Log.Contains("Library does not have the CI_LibGetVerString function", DBG_INF));

    EXPECT_EQ(Nx_ConStopCallback(hController, Collect), Nx_INCOMPATIBLE);
    EXPECT_EQ(Nx_ConSetTimer(hController, 100), Nx_INCOMPATIBLE);
    EXPECT_EQ(Nx_ConGetVerString(hController, 1, 2), Nx_INCOMPATIBLE);
    EXPECT_EQ(m_Log.Count("User library incompatible", DBG_INF), 3) << m_Log.Dump();
    EXPECT_EQ(Errors(), 0) << m_Log.Dump();

    EXPECT_EQ(Nx_ConDestroy(hController), Nx_OK);
    EXPECT_FALSE(IsLoaded(PluginPath("tc_basic")));
}

TEST_F(ControllerFamily, ClientValuesReachThePluginUnchanged)
{
    NxHandle hController = nullptr;
    const std::string sConfig = Config();
    ASSERT_EQ(Nx_ConCreate(&hController, PluginPath("tc_full").c_str(), 1234, 5, sConfig.c_str()), Nx_OK);
    EXPECT_TRUE(IsLoaded(PluginPath("tc_full")));
    EXPECT_EQ(Nx_ConSetTimer(hController, 77), Nx_OK);
    EXPECT_EQ(Nx_ConGetVerString(hController, 11, 22), Nx_OK);
    EXPECT_EQ(Nx_ConStopCallback(hController, Collect), Nx_OK);
    EXPECT_EQ(Nx_ConDestroy(hController), Nx_OK);
    EXPECT_FALSE(IsLoaded(PluginPath("tc_full")));
    EXPECT_EQ(Journal(), "Init window=1234 device=5 version=0x1010\n"
                         "SetTimer 77\n"
                         "GetVerString 11 22\n"
                         "StopCallback\n"
                         "Destroy\n");
}

TEST_F(ControllerFamily, DeviceIndexBelowZeroNeverReachesThePlugin)
{
    EXPECT_EQ(CreateFails(PluginPath("tc_full").c_str(), "", -1), Nx_INVALIDPARAM);
    EXPECT_TRUE(m_Log.Contains("nDevice is invalid", DBG_ERR)) << m_Log.Dump();
    EXPECT_TRUE(m_Log.Contains("Nx_ConCreate (264): ConInit(-1) return 6", DBG_ERR));
    EXPECT_EQ(Journal(), "");
}

// The plug-in stays loaded for the retry a client may make, until the next
// create of it ends; one that succeeds leaves it to the controller alone.
TEST_F(ControllerFamily, PluginInitFailureIsPassedBackAndThePluginKeptForTheNextCreate)
{
    EXPECT_EQ(CreateFails(PluginPath("tc_full").c_str(), "init=14"), Nx_BADVERSION);
    EXPECT_TRUE(m_Log.Contains("cControllerIFEx::Init (168): m_pfnInit returned 14", DBG_ERR)) << m_Log.Dump();
    EXPECT_TRUE(m_Log.Contains("ConInit(0) return 14", DBG_ERR));
    EXPECT_TRUE(IsLoaded(PluginPath("tc_full")));
    EXPECT_EQ(Journal(), "Init window=0 device=0 version=0x1010\n");

    EXPECT_EQ(Nx_ConDestroy(Create("tc_full")), Nx_OK);
    EXPECT_FALSE(IsLoaded(PluginPath("tc_full")));
}

// A client retrying a create that keeps failing alike (no device attached)
// reads the failure once: the repeats log at DBG. A success makes the next
// failure news again, and so is a failure that changes. A plug-in file that
// is not there is reported once too.
TEST_F(ControllerFamily, RetriedCreateFailingAlikeIsReportedOnce)
{
    const std::string sPlugged = m_Dir.File("plugged");
    const std::string sSettings = ScriptedController::WriteSettings(
        m_Dir, "buttons=0\n", "", "nPeriodMs=\"5\" sPresentFile=\"" + sPlugged + "\"");
    const std::string sPlugin = PluginPath("tc_script");
    NxHandle hController = nullptr;
    auto create = [&](const std::string& sPath) {
        return Nx_ConCreate(&hController, sPath.c_str(), 0, 0, sSettings.c_str());
    };
    for (int n = 0; n < 5; ++n)
        EXPECT_EQ(create(sPlugin), Nx_ERR);
    EXPECT_EQ(m_Log.Count("cControllerIFEx::Init (168): m_pfnInit returned 1", DBG_ERR), 1) << m_Log.Dump();
    EXPECT_EQ(m_Log.Count("Nx_ConCreate (264): ConInit(0) return 1", DBG_ERR), 1);
    EXPECT_EQ(m_Log.Count("Nx_ConCreate (264): ConInit(0) return 1", DBG_DBG), 4);
    EXPECT_EQ(m_Log.Count("Nx_ConCreate (239): called", DBG_INF), 1);
    EXPECT_EQ(Errors(), 2);

    m_Dir.Write("plugged", "");
    ASSERT_EQ(create(sPlugin), Nx_OK) << m_Log.Dump();
    EXPECT_EQ(Nx_ConDestroy(hController), Nx_OK);
    EXPECT_FALSE(IsLoaded(sPlugin));
    std::remove(sPlugged.c_str());
    m_Log.Clear();
    EXPECT_EQ(create(sPlugin), Nx_ERR);
    EXPECT_EQ(create(sPlugin), Nx_ERR);
    EXPECT_EQ(m_Log.Count("ConInit(0) return 1", DBG_ERR), 1) << m_Log.Dump();

    // Attached, but the script has gone: another failure, told in full.
    m_Dir.Write("plugged", "");
    std::remove(m_Dir.File("script.txt").c_str());
    EXPECT_EQ(create(sPlugin), Nx_InvalidFile);
    EXPECT_EQ(create(sPlugin), Nx_InvalidFile);
    EXPECT_EQ(m_Log.Count("m_pfnInit returned 7", DBG_ERR), 1) << m_Log.Dump();
    EXPECT_EQ(m_Log.Count("ConInit(0) return 7", DBG_ERR), 1);

    m_Log.Clear();
    for (int n = 0; n < 3; ++n)
        EXPECT_EQ(create(m_Dir.File("libabsent.so")), Nx_InvalidFile);
    EXPECT_EQ(m_Log.Count("CXLoadLibrary::Load", DBG_ERR), 1) << m_Log.Dump();
    EXPECT_EQ(m_Log.Count("cControllerIFEx::LoadSource (72): LoadLibrary failed", DBG_ERR), 1);
    EXPECT_EQ(m_Log.Count("Nx_ConCreate (256): LoadSource(" + m_Dir.File("libabsent.so") + ") return 7", DBG_ERR), 1);
    EXPECT_EQ(Errors(), 3);
}

TEST_F(ControllerFamily, ForwardedResultsComeBackWithTheirLogLines)
{
    const struct
    {
        const char* szOperation;
        std::function<NxResult(NxHandle)> call;
        const char* szFailedLine;
    } operations[] = {
        {"SetCallback", [](NxHandle h) { return Nx_ConSetCallback(h, Collect, nullptr); },
         "m_pfnSetCallback returned 5"},
        {"StopCallback", [](NxHandle h) { return Nx_ConStopCallback(h, Collect); },
         "m_pfnStopCallback returned 5"},
        {"SetTimer", [](NxHandle h) { return Nx_ConSetTimer(h, 1); },
         "m_pfnSetTimer returned 5"},
        {"GetVerString", [](NxHandle h) { return Nx_ConGetVerString(h, 1, 2); },
         "m_pfnGetVerString returned 5"},
    };
    const NxHandle hController = Create("tc_full", "ret=16 ret.SetCallback=5 ret.StopCallback=5 ret.SetTimer=5 ret.GetVerString=5");
    for (const auto& op : operations)
    {
        m_Log.Clear();
        EXPECT_EQ(op.call(hController), 5) << op.szOperation;
        EXPECT_TRUE(m_Log.Contains(op.szFailedLine, DBG_ERR)) << m_Log.Dump();
    }
    Nx_ConDestroy(hController);

    // 16 is an answer, not a failure: passed back without a line.
    const NxHandle hQuiet = Create("tc_full", "ret=16");
    m_Log.Clear();
    for (const auto& op : operations)
        EXPECT_EQ(op.call(hQuiet), 16) << op.szOperation;
    EXPECT_EQ(m_Log.Lines().size(), 0u) << m_Log.Dump();
    Nx_ConDestroy(hQuiet);
}

TEST_F(ControllerFamily, ThrowingOperationUnloadsThePluginButKeepsTheHandle)
{
    const NxHandle hController = Create("tc_full", "throw=SetTimer");
    EXPECT_EQ(Nx_ConSetTimer(hController, 9), Nx_ERR);
    EXPECT_TRUE(m_Log.Contains("cControllerIFEx::SetTimer (313): Caught unknown exception, unloading the library", DBG_ERR))
        << m_Log.Dump();
    EXPECT_TRUE(m_Log.Contains("calling UnLoadLibrary... ", DBG_INF));
    EXPECT_FALSE(IsLoaded(PluginPath("tc_full")));

    // The instance is gone: every later call answers "no instance".
    m_Log.Clear();
    EXPECT_EQ(Nx_ConSetCallback(hController, Collect, nullptr), Nx_ERR);
    EXPECT_EQ(Nx_ConGetVerString(hController, 1, 2), Nx_ERR);
    EXPECT_EQ(Errors(), 0);
    EXPECT_EQ(Nx_ConDestroy(hController), Nx_OK);
    EXPECT_EQ(Journal(), "Init window=0 device=0 version=0x1010\nSetTimer 9\nDestroy\n");
}

TEST_F(ControllerFamily, PluginThrowingEverywhereNeverReachesTheClient)
{
    EXPECT_EQ(CreateFails(PluginPath("tc_full").c_str(), "throw=all"), Nx_ERR);
    EXPECT_TRUE(m_Log.Contains("Caught unknown exception, unloading the library", DBG_ERR)) << m_Log.Dump();
    EXPECT_TRUE(m_Log.Contains("ConInit(0) return 1", DBG_ERR));
    EXPECT_FALSE(IsLoaded(PluginPath("tc_full")));  // not kept for a retry either

    // Destroy throws too: the plug-in is unloaded with its handle still set, so
    // later calls find no entry point.
    m_Log.Clear();
    const NxHandle hController = Create("tc_full", "throw=SetCallback,Destroy");
    EXPECT_EQ(Nx_ConSetCallback(hController, Collect, nullptr), Nx_ERR);
    EXPECT_EQ(m_Log.Count("Caught unknown exception", DBG_ERR), 2) << m_Log.Dump();  // SetCallback and Destroy
    EXPECT_FALSE(IsLoaded(PluginPath("tc_full")));
    EXPECT_EQ(Nx_ConSetTimer(hController, 1), Nx_INCOMPATIBLE);
    EXPECT_EQ(Nx_ConDestroy(hController), Nx_OK);
    EXPECT_TRUE(m_Log.Contains("User library not loaded or incompatible", DBG_ERR));

    // Destroy alone throwing: the handle still dies and the library is released,
    // without a second destroy of an instance the plug-in may have freed.
    boost::filesystem::remove(JournalPath());
    const NxHandle hLast = Create("tc_full", "throw=Destroy");
    EXPECT_EQ(Nx_ConDestroy(hLast), Nx_OK);
    EXPECT_FALSE(IsLoaded(PluginPath("tc_full")));
    EXPECT_EQ(Journal(), "Init window=0 device=0 version=0x1010\nDestroy\n");
}

TEST_F(ControllerFamily, HandlesAreCheckedBeforeAnyUse)
{
    EXPECT_EQ(Nx_ConDestroy(nullptr), Nx_ERR);
    EXPECT_EQ(Nx_ConSetCallback(nullptr, Collect, nullptr), Nx_ERR);
    EXPECT_EQ(Nx_ConStopCallback(nullptr, Collect), Nx_ERR);
    EXPECT_EQ(Nx_ConSetTimer(nullptr, 1), Nx_ERR);
    EXPECT_EQ(Nx_ConGetVerString(nullptr, 1, 2), Nx_ERR);

    // Another family's handle, a value that never was a handle, a destroyed one.
    NxHandle hMouse = nullptr;
    m_sConfig = Config();
    ASSERT_EQ(Nx_MouseCreateIF(&hMouse, PluginPath("mi_full").c_str(), 0, reinterpret_cast<NxValue>(m_sConfig.c_str())),
              Nx_OK);
    int nNotAnObject = 0;
    const NxHandle hDestroyed = Create("tc_full");
    ASSERT_EQ(Nx_ConDestroy(hDestroyed), Nx_OK);
    for (NxHandle hBad : {hMouse, static_cast<NxHandle>(&nNotAnObject), hDestroyed})
    {
        EXPECT_EQ(Nx_ConSetCallback(hBad, Collect, nullptr), Nx_INVALIDHANDLE);
        EXPECT_EQ(Nx_ConStopCallback(hBad, Collect), Nx_INVALIDHANDLE);
        EXPECT_EQ(Nx_ConSetTimer(hBad, 1), Nx_INVALIDHANDLE);
        EXPECT_EQ(Nx_ConGetVerString(hBad, 1, 2), Nx_INVALIDHANDLE);
        EXPECT_EQ(Nx_ConDestroy(hBad), Nx_INVALIDHANDLE);
    }
    EXPECT_EQ(Nx_MouseDestroyIF(hMouse), Nx_OK);
}

// The callback and user pointer pass through Portelle untouched; the records
// arrive on the plug-in's own thread.
TEST_F(ControllerFamily, CallbackReceivesThePluginRecordsWithTheUserPointer)
{
    Received received;
    const NxHandle hController = Create("tc_full", "states=5");
    ASSERT_EQ(Nx_ConSetCallback(hController, Collect, &received), Nx_OK);
    ASSERT_TRUE(WaitFor([&] {
        std::lock_guard<std::mutex> lock(received.mutex);
        return received.states.size() == 5;
    }));
    EXPECT_EQ(Nx_ConStopCallback(hController, Collect), Nx_OK);
    EXPECT_EQ(Nx_ConDestroy(hController), Nx_OK);

    std::lock_guard<std::mutex> lock(received.mutex);
    for (int i = 0; i < 5; ++i)
    {
        EXPECT_EQ(received.users[i], &received);
        EXPECT_DOUBLE_EQ(received.states[i].dX, i / 10.0);
        EXPECT_EQ(received.states[i].nPOV, i * 10);
        EXPECT_EQ(received.states[i].nButtons, 1u << i);
    }
}

TEST_F(ControllerFamily, BareFileNameIsFoundBesideTheProgram)
{
    const std::string sName = "libtc_beside_" + std::to_string(getpid()) + ".so";
    const std::string sBeside = CXLoadLibrary::ProgramFolder() + "/" + sName;
    boost::filesystem::copy_file(PluginPath("tc_full"), sBeside, boost::filesystem::copy_options::overwrite_existing);

    NxHandle hController = nullptr;
    const std::string sConfig = Config();
    EXPECT_EQ(Nx_ConCreate(&hController, sName.c_str(), 0, 0, sConfig.c_str()), Nx_OK) << m_Log.Dump();
    EXPECT_EQ(Nx_ConDestroy(hController), Nx_OK);
    boost::filesystem::remove(sBeside);
}

#include "Portelle.h"
#include "PluginTestSupport.h"

#include <functional>

namespace
{
class GpioFamily : public PluginTest
{
protected:
    NxHandle Load(const std::string& sPlugin, const std::string& sSettings = "")
    {
        NxHandle hIO = nullptr;
        EXPECT_EQ(Nx_IO_LoadLibrary(&hIO, PluginPath(sPlugin).c_str(), ConfigValue(sSettings), 42), Nx_OK)
            << m_Log.Dump();
        return hIO;
    }
};

class DeviceFamilies : public PluginTest
{
};

void NX_CALL NoCallback()
{
}
} // namespace

// A refused pin is reported as an invalid parameter without a line; any other
// plug-in error becomes Nx_ERR with the operation's line.
TEST_F(GpioFamily, PluginErrorsAreTranslated)
{
    const NxHandle hIO = Load("tg_full", "ret.IO_SetGPIO_Pin=5 ret.IO_ReadGPIO_Pin=3 ret.IO_StartWatchdog=5");
    EXPECT_EQ(Nx_IO_SetGPIO_Pin(hIO, 4, 1), Nx_INVALIDPARAM);
    EXPECT_EQ(Errors(), 0) << m_Log.Dump();
    EXPECT_EQ(Nx_IO_ReadGPIO_Pin(hIO, 4, 0), Nx_ERR);
    EXPECT_TRUE(m_Log.Contains("IO_LibEx::ReadGPIO_Pin", DBG_ERR));
    EXPECT_TRUE(m_Log.Contains("m_pfnIO_ReadGPIO_Pin failed with error 3", DBG_ERR)) << m_Log.Dump();
    EXPECT_EQ(Nx_IO_StartWatchdog(hIO, 500), Nx_ERR);  // 5 means a refused pin only for pin operations
    EXPECT_TRUE(m_Log.Contains("m_pfnIO_StartWatchdog failed with error 5", DBG_ERR));
    EXPECT_EQ(Nx_IO_SetGPIO_PinAsOuput(hIO, 3, 1), Nx_OK);
    EXPECT_EQ(Nx_IO_ReleaseLibrary(hIO), Nx_OK);
    EXPECT_FALSE(IsLoaded(PluginPath("tg_full")));

    const std::string sJournal = Journal();
    EXPECT_NE(sJournal.find("Init value2=42 version=0x2030\n"), std::string::npos) << sJournal;
    EXPECT_NE(sJournal.find("IO_SetGPIO_PinAsOutput 3 1\n"), std::string::npos) << sJournal;
}

TEST_F(GpioFamily, EveryExportReachesItsEntryPoint)
{
    const NxHandle hIO = Load("tg_full");
    EXPECT_EQ(Nx_IO_SetGPIO_PinAsOuput(hIO, 1, 2), Nx_OK);
    EXPECT_EQ(Nx_IO_ReadGPIO_PinAsOuput(hIO, 3, 4), Nx_OK);
    EXPECT_EQ(Nx_IO_SetGPIO_Pin(hIO, 5, 6), Nx_OK);
    EXPECT_EQ(Nx_IO_ReadGPIO_Pin(hIO, 7, 8), Nx_OK);
    EXPECT_EQ(Nx_IO_ReadGPIO(hIO, 9), Nx_OK);
    EXPECT_EQ(Nx_IO_ReadGPIO_Outputs(hIO, 10), Nx_OK);
    EXPECT_EQ(Nx_IO_SetCallback(hIO, 11, 12), Nx_OK);
    EXPECT_EQ(Nx_IO_SetCurrentSensorCallback(hIO, 13, 14), Nx_OK);
    EXPECT_EQ(Nx_IO_StartWatchdog(hIO, 15), Nx_OK);
    EXPECT_EQ(Nx_IO_StopWatchdog(hIO), Nx_OK);
    EXPECT_EQ(Nx_IO_ResetWatchdog(hIO), Nx_OK);
    EXPECT_EQ(Nx_IO_ReleaseLibrary(hIO), Nx_OK);
    const std::string sJournal = Journal();
    EXPECT_NE(sJournal.find("IO_SetGPIO_PinAsOutput 1 2\nIO_ReadGPIO_PinAsOutput 3 4\nIO_SetGPIO_Pin 5 6\n"
                            "IO_ReadGPIO_Pin 7 8\nIO_ReadGPIO 9\nIO_ReadGPIO_Outputs 10\nIO_SetCallback 11 12\n"
                            "IO_SetCurrentSensorCallback 13 14\nIO_StartWatchdog 15\nIO_StopWatchdog\n"
                            "IO_ResetWatchdog\nDestroy\n"),
              std::string::npos)
        << sJournal;
}

TEST_F(GpioFamily, MissingOptionalEntryPointAnswersErrWithoutALine)
{
    const NxHandle hIO = Load("tg_noread");
    EXPECT_EQ(Nx_IO_ReadGPIO(hIO, 0), Nx_ERR);
    EXPECT_EQ(Errors(), 0) << m_Log.Dump();
    Nx_IO_ReleaseLibrary(hIO);
}

TEST_F(GpioFamily, InitFailuresAreExplainedAndLeaveNothingLoaded)
{
    NxHandle hIO = nullptr;
    EXPECT_EQ(Nx_IO_LoadLibrary(&hIO, PluginPath("tg_full").c_str(), ConfigValue("init=7"), 0), 7);
    EXPECT_TRUE(m_Log.Contains("IO_LibEx::Init (172): m_pfnIO_Init failed to load kernal mode device driver", DBG_ERR));
    EXPECT_TRUE(m_Log.Contains("m_pfnIO_Init failed with error 7", DBG_ERR));
    EXPECT_TRUE(m_Log.Contains("Nx_IO_LoadLibrary (69): failed to IO_Init, error code 7", DBG_ERR)) << m_Log.Dump();
    EXPECT_EQ(Nx_IO_LoadLibrary(&hIO, PluginPath("tg_full").c_str(), ConfigValue("init=8"), 0), 8);
    EXPECT_TRUE(m_Log.Contains("m_pfnIO_Init failed find compatible hardware", DBG_ERR));
    EXPECT_EQ(hIO, nullptr);
    EXPECT_FALSE(IsLoaded(PluginPath("tg_full")));

    EXPECT_EQ(Nx_IO_LoadLibrary(&hIO, nullptr, 0, 0), Nx_InvalidFile);
    EXPECT_TRUE(m_Log.Contains("Invalid lpszPath", DBG_ERR));
    EXPECT_EQ(Nx_IO_LoadLibrary(&hIO, "", 0, 0), Nx_InvalidFile);
    EXPECT_TRUE(m_Log.Contains("LoadLibrary not successful, returning Nx_InvalidFile", DBG_ERR));
    EXPECT_EQ(Nx_IO_LoadLibrary(&hIO, PluginPath("tc_full").c_str(), 0, 0), Nx_INVALIDSRC);
    EXPECT_TRUE(m_Log.Contains("loaded library does not contain IO_LibInit ProcAddress", DBG_ERR));
    EXPECT_FALSE(IsLoaded(PluginPath("tc_full")));
    EXPECT_EQ(Nx_IO_LoadLibrary(nullptr, PluginPath("tg_full").c_str(), 0, 0), Nx_ERR);
    EXPECT_EQ(hIO, nullptr);
}

TEST_F(GpioFamily, ThrowingPluginIsReleasedAndTheHandleAnswersErr)
{
    const NxHandle hIO = Load("tg_full", "throw=IO_StartWatchdog,Destroy");
    EXPECT_EQ(Nx_IO_StartWatchdog(hIO, 100), Nx_ERR);
    EXPECT_TRUE(m_Log.Contains("Unknown Error Caught in StartWatchdog. Call Destroy and Return Nx_ERR", DBG_ERR));
    EXPECT_TRUE(m_Log.Contains("IO_LibEx::Destroy (64): Caught exception from PortelleSpecific Dsetroy function",
                               DBG_ERR))
        << m_Log.Dump();
    EXPECT_FALSE(IsLoaded(PluginPath("tg_full")));
    EXPECT_EQ(Nx_IO_StopWatchdog(hIO), Nx_ERR);
    EXPECT_EQ(Nx_IO_ReleaseLibrary(hIO), Nx_OK);
    EXPECT_EQ(Nx_IO_ReleaseLibrary(hIO), Nx_INVALIDHANDLE);  // already gone, not freed twice

    NxHandle hThrowing = nullptr;
    EXPECT_EQ(Nx_IO_LoadLibrary(&hThrowing, PluginPath("tg_full").c_str(), ConfigValue("throw=Init"), 0), Nx_ERR);
    EXPECT_TRUE(m_Log.Contains("Unknown Error Caught in IO_Init. Call Destroy and Return Nx_ERR", DBG_ERR));
    EXPECT_FALSE(IsLoaded(PluginPath("tg_full")));
}

TEST_F(DeviceFamilies, TargetDesignatorForwardsAndGuardsLikeTheControllers)
{
    NxHandle hTD = nullptr;
    ASSERT_EQ(Nx_TD_CreateIF(&hTD, PluginPath("td_nopolar").c_str(), 2,
                             ConfigValue("ret.TI_LibGetStatus=5 ret.TI_LibSetAttrib=5 ret.TI_LibSetTimer=16")),
              Nx_OK);
    EXPECT_TRUE(m_Log.Contains("Library does not have the TI_LibSendPolarTarget function", DBG_INF));
    EXPECT_TRUE(m_Log.Contains("TI_LibSendGeoTarget function found in the library", DBG_INF));

    m_Log.Clear();
    EXPECT_EQ(Nx_TD_GetStatus(hTD, 1), 5);  // the plug-in's answer, not a failure
    EXPECT_EQ(Nx_TD_SetTimer(hTD, 250), 16);
    EXPECT_EQ(m_Log.Lines().size(), 0u) << m_Log.Dump();
    EXPECT_EQ(Nx_TD_SetAttrib(hTD, 1, 2), 5);
    EXPECT_TRUE(m_Log.Contains("cTD_IFEx::SetAttrib", DBG_ERR));
    EXPECT_TRUE(m_Log.Contains("m_pfnSetAttrib returned 5", DBG_ERR));
    EXPECT_EQ(Nx_TD_SendPolarTarget(hTD, 1, 2, 3, 4), Nx_INCOMPATIBLE);
    EXPECT_TRUE(m_Log.Contains("cTD_IFEx::SendPolar", DBG_INF));
    EXPECT_TRUE(m_Log.Contains("User library incompatible", DBG_INF));

    EXPECT_EQ(Nx_TD_SendGeoTarget(hTD, 0x11, 0x22, 0x33, 0xdeadbeef), Nx_OK);
    EXPECT_EQ(Nx_TD_SetCallback(hTD, NoCallback, nullptr), Nx_OK);
    EXPECT_EQ(Nx_TD_StopCallback(hTD, NoCallback), Nx_OK);
    EXPECT_EQ(Nx_TD_SetCallbackMultiTgt(hTD, 1, 2, 3, 4), Nx_OK);
    EXPECT_EQ(Nx_TD_StopCallbackMultiTgt(hTD, 5, 6, 7), Nx_OK);
    EXPECT_EQ(Nx_TD_DestroyIF(hTD), Nx_OK);
    EXPECT_FALSE(IsLoaded(PluginPath("td_nopolar")));

    const std::string sJournal = Journal();
    EXPECT_NE(sJournal.find("Init device=2 version=0x1110\n"), std::string::npos) << sJournal;
    EXPECT_NE(sJournal.find("TI_LibSendGeoTarget 11 22 33 deadbeef\n"), std::string::npos) << sJournal;
    EXPECT_NE(sJournal.find("TI_LibSetCallbackMultiTgt 1 2 3 4\nTI_LibStopCallbackMultiTgt 5 6 7\n"),
              std::string::npos)
        << sJournal;
}

TEST_F(DeviceFamilies, TargetDesignatorLoadAndInitFailures)
{
    NxHandle hTD = nullptr;
    EXPECT_EQ(Nx_TD_CreateIF(&hTD, PluginPath("td_nodestroy").c_str(), 0, ConfigValue()), Nx_INVALIDSRC);
    EXPECT_TRUE(m_Log.Contains("cTD_IFEx::LoadSource (89): Library does not have the TI_LibDestroy function", DBG_ERR));
    EXPECT_FALSE(IsLoaded(PluginPath("td_nodestroy")));
    EXPECT_EQ(Nx_TD_CreateIF(&hTD, PluginPath("td_full").c_str(), -3, ConfigValue()), Nx_INVALIDPARAM);
    EXPECT_TRUE(m_Log.Contains("cTD_IFEx::TD_Init (157): nDevice is invalid", DBG_ERR));
    EXPECT_TRUE(m_Log.Contains("Nx_TD_CreateIF (264): TD_Init(-3) return 6", DBG_ERR));
    EXPECT_EQ(hTD, nullptr);

    ASSERT_EQ(Nx_TD_CreateIF(&hTD, PluginPath("td_full").c_str(), 0, ConfigValue("throw=TI_LibGetStatus")), Nx_OK);
    EXPECT_EQ(Nx_TD_GetStatus(hTD, 0), Nx_ERR);
    EXPECT_TRUE(m_Log.Contains("cTD_IFEx::GetStatus", DBG_ERR));
    EXPECT_TRUE(m_Log.Contains("Caught unknown exception, unloading the library", DBG_ERR));
    EXPECT_FALSE(IsLoaded(PluginPath("td_full")));
    EXPECT_EQ(Nx_TD_GetStatus(hTD, 0), Nx_ERR);
    EXPECT_EQ(Nx_TD_DestroyIF(hTD), Nx_OK);
}

TEST_F(DeviceFamilies, MouseReportsItsEntryPointsInItsOwnWords)
{
    NxHandle hMouse = nullptr;
    ASSERT_EQ(Nx_MouseCreateIF(&hMouse, PluginPath("mi_full").c_str(), 0, ConfigValue()), Nx_OK);
    EXPECT_TRUE(m_Log.Contains("Found the MI_LibGetStatus function in the loaded library", DBG_INF));
    EXPECT_TRUE(m_Log.Contains("MI_LibSetCallback function found in the library", DBG_INF));
    EXPECT_TRUE(m_Log.Contains("MILibSetTimer function found in the library", DBG_INF));
    EXPECT_EQ(Nx_MouseSetTimer(hMouse, 40), Nx_OK);
    EXPECT_EQ(Nx_MouseSetCallback(hMouse, NoCallback, nullptr), Nx_OK);
    EXPECT_EQ(Nx_MouseStopCallback(hMouse, NoCallback), Nx_OK);
    EXPECT_EQ(Nx_MouseGetStatus(hMouse, 0), Nx_OK);
    EXPECT_EQ(Nx_MouseDestroyIF(hMouse), Nx_OK);

    ASSERT_EQ(Nx_MouseCreateIF(&hMouse, PluginPath("mi_nostatus").c_str(), 0, ConfigValue()), Nx_OK);
    EXPECT_TRUE(m_Log.Contains("Library does not have the MI_LibGetStatus function", DBG_INF));
    m_Log.Clear();
    EXPECT_EQ(Nx_MouseGetStatus(hMouse, 0), Nx_INCOMPATIBLE);
    EXPECT_EQ(m_Log.Lines().size(), 0u) << m_Log.Dump();
    EXPECT_EQ(Nx_MouseDestroyIF(hMouse), Nx_OK);
    EXPECT_FALSE(IsLoaded(PluginPath("mi_nostatus")));
}

TEST_F(DeviceFamilies, AudioOutputLogsItsCallsAndNamesFailedEntryPoints)
{
    NxHandle hAudio = nullptr;
    ASSERT_EQ(Nx_AudioOutCreateIF(&hAudio, PluginPath("ao_full").c_str(), 1, ConfigValue("ret.AO_LibEnableOutput=5")),
              Nx_OK);
    EXPECT_TRUE(m_Log.Contains("Nx_AudioOutCreateIF (239): called", DBG_INF));
    EXPECT_TRUE(m_Log.Contains("Nx_AudioOutCreateIF (250): pAudioOutIF object created successfully", DBG_INF));
    EXPECT_TRUE(m_Log.Contains("AO_LibGetVerString function found in the library", DBG_INF));

    EXPECT_EQ(Nx_AudioOutEnableOutput(hAudio, 1), 5);
    EXPECT_TRUE(m_Log.Contains("Nx_AudioOutEnableOutput", DBG_INF));
    EXPECT_TRUE(m_Log.Contains("cAudioOutIFEx::EnableOutput", DBG_ERR));
    EXPECT_TRUE(m_Log.Contains("m_pfnEnableOutput returned 5", DBG_ERR)) << m_Log.Dump();

    m_Log.Clear();
    EXPECT_EQ(Nx_AudioOutGetAttrib(hAudio, 1, 2), Nx_OK);
    EXPECT_EQ(Nx_AudioOutGetFileName(hAudio, 3, 4), Nx_OK);
    EXPECT_EQ(m_Log.Lines().size(), 0u) << m_Log.Dump();  // the two getters log no "called"
    EXPECT_EQ(Nx_AudioOutSetCallback(hAudio, NoCallback, nullptr), Nx_OK);
    EXPECT_EQ(Nx_AudioOutStopCallback(hAudio, NoCallback), Nx_OK);
    EXPECT_EQ(Nx_AudioOutSetSource(hAudio, 2), Nx_OK);
    EXPECT_EQ(Nx_AudioOutSetVolume(hAudio, 80), Nx_OK);
    EXPECT_EQ(Nx_AudioOutSetAttrib(hAudio, 5, 6), Nx_OK);
    EXPECT_EQ(Nx_AudioOutSetFileName(hAudio, 7, 8), Nx_OK);
    EXPECT_EQ(Nx_AudioOutSetTimer(hAudio, 9), Nx_OK);
    EXPECT_EQ(m_Log.Count("): called", DBG_INF), 7) << m_Log.Dump();
    EXPECT_EQ(Nx_AudioOutDestroyIF(hAudio), Nx_OK);
    EXPECT_FALSE(IsLoaded(PluginPath("ao_full")));
    EXPECT_NE(Journal().find("AO_LibSetVolume 80\nAO_LibSetAttrib 5 6\nAO_LibSetFileName 7 8\nAO_LibSetTimer 9\n"),
              std::string::npos)
        << Journal();
}

// Every export refuses a null handle with Nx_ERR and another family's handle
// (or a destroyed one) with Nx_INVALIDHANDLE.
TEST_F(DeviceFamilies, EveryExportChecksItsHandle)
{
    NxHandle hIO = nullptr, hTD = nullptr, hMouse = nullptr, hAudio = nullptr;
    ASSERT_EQ(Nx_IO_LoadLibrary(&hIO, PluginPath("tg_full").c_str(), ConfigValue(), 0), Nx_OK);
    ASSERT_EQ(Nx_TD_CreateIF(&hTD, PluginPath("td_full").c_str(), 0, ConfigValue()), Nx_OK);
    ASSERT_EQ(Nx_MouseCreateIF(&hMouse, PluginPath("mi_full").c_str(), 0, ConfigValue()), Nx_OK);
    ASSERT_EQ(Nx_AudioOutCreateIF(&hAudio, PluginPath("ao_full").c_str(), 0, ConfigValue()), Nx_OK);

    using Export = std::function<NxResult(NxHandle)>;
    const struct
    {
        NxHandle hOther;  // a live handle of some other family
        std::vector<Export> exports;
    } families[] = {
        {hMouse,
         {[](NxHandle h) { return Nx_IO_SetGPIO_PinAsOuput(h, 0, 0); }, [](NxHandle h) { return Nx_IO_ReadGPIO_PinAsOuput(h, 0, 0); },
          [](NxHandle h) { return Nx_IO_SetGPIO_Pin(h, 0, 0); }, [](NxHandle h) { return Nx_IO_ReadGPIO_Pin(h, 0, 0); },
          [](NxHandle h) { return Nx_IO_ReadGPIO(h, 0); }, [](NxHandle h) { return Nx_IO_ReadGPIO_Outputs(h, 0); },
          [](NxHandle h) { return Nx_IO_SetCallback(h, 0, 0); }, [](NxHandle h) { return Nx_IO_SetCurrentSensorCallback(h, 0, 0); },
          [](NxHandle h) { return Nx_IO_StartWatchdog(h, 0); }, [](NxHandle h) { return Nx_IO_StopWatchdog(h); },
          [](NxHandle h) { return Nx_IO_ResetWatchdog(h); }, [](NxHandle h) { return Nx_IO_ReleaseLibrary(h); }}},
        {hMouse,
         {[](NxHandle h) { return Nx_TD_GetStatus(h, 0); }, [](NxHandle h) { return Nx_TD_SetCallback(h, NoCallback, nullptr); },
          [](NxHandle h) { return Nx_TD_StopCallback(h, NoCallback); }, [](NxHandle h) { return Nx_TD_SetCallbackMultiTgt(h, 0, 0, 0, 0); },
          [](NxHandle h) { return Nx_TD_StopCallbackMultiTgt(h, 0, 0, 0); }, [](NxHandle h) { return Nx_TD_SetTimer(h, 0); },
          [](NxHandle h) { return Nx_TD_SetAttrib(h, 0, 0); }, [](NxHandle h) { return Nx_TD_SendGeoTarget(h, 0, 0, 0, 0); },
          [](NxHandle h) { return Nx_TD_SendPolarTarget(h, 0, 0, 0, 0); }, [](NxHandle h) { return Nx_TD_DestroyIF(h); }}},
        {hTD,
         {[](NxHandle h) { return Nx_MouseGetStatus(h, 0); }, [](NxHandle h) { return Nx_MouseSetCallback(h, NoCallback, nullptr); },
          [](NxHandle h) { return Nx_MouseStopCallback(h, NoCallback); }, [](NxHandle h) { return Nx_MouseSetTimer(h, 0); },
          [](NxHandle h) { return Nx_MouseDestroyIF(h); }}},
        {hIO,
         {[](NxHandle h) { return Nx_AudioOutSetCallback(h, NoCallback, nullptr); }, [](NxHandle h) { return Nx_AudioOutStopCallback(h, NoCallback); },
          [](NxHandle h) { return Nx_AudioOutEnableOutput(h, 0); }, [](NxHandle h) { return Nx_AudioOutSetSource(h, 0); },
          [](NxHandle h) { return Nx_AudioOutSetVolume(h, 0); }, [](NxHandle h) { return Nx_AudioOutSetAttrib(h, 0, 0); },
          [](NxHandle h) { return Nx_AudioOutGetAttrib(h, 0, 0); }, [](NxHandle h) { return Nx_AudioOutSetFileName(h, 0, 0); },
          [](NxHandle h) { return Nx_AudioOutGetFileName(h, 0, 0); }, [](NxHandle h) { return Nx_AudioOutSetTimer(h, 0); },
          [](NxHandle h) { return Nx_AudioOutDestroyIF(h); }}},
    };
    for (const auto& family : families)
    {
        for (size_t i = 0; i < family.exports.size(); ++i)
        {
            EXPECT_EQ(family.exports[i](nullptr), Nx_ERR) << "export " << i;
            EXPECT_EQ(family.exports[i](family.hOther), Nx_INVALIDHANDLE) << "export " << i;
        }
    }

    EXPECT_EQ(Nx_IO_ReleaseLibrary(hIO), Nx_OK);
    EXPECT_EQ(Nx_TD_DestroyIF(hTD), Nx_OK);
    EXPECT_EQ(Nx_MouseDestroyIF(hMouse), Nx_OK);
    EXPECT_EQ(Nx_AudioOutDestroyIF(hAudio), Nx_OK);
    EXPECT_EQ(Nx_TD_SetAttrib(hTD, 0, 0), Nx_INVALIDHANDLE);
    EXPECT_EQ(Nx_AudioOutSetVolume(hAudio, 0), Nx_INVALIDHANDLE);
}

// A controller plug-in that plays a script of state records instead of
// reading a device, so that the console's joystick path can be driven end to
// end without hardware. It exports the three entry points Joyvane has.
//
// The configuration text is the console's settings file; its section
// <ScriptedController> says what to play:
//   sScript       the script file (required: without it there is "no device")
//   nPeriodMs     pause before each record (100, as Joyvane polls)
//   bLoop         start again after the last record (false: stop delivering)
//   sPresentFile  the device is "attached" only while this file exists
//   sStartFile    playing starts once this file exists (records before then
//                 are the first record, repeated)
//   sJournal      Init, SetCallback, End (the last record was handled) and
//                 Destroy are appended to this file, one line each
// Script lines hold fields that change from the line before, then an optional
// repeat count: "x=0.55 y=0 buttons=0x1 repeat=3". Fields: x y z rx ry rz s0
// s1 (reals), pov, buttons, valid, flags (integers, 0x allowed). A record
// starts centred: axes 0, pov -1, no buttons, valid 1, flags 0x03. '#' starts
// a comment.
#include "PortellePlugin.h"

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <tinyxml2.h>
#include <unistd.h>
#include <vector>

namespace
{
struct Settings
{
    std::string sScript;
    int nPeriodMs = 100;
    bool bLoop = false;
    std::string sPresentFile;
    std::string sStartFile;
    std::string sJournal;
};

void Journal(const std::string& sPath, const std::string& sLine)
{
    if (sPath.empty())
        return;
    std::ofstream file(sPath, std::ios::app);
    file << sLine << '\n';
}

bool ReadSettings(const char* szConfig, Settings& settings)
{
    tinyxml2::XMLDocument document;
    if (!szConfig || document.LoadFile(szConfig) != tinyxml2::XML_SUCCESS)
        return false;
    const tinyxml2::XMLElement* pRoot = document.RootElement();
    const tinyxml2::XMLElement* pSection = pRoot ? pRoot->FirstChildElement("ScriptedController") : nullptr;
    if (!pSection)
        return false;
    if (const char* sz = pSection->Attribute("sScript"))
        settings.sScript = sz;
    settings.nPeriodMs = pSection->IntAttribute("nPeriodMs", 100);
    settings.bLoop = pSection->BoolAttribute("bLoop", false);
    if (const char* sz = pSection->Attribute("sPresentFile"))
        settings.sPresentFile = sz;
    if (const char* sz = pSection->Attribute("sStartFile"))
        settings.sStartFile = sz;
    if (const char* sz = pSection->Attribute("sJournal"))
        settings.sJournal = sz;
    return !settings.sScript.empty();
}

bool ReadScript(const std::string& sPath, std::vector<ControllerState>& records)
{
    std::ifstream file(sPath);
    if (!file)
        return false;
    ControllerState state{};
    state.nPOV = -1;
    state.bValid = 1;
    state.nAxisFlags = 0x03;
    std::string sLine;
    while (std::getline(file, sLine))
    {
        sLine = sLine.substr(0, sLine.find('#'));
        std::istringstream words(sLine);
        std::string sWord;
        long nRepeat = 1;
        bool bAny = false;
        while (words >> sWord)
        {
            bAny = true;
            const std::string::size_type nEquals = sWord.find('=');
            if (nEquals == std::string::npos)
                return false;
            const std::string sKey = sWord.substr(0, nEquals);
            const char* szValue = sWord.c_str() + nEquals + 1;
            const double dValue = std::strtod(szValue, nullptr);
            const long nValue = std::strtol(szValue, nullptr, 0);
            if (sKey == "x")
                state.dX = dValue;
            else if (sKey == "y")
                state.dY = dValue;
            else if (sKey == "z")
                state.dZ = dValue;
            else if (sKey == "rx")
                state.dRx = dValue;
            else if (sKey == "ry")
                state.dRy = dValue;
            else if (sKey == "rz")
                state.dRz = dValue;
            else if (sKey == "s0")
                state.dSlider0 = dValue;
            else if (sKey == "s1")
                state.dSlider1 = dValue;
            else if (sKey == "pov")
                state.nPOV = static_cast<int32_t>(nValue);
            else if (sKey == "buttons")
                state.nButtons = static_cast<uint32_t>(std::strtoul(szValue, nullptr, 0));
            else if (sKey == "valid")
                state.bValid = static_cast<uint8_t>(nValue);
            else if (sKey == "flags")
                state.nAxisFlags = static_cast<uint8_t>(nValue);
            else if (sKey == "repeat")
                nRepeat = nValue;
            else
                return false;
        }
        if (!bAny)
            continue;  // blank or comment line
        for (long n = 0; n < nRepeat; ++n)
            records.push_back(state);
    }
    return true;
}

struct cScriptedController
{
    Settings settings;
    std::vector<ControllerState> records;
    std::thread player;
    std::mutex mutex;
    std::condition_variable wake;
    bool bStop = false;  // guarded by mutex

    // Waits one period; false when told to stop meanwhile.
    bool Pause()
    {
        std::unique_lock<std::mutex> lock(mutex);
        return !wake.wait_for(lock, std::chrono::milliseconds(settings.nPeriodMs), [this] { return bStop; });
    }

    void Play(NxControllerCallback pfnCallback, void* pUserData)
    {
        // Like a stick at rest, until the test says go.
        while (!settings.sStartFile.empty() && !records.empty() && access(settings.sStartFile.c_str(), F_OK) != 0)
        {
            if (!Pause())
                return;
            const ControllerState copy = records.front();
            pfnCallback(pUserData, &copy);
        }
        do
        {
            for (const ControllerState& record : records)
            {
                if (!Pause())
                    return;
                const ControllerState copy = record;  // lives only for the call, as Joyvane's does
                pfnCallback(pUserData, &copy);
            }
        } while (settings.bLoop && !records.empty());
        Journal(settings.sJournal, "End");
    }

    void Stop()
    {
        {
            std::lock_guard<std::mutex> lock(mutex);
            bStop = true;
        }
        wake.notify_all();
        if (player.joinable())
            player.join();
    }
};
} // namespace

extern "C" {

NX_EXPORT NxResult NX_CALL CI_LibInit(void** phLib, NxValue, int32_t nDevice, const char* szConfig, uint32_t nVersion)
{
    if (nVersion != NX_CONTROLLER_IF_VERSION)
        return Nx_BADVERSION;
    auto pController = std::make_unique<cScriptedController>();
    if (!ReadSettings(szConfig, pController->settings))
        return Nx_ERR;
    Journal(pController->settings.sJournal, "Init device=" + std::to_string(nDevice));
    if (!pController->settings.sPresentFile.empty() && access(pController->settings.sPresentFile.c_str(), F_OK) != 0)
        return Nx_ERR;
    if (!ReadScript(pController->settings.sScript, pController->records))
    {
        std::fprintf(stderr, "scripted controller: cannot read %s\n", pController->settings.sScript.c_str());
        return Nx_InvalidFile;
    }
    *phLib = pController.release();
    return Nx_OK;
}
static_assert(std::is_same_v<decltype(&CI_LibInit), PFN_CI_LibInit>);

NX_EXPORT NxResult NX_CALL CI_LibDestroy(void* hLib)
{
    if (!hLib)
        return Nx_INVALIDHANDLE;
    cScriptedController* pController = static_cast<cScriptedController*>(hLib);
    pController->Stop();
    Journal(pController->settings.sJournal, "Destroy");
    delete pController;
    return Nx_OK;
}
static_assert(std::is_same_v<decltype(&CI_LibDestroy), PFN_CI_LibDestroy>);

NX_EXPORT NxResult NX_CALL CI_LibSetCallback(void* hLib, NxControllerCallback pfnCallback, void* pUserData)
{
    if (!hLib)
        return Nx_INVALIDHANDLE;
    cScriptedController* pController = static_cast<cScriptedController*>(hLib);
    if (!pfnCallback || pController->player.joinable())
        return Nx_ERR;
    Journal(pController->settings.sJournal, "SetCallback");
    pController->player = std::thread([pController, pfnCallback, pUserData] { pController->Play(pfnCallback, pUserData); });
    return Nx_OK;
}
static_assert(std::is_same_v<decltype(&CI_LibSetCallback), PFN_CI_LibSetCallback>);

} // extern "C"

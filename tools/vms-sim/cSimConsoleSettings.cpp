#include "cSimConsoleSettings.h"

#include "cSimOptions.h"
#include "cUserCommsSettingsFile.h"
#include "cUserSettingsFile.h"

#include <unistd.h>

void cSimConsoleSettings::Load(const std::string& sNamed)
{
    const cUserSettingsFile::Choice choice = cUserSettingsFile::ForCommandLine(sNamed);
    m_sPath = choice.sPath;
    m_bCreated = choice.bCreated;
    m_sProblem.clear();
    m_Settings = cKestrumSettings();
    std::string sWhy;
    if (!choice.sError.empty())
        m_sProblem = std::string("no ") + cUserSettingsFile::kWorkingFolderFile +
                     " here and no user settings file (" + choice.sError + ")";
    else if (!m_Settings.Read(m_sPath, sWhy))
        m_sProblem = "cannot read the settings file " + m_sPath + ": " + sWhy;
    if (!m_sProblem.empty())
        m_Settings = BuiltIn();

    // Over the built-in defaults too: the console applies them over its own.
    m_sUserComms.clear();
    const std::string sUserComms = cUserCommsSettingsFile::DefaultPath();
    if (access(sUserComms.c_str(), F_OK) == 0 &&
        cUserCommsSettingsFile::ReadRegistrySettings(m_Settings.m_CommsSettings, sUserComms))
        m_sUserComms = sUserComms;
}

std::string cSimConsoleSettings::Source() const
{
    std::string sSource;
    if (!m_sProblem.empty())
        sSource = "built-in defaults";
    else
        sSource = m_sPath + (m_bCreated ? " (made from the samples just now)" : "");
    if (!m_sUserComms.empty())
        sSource += " with " + m_sUserComms + " over " + (m_sProblem.empty() ? "it" : "them");
    return sSource;
}

cKestrumSettings cSimConsoleSettings::BuiltIn()
{
    const cSimOptions options;
    cKestrumSettings settings;
    settings.nControllerType = options.m_nVariant;
    settings.bUseVMS_HeartBeat = options.m_bHeartbeat;
    settings.sPageDefinitionsFile = options.m_sPagesFile;
    CommsSettings& comms = settings.m_CommsSettings;
    // The console's own default is the serial line; a simulator without a
    // device to talk on can only mean UDP.
    comms.nCommsMethod = CommsSettings::kUdp;
    comms.nBaudRate = options.m_nBaudRate;
    comms.nTxPort = options.m_nPort;
    comms.nRxPort = options.m_nReplyPort;
    comms.nEoTxPort = options.m_nEoListenPort;
    comms.nEoRxPort = options.m_nEoPort;
    return settings;
}

#include "cKestrumSettings.h"

#include "DbgLog.h"
#include "XmlReader.h"
#include "cXmlAttributes.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <pwd.h>
#include <tinyxml2.h>
#include <unistd.h>

namespace
{
const char* const kFunction = "KestrumDlg::ReadConfigFile";

// As the XML reader finds a section: the root element itself or one of its children.
bool HasSection(const tinyxml2::XMLElement* pRoot, const char* szName)
{
    return pRoot && (std::strcmp(pRoot->Name(), szName) == 0 || pRoot->FirstChildElement(szName));
}
} // namespace

cKestrumSettings::cKestrumSettings() : sLoggingDirectory(DefaultLoggingDirectory())
{
}

std::string cKestrumSettings::DefaultLoggingDirectory()
{
    const char* szHome = std::getenv("HOME");
    if (!szHome || !*szHome)
    {
        const passwd* pEntry = getpwuid(getuid());
        szHome = pEntry ? pEntry->pw_dir : nullptr;
    }
    if (!szHome || !*szHome)
        return "Halvorn/Logs";
    return std::string(szHome) + "/Halvorn/Logs";
}

bool cKestrumSettings::ReadConfigFile(const std::string& sPath, const char* szSection)
{
    XmlReader reader(false, true, "VMS_Cfg");
    if (!reader.LoadConfigFile(sPath.c_str(), szSection))
    {
        DbgLog(DBG_ERR, kFunction, __LINE__, DbgLogFormat("Failed to find %s in %s", szSection, sPath.c_str()));
        return false;
    }
    const auto* pMain = reader.Current();
    if (cXmlAttributes::ReadBool(pMain, "bShowEoTrackPage", bShowEoTrackPage))
        m_CommsSettings.bShowEoPorts = bShowEoTrackPage;
    cXmlAttributes::ReadBool(pMain, "bShowEoTagPage", bShowEoTagPage);
    cXmlAttributes::ReadBool(pMain, "bShowTestPage", bShowTestPage);
    cXmlAttributes::ReadBool(pMain, "bDisplayLandingDialog", bDisplayLandingDialog);
    cXmlAttributes::ReadInt(pMain, "nCommsMethod", m_CommsSettings.nCommsMethod);
    cXmlAttributes::ReadBool(pMain, "bLogRx", m_CommsSettings.bLogRx);
    cXmlAttributes::ReadBool(pMain, "bLogTx", m_CommsSettings.bLogTx);
    cXmlAttributes::ReadBool(pMain, "bEnablePort", m_CommsSettings.bEnablePort);
    cXmlAttributes::ReadInt(pMain, "nComPort", m_CommsSettings.nComPort);
    cXmlAttributes::ReadInt(pMain, "nBaudRate", m_CommsSettings.nBaudRate);
    cXmlAttributes::ReadInt(pMain, "nParity", m_CommsSettings.nParity);
    cXmlAttributes::ReadInt(pMain, "nTxPort", m_CommsSettings.nTxPort);
    cXmlAttributes::ReadInt(pMain, "nRxPort", m_CommsSettings.nRxPort);
    cXmlAttributes::ReadText(pMain, "sIpAddress", m_CommsSettings.sIpAddress);
    cXmlAttributes::ReadText(pMain, "sSerialDevice", m_CommsSettings.sSerialDevice);
    cXmlAttributes::ReadText(pMain, "sPageDefinitionsFile", sPageDefinitionsFile);
    cXmlAttributes::ReadText(pMain, "sJoystickDefinitionsFile", sJoystickDefinitionsFile);
    cXmlAttributes::ReadText(pMain, "sLoggingDirectory", sLoggingDirectory);
    cXmlAttributes::ReadText(pMain, "sTestScenarioFile", sTestScenarioFile);
    cXmlAttributes::ReadInt(pMain, "nControllerType", nControllerType);
    cXmlAttributes::ReadBool(pMain, "bUseVMS_HeartBeat", bUseVMS_HeartBeat);
    cXmlAttributes::ReadText(pMain, "sAllowedPeers", m_CommsSettings.sAllowedPeers);
    cXmlAttributes::ReadText(pMain, "sJoystickPlugin", sJoystickPlugin);
    if (sJoystickPlugin.empty())
        sJoystickPlugin = kDefaultJoystickPlugin;
    if (cXmlAttributes::ReadInt(pMain, "nJoystickRetryPeriodMs", nJoystickRetryPeriodMs) && nJoystickRetryPeriodMs < 0)
        nJoystickRetryPeriodMs = 0;
    cXmlAttributes::ReadInt(pMain, "nReplyTimeoutMs", nReplyTimeoutMs);
    cXmlAttributes::ReadInt(pMain, "nDuplicateWindowMs", nDuplicateWindowMs);
    cXmlAttributes::ReadInt(pMain, "nEoGapMs", nEoGapMs);
    cXmlAttributes::ReadInt(pMain, "nRecoveredEoGapMs", nRecoveredEoGapMs);
    cXmlAttributes::ReadInt(pMain, "nDegradedUnansweredPercent", nDegradedUnansweredPercent);
    cXmlAttributes::ReadInt(pMain, "nRecoveredUnansweredPercent", nRecoveredUnansweredPercent);
    cXmlAttributes::ReadInt(pMain, "nDegradedRoundTripMs", nDegradedRoundTripMs);
    cXmlAttributes::ReadInt(pMain, "nRecoveredRoundTripMs", nRecoveredRoundTripMs);
    cXmlAttributes::ReadInt(pMain, "nDegradedMissedHeartbeatsPercent", nDegradedMissedHeartbeatsPercent);
    cXmlAttributes::ReadInt(pMain, "nRecoveredMissedHeartbeatsPercent", nRecoveredMissedHeartbeatsPercent);
    cXmlAttributes::ReadInt(pMain, "nRecoveredHoldMs", nRecoveredHoldMs);

    if (!reader.LoadConfigFile(sPath.c_str(), "EoTrackData"))
    {
        DbgLog(DBG_ERR, kFunction, __LINE__, DbgLogFormat("Failed to find %s in %s", "EoTrackData", sPath.c_str()));
        return false;
    }
    const auto* pEo = reader.Current();
    cXmlAttributes::ReadInt(pEo, "nTxPort", m_CommsSettings.nEoTxPort);
    cXmlAttributes::ReadInt(pEo, "nRxPort", m_CommsSettings.nEoRxPort);
    cXmlAttributes::ReadBool(pEo, "bAllowLogging", bAllowLogging);
    cXmlAttributes::ReadInt(pEo, "nMaxTracksToLog", nMaxTracksToLog);
    cXmlAttributes::ReadInt(pEo, "nPictureWidth", nPictureWidth);
    cXmlAttributes::ReadInt(pEo, "nPictureHeight", nPictureHeight);
    cXmlAttributes::ReadText(pEo, "sAllowedPeers", m_CommsSettings.sEoAllowedPeers);
    m_VideoSettings.Read(sPath);
    return true;
}

cRC_LinkQuality::Settings cKestrumSettings::LinkQualitySettings() const
{
    cRC_LinkQuality::Settings settings;
    settings.replyTimeout = std::chrono::milliseconds(std::max(nReplyTimeoutMs, 1));
    settings.duplicateWindow = std::chrono::milliseconds(std::max(nDuplicateWindowMs, 0));
    settings.eoGapThreshold = std::chrono::milliseconds(std::max(nEoGapMs, 0));
    return settings;
}

cLinkQualityState::Thresholds cKestrumSettings::DegradedThresholds() const
{
    const auto limits = [](int32_t nUpper, int32_t nLower) {
        nUpper = std::max(nUpper, 0);
        return std::pair<int32_t, int32_t>(nUpper, std::clamp(nLower, 0, nUpper));
    };
    cLinkQualityState::Thresholds thresholds;
    const auto [nEnterShare, nLeaveShare] = limits(nDegradedUnansweredPercent, nRecoveredUnansweredPercent);
    thresholds.dEnterUnanswered = nEnterShare / 100.0;
    thresholds.dLeaveUnanswered = nLeaveShare / 100.0;
    const auto [nEnterRoundTrip, nLeaveRoundTrip] = limits(nDegradedRoundTripMs, nRecoveredRoundTripMs);
    thresholds.enterRoundTrip = std::chrono::milliseconds(nEnterRoundTrip);
    thresholds.leaveRoundTrip = std::chrono::milliseconds(nLeaveRoundTrip);
    const auto [nEnterGap, nLeaveGap] = limits(nEoGapMs, nRecoveredEoGapMs);
    thresholds.enterEoGap = std::chrono::milliseconds(nEnterGap);
    thresholds.leaveEoGap = std::chrono::milliseconds(nLeaveGap);
    const auto [nEnterMissed, nLeaveMissed] = limits(nDegradedMissedHeartbeatsPercent, nRecoveredMissedHeartbeatsPercent);
    thresholds.dEnterHeartbeatsMissed = nEnterMissed / 100.0;
    thresholds.dLeaveHeartbeatsMissed = nLeaveMissed / 100.0;
    thresholds.hold = std::chrono::milliseconds(std::max(nRecoveredHoldMs, 0));
    return thresholds;
}

bool cKestrumSettings::Read(const std::string& sPath)
{
    return ReadConfigFile(sPath, "Kestrum") || ReadConfigFile(sPath, "VMS_Control");
}

bool cKestrumSettings::Read(const std::string& sPath, std::string& sWhy)
{
    if (access(sPath.c_str(), R_OK) != 0)
    {
        sWhy = std::strerror(errno);
        return false;
    }
    tinyxml2::XMLDocument document;
    if (document.LoadFile(sPath.c_str()) != tinyxml2::XML_SUCCESS)
    {
        sWhy = document.ErrorID() == tinyxml2::XML_ERROR_EMPTY_DOCUMENT
                   ? "empty"
                   : "not XML (line " + std::to_string(document.ErrorLineNum()) + ": " + document.ErrorName() + ")";
        return false;
    }
    const tinyxml2::XMLElement* pRoot = document.RootElement();
    const char* szMain = HasSection(pRoot, "Kestrum")       ? "Kestrum"
                         : HasSection(pRoot, "VMS_Control") ? "VMS_Control"
                                                            : nullptr;
    if (!szMain)
    {
        sWhy = "no Kestrum section";
        return false;
    }
    if (!HasSection(pRoot, "EoTrackData"))
    {
        sWhy = "no EoTrackData section";
        return false;
    }
    if (ReadConfigFile(sPath, szMain))
        return true;
    sWhy = "cannot be read";
    return false;
}

#include "LogCapture.h"
#include "TempDir.h"
#include "cKestrumSettings.h"

#include <cstdlib>
#include <gtest/gtest.h>

// An older file with only a VMS_Control section is read completely through the fallback.
TEST(KestrumSettings, OlderFileIsReadThroughTheFallbackSection)
{
    LogCapture log;
    TempDir dir;
    dir.Write("old.xml", R"(<VMS_Cfg>
  <VMS_Control bShowEoTrackPage="yes" bShowTestPage="1" nCommsMethod="2" nComPort="3" nBaudRate="9600"
      nParity="2" nTxPort="7001" nRxPort="7002" sIpAddress="10.0.0.7" sPageDefinitionsFile="p.xml"
      sJoystickDefinitionsFile="j.xml" sLoggingDirectory="logs/here" sTestScenarioFile="t.xml"
      nControllerType="1" bUseVMS_HeartBeat="true" bLogRx="true" sSerialDevice="/dev/ttyUSB0"/>
  <EoTrackData nTxPort="8001" nRxPort="8002" bAllowLogging="yes" nMaxTracksToLog="12" nPictureWidth="1280"
      nPictureHeight="720"/>
</VMS_Cfg>)");
    cKestrumSettings settings;
    ASSERT_TRUE(settings.Read(dir.File("old.xml")));

    EXPECT_TRUE(log.Contains("Failed to find Kestrum in", DBG_ERR));
    EXPECT_TRUE(settings.bShowEoTrackPage);
    EXPECT_TRUE(settings.m_CommsSettings.bShowEoPorts);
    EXPECT_FALSE(settings.bShowEoTagPage);
    EXPECT_TRUE(settings.bShowTestPage);
    EXPECT_EQ(settings.m_CommsSettings.nCommsMethod, 2);
    EXPECT_EQ(settings.m_CommsSettings.nComPort, 3);
    EXPECT_EQ(settings.m_CommsSettings.nBaudRate, 9600);
    EXPECT_EQ(settings.m_CommsSettings.nParity, 2);
    EXPECT_EQ(settings.m_CommsSettings.nTxPort, 7001);
    EXPECT_EQ(settings.m_CommsSettings.nRxPort, 7002);
    EXPECT_EQ(settings.m_CommsSettings.sIpAddress, "10.0.0.7");
    EXPECT_EQ(settings.m_CommsSettings.sSerialDevice, "/dev/ttyUSB0");
    EXPECT_TRUE(settings.m_CommsSettings.bLogRx);
    EXPECT_FALSE(settings.m_CommsSettings.bLogTx);
    EXPECT_EQ(settings.sPageDefinitionsFile, "p.xml");
    EXPECT_EQ(settings.sJoystickDefinitionsFile, "j.xml");
    EXPECT_EQ(settings.sLoggingDirectory, "logs/here");
    EXPECT_EQ(settings.sTestScenarioFile, "t.xml");
    EXPECT_EQ(settings.nControllerType, 1);
    EXPECT_TRUE(settings.bUseVMS_HeartBeat);
    EXPECT_EQ(settings.m_CommsSettings.nEoTxPort, 8001);
    EXPECT_EQ(settings.m_CommsSettings.nEoRxPort, 8002);
    EXPECT_TRUE(settings.bAllowLogging);
    EXPECT_EQ(settings.nMaxTracksToLog, 12);
    EXPECT_EQ(settings.nPictureWidth, 1280);
    EXPECT_EQ(settings.nPictureHeight, 720);
}

// Without EoTrackData both reads fail, but what the main section held stays in force.
TEST(KestrumSettings, MissingEoSectionFailsButKeepsMainKeys)
{
    LogCapture log;
    TempDir dir;
    dir.Write("k.xml", R"(<VMS_Cfg><Kestrum nTxPort="7001" sIpAddress="10.1.2.3"/></VMS_Cfg>)");
    cKestrumSettings settings;
    EXPECT_FALSE(settings.Read(dir.File("k.xml")));
    EXPECT_EQ(settings.m_CommsSettings.nTxPort, 7001);
    EXPECT_EQ(settings.m_CommsSettings.sIpAddress, "10.1.2.3");
    EXPECT_EQ(settings.m_CommsSettings.nEoTxPort, 9886);
    EXPECT_EQ(log.Count("Failed to find EoTrackData in", DBG_ERR), 1);
    EXPECT_EQ(log.Count("Failed to find VMS_Control in", DBG_ERR), 1);
}

// A missing file leaves every default, the logging folder under the home folder.
TEST(KestrumSettings, MissingFileKeepsDefaults)
{
    LogCapture log;
    TempDir home;
    const char* szSavedHome = std::getenv("HOME");
    const std::string sSavedHome = szSavedHome ? szSavedHome : "";
    setenv("HOME", home.Path().c_str(), 1);
    cKestrumSettings settings;
    if (szSavedHome)
        setenv("HOME", sSavedHome.c_str(), 1);

    EXPECT_FALSE(settings.Read("no/such/file.xml"));
    EXPECT_EQ(log.Count("KestrumDlg::ReadConfigFile", DBG_ERR), 2);
    EXPECT_EQ(settings.sLoggingDirectory, home.Path() + "/Halvorn/Logs");
    EXPECT_EQ(settings.sPageDefinitionsFile, "config/PageDefinitions.xml");
    EXPECT_EQ(settings.sTestScenarioFile, "config/TestScenario.xml");
    EXPECT_EQ(settings.nMaxTracksToLog, 5);
    EXPECT_EQ(settings.nPictureWidth, 640);
    EXPECT_EQ(settings.nPictureHeight, 480);
    EXPECT_EQ(settings.m_CommsSettings.nCommsMethod, 0);
    EXPECT_EQ(settings.m_CommsSettings.sIpAddress, "127.0.0.1");
    EXPECT_TRUE(settings.m_CommsSettings.sSerialDevice.empty());
}

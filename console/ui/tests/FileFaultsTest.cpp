// Every file the console reads, spoilt in each way a file gets spoilt: the
// console says what is wrong (a log line, or the box the operator must see)
// and carries on. One row per reader; a new reader is one more row.
#include "ConsoleSettings.h"
#include "KestrumDlg.h"
#include "LogCapture.h"
#include "TempDir.h"
#include "TestPaths.h"
#include "UdpPeer.h"
#include "UiTestSupport.h"
#include "cMessageBox.h"
#include "cRC_SystemTestDlg.h"

#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <random>

using namespace ui_test;

namespace
{
enum class Fault
{
    Missing,
    Empty,
    Truncated,
    OtherKind,  // a well-formed file of another kind: another root element
    Junk,
};

const char* Name(Fault eFault)
{
    switch (eFault)
    {
    case Fault::Missing: return "missing";
    case Fault::Empty: return "empty";
    case Fault::Truncated: return "truncated";
    case Fault::OtherKind: return "another root";
    case Fault::Junk: return "binary junk";
    }
    return "";
}

std::string ConfigFile(const std::string& sName)
{
    std::ifstream in(TestPaths::SourceDir() + "/config/" + sName, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// One file the console reads.
struct Reader
{
    const char* szName;
    // The settings key that names the file; empty: the file is the settings file.
    std::string sKey;
    std::string sSample;     // a good file of this kind
    std::string sOtherKind;  // a good file of another kind
    // The complaint expected for a file that cannot be read, and for one of another kind.
    std::string sCannotRead;
    std::string sOtherKindRead;
    // The box the operator sees when it cannot be read (empty: none); its
    // text begins so.
    std::string sMessage;
    // The console ran on after reading it.
    std::function<void(KestrumDlg&)> ranOn;
    // What makes the console read it after start-up (none: it is read then).
    std::function<void(KestrumDlg&)> read = [](KestrumDlg&) {};
};

std::vector<Reader> Readers()
{
    return {
        {"settings", "", ConfigFile("Kestrum.xml"), ConfigFile("PageDefinitions.xml"), "Failed to find Kestrum in",
         "Failed to find Kestrum in", "",
         [](KestrumDlg& dlg) {
             // The defaults stay: serial, port not enabled; the comms setup opens.
             EXPECT_EQ(dlg.Session().Settings().m_CommsSettings.nCommsMethod, CommsSettings::kSerial);
             EXPECT_NE(dlg.CommsSetupDialog(), nullptr);
             EXPECT_GT(dlg.Session().Pages().PageCount(), 0u);
         }},
        {"page definitions", "sPageDefinitionsFile", ConfigFile("PageDefinitions.xml"), ConfigFile("Kestrum.xml"),
         "Error opening page definition file", "has no PageDefinitions element", "Error opening page definition file",
         [](KestrumDlg& dlg) {
             EXPECT_EQ(dlg.Session().Pages().PageCount(), 0u);
             EXPECT_NE(dlg.Session().RC_IO_Pages(), nullptr);
         }},
        {"test scenario", "sTestScenarioFile", ConfigFile("TestScenario.xml"), ConfigFile("PageDefinitions.xml"),
         "Error opening test scenario file", "has no CommandDefinitions element", "Error opening test scenario file",
         [](KestrumDlg& dlg) {
             // The dialog is open with no test to run.
             ASSERT_NE(dlg.TestDialog(), nullptr);
             EXPECT_TRUE(dlg.TestDialog()->isVisible());
             EXPECT_GT(dlg.Session().Pages().PageCount(), 0u);
         },
         [](KestrumDlg& dlg) { dlg.OnTestDataDialog(); }},
        {"joystick definitions", "sJoystickDefinitionsFile", ConfigFile("JoystickDefinitions.xml"),
         ConfigFile("PageDefinitions.xml"), "Failed to find Joystick in", "Failed to find Joystick in", "",
         [](KestrumDlg& dlg) {
             // Nothing is mapped; the pages are there.
             const JoystickDefinitions& definitions = dlg.Joystick().Mapping().Definitions();
             for (const JoystickAxisDef& axis : definitions.axes)
                 EXPECT_FALSE(axis.bValid);
             for (const JoystickButtonDef& button : definitions.buttons)
                 EXPECT_FALSE(button.bPress || button.bRelease || button.bCycle);
             EXPECT_GT(dlg.Session().Pages().PageCount(), 0u);
         }},
    };
}

std::string Spoilt(const Reader& reader, Fault eFault)
{
    switch (eFault)
    {
    case Fault::Empty: return "";
    case Fault::Truncated: return reader.sSample.substr(0, reader.sSample.size() / 2);
    case Fault::OtherKind: return reader.sOtherKind;
    case Fault::Junk:
    {
        std::mt19937 random(5);
        std::string sJunk(4096, '\0');
        for (char& c : sJunk)
            c = static_cast<char>(random());
        return sJunk;
    }
    case Fault::Missing: break;
    }
    return "";
}
} // namespace

TEST(FileFaults, EveryFileSpoiltEveryWayIsReportedAndTheConsoleRunsOn)
{
    ClearUserSettings();
    for (const Reader& reader : Readers())
    {
        for (const Fault eFault : {Fault::Missing, Fault::Empty, Fault::Truncated, Fault::OtherKind, Fault::Junk})
        {
            SCOPED_TRACE(std::string(reader.szName) + ", " + Name(eFault));
            TempDir dir;
            // The console's own relative paths find good files here.
            std::filesystem::create_directories(dir.File("config"));
            dir.Write("config/PageDefinitions.xml", ConfigFile("PageDefinitions.xml"));
            ScopedChdir chdir(dir.Path());
            const std::string sSpoilt = dir.File("spoilt.xml");
            if (eFault != Fault::Missing)
                dir.Write("spoilt.xml", Spoilt(reader, eFault));
            std::string sSettings = sSpoilt;
            UdpPeer peer;
            if (!reader.sKey.empty())
            {
                sSettings = ConsoleSettings().Udp(peer.Port(), FreeUdpPort()).Main(reader.sKey, sSpoilt).Write(dir);
            }

            LogCapture log(DBG_WRN);
            std::vector<std::string> messages;
            cMessageBox::SetSink([&](const QString& sText) { messages.push_back(sText.toStdString()); });
            {
                KestrumDlg dlg(sSettings);
                dlg.OnInitDialog();
                reader.read(dlg);
                const std::string& sComplaint = eFault == Fault::OtherKind ? reader.sOtherKindRead : reader.sCannotRead;
                EXPECT_TRUE(log.Contains(sComplaint)) << log.Dump();
                EXPECT_TRUE(log.Contains(sSpoilt)) << "the complaint names the file\n" << log.Dump();
                if (!reader.sMessage.empty() && eFault != Fault::OtherKind)
                {
                    ASSERT_EQ(messages.size(), 1u);
                    EXPECT_EQ(messages[0].rfind(reader.sMessage, 0), 0u) << messages[0];
                }
                else
                    EXPECT_TRUE(messages.empty());
                reader.ranOn(dlg);
                dlg.Shutdown();
                EXPECT_TRUE(dlg.IsShutDown());
            }
            cMessageBox::SetSink({});
            ClearUserSettings();
        }
    }
}

#include "TempDir.h"
#include "UdpPeer.h"
#include "UiTestSupport.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <csignal>
#include <cstdlib>
#include <gtest/gtest.h>
#include <set>

using namespace ui_test;

namespace
{
bool IsPeriodicRequest(const UdpPeer::Bytes& frame, uint8_t nRate)
{
    return frame.size() == 24 && frame[0] == 0x10 && frame[4] == 0x70 && frame[5] == nRate && frame[6] == 0x71;
}
} // namespace

// SIGTERM and SIGINT run the same shutdown as File, Exit: the program sends
// the stop of its periodic requests and ends with status 0.
TEST(SignalShutdown, StopSignalsSendTheStopFramesAndExitCleanly)
{
    // The harness's folder when it reaches the test, else the path built in.
    const char* szBin = std::getenv("KESTRUM_BIN_DIR");
    const QString sProgram = szBin ? QString::fromLocal8Bit(szBin) + "/kestrum" : QStringLiteral(KESTRUM_PROGRAM);

    for (int nSignal : {SIGTERM, SIGINT})
    {
        TempDir dir;
        UdpPeer peer;
        peer.SetTimeout(10);
        dir.Write("pages.xml", R"(<PageDefinitions><Page Title="Tracker">
  <Item SubSystem="4" Item="3" Access="RO" Label="Mode" Type="Byte"/></Page></PageDefinitions>)");
        dir.Write("Kestrum.xml", SettingsXml("nCommsMethod=\"2\" nTxPort=\"" + std::to_string(peer.Port()) +
                                             "\" nRxPort=\"" + std::to_string(FreeUdpPort()) +
                                             "\" sPageDefinitionsFile=\"" + dir.File("pages.xml") + "\""));

        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("QT_QPA_PLATFORM", "offscreen");
        environment.insert("XDG_CONFIG_HOME", QString::fromStdString(dir.Path()));
        process.setProcessEnvironment(environment);
        process.setWorkingDirectory(QString::fromStdString(dir.Path()));
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start(sProgram, {QString::fromStdString(dir.File("Kestrum.xml"))});
        ASSERT_TRUE(process.waitForStarted(10000));

        // With the link silent the console asks again every 1.2 s: it is up and running.
        UdpPeer::Bytes frame;
        do
            frame = peer.Receive();
        while (!frame.empty() && !IsPeriodicRequest(frame, 1));
        ASSERT_FALSE(frame.empty()) << "no periodic request from the console";

        ::kill(static_cast<pid_t>(process.processId()), nSignal);
        do
            frame = peer.Receive();
        while (!frame.empty() && !IsPeriodicRequest(frame, 0));
        EXPECT_FALSE(frame.empty()) << "no stop frame after signal " << nSignal;
        if (!frame.empty())
        {
            EXPECT_EQ(frame[1], 4);
        }
        ASSERT_TRUE(process.waitForFinished(10000));
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(process.exitCode(), 0);
    }
}

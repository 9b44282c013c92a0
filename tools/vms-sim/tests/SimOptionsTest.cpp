#include "cKestrumSettings.h"
#include "cSimConsoleSettings.h"
#include "cSimOptions.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace
{
cSimOptions::eParse Parse(cSimOptions& options, std::vector<std::string> args)
{
    args.insert(args.begin(), "vms-sim");
    std::vector<char*> argv;
    for (std::string& sArg : args)
        argv.push_back(sArg.data());
    return options.Parse(static_cast<int>(argv.size()), argv.data());
}
} // namespace

// With no options the simulator sits where the console looks for the remote system.
TEST(SimOptions, DefaultsMirrorTheConsoleDefaults)
{
    cSimOptions options;
    ASSERT_EQ(Parse(options, {}), cSimOptions::eParse::Run);
    EXPECT_EQ(options.m_nVariant, 0);
    EXPECT_EQ(options.m_sPagesFile, "config/PageDefinitions.xml");
    EXPECT_EQ(options.m_sAddress, "127.0.0.1");
    EXPECT_EQ(options.m_nPort, 9876);
    EXPECT_EQ(options.m_nReplyPort, 9879);
    EXPECT_EQ(options.m_nEoPort, 9186);
    EXPECT_EQ(options.m_nEoListenPort, 9886);
    EXPECT_TRUE(options.m_sSerialDevice.empty());

    // With no settings file to read, the defaults taken are these same values.
    std::vector<std::string> problems;
    options.TakeDefaults(cSimConsoleSettings::BuiltIn(), problems);
    EXPECT_TRUE(problems.empty());
    EXPECT_EQ(options.LinkSummary(), "variant 0, UDP 9876 -> 127.0.0.1:9879, EO 9886 -> 9186");
    EXPECT_EQ(options.m_sPagesFile, "config/PageDefinitions.xml");
    EXPECT_TRUE(options.m_bHeartbeat);
    EXPECT_EQ(options.m_nDesignateItemX, 20);
    EXPECT_EQ(options.m_nDesignateItemY, 21);
}

namespace
{
// A console set for long frames without the heartbeat, on ports of its own.
cKestrumSettings ConsoleOnItsOwnPorts()
{
    cKestrumSettings settings;
    settings.nControllerType = 1;
    settings.bUseVMS_HeartBeat = false;
    settings.sPageDefinitionsFile = "/srv/kestrum/pages.xml";
    settings.m_CommsSettings.nCommsMethod = CommsSettings::kUdp;
    settings.m_CommsSettings.nTxPort = 7001;
    settings.m_CommsSettings.nRxPort = 7002;
    settings.m_CommsSettings.nEoTxPort = 7003;
    settings.m_CommsSettings.nEoRxPort = 7004;
    settings.m_CommsSettings.nBaudRate = 9600;
    settings.m_VideoSettings.nDesignateSubSystem = 7;
    settings.m_VideoSettings.nDesignateIndex = 2;
    settings.m_VideoSettings.nDesignateItemX = 30;
    settings.m_VideoSettings.nDesignateItemY = 31;
    return settings;
}
} // namespace

// The console's settings fill in what the command line left open, seen from
// the other end of the link; what the command line gave wins, and the
// summary says which.
TEST(SimOptions, ConsoleSettingsFillWhatTheCommandLineLeftOpen)
{
    std::vector<std::string> problems;
    cSimOptions options;
    ASSERT_EQ(Parse(options, {}), cSimOptions::eParse::Run);
    options.TakeDefaults(ConsoleOnItsOwnPorts(), problems);
    EXPECT_TRUE(problems.empty());
    EXPECT_EQ(options.m_nVariant, 1);
    EXPECT_FALSE(options.HeartbeatOn());
    EXPECT_EQ(options.m_sPagesFile, "/srv/kestrum/pages.xml");
    EXPECT_EQ(options.m_nPort, 7001);
    EXPECT_EQ(options.m_nReplyPort, 7002);
    EXPECT_EQ(options.m_nEoListenPort, 7003);
    EXPECT_EQ(options.m_nEoPort, 7004);
    EXPECT_EQ(options.LinkSummary(), "variant 1 without heartbeat, UDP 7001 -> 127.0.0.1:7002, EO 7003 -> 7004");
    // Where the console designates a point.
    EXPECT_EQ(options.m_nDesignateSubSystem, 7);
    EXPECT_EQ(options.m_nDesignateIndex, 2);
    EXPECT_EQ(options.m_nDesignateItemX, 30);
    EXPECT_EQ(options.m_nDesignateItemY, 31);

    cSimOptions given;
    ASSERT_EQ(Parse(given, {"--variant", "0", "--heartbeat", "on", "-p", "mine.xml", "--port", "0", "--eo-port",
                            "9000"}),
              cSimOptions::eParse::Run);
    given.TakeDefaults(ConsoleOnItsOwnPorts(), problems);
    EXPECT_TRUE(problems.empty());
    EXPECT_EQ(given.m_nVariant, 0);
    EXPECT_TRUE(given.m_bHeartbeat);
    EXPECT_FALSE(given.HeartbeatOn()) << "short frames have no heartbeat";
    EXPECT_EQ(given.m_sPagesFile, "mine.xml");
    EXPECT_EQ(given.m_nPort, 0);
    EXPECT_EQ(given.m_nReplyPort, 7002);
    EXPECT_EQ(given.m_nEoListenPort, 7003);
    EXPECT_EQ(given.m_nEoPort, 9000);
    EXPECT_EQ(given.LinkSummary(), "variant 0, UDP 0 -> 127.0.0.1:7002, EO 7003 -> 9000 (--variant, --heartbeat, "
                                   "--port, --eo-port from the command line)");

    cSimOptions heartbeat;
    ASSERT_EQ(Parse(heartbeat, {"--heartbeat", "1"}), cSimOptions::eParse::Run);
    heartbeat.TakeDefaults(ConsoleOnItsOwnPorts(), problems);
    EXPECT_TRUE(heartbeat.HeartbeatOn());
}

// A console on a serial line: the simulator takes the same line (its device
// as the console names it) at its rate, unless the command line names a
// device of its own or a UDP port.
TEST(SimOptions, SerialConsoleSettingsGiveTheLineUnlessTheCommandLineSaysOtherwise)
{
    cKestrumSettings serial = ConsoleOnItsOwnPorts();
    serial.m_CommsSettings.nCommsMethod = CommsSettings::kSerial;
    serial.m_CommsSettings.nComPort = 3;
    std::vector<std::string> problems;

    cSimOptions byNumber;
    ASSERT_EQ(Parse(byNumber, {}), cSimOptions::eParse::Run);
    byNumber.TakeDefaults(serial, problems);
    EXPECT_EQ(byNumber.m_sSerialDevice, "/dev/ttyS2");
    EXPECT_EQ(byNumber.m_nBaudRate, 9600);
    EXPECT_TRUE(byNumber.SerialFromSettings());
    EXPECT_EQ(byNumber.LinkSummary(), "variant 1 without heartbeat, serial /dev/ttyS2 at 9600 bit/s, EO 7003 -> 7004");

    serial.m_CommsSettings.sSerialDevice = "/dev/ttyUSB1";
    cSimOptions byName;
    ASSERT_EQ(Parse(byName, {}), cSimOptions::eParse::Run);
    byName.TakeDefaults(serial, problems);
    EXPECT_EQ(byName.m_sSerialDevice, "/dev/ttyUSB1");

    cSimOptions ownEnd;
    ASSERT_EQ(Parse(ownEnd, {"--serial", "/dev/pts/4", "--baud", "57600"}), cSimOptions::eParse::Run);
    ownEnd.TakeDefaults(serial, problems);
    EXPECT_EQ(ownEnd.m_sSerialDevice, "/dev/pts/4");
    EXPECT_EQ(ownEnd.m_nBaudRate, 57600);
    EXPECT_FALSE(ownEnd.SerialFromSettings());

    cSimOptions udp;
    ASSERT_EQ(Parse(udp, {"--reply-port", "7100"}), cSimOptions::eParse::Run);
    udp.TakeDefaults(serial, problems);
    EXPECT_TRUE(udp.m_sSerialDevice.empty());
    EXPECT_EQ(udp.m_nPort, 7001);
    EXPECT_TRUE(problems.empty());
}

// A value in the settings that no option could take is named, and the
// built-in value stays; the other values are still taken.
TEST(SimOptions, UnusableSettingsAreNamedAndKeepTheBuiltInValue)
{
    cKestrumSettings odd = ConsoleOnItsOwnPorts();
    odd.nControllerType = 2;
    odd.m_CommsSettings.nTxPort = 0;
    odd.m_CommsSettings.nRxPort = 70000;
    odd.m_CommsSettings.nCommsMethod = 5;
    cSimOptions options;
    ASSERT_EQ(Parse(options, {}), cSimOptions::eParse::Run);
    std::vector<std::string> problems;
    options.TakeDefaults(odd, problems);
    ASSERT_EQ(problems.size(), 4u);
    EXPECT_EQ(problems[0], "nControllerType 2 names no frame variant (0 short, 1 long)");
    EXPECT_EQ(problems[1], "nTxPort 0 is not 1 to 65535");
    EXPECT_EQ(problems[2], "nRxPort 70000 is not 1 to 65535");
    EXPECT_EQ(problems[3], "nCommsMethod 5 names no transport (0 serial, 2 UDP)");
    EXPECT_EQ(options.LinkSummary(), "variant 0, UDP 9876 -> 127.0.0.1:9879, EO 7003 -> 7004");

    // Given options are never checked against the file.
    cSimOptions given;
    ASSERT_EQ(Parse(given, {"--variant", "1", "--port", "5000", "--reply-port", "5001"}), cSimOptions::eParse::Run);
    problems.clear();
    given.TakeDefaults(odd, problems);
    EXPECT_TRUE(problems.empty()) << problems.front();
}

TEST(SimOptions, WrongUsageIsExplained)
{
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"--variant", "2"}, "invalid value \"2\" for --variant"},
        {{"--heartbeat", "yes"}, "invalid value \"yes\" for --heartbeat"},
        {{"--settings"}, "--settings wants a value"},
        {{"--port=70000"}, "for --port"},
        {{"--silence-for", "-1"}, "for --silence-for"},
        {{"--eo-format", "2"}, "--eo-format must be"},
        {{"--eo-format", "33", "--eo-targets", "21"}, "at most 20 records of format 33"},
        {{"--eo-targets", "2", "--eo-tags", "3"}, "--eo-tags"},
        {{"--eo-targets", "24", "--eo-cycle-formats", "5"}, "at most 20 records of every format"},
        {{"--eo-cycle-formats", "0"}, "for --eo-cycle-formats"},
        {{"--frobnicate"}, "unknown option --frobnicate"},
        {{"--pages"}, "--pages wants a value"},
        {{"extra"}, "unexpected argument \"extra\""},
        {{"--loss", "1.5"}, "invalid value \"1.5\" for --loss"},
        {{"--corrupt-rx", "-0.1"}, "for --corrupt-rx"},
        {{"--burst-loss-tx", "0"}, "for --burst-loss-tx"},
        {{"--delay", "60001"}, "for --delay"},
        {{"--jitter-rx", "soon"}, "for --jitter-rx"},
        {{"--seed", "-1"}, "for --seed"},
        {{"--duplicate"}, "--duplicate wants a value"},
        {{"--video", "127.0.0.1:5600"}, "for --video"},
        {{"--video", "udp://:5600"}, "for --video"},
        {{"--video", "udp://localhost:0"}, "for --video"},
        {{"--video", "udp://h:1", "--video-size", "641x480"}, "for --video-size"},
        {{"--video", "udp://h:1", "--video-size", "640"}, "for --video-size"},
        {{"--video", "udp://h:1", "--video-fps", "0"}, "for --video-fps"},
        {{"--video-loss", "0.5"}, "go with --video udp://HOST:PORT"},
    };
    for (const auto& [args, sFragment] : cases)
    {
        cSimOptions options;
        EXPECT_EQ(Parse(options, args), cSimOptions::eParse::Error) << sFragment;
        EXPECT_NE(options.Error().find(sFragment), std::string::npos) << options.Error();
    }
    cSimOptions options;
    EXPECT_EQ(Parse(options, {"--variant", "1", "--help"}), cSimOptions::eParse::Help);
}

// --video names the destination and the form; the rest takes its defaults.
TEST(SimOptions, VideoDestinationSizeRateAndForm)
{
    cSimOptions none;
    ASSERT_EQ(Parse(none, {}), cSimOptions::eParse::Run);
    EXPECT_FALSE(none.VideoOn());

    cSimOptions ts;
    ASSERT_EQ(Parse(ts, {"--video", "udp://127.0.0.1:5600"}), cSimOptions::eParse::Run);
    EXPECT_TRUE(ts.VideoOn());
    EXPECT_EQ(ts.VideoDestination(), "udp://127.0.0.1:5600");
    EXPECT_FALSE(ts.m_bVideoRtp);
    EXPECT_EQ(ts.m_nVideoWidth, 640);
    EXPECT_EQ(ts.m_nVideoHeight, 480);
    EXPECT_EQ(ts.m_nVideoFps, 30);

    cSimOptions rtp;
    ASSERT_EQ(Parse(rtp, {"--video", "udp://sensor.local:6000", "--video-rtp", "--video-size", "1280x720",
                          "--video-fps", "25", "--video-loss", "0.2"}),
              cSimOptions::eParse::Run);
    EXPECT_EQ(rtp.VideoDestination(), "rtp://sensor.local:6000");
    EXPECT_EQ(rtp.m_nVideoWidth, 1280);
    EXPECT_EQ(rtp.m_nVideoHeight, 720);
    EXPECT_EQ(rtp.m_nVideoFps, 25);
    EXPECT_EQ(rtp.m_dVideoLoss, 0.2);
    cSimOptions rtpScheme;
    ASSERT_EQ(Parse(rtpScheme, {"--video", "rtp://127.0.0.1:5600"}), cSimOptions::eParse::Run);
    EXPECT_TRUE(rtpScheme.m_bVideoRtp);
}

// Each impairment goes both ways unless a one-way form names the way, which
// wins wherever it stands; the start line says what is on and the seed.
TEST(SimOptions, ImpairmentsApplyBothWaysUnlessAWayIsNamed)
{
    cSimOptions plain;
    ASSERT_EQ(Parse(plain, {}), cSimOptions::eParse::Run);
    EXPECT_FALSE(plain.Impaired());

    cSimOptions options;
    ASSERT_EQ(Parse(options, {"--loss-rx", "0", "--loss", "0.25", "--burst-loss", "3", "--jitter", "50",
                              "--delay-tx", "20", "--duplicate-tx", "1", "--corrupt-rx", "0.5", "--reorder", "0.1",
                              "--seed", "4294967295"}),
              cSimOptions::eParse::Run);
    ASSERT_TRUE(options.Impaired());
    EXPECT_EQ(options.m_ImpairTx.dLoss, 0.25);
    EXPECT_EQ(options.m_ImpairRx.dLoss, 0.0);
    EXPECT_EQ(options.m_ImpairRx.nBurst, 3);
    EXPECT_EQ(options.m_ImpairRx.nDelayMs, 0);
    EXPECT_EQ(options.m_nSeed, 4294967295u);
    EXPECT_EQ(options.ImpairmentSummary(),
              "network: to the console loss 0.25 in bursts of 3, delay 20 ms + 0-50 ms, reorder 0.1, duplicate 1; "
              "from the console delay 0-50 ms, reorder 0.1, corrupt 0.5; seed 4294967295");

    cSimOptions both;
    ASSERT_EQ(Parse(both, {"--loss", "0.1", "--serial", "/dev/ttyUSB0"}), cSimOptions::eParse::Run);
    const std::string sSummary = both.ImpairmentSummary();
    EXPECT_EQ(sSummary.rfind("network, both ways: loss 0.1; seed ", 0), 0u) << sSummary;
    EXPECT_NE(sSummary.find(" (from the clock); the serial page link is not impaired"), std::string::npos)
        << sSummary;
}

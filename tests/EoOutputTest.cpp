// The EO output path from the simulated remote system to what the console
// shows and logs: the receiver, the picture model and the track log, without
// windows, so that ThreadSanitizer can watch the receive thread against the
// reader.
#include "SimUnderTest.h"
#include "TempDir.h"
#include "WaitFor.h"
#include "cEoTrackLog.h"
#include "cEoTrackPicture.h"
#include "cRC_IO_EoData.h"
#include "cSimEoStream.h"

#include <chrono>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <sstream>
#include <thread>

using namespace std::chrono_literals;

namespace
{
const char* const kPages = R"(<PageDefinitions>
  <Page Title="Tracker">
    <Item SubSystem="0" Item="40" Access="RW" Label="EO output" Type="Byte"/>
  </Page>
</PageDefinitions>
)";

std::vector<std::string> Split(const std::string& sText, char cSeparator)
{
    std::vector<std::string> parts;
    std::stringstream in(sText);
    for (std::string sPart; std::getline(in, sPart, cSeparator);)
        parts.push_back(sPart);
    return parts;
}
} // namespace

// Whatever the format, the picture puts each target where the simulator put
// it: Fixed positions (0, 1, 8, 9, 33) and plain integers (30 to 32) both
// arrive as whole pixels.
TEST(EoOutput, EveryFormatGivesTheSamePicture)
{
    const uint64_t nTimestamp = 17250000;
    for (const int32_t nFormat : cSimEoStream::kFormats)
    {
        SCOPED_TRACE(nFormat);
        const std::vector<uint8_t> frame =
            cSimEoStream(nFormat, 6, 0).BuildFrame(cSimEoStream::kTrackReport, nTimestamp);
        cRC_IO_EoData receiver;
        receiver.handleMessage(frame.data(), static_cast<int32_t>(frame.size()), 0);
        cEoTrackPicture picture;
        picture.Update(receiver.CopyTrackData());
        ASSERT_EQ(picture.Boxes().size(), 6u);
        for (size_t n = 0; n < 6; ++n)
        {
            const cSimEoStream::Target target = cSimEoStream::TargetAt(static_cast<int32_t>(n), 17.25);
            const cEoTrackPicture::Box& box = picture.Boxes()[n];
            EXPECT_EQ(box.nId, n + 1);
            const cEoTrackPicture::Point place{static_cast<int32_t>(target.dX), static_cast<int32_t>(target.dY)};
            EXPECT_EQ(box.centre, place);
            EXPECT_EQ(box.nWidth, static_cast<int32_t>(target.dSizeX));
            EXPECT_EQ(box.nHeight, static_cast<int32_t>(target.dSizeY));
            EXPECT_EQ(box.eKind, cEoTrackPicture::eStatus::Track);
        }
    }
}

// The simulator streams 32 tracks 100 times a second while the reader copies
// the report, draws it and starts and stops the log: every row is one whole
// report, its positions those of its own timestamp.
TEST(EoOutput, LogStartsAndStopsWhileTheSimulatorStreams)
{
    TempDir dir;
    dir.Write("pages.xml", kPages);
    SimUnderTest simulator(0, dir.File("pages.xml"));
    simulator.Options().m_nEoTargets = 32;
    simulator.Options().m_nEoTags = 0;
    simulator.Options().m_nEoPeriodMs = 10;
    simulator.Options().m_bEoOn = true;
    ASSERT_TRUE(simulator.Start());

    CommsSettings settings;
    settings.nCommsMethod = CommsSettings::kUdp;
    settings.nEoTxPort = simulator.EoPort();
    settings.nEoRxPort = 0;
    cRC_IO_EoData receiver;
    ASSERT_TRUE(receiver.initialise(settings, "EoTrackData"));
    ASSERT_TRUE(WaitFor([&] { return receiver.CopyTrackData().numTracks.Get() == 32; }));

    cEoTrackLog log(40);
    cEoTrackPicture picture;
    std::vector<std::string> paths;
    for (int nRun = 0; nRun < 5; ++nRun)
    {
        // A name per run: runs within one second would otherwise share a file.
        ASSERT_TRUE(log.Start(dir.File("logs"), "Run " + std::to_string(nRun)));
        paths.push_back(log.Path());
        for (int n = 0; n < 30; ++n)
        {
            const EoReport report = receiver.CopyTrackData();
            picture.Update(report);
            log.WriteRow(report);
            std::this_thread::sleep_for(3ms);
        }
        log.Stop();
    }
    receiver.close();
    simulator.Stop();
    EXPECT_EQ(picture.Boxes().size(), 32u);

    for (const std::string& sPath : paths)
    {
        std::ifstream in(sPath);
        const std::vector<std::string> lines =
            Split(std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()), '\n');
        ASSERT_EQ(lines.size(), 3u + 30 + 2) << sPath;
        EXPECT_EQ(Split(lines[2], ',').size(), 4u + 32 * 9);
        for (size_t nLine = 3; nLine < 33; ++nLine)
        {
            const std::vector<std::string> fields = Split(lines[nLine], ',');
            ASSERT_EQ(fields.size(), 4u + 32 * 9) << lines[nLine];
            const double dSeconds = std::stod(fields[1]) / 1e6;
            for (int32_t n = 0; n < 32; ++n)
            {
                const cSimEoStream::Target target = cSimEoStream::TargetAt(n, dSeconds);
                ASSERT_EQ(fields[4 + 9 * n], std::to_string(n + 1));
                ASSERT_EQ(fields[5 + 9 * n], std::to_string(static_cast<int32_t>(target.dX))) << lines[nLine];
                ASSERT_EQ(fields[6 + 9 * n], std::to_string(static_cast<int32_t>(target.dY))) << lines[nLine];
            }
        }
    }
}

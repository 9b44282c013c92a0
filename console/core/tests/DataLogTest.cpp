// Logs of received data: rows taken on one thread, written by the owner's.
#include "RC_Frame.h"
#include "RC_Payload.h"
#include "TempDir.h"
#include "UdpPeer.h"
#include "WaitFor.h"
#include "cDataLog.h"
#include "cPageList.h"
#include "cPageLog.h"
#include "cRC_IO_Pages.h"

#include <atomic>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace
{
std::vector<std::string> Lines(const std::string& sPath)
{
    std::ifstream in(sPath);
    std::vector<std::string> lines;
    for (std::string sLine; std::getline(in, sLine);)
        lines.push_back(sLine);
    return lines;
}

// The row's fields after its time of day.
std::string Values(const std::string& sRow)
{
    const size_t nComma = sRow.find(',');
    return nComma == std::string::npos ? "" : sRow.substr(nComma + 1);
}
} // namespace

// A receive thread adds rows while the owner writes them at its own pace:
// every row reaches the file once, in order, between the header and the
// "finished" line; rows before the start and after the stop are not logged.
TEST(DataLog, RowsFromAnotherThreadArriveWholeAndInOrder)
{
    TempDir dir;
    cDataLog log;
    log.Add("before the start\n");
    ASSERT_TRUE(log.Start(dir.Path(), "Rows", "Header,\n"));

    constexpr int kRows = 20000;
    std::atomic<bool> bDone{false};
    std::thread receiver([&] {
        for (int n = 0; n < kRows; ++n)
            log.Add(std::to_string(n) + ",\n");
        bDone = true;
    });
    while (!bDone)
        log.WritePending();
    receiver.join();
    log.Stop();
    log.Add("after the stop\n");
    EXPECT_EQ(log.RowsLost(), 0u);

    const std::vector<std::string> lines = Lines(log.Path());
    ASSERT_EQ(lines.size(), static_cast<size_t>(kRows) + 4) << log.Path();
    EXPECT_EQ(lines[0].rfind("Log started at: ", 0), 0u);
    EXPECT_EQ(lines[1], "Header,");
    for (int n = 0; n < kRows; ++n)
        ASSERT_EQ(lines[static_cast<size_t>(n) + 2], std::to_string(n) + ",");
    EXPECT_EQ(lines[lines.size() - 2], "");
    EXPECT_EQ(lines.back().rfind("Log finished at: ", 0), 0u);
}

// An owner that stops writing (a stalled disk) does not make the receiver
// wait or grow without end: what does not fit is counted, and the file says
// how many rows are missing where they would have been.
TEST(DataLog, RowsBeyondTheBoundAreCountedAndReported)
{
    TempDir dir;
    cDataLog log(3);
    ASSERT_TRUE(log.Start(dir.Path(), "Bounded", "H,\n"));
    for (int n = 0; n < 5; ++n)
        log.Add(std::to_string(n) + ",\n");
    EXPECT_EQ(log.RowsLost(), 2u);
    log.WritePending();
    log.Add("5,\n");
    log.Stop();

    const std::vector<std::string> lines = Lines(log.Path());
    ASSERT_GE(lines.size(), 7u);
    EXPECT_EQ(lines[2], "0,");
    EXPECT_EQ(lines[4], "2,");
    EXPECT_EQ(lines[5], "Rows lost (the log was not written in time): 2");
    EXPECT_EQ(lines[6], "5,");
}

// A log that cannot be opened is not running and takes no rows.
TEST(DataLog, FolderThatCannotBeMadeLeavesTheLogStopped)
{
    TempDir dir;
    dir.Write("file", "a file where the folder should be");
    cDataLog log;
    EXPECT_FALSE(log.Start(dir.File("file"), "Rows", "H,\n"));
    EXPECT_FALSE(log.IsRunning());
    log.Add("row\n");
    log.WritePending();
    log.Stop();
}

// The page log against a page protocol fed by a peer over UDP: one row per
// update of the logging subsystem, with the values that update brought;
// updates of other subsystems add none, write-only items have no column.
TEST(PageLog, EachUpdateOfTheLoggingSubsystemIsOneRow)
{
    UdpPeer remote;
    uint16_t nConsolePort = 0;
    {
        UdpPeer probe;
        nConsolePort = probe.Port();
    }
    CommsSettings settings;
    settings.nCommsMethod = CommsSettings::kUdp;
    settings.nTxPort = remote.Port();
    settings.nRxPort = nConsolePort;

    std::vector<PageItem> page;
    page.push_back(PageItem::Make(5, 0, 3, RC_DataType::U16, PageItem::kReadOnly, "Speed, m/s"));
    page.push_back(PageItem::Make(5, 0, 4, RC_DataType::Byte, PageItem::kReadWrite, "Mode"));
    page.push_back(PageItem::Make(5, 0, 6, RC_DataType::Byte, PageItem::kWriteOnly, "Command"));
    page.push_back(PageItem::Make(6, 0, 1, RC_DataType::Byte, PageItem::kReadOnly, "Other"));
    cPageList pages;
    pages.AppendPage(std::move(page), "Page", true, 5);
    cRC_IO_Pages protocol(RC_Variant::ShortFrames, false);
    ASSERT_TRUE(protocol.initialise(settings, "Kestrum"));
    protocol.m_pPageDefinitions = &pages;
    protocol.RegisterItems();

    std::vector<const PageItem*> items;
    for (const PageItem& item : pages.Items(0))
        items.push_back(&item);
    TempDir dir;
    cPageLog log(items, 5);
    log.Listen(&protocol);
    ASSERT_TRUE(log.Start(dir.Path(), "Page"));

    auto send = [&](uint8_t nSubSystem, const RC_Payload& payload) {
        RC_Frame frame;
        frame.BuildStatus(RC_Variant::ShortFrames, nSubSystem, 0, 0, payload.Data(), payload.Size());
        remote.SendTo(nConsolePort, {frame.Data(), frame.Data() + frame.Size()});
    };
    RC_Payload first;
    first.AddU16(3, 300);
    first.AddByte(4, 2);
    send(5, first);
    RC_Payload other;
    other.AddByte(1, 9);
    send(6, other);
    RC_Payload second;
    second.AddU16(3, 301);
    send(5, second);
    ASSERT_TRUE(WaitFor([&] { return protocol.m_nRxCount.load() == 3; }));

    log.WritePending();
    log.StopListening();
    log.Stop();
    const std::vector<std::string> lines = Lines(log.Path());
    ASSERT_EQ(lines.size(), 6u) << log.Path();
    EXPECT_EQ(lines[1], "Timestamp,\"Speed, m/s\",Mode,Other,");
    EXPECT_EQ(Values(lines[2]), "300,2,0,") << "the row of the first update, taken as it came";
    EXPECT_EQ(Values(lines[3]), "301,2,9,");
}

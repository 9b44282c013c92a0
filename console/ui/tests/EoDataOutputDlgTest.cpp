// The EO output windows against a real EO receiver on 127.0.0.1, fed by a
// peer that plays the remote system.
#include "EoTestFrames.h"
#include "TempDir.h"
#include "UdpPeer.h"
#include "UiTestSupport.h"
#include "cEoTrackPictureView.h"
#include "cMessageBox.h"
#include "cRC_EoDataOutputDlg.h"
#include "cRC_IO_EoData.h"

#include <QAction>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <atomic>
#include <ctime>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <regex>
#include <sstream>
#include <thread>

using namespace ui_test;
using eo_test::Track;
using Row = cEoReportText::Row;

namespace
{
std::string ReadAll(const std::string& sPath)
{
    std::ifstream in(sPath);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::string> Lines(const std::string& sText)
{
    std::vector<std::string> lines;
    std::stringstream in(sText);
    for (std::string sLine; std::getline(in, sLine);)
        lines.push_back(sLine);
    return lines;
}

class EoDataOutputDlgTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_nConsolePort = FreeUdpPort();
        CommsSettings settings;
        settings.nCommsMethod = CommsSettings::kUdp;
        settings.nEoTxPort = m_Peer.Port();
        settings.nEoRxPort = m_nConsolePort;
        ASSERT_TRUE(m_EoData.initialise(settings, "EoTrackData"));
        m_Peer.SetTimeout(5);
        // The receiver's first empty datagram tells the remote system where to send.
        EXPECT_TRUE(m_Peer.Receive().empty());
        cMessageBox::SetSink([this](const QString& sText) { m_Messages.push_back(sText.toStdString()); });
    }
    void TearDown() override { cMessageBox::SetSink({}); }

    std::unique_ptr<cRC_EoDataOutputDlg> MakeDialog(bool bTag, bool bAllowLogging = true, int32_t nMaxTracks = 5,
                                                    const std::string& sFolder = "")
    {
        auto pDlg = std::make_unique<cRC_EoDataOutputDlg>(&m_EoData, bAllowLogging,
                                                          sFolder.empty() ? m_Dir.File("logs") : sFolder, nMaxTracks);
        pDlg->SetTagData(bTag);
        pDlg->show();
        pDlg->OnInitDialog();
        return pDlg;
    }

    // Sends a report and waits until the window shows its timestamp in full seconds.
    void Show(cRC_EoDataOutputDlg& dlg, uint8_t nIdentifier, uint8_t nFormat, uint64_t nTimestamp,
              const std::vector<Track>& tracks)
    {
        m_Peer.SendTo(m_nConsolePort, eo_test::Frame(nIdentifier, nFormat, nTimestamp, tracks));
        const QString sTime = QString::number(nTimestamp / 1000000);
        const QString sCount = QString::number(tracks.size());
        const QString sFormat = QString::number(nFormat);
        ASSERT_TRUE(SpinUntil([&] {
            return dlg.Header(cRC_EoDataOutputDlg::kTime)->text() == sTime &&
                   dlg.Header(cRC_EoDataOutputDlg::kNumTargets)->text() == sCount &&
                   dlg.Header(cRC_EoDataOutputDlg::kFormat)->text() == sFormat;
        }));
    }

    static std::string CellText(const cRC_EoDataOutputDlg& dlg, Row eRow, int nColumn)
    {
        return dlg.Cell(eRow, nColumn)->text().toStdString();
    }

    TempDir m_Dir;
    UdpPeer m_Peer;
    uint16_t m_nConsolePort = 0;
    cRC_IO_EoData m_EoData;
    std::vector<std::string> m_Messages;
};
} // namespace

// The target window shows the track report as it arrives; the range fields
// follow the format; the tag report does not reach it.
TEST_F(EoDataOutputDlgTest, TargetWindowShowsTheTrackReport)
{
    auto pDlg = MakeDialog(false);
    EXPECT_EQ(pDlg->windowTitle(), "EO Target Output");
    EXPECT_EQ(pDlg->RowLabel(cEoReportText::kPositionX)->text(), "Position X");
    EXPECT_EQ(pDlg->RowLabel(cEoReportText::kPriority)->text(), "Priority");
    ASSERT_NE(pDlg->Picture(), nullptr);
    EXPECT_TRUE(pDlg->Picture()->isVisible());

    Track first;
    first.nId = 300;
    first.nX = 320;
    first.nY = -15;
    first.nRange = 2750;
    first.nConfidence = 91;
    first.nLifetimeRaw = 6144;
    first.nPriority = 7;
    Track second = first;
    second.nId = 0x0100002A;
    second.nStatus = 2;
    Show(*pDlg, 9, 9, 2500000, {first, second});
    EXPECT_EQ(CellText(*pDlg, cEoReportText::kTrackId, 0), "44");
    EXPECT_EQ(CellText(*pDlg, cEoReportText::kTrackId, 1), "42");
    EXPECT_EQ(CellText(*pDlg, cEoReportText::kPositionY, 0), "-15");
    EXPECT_EQ(CellText(*pDlg, cEoReportText::kLifetime, 0), "1.500000");
    EXPECT_EQ(CellText(*pDlg, cEoReportText::kConfidence, 0), "91");
    EXPECT_EQ(CellText(*pDlg, cEoReportText::kPriority, 0), "7");
    EXPECT_EQ(CellText(*pDlg, cEoReportText::kStatus, 1), "2");
    EXPECT_EQ(CellText(*pDlg, cEoReportText::kRange, 0), "2750");
    EXPECT_EQ(CellText(*pDlg, cEoReportText::kPositionX, 4), "0");
    for (int c = 0; c < cEoReportText::kColumns; ++c)
        EXPECT_TRUE(pDlg->Cell(cEoReportText::kRange, c)->isEnabled());

    m_Peer.SendTo(m_nConsolePort, eo_test::Frame(8, 0, 99000000, {first}));  // a tag report: not this window's
    Show(*pDlg, 7, 0, 3000000, {first});
    for (int c = 0; c < cEoReportText::kColumns; ++c)
    {
        EXPECT_EQ(CellText(*pDlg, cEoReportText::kRange, c), "N/A");
        EXPECT_FALSE(pDlg->Cell(cEoReportText::kRange, c)->isEnabled());
    }
}

// The tag window is titled "EO Tag Data", has no picture, shows the tag
// report, and its Priority row is the ID's top byte, signed.
TEST_F(EoDataOutputDlgTest, TagWindowShowsTheTagReport)
{
    auto pDlg = MakeDialog(true);
    EXPECT_EQ(pDlg->windowTitle(), "EO Tag Data");
    EXPECT_EQ(pDlg->Picture(), nullptr);

    Track tag;
    tag.nId = 0xFE000105;
    tag.nPriority = 9;
    m_Peer.SendTo(m_nConsolePort, eo_test::Frame(7, 1, 77000000, {tag, tag, tag}));
    Show(*pDlg, 8, 1, 5000000, {tag});
    EXPECT_EQ(CellText(*pDlg, cEoReportText::kPriority, 0), "-2");
    EXPECT_EQ(CellText(*pDlg, cEoReportText::kTrackId, 0), "5");
    EXPECT_EQ(pDlg->windowTitle(), "EO Tag Data");
}

// Logging writes the header and one row per refresh with the tracks the
// report holds; close hides the window and pauses the rows, the log stays
// open, and showing it again carries on; stopping ends the file.
TEST_F(EoDataOutputDlgTest, TrackLogFollowsTheWindow)
{
    auto pDlg = MakeDialog(false, true, 5);
    Track track;
    track.nId = 300;
    track.nLifetimeRaw = 6144;
    track.nConfidence = 77;
    Show(*pDlg, 7, 0, 2500000, {track, track, track});

    pDlg->LoggingAction()->trigger();
    ASSERT_TRUE(pDlg->IsLogging());
    EXPECT_EQ(pDlg->LoggingAction()->text(), "Stop Logging");
    EXPECT_NE(pDlg->LogPath().find("/logs/EO Target Output-"), std::string::npos);
    ASSERT_TRUE(SpinUntil([&] { return Lines(ReadAll(pDlg->LogPath())).size() >= 5; }));

    pDlg->close();
    EXPECT_FALSE(pDlg->isVisible());
    EXPECT_FALSE(pDlg->IsRefreshing());
    EXPECT_TRUE(pDlg->IsLogging());
    pDlg->show();
    pDlg->OnInitDialog();
    EXPECT_TRUE(pDlg->IsRefreshing());
    const size_t nBefore = Lines(ReadAll(pDlg->LogPath())).size();
    ASSERT_TRUE(SpinUntil([&] { return Lines(ReadAll(pDlg->LogPath())).size() > nBefore + 1; }));

    pDlg->LoggingAction()->trigger();
    EXPECT_FALSE(pDlg->IsLogging());
    EXPECT_EQ(pDlg->LoggingAction()->text(), "Start Logging");

    const std::vector<std::string> lines = Lines(ReadAll(pDlg->LogPath()));
    ASSERT_GE(lines.size(), 7u);
    EXPECT_EQ(lines[0].rfind("Log started at: ", 0), 0u);
    EXPECT_EQ(lines[1], "");
    EXPECT_EQ(lines[2].rfind("Timestamp,Target Time,Format,Number of Tracks,ID 1,X Posn1,", 0), 0u);
    EXPECT_NE(lines[2].find(",Priority5,"), std::string::npos);
    const std::regex row(R"(\d\d:\d\d:\d\d\.\d\d\d,2500000,0,3,(300,0,0,0,0,-1,1,1\.5,0,){3})");
    for (size_t n = 3; n + 2 < lines.size(); ++n)
        EXPECT_TRUE(std::regex_match(lines[n], row)) << lines[n];
    EXPECT_EQ(lines[lines.size() - 2], "");
    EXPECT_EQ(lines.back().rfind("Log finished at: ", 0), 0u);
}

// A log that cannot be opened is reported and the command keeps saying
// "Start Logging"; with logging not allowed the command is greyed.
TEST_F(EoDataOutputDlgTest, LoggingFailuresLeaveNothingRunning)
{
    m_Dir.Write("file", "x");
    auto pDlg = MakeDialog(false, true, 5, m_Dir.File("file/logs"));
    pDlg->LoggingAction()->trigger();
    EXPECT_FALSE(pDlg->IsLogging());
    EXPECT_EQ(pDlg->LoggingAction()->text(), "Start Logging");
    ASSERT_EQ(m_Messages.size(), 1u);
    EXPECT_EQ(m_Messages[0], "Error opening log file in " + m_Dir.File("file/logs"));

    auto pLocked = MakeDialog(true, false);
    EXPECT_FALSE(pLocked->LoggingAction()->isEnabled());
    pLocked->OnStartStopLogging();
    EXPECT_FALSE(pLocked->IsLogging());
}

// Starting and stopping the log while reports stream in at 200 a second:
// every file is whole (header, rows of whole reports, finish line).
TEST_F(EoDataOutputDlgTest, StartingAndStoppingWhileReportsStream)
{
    auto pDlg = MakeDialog(false, true, 32);
    std::atomic<bool> bStop{false};
    std::thread sender([&] {
        UdpPeer remote;
        for (uint64_t n = 1; !bStop; ++n)
        {
            std::vector<Track> tracks(n % 20 + 1);
            for (size_t i = 0; i < tracks.size(); ++i)
            {
                tracks[i].nId = static_cast<uint32_t>(n);  // every track of a report carries its number
                tracks[i].nX = static_cast<int32_t>(i);
            }
            remote.SendTo(m_nConsolePort, eo_test::Frame(7, 0, n * 1000000, tracks));
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    });
    std::vector<std::string> paths;
    std::time_t tStarted = 0;
    for (int n = 0; n < 4; ++n)
    {
        // Log names carry whole seconds: each run starts in a second of its own.
        ASSERT_TRUE(SpinUntil([&] { return std::time(nullptr) > tStarted; }));
        pDlg->OnStartStopLogging();
        tStarted = std::time(nullptr);
        ASSERT_TRUE(pDlg->IsLogging());
        paths.push_back(pDlg->LogPath());
        Spin(std::chrono::milliseconds(150 + 100 * n));
        pDlg->OnStartStopLogging();
        EXPECT_FALSE(pDlg->IsLogging());
    }
    bStop = true;
    sender.join();

    size_t nRows = 0;
    for (const std::string& sPath : paths)
    {
        const std::vector<std::string> lines = Lines(ReadAll(sPath));
        ASSERT_GE(lines.size(), 5u) << sPath;
        EXPECT_EQ(lines.back().rfind("Log finished at: ", 0), 0u) << sPath;
        for (size_t i = 3; i + 2 < lines.size(); ++i)
        {
            std::vector<std::string> fields;
            std::stringstream in(lines[i]);
            for (std::string sField; std::getline(in, sField, ',');)
                fields.push_back(sField);
            ASSERT_GE(fields.size(), 4u) << lines[i];
            const size_t nTracks = std::stoul(fields[3]);
            ASSERT_EQ(fields.size(), 4 + 9 * nTracks) << lines[i];
            // A whole report: its count matches its number, every track carries it.
            if (fields[1] == "0")
                continue;  // nothing received yet
            const uint64_t nReport = std::stoull(fields[1]) / 1000000;
            EXPECT_EQ(nTracks, nReport % 20 + 1) << lines[i];
            for (size_t t = 0; t < nTracks; ++t)
                EXPECT_EQ(fields[4 + 9 * t], std::to_string(nReport)) << lines[i];
            ++nRows;
        }
    }
    EXPECT_GT(nRows, 4u);
}

// The picture holds one box per valid track where the report puts it, and
// the painted image has each box's outline in its status colour there.
TEST_F(EoDataOutputDlgTest, PictureDrawsOneBoxPerTrack)
{
    auto pDlg = MakeDialog(false);
    pDlg->resize(1100, 520);
    std::vector<Track> tracks(3);
    const int32_t kPlaces[3][2] = {{100, 100}, {320, 240}, {560, 400}};
    for (size_t n = 0; n < 3; ++n)
    {
        tracks[n].nId = static_cast<uint32_t>(n + 11);
        tracks[n].nX = kPlaces[n][0];
        tracks[n].nY = kPlaces[n][1];
        tracks[n].nSizeX = 40;
        tracks[n].nSizeY = 30;
        tracks[n].nStatus = static_cast<uint8_t>(n);
    }
    for (const uint8_t nFormat : {0, 30, 33})
    {
        Show(*pDlg, 7, nFormat, 1000000 + nFormat, tracks);
        cEoTrackPictureView* pView = pDlg->Picture();
        ASSERT_TRUE(SpinUntil([&] { return pView->Model().Boxes().size() == 3; }));
        const QImage image = pView->grab().toImage();
        ASSERT_NEAR(pView->PictureRect().width() / pView->PictureRect().height(), 640.0 / 480.0, 0.01);
        ASSERT_TRUE(QRectF(pView->rect()).contains(pView->PictureRect()));
        for (size_t n = 0; n < 3; ++n)
        {
            const cEoTrackPicture::Box& box = pView->Model().Boxes()[n];
            EXPECT_EQ(box.centre, (cEoTrackPicture::Point{kPlaces[n][0], kPlaces[n][1]})) << int(nFormat);
            EXPECT_EQ(box.sLabel, std::to_string(n + 11));
            // The 640 x 480 field of view scaled into the widget: the middle of
            // the box's bottom edge, within a pixel or two, has its colour.
            const QRectF view = pView->PictureRect();
            const double dScale = view.width() / 640.0;
            const QPoint bottom(static_cast<int>(view.left() + kPlaces[n][0] * dScale),
                                static_cast<int>(view.top() + (kPlaces[n][1] + 15) * dScale));
            const QColor expected(box.colour.r, box.colour.g, box.colour.b);
            bool bFound = false;
            for (int dy = -2; dy <= 2 && !bFound; ++dy)
                bFound = image.pixelColor(bottom + QPoint(0, dy)) == expected;
            EXPECT_TRUE(bFound) << "box " << n << " format " << int(nFormat);
        }
    }
}

#include "ConsoleSettings.h"
#include "EoTestFrames.h"
#include "KestrumDlg.h"
#include "RC_Frame.h"
#include "RC_Payload.h"
#include "LogCapture.h"
#include "TempDir.h"
#include "UdpPeer.h"
#include "UiTestSupport.h"
#include "VideoSender.h"
#include "cMessageBox.h"
#include "cVideoView.h"
#include "cVideoWindow.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <filesystem>
#include <gtest/gtest.h>

using namespace ui_test;
using namespace std::chrono_literals;

namespace
{
class VideoWindowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        cMessageBox::SetSink([this](const QString& sText) { m_Messages.push_back(sText.toStdString()); });
        m_nPort = FreeUdpPort();
        m_Settings.sVideoSource = "udp://127.0.0.1:" + std::to_string(m_nPort);
        m_Settings.sVideoRecordFolder = m_Dir.File("video");
    }
    void TearDown() override { cMessageBox::SetSink({}); }

    std::unique_ptr<cVideoWindow> OpenWindow()
    {
        auto pWindow = std::make_unique<cVideoWindow>(m_Settings, m_Dir.File("logs"));
        pWindow->show();
        pWindow->StartVideo();
        return pWindow;
    }

    TempDir m_Dir;
    uint16_t m_nPort = 0;
    cVideoSettings m_Settings;
    std::vector<std::string> m_Messages;
};
} // namespace

// NO VIDEO and the source until a stream comes; then the picture, its size,
// rate and counts; NO VIDEO within a second of the stream stopping, logged
// once; the picture back by itself when the sender starts again.
TEST_F(VideoWindowTest, ShowsTheStreamAndNoVideoWhileItIsAway)
{
    LogCapture log(DBG_WRN);
    auto pWindow = OpenWindow();
    ASSERT_TRUE(SpinUntil([&] { return pWindow->View()->IsShowingNoVideo(); }));
    EXPECT_EQ(pWindow->MessageLabel()->isVisible(), false);

    auto pSender = StartVideoSender(m_nPort);
    ASSERT_TRUE(SpinUntil([&] { return pWindow->FramesPainted() >= 30; }, 20s));
    EXPECT_FALSE(pWindow->View()->IsShowingNoVideo());
    SpinUntil([&] { return pWindow->FiguresLabel()->text().contains(QStringLiteral("fps")); });
    EXPECT_TRUE(pWindow->FiguresLabel()->text().startsWith(QStringLiteral("320 x 240"))) << pWindow->FiguresLabel()->text().toStdString();
    EXPECT_GE(pWindow->Receiver().Counts().nDecoded, 30u);
    // A stream without metadata: dashes, not zeros or the last stream's figures.
    EXPECT_TRUE(pWindow->MetadataLabel()->text().startsWith(QStringLiteral("Az ----  El ----  FOV ---- x ----")))
        << pWindow->MetadataLabel()->text().toStdString();
    // The video's own size in a larger window: mapped with bars, the picture's middle maps to the widget's.
    pWindow->View()->resize(800, 400);
    const auto middle = pWindow->View()->ToPicture(QPointF(400, 200));
    ASSERT_TRUE(middle);
    EXPECT_NEAR(middle->x(), 160, 1);
    EXPECT_NEAR(middle->y(), 120, 1);
    EXPECT_FALSE(pWindow->View()->ToPicture(QPointF(10, 200)));

    pSender.reset();
    const auto stopped = std::chrono::steady_clock::now();
    ASSERT_TRUE(SpinUntil([&] { return pWindow->View()->IsShowingNoVideo(); }, 5s));
    // Within a second of the last frame, plus the sender's own stop and a loaded machine's slack.
    EXPECT_LT(std::chrono::steady_clock::now() - stopped, 1600ms);

    pSender = StartVideoSender(m_nPort);
    EXPECT_TRUE(SpinUntil([&] { return !pWindow->View()->IsShowingNoVideo(); }, 20s));
    EXPECT_EQ(log.Count("NO VIDEO: no frame"), 1) << log.Dump();
    EXPECT_EQ(log.Count("again after"), 1) << log.Dump();
    pWindow->close();
    EXPECT_FALSE(pWindow->Receiver().IsRunning());
}

TEST(VideoWindowText, MetadataShowsEachValueItHasAndTheRefusedPackets)
{
    EXPECT_EQ(cVideoWindow::MetadataText(std::nullopt, 0).toStdString(), "Az ----  El ----  FOV ---- x ----   KLV rejected 0");
    KlvMetadata klv;
    klv.dRelativeAzimuthDeg = 359.996;
    klv.dRelativeElevationDeg = -5.5;
    klv.dHorizontalFovDeg = 20.0;
    EXPECT_EQ(cVideoWindow::MetadataText(klv, 3),
              QStringLiteral("Az 360.00\u00B0  El -5.50\u00B0  FOV 20.00\u00B0 x ----   KLV rejected 3"));
}

// Start Recording writes the received stream into the record folder; a
// folder that cannot be written is told as the page logs tell theirs.
TEST_F(VideoWindowTest, RecordsIntoTheFolderAndTellsWhenItCannot)
{
    auto pWindow = OpenWindow();
    auto pSender = StartVideoSender(m_nPort);
    ASSERT_TRUE(SpinUntil([&] { return pWindow->FramesPainted() >= 3; }, 20s));
    ASSERT_TRUE(pWindow->RecordButton()->isEnabled());
    QTest::mouseClick(pWindow->RecordButton(), Qt::LeftButton);
    ASSERT_TRUE(pWindow->IsRecording());
    EXPECT_EQ(pWindow->RecordButton()->text(), QStringLiteral("Stop Recording"));
    const std::string sPath = pWindow->Recorder().Path();
    EXPECT_EQ(sPath.rfind(m_Dir.File("video/Video-"), 0), 0u) << sPath;
    ASSERT_TRUE(SpinUntil([&] { return pWindow->Recorder().BytesWritten() > 20000; }, 20s));
    QTest::mouseClick(pWindow->RecordButton(), Qt::LeftButton);
    EXPECT_FALSE(pWindow->IsRecording());
    EXPECT_EQ(pWindow->RecordButton()->text(), QStringLiteral("Start Recording"));
    EXPECT_GT(std::filesystem::file_size(sPath), 20000u);
    EXPECT_TRUE(m_Messages.empty());
    pWindow.reset();

    m_Dir.Write("blocked", "a file where the folder should be");
    m_Settings.sVideoRecordFolder = m_Dir.File("blocked/video");
    pWindow = OpenWindow();
    QTest::mouseClick(pWindow->RecordButton(), Qt::LeftButton);
    EXPECT_FALSE(pWindow->IsRecording());
    ASSERT_EQ(m_Messages.size(), 1u);
    EXPECT_EQ(m_Messages[0], "Error opening video file in " + m_Dir.File("blocked/video"));
}

// A source that is not video: its message in the window, the rest goes on.
TEST_F(VideoWindowTest, ASourceThatIsNotVideoIsToldInTheWindow)
{
    m_Dir.Write("notes.txt", std::string(8000, 'n'));
    m_Settings.sVideoSource = m_Dir.File("notes.txt");
    auto pWindow = OpenWindow();
    ASSERT_TRUE(SpinUntil([&] { return pWindow->MessageLabel()->isVisible(); }));
    EXPECT_TRUE(pWindow->MessageLabel()->text().contains(QStringLiteral("not an MPEG transport stream")));
    EXPECT_TRUE(pWindow->View()->IsShowingNoVideo());
    EXPECT_EQ(pWindow->Rebuilds(), 0u);
}

// The main window opens it from View, or at start when the settings ask;
// its shutdown stops the pipeline.
TEST_F(VideoWindowTest, MainWindowOpensItAndItsShutdownStopsIt)
{
    ClearUserSettings();
    UdpPeer peer;
    m_Dir.Write("pages.xml", "<PageDefinitions><Page Title=\"P\"><Item SubSystem=\"1\" Item=\"1\" Access=\"RW\" Label=\"M\" "
                             "Type=\"Byte\"/></Page></PageDefinitions>");
    const auto settings = [&](bool bShowVideo) {
        return ConsoleSettings()
            .Udp(peer.Port(), FreeUdpPort())
            .Main("sPageDefinitionsFile", m_Dir.File("pages.xml"))
            .Set("Video", "bShowVideo", bShowVideo)
            .Set("Video", "sVideoSource", m_Settings.sVideoSource)
            .Write(m_Dir);
    };
    {
        KestrumDlg dlg(settings(false));
        dlg.show();
        dlg.OnInitDialog();
        EXPECT_EQ(dlg.VideoWindow(), nullptr);
        QAction* pAction = nullptr;
        for (QAction* pEach : dlg.ViewMenu()->actions())
            pAction = pEach->text() == QStringLiteral("Sensor Video") ? pEach : pAction;
        ASSERT_NE(pAction, nullptr);
        pAction->trigger();
        ASSERT_NE(dlg.VideoWindow(), nullptr);
        EXPECT_TRUE(dlg.VideoWindow()->isVisible());
        EXPECT_TRUE(dlg.VideoWindow()->Receiver().IsRunning());
    }
    {
        KestrumDlg dlg(settings(true));
        dlg.show();
        dlg.OnInitDialog();
        ASSERT_NE(dlg.VideoWindow(), nullptr);
        auto pSender = StartVideoSender(m_nPort);
        ASSERT_TRUE(SpinUntil([&] { return dlg.VideoWindow()->FramesPainted() >= 3; }, 20s));
        QPointer<cVideoWindow> pWindow = dlg.VideoWindow();
        const auto start = std::chrono::steady_clock::now();
        dlg.Shutdown();
        EXPECT_TRUE(pWindow.isNull());
        EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
    }
    ClearUserSettings();
}

namespace
{
// The designation frames among what the remote system receives: the point
// (subsystem 5, index 0, items 20 and 21) and the system mode (1, 0, item 3),
// in the order they came, until nWanted have come or the limit passed.
std::vector<UdpPeer::Bytes> DesignationFrames(UdpPeer& peer, size_t nWanted, std::chrono::milliseconds limit)
{
    std::vector<UdpPeer::Bytes> frames;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (frames.size() < nWanted && std::chrono::steady_clock::now() < deadline)
    {
        QCoreApplication::processEvents();
        const std::optional<UdpPeer::Bytes> frame = peer.ReceiveWithin(20ms);
        // Long command frames: sync, subsystem, index, 0, length, then the first item.
        if (frame && frame->size() > 6 && (*frame)[0] == 0x99 &&
            (((*frame)[1] == 5 && (*frame)[5] == 20) || ((*frame)[1] == 1 && (*frame)[5] == 3)))
            frames.push_back(*frame);
    }
    return frames;
}

UdpPeer::Bytes LongCommand(uint8_t nSubSystem, const RC_Payload& payload)
{
    RC_Frame frame;
    frame.BuildCommand(RC_Variant::LongFrames, nSubSystem, 0, payload);
    return {frame.Data(), frame.Data() + frame.Size()};
}

UdpPeer::Bytes PointFrame(uint16_t nX, uint16_t nY)
{
    RC_Payload payload;
    payload.AddU16(20, nX);
    payload.AddU16(21, nY);
    return LongCommand(5, payload);
}

UdpPeer::Bytes ModeFrame(uint8_t nMode)
{
    RC_Payload payload;
    payload.AddByte(3, nMode);
    return LongCommand(1, payload);
}
} // namespace

// A click on the video sends the point in EO picture pixels, then the
// system mode; a click on a drawn track sends the track's centre; a click on
// the bars beside the picture sends nothing; the context menu and Escape
// cancel the track; the arrow keys move the acquisition window and Return
// designates its centre. The layers' switches are kept per user.
TEST_F(VideoWindowTest, ClicksDesignateAtTheRemoteSystem)
{
    ClearUserSettings();
    UdpPeer remote;
    UdpPeer eoRemote;
    const uint16_t nEoPort = FreeUdpPort();
    m_Dir.Write("pages.xml", "<PageDefinitions><Page Title=\"Tracker\"><Item SubSystem=\"5\" Item=\"20\" Access=\"RW\" "
                             "Label=\"Designate X\" Type=\"U16\"/><Item SubSystem=\"5\" Item=\"21\" Access=\"RW\" "
                             "Label=\"Designate Y\" Type=\"U16\"/></Page></PageDefinitions>");
    KestrumDlg dlg(ConsoleSettings()
                       .Udp(remote.Port(), FreeUdpPort())
                       .Main("nControllerType", 1)
                       .Main("bDisplayLandingDialog", false)
                       .Main("sPageDefinitionsFile", m_Dir.File("pages.xml"))
                       .Eo("nTxPort", eoRemote.Port())
                       .Eo("nRxPort", nEoPort)
                       .Set("Video", "bShowVideo", true)
                       .Set("Video", "sVideoSource", m_Settings.sVideoSource)
                       .Write(m_Dir));
    dlg.show();
    dlg.OnInitDialog();
    cVideoWindow* pWindow = dlg.VideoWindow();
    ASSERT_NE(pWindow, nullptr);
    auto pSender = StartVideoSender(m_nPort);
    ASSERT_TRUE(SpinUntil([&] { return pWindow->FramesPainted() >= 3; }, 20s));

    // The 320 x 240 video in a wide window: bars left and right; EO picture
    // pixels (640 x 480) map onto the picture between them.
    pWindow->resize(1100, 560);
    ASSERT_TRUE(SpinUntil([&] { return pWindow->View()->Viewport().PictureRect().dX > 40; }));
    const int nBar = static_cast<int>(pWindow->View()->Viewport().PictureRect().dX / 2);
    const auto widget = [&](double dX, double dY) { return pWindow->View()->ToWidget(QPointF(dX, dY), 640, 480).toPoint(); };
    QTest::mouseClick(pWindow->View(), Qt::LeftButton, {}, widget(200, 120));
    std::vector<UdpPeer::Bytes> frames = DesignationFrames(remote, 2, 10s);
    ASSERT_EQ(frames.size(), 2u);
    // Whole pixels of the mapping: within one of the point clicked.
    ASSERT_EQ(frames[0].size(), PointFrame(0, 0).size());
    const int nX = frames[0][6] << 8 | frames[0][7];
    const int nY = frames[0][9] << 8 | frames[0][10];
    EXPECT_NEAR(nX, 200, 1);
    EXPECT_NEAR(nY, 120, 1);
    EXPECT_EQ(frames[1], ModeFrame(3));
    EXPECT_TRUE(pWindow->DesignationLabel()->text().startsWith(QStringLiteral("Designated ")));

    // A track of the remote system's at 400, 300: a click inside its box takes its centre.
    eoRemote.SendTo(nEoPort, eo_test::Frame(7, 0, 1000, {{.nId = 9, .nX = 400, .nY = 300, .nSizeX = 40, .nSizeY = 30}}));
    ASSERT_TRUE(SpinUntil([&] { return pWindow->Overlay().Tracks().Boxes().size() == 1; }));
    QTest::mouseClick(pWindow->View(), Qt::LeftButton, {}, widget(412, 290));
    frames = DesignationFrames(remote, 2, 10s);
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0], PointFrame(400, 300));
    EXPECT_EQ(frames[1], ModeFrame(3));
    EXPECT_TRUE(pWindow->DesignationLabel()->text().endsWith(QStringLiteral("(track 9)")));

    // On the bars: nothing.
    QTest::mouseClick(pWindow->View(), Qt::LeftButton, {}, QPoint(nBar, 200));
    EXPECT_TRUE(DesignationFrames(remote, 1, 1s).empty());

    // The context menu's "Cancel track", then Escape: the cancel mode each time.
    QTest::mouseClick(pWindow->View(), Qt::RightButton, {}, widget(100, 100));
    ASSERT_NE(pWindow->ContextMenu(), nullptr);
    QList<QAction*> actions = pWindow->ContextMenu()->actions();
    ASSERT_EQ(actions.size(), 2);
    EXPECT_EQ(actions[0]->text(), QStringLiteral("Designate here"));
    EXPECT_TRUE(actions[0]->isEnabled());
    actions[1]->trigger();
    pWindow->ContextMenu()->close();
    EXPECT_EQ(DesignationFrames(remote, 1, 10s), std::vector<UdpPeer::Bytes>{ModeFrame(1)});
    QTest::keyClick(pWindow->View(), Qt::Key_Escape);
    EXPECT_EQ(DesignationFrames(remote, 1, 10s), std::vector<UdpPeer::Bytes>{ModeFrame(1)});
    EXPECT_TRUE(pWindow->isVisible());  // Escape cancels the track, it does not close the window

    // The acquisition window, once its size is known: nudged, then designated.
    pWindow->SetAoiSource([] { return std::make_pair(64, 48); });
    ASSERT_TRUE(SpinUntil([&] { return pWindow->Acquisition().HasSize(); }));
    QTest::keyClick(pWindow->View(), Qt::Key_Left);
    QTest::keyClick(pWindow->View(), Qt::Key_Down, Qt::ShiftModifier);
    EXPECT_EQ(pWindow->Acquisition().CentreX(), 316);
    EXPECT_EQ(pWindow->Acquisition().CentreY(), 256);
    QTest::keyClick(pWindow->View(), Qt::Key_Return);
    frames = DesignationFrames(remote, 2, 10s);
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0], PointFrame(316, 256));

    // Layers switched off stay off for the next window.
    QAction* pTracks = pWindow->LayerAction(QStringLiteral("Tracks"));
    ASSERT_NE(pTracks, nullptr);
    ASSERT_NE(pWindow->LayerAction(QStringLiteral("Cross-hair")), nullptr);
    pTracks->trigger();
    EXPECT_FALSE(pWindow->Layers().bTracks);
    dlg.Shutdown();
    cVideoWindow next(m_Settings, m_Dir.File("logs"));
    EXPECT_FALSE(next.Layers().bTracks);
    EXPECT_TRUE(next.Layers().bCrossHair);
    ClearUserSettings();
}

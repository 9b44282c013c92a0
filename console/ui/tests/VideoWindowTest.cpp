#include "ConsoleSettings.h"
#include "KestrumDlg.h"
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
    // One second without a frame, plus a refresh period and a loaded machine's slack.
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

// The main window with its landing dialog and its link status bar.
#include "ConsoleSettings.h"
#include "KestrumDlg.h"
#include "RC_Checksum.h"
#include "RC_Frame.h"
#include "RC_Payload.h"
#include "TempDir.h"
#include "UdpPeer.h"
#include "UiTestSupport.h"
#include "cLinkStatusBar.h"
#include "cMessageBox.h"
#include "cRC_IO_Pages.h"
#include "cThimbrelLandingDlg.h"
#include "cVmsLandingDlg.h"

#include <QAbstractButton>
#include <QAction>
#include <QLabel>
#include <QMenu>
#include <gtest/gtest.h>

using namespace ui_test;
using namespace std::chrono_literals;

namespace
{
const char* const kPages = R"(<PageDefinitions>
  <Page Title="Tracker">
    <Item SubSystem="5" Index="0" Item="70" Access="RO" Label="Track ID" Type="U32"/>
  </Page>
</PageDefinitions>
)";

class MainWindowLandingTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ClearUserSettings();
        cMessageBox::SetSink([this](const QString& sText) { m_Messages.push_back(sText.toStdString()); });
        m_nConsolePort = FreeUdpPort();
        m_Dir.Write("pages.xml", kPages);
    }
    void TearDown() override
    {
        cMessageBox::SetSink({});
        ClearUserSettings();
    }

    std::string WriteSettings(int nControllerType, bool bLanding, uint16_t nTargetPort = 0)
    {
        return ConsoleSettings()
            .Udp(nTargetPort != 0 ? nTargetPort : m_Peer.Port(), m_nConsolePort)
            .Main("nControllerType", nControllerType)
            .Main("bDisplayLandingDialog", bLanding)
            .Main("sPageDefinitionsFile", m_Dir.File("pages.xml"))
            .Landing("nNumberOfVideoChannels", 3)
            .Write(m_Dir);
    }

    // One long status frame of the track identifier, as the remote system sends it.
    void SendStatus(uint32_t nValue)
    {
        RC_Payload payload;
        payload.AddU32(70, nValue);
        RC_Frame frame;
        frame.BuildStatus(RC_Variant::LongFrames, 5, 0, 0x40, payload.Data(), payload.Size());
        m_Peer.SendTo(m_nConsolePort, {frame.Data(), frame.Data() + frame.Size()});
    }

    TempDir m_Dir;
    UdpPeer m_Peer;
    uint16_t m_nConsolePort = 0;
    std::vector<std::string> m_Messages;
};
} // namespace

// The configured variant's landing dialog fills the window, "Comms Setup" is
// greyed while it exists, and its items' page has no menu entry or dialog.
TEST_F(MainWindowLandingTest, LandingDialogOfTheConfiguredVariantIsEmbedded)
{
    for (int nType : {0, 1})
    {
        KestrumDlg dlg(WriteSettings(nType, true));
        dlg.show();
        dlg.OnInitDialog();
        cLandingDlg* pLanding = dlg.LandingDialog();
        ASSERT_NE(pLanding, nullptr) << nType;
        if (nType == 0)
            EXPECT_NE(dynamic_cast<cThimbrelLandingDlg*>(pLanding), nullptr);
        else
            EXPECT_NE(dynamic_cast<cVmsLandingDlg*>(pLanding), nullptr);
        EXPECT_TRUE(pLanding->isVisible());
        EXPECT_TRUE(dlg.centralWidget()->isAncestorOf(pLanding));
        EXPECT_GE(dlg.height(), pLanding->sizeHint().height());
        EXPECT_TRUE(pLanding->ChannelButton(2)->isVisibleTo(pLanding));
        EXPECT_FALSE(pLanding->ChannelButton(3)->isVisibleTo(pLanding));
        EXPECT_FALSE(dlg.CommsSetupAction()->isEnabled());

        ASSERT_EQ(dlg.Session().Pages().PageCount(), 2u);
        EXPECT_EQ(pLanding->LandingPage(), 1u);
        ASSERT_EQ(dlg.PagesMenu()->actions().size(), 1);
        EXPECT_EQ(dlg.PagesMenu()->actions()[0]->text(), "Tracker");
        dlg.OnPageCommand(1);
        EXPECT_EQ(dlg.PageDialog(1), nullptr);

        // Comms applied again (as the setup does) make no second landing dialog.
        dlg.StartComms();
        EXPECT_EQ(dlg.LandingDialog(), pLanding);
        EXPECT_EQ(dlg.Session().Pages().PageCount(), 2u);

        dlg.Shutdown();
        EXPECT_EQ(dlg.LandingDialog(), nullptr);
    }
    EXPECT_TRUE(m_Messages.empty());
}

// A controller type without a landing dialog keeps "Comms Setup"; no landing
// setting at all keeps the window 100 pixels high.
TEST_F(MainWindowLandingTest, OtherControllerTypesHaveNoLandingDialog)
{
    {
        KestrumDlg dlg(WriteSettings(2, true));
        dlg.OnInitDialog();
        EXPECT_EQ(dlg.LandingDialog(), nullptr);
        EXPECT_TRUE(dlg.CommsSetupAction()->isEnabled());
    }
    KestrumDlg dlg(WriteSettings(1, false));
    dlg.show();
    dlg.OnInitDialog();
    EXPECT_EQ(dlg.LandingDialog(), nullptr);
    EXPECT_EQ(dlg.height(), 100);
    EXPECT_TRUE(dlg.CommsSetupAction()->isEnabled());
}

// The status bar says in words, on red, when the remote system goes quiet,
// and comes back when frames flow again; bad frames are counted as they come.
TEST_F(MainWindowLandingTest, StatusBarShowsTheLinkLostAndBack)
{
    KestrumDlg dlg(WriteSettings(1, false));
    dlg.show();
    cLinkStatusBar* pBar = dlg.LinkStatusBar();
    ASSERT_NE(pBar, nullptr);
    EXPECT_TRUE(pBar->IsLost());
    EXPECT_EQ(pBar->Section(cLinkStatusBar::kLink)->text(), "NO LINK: comms not open");
    dlg.OnInitDialog();
    ASSERT_NE(dlg.Session().RC_IO_Pages(), nullptr);

    // Frames flowing: the link is up.
    uint32_t nSent = 0;
    auto flowing = [&] {
        SendStatus(++nSent);
        return !pBar->IsLost();
    };
    ASSERT_TRUE(SpinUntil(flowing));
    EXPECT_EQ(pBar->Section(cLinkStatusBar::kLink)->text(), "Link OK");
    EXPECT_TRUE(pBar->styleSheet().isEmpty());
    EXPECT_EQ(pBar->Section(cLinkStatusBar::kAge)->text(), "last frame < 1 s ago");
    ASSERT_TRUE(SpinUntil([&] {
        SendStatus(++nSent);
        return pBar->Section(cLinkStatusBar::kRate)->text() != "0 frames/s";
    }));

    // A frame with a wrong checksum and a long frame whose length cannot be a frame.
    RC_Payload payload;
    payload.AddU32(70, 1);
    RC_Frame frame;
    frame.BuildStatus(RC_Variant::LongFrames, 5, 0, 0x40, payload.Data(), payload.Size());
    std::vector<uint8_t> bad(frame.Data(), frame.Data() + frame.Size());
    bad.back() ^= 0xFF;
    m_Peer.SendTo(m_nConsolePort, bad);
    m_Peer.SendTo(m_nConsolePort, {0x99, 5, 0, 0x40, 0x00, 0x03});
    EXPECT_TRUE(SpinUntil([&] { return pBar->Section(cLinkStatusBar::kChecksum)->text() == "checksum failures: 1"; }));
    EXPECT_TRUE(SpinUntil([&] { return pBar->Section(cLinkStatusBar::kSkipped)->text() == "frames skipped: 1"; }));

    // Quiet: lost, in words and in red.
    ASSERT_TRUE(SpinUntil([&] { return pBar->IsLost(); }));
    EXPECT_EQ(pBar->Section(cLinkStatusBar::kLink)->text(), "LINK LOST (FAILED)");
    EXPECT_FALSE(pBar->styleSheet().isEmpty());

    ASSERT_TRUE(SpinUntil(flowing));
    EXPECT_EQ(pBar->Section(cLinkStatusBar::kLink)->text(), "Link OK");
    EXPECT_TRUE(pBar->styleSheet().isEmpty());
}

// A sender the console does not take from shows in the bar once it is refused.
TEST_F(MainWindowLandingTest, StatusBarCountsRefusedSenders)
{
    KestrumDlg dlg(WriteSettings(1, false));
    dlg.show();
    dlg.OnInitDialog();
    QLabel* pPeers = dlg.LinkStatusBar()->Section(cLinkStatusBar::kPeers);
    ASSERT_NE(pPeers, nullptr);
    EXPECT_TRUE(pPeers->isHidden());

    UdpPeer stranger("127.0.0.2");
    uint32_t nSent = 0;
    EXPECT_TRUE(SpinUntil([&] {
        stranger.SendTo(m_nConsolePort, {0xF0, 1, 0, 0x40, 0, 0});
        ++nSent;
        return !pPeers->isHidden();
    }));
    EXPECT_TRUE(pPeers->text().startsWith("refused from other senders: ")) << pPeers->text().toStdString();
    EXPECT_LE(pPeers->text().mid(28).toUInt(), nSent);
    dlg.Shutdown();
}

// Beside the link state, while it lasts, the bar says why the link cannot
// work: frames of the other kind arriving, nothing at the destination.
TEST_F(MainWindowLandingTest, StatusBarSaysWhyTheLinkCannotWork)
{
    {
        KestrumDlg dlg(WriteSettings(1, false));
        dlg.show();
        dlg.OnInitDialog();
        QLabel* pMismatch = dlg.LinkStatusBar()->Section(cLinkStatusBar::kMismatch);
        ASSERT_NE(pMismatch, nullptr);
        EXPECT_TRUE(pMismatch->isHidden());
        RC_Frame shortFrame;
        const uint8_t payload[] = {70, 0, 0, 0, 1};
        shortFrame.BuildStatus(RC_Variant::ShortFrames, 5, 0, 0x40, payload, sizeof(payload));
        EXPECT_TRUE(SpinUntil([&] {
            m_Peer.SendTo(m_nConsolePort, {shortFrame.Data(), shortFrame.Data() + shortFrame.Size()});
            return !pMismatch->isHidden();
        }));
        EXPECT_EQ(pMismatch->text(), "receiving short frames (0x10); this console is set to nControllerType 1: long frames");
        EXPECT_TRUE(dlg.LinkStatusBar()->IsLost());

        uint32_t nSent = 0;
        EXPECT_TRUE(SpinUntil([&] {
            SendStatus(++nSent);
            return pMismatch->isHidden();
        }));
        dlg.Shutdown();
    }

    const uint16_t nClosed = FreeUdpPort();
    KestrumDlg dlg(WriteSettings(1, false, nClosed));
    dlg.show();
    dlg.OnInitDialog();
    QLabel* pUnreachable = dlg.LinkStatusBar()->Section(cLinkStatusBar::kUnreachable);
    ASSERT_NE(pUnreachable, nullptr);
    // The console asks for its periodic items again every 1.2 s; each is refused.
    ASSERT_TRUE(SpinUntil([&] { return !pUnreachable->isHidden(); }));
    EXPECT_EQ(pUnreachable->text().toStdString(), "no remote system at 127.0.0.1:" + std::to_string(nClosed));
    UdpPeer remote("127.0.0.1", nClosed);
    RC_Payload payload;
    payload.AddU32(70, 1);
    RC_Frame frame;
    frame.BuildStatus(RC_Variant::LongFrames, 5, 0, 0x40, payload.Data(), payload.Size());
    EXPECT_TRUE(SpinUntil([&] {
        remote.SendTo(m_nConsolePort, {frame.Data(), frame.Data() + frame.Size()});
        return pUnreachable->isHidden();
    }));
    dlg.Shutdown();
}

// Other parts of the console add their own sections; a section's text is
// asked for on every update and shown when it changes.
TEST_F(MainWindowLandingTest, StatusBarTakesFurtherSections)
{
    cLinkStatusBar bar;
    QString sText = "joystick: none";
    QLabel* pLabel = bar.AddSection("joystick", [&] { return sText; });
    EXPECT_EQ(bar.Section("joystick"), pLabel);
    bar.Update();
    EXPECT_EQ(pLabel->text(), "joystick: none");
    sText = "joystick: connected";
    EXPECT_TRUE(SpinUntil([&] { return pLabel->text() == sText; }, 5s));
}

// Heartbeats keep the link up while the remote system answers the periodic
// requests of one group only: the bar turns amber with "LINK DEGRADED", and
// the landing's comms group says so too. When the heartbeats stop as well,
// LINK LOST wins: red, and nothing said of degradation.
TEST_F(MainWindowLandingTest, StatusBarShowsTheLinkDegradedWhenRepliesStop)
{
    KestrumDlg dlg(ConsoleSettings()
                       .Udp(m_Peer.Port(), m_nConsolePort)
                       .Main("nControllerType", 1)
                       .Main("bUseVMS_HeartBeat", true)
                       .Main("bDisplayLandingDialog", true)
                       .Main("sPageDefinitionsFile", m_Dir.File("pages.xml"))
                       .Write(m_Dir));
    dlg.show();
    dlg.OnInitDialog();
    cLinkStatusBar* pBar = dlg.LinkStatusBar();
    cLandingDlg* pLanding = dlg.LandingDialog();
    ASSERT_NE(pLanding, nullptr);

    // The heartbeat and the tracker's group every 100 ms; the landing's groups never.
    uint32_t nSent = 0;
    std::chrono::steady_clock::time_point lastSent;
    auto remote = [&] {
        if (std::chrono::steady_clock::now() - lastSent < 100ms)
            return;
        lastSent = std::chrono::steady_clock::now();
        const uint8_t heartbeat[2] = {0, 0};
        RC_Frame frame;
        frame.BuildStatus(RC_Variant::LongFrames, 0, 1, 0x40, heartbeat, 2);
        m_Peer.SendTo(m_nConsolePort, {frame.Data(), frame.Data() + frame.Size()});
        SendStatus(++nSent);
    };
    ASSERT_TRUE(SpinUntil([&] {
        remote();
        return pBar->IsDegraded();
    }, 20s));
    EXPECT_FALSE(pBar->IsLost());
    QLabel* pDegraded = pBar->Section(cLinkStatusBar::kDegraded);
    EXPECT_TRUE(pDegraded->isVisibleTo(pBar));
    EXPECT_TRUE(pDegraded->text().startsWith("LINK DEGRADED: unanswered")) << pDegraded->text().toStdString();
    EXPECT_EQ(pBar->Section(cLinkStatusBar::kLink)->text(), "Link Active - 0");
    EXPECT_TRUE(pBar->styleSheet().contains("#f0a020"));
    EXPECT_TRUE(pBar->Section(cLinkStatusBar::kRoundTrip)->text().endsWith(")")) << "the tracker's group was answered";
    EXPECT_TRUE(SpinUntil([&] {
        remote();
        return pLanding->QualityReadout()->text() == "DEGRADED";
    }));
    EXPECT_EQ(pLanding->RoundTripReadout()->text().toStdString(), pBar->Quality().Shown().sRoundTrip);

    ASSERT_TRUE(SpinUntil([&] { return pBar->IsLost(); }, 20s));
    EXPECT_FALSE(pBar->IsDegraded());
    EXPECT_TRUE(pDegraded->isHidden());
    EXPECT_TRUE(pBar->styleSheet().contains("#b3261e"));
    EXPECT_TRUE(SpinUntil([&] { return pLanding->QualityReadout()->text() == "LOST"; }));
    dlg.Shutdown();
}

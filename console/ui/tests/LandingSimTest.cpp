// The console's main window with its landing dialog against the simulated
// remote system: what the operator presses comes back as what the system does.
#include "ConsoleSettings.h"
#include "KestrumDlg.h"
#include "SimUnderTest.h"
#include "TempDir.h"
#include "UiTestSupport.h"
#include "cLinkStatusBar.h"
#include "cMessageBox.h"
#include "cThimbrelLandingDlg.h"
#include "cVmsLandingDlg.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>
#include <cmath>
#include <memory>

using namespace ui_test;
using namespace std::chrono_literals;

namespace
{
const char* const kPages = R"(<PageDefinitions>
  <Page Title="Status">
    <Item SubSystem="6" Index="0" Item="42" Access="RO" Label="Reports Sent" Type="U32"/>
  </Page>
</PageDefinitions>
)";

// The simulator and the console, each on its own free port of 127.0.0.1.
class LandingSimTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ClearUserSettings();
        cMessageBox::SetSink([](const QString& sText) { ADD_FAILURE() << sText.toStdString(); });
    }
    void TearDown() override
    {
        m_pDlg.reset();
        m_pSim.reset();
        cMessageBox::SetSink({});
        ClearUserSettings();
    }

    void Start(int nVariant)
    {
        m_Dir.Write("pages.xml", kPages);
        m_pSim = std::make_unique<SimUnderTest>(nVariant, m_Dir.File("pages.xml"));
        ASSERT_TRUE(m_pSim->Start());

        const std::string sSettings = ConsoleSettings()
                                          .Udp(m_pSim->PagesPort(), m_pSim->ConsolePort())
                                          .Main("nControllerType", nVariant)
                                          .Main("bUseVMS_HeartBeat", true)
                                          .Main("bDisplayLandingDialog", true)
                                          .Main("sPageDefinitionsFile", m_Dir.File("pages.xml"))
                                          .Write(m_Dir);
        m_pDlg = std::make_unique<KestrumDlg>(sSettings);
        m_pDlg->show();
        m_pDlg->OnInitDialog();
        ASSERT_NE(m_pDlg->LandingDialog(), nullptr);
    }

    TempDir m_Dir;
    std::unique_ptr<SimUnderTest> m_pSim;
    std::unique_ptr<KestrumDlg> m_pDlg;
};
} // namespace

// "Track" switches the Thimbrel tracker between acquiring and tracking, and
// the dialog shows what the tracker reports.
TEST_F(LandingSimTest, TrackButtonShowsTheNewTrackingStatus)
{
    Start(0);
    auto* pLanding = dynamic_cast<cThimbrelLandingDlg*>(m_pDlg->LandingDialog());
    ASSERT_NE(pLanding, nullptr);
    ASSERT_TRUE(SpinUntil([&] { return pLanding->TrackStatusReadout()->text() == "Acquire"; }));
    EXPECT_EQ(pLanding->TrackButton()->text(), "Track");
    // The bar looks a few times a second, so it follows the link a little later.
    EXPECT_TRUE(SpinUntil([&] { return !m_pDlg->LinkStatusBar()->IsLost(); }));

    pLanding->TrackButton()->click();
    ASSERT_TRUE(SpinUntil([&] { return pLanding->TrackStatusReadout()->text() == "Track"; }));
    EXPECT_EQ(pLanding->TrackButton()->text(), "Acquire");
    pLanding->TrackButton()->click();
    ASSERT_TRUE(SpinUntil([&] { return pLanding->TrackStatusReadout()->text() == "Acquire"; }));
    EXPECT_EQ(pLanding->TrackButton()->text(), "Track");

    // The target appears, with a position.
    ASSERT_TRUE(SpinUntil([&] { return pLanding->TargetModeReadout()->text() == "Valid"; }, 15s));
    ASSERT_TRUE(SpinUntil([&] { return pLanding->PositionXReadout()->text() != "----"; }));
    // No heartbeat with the tracker: no heartbeat figures either.
    EXPECT_TRUE(pLanding->HeartbeatsMissedReadout()->isHidden());
    EXPECT_TRUE(m_pDlg->LinkStatusBar()->Section(cLinkStatusBar::kHeartbeats)->isHidden());
}

// The VMS: the system mode opens the position fields, a typed azimuth is
// slewed to visibly, and the heartbeat makes the link active.
TEST_F(LandingSimTest, VmsSlewsToTheTypedAzimuth)
{
    Start(1);
    auto* pLanding = dynamic_cast<cVmsLandingDlg*>(m_pDlg->LandingDialog());
    ASSERT_NE(pLanding, nullptr);
    QLineEdit* pAz = pLanding->PositionField(cVmsLandingDlg::kAz);
    ASSERT_TRUE(SpinUntil([&] { return pAz->text() == "0.000000"; }));
    EXPECT_FALSE(pAz->isEnabled());  // standing by

    pLanding->SystemModeGroup()->button(3)->click();
    ASSERT_TRUE(SpinUntil([&] { return pAz->isEnabled(); }));
    ASSERT_TRUE(SpinUntil([&] {
        const QString sStatus = pLanding->TrackStatusReadout()->text();
        return sStatus == "Track" || sStatus == "Coast";
    }));

    QFocusEvent in(QEvent::FocusIn, Qt::MouseFocusReason);
    QCoreApplication::sendEvent(pAz, &in);
    pAz->clear();
    QTest::keyClicks(pAz, "30");
    QFocusEvent out(QEvent::FocusOut, Qt::MouseFocusReason);
    QCoreApplication::sendEvent(pAz, &out);

    // On its way the azimuth is seen between where it was and where it goes
    // (the field holds what was typed until the first position arrives).
    double dMidway = 0.0;
    ASSERT_TRUE(SpinUntil([&] {
        if (pAz->text() == "30")
            return false;
        const double dShown = pAz->text().toDouble();
        if (dShown > 0.5 && dShown < 29.5)
            dMidway = dShown;
        return std::abs(dShown - 30.0) < 0.001;
    }));
    EXPECT_GT(dMidway, 0.0);

    ASSERT_TRUE(SpinUntil([&] { return pLanding->HeartbeatReadout()->text() == "Active - 0"; }, 15s));
    EXPECT_EQ(m_pDlg->LinkStatusBar()->Section(cLinkStatusBar::kLink)->text(), "Link Active - 0");
    // The heartbeats missed each way, in the landing's comms group and the bar.
    QLabel* pMissed = m_pDlg->LinkStatusBar()->Section(cLinkStatusBar::kHeartbeats);
    ASSERT_TRUE(SpinUntil([&] { return pMissed->text().startsWith("HB missed rx 0% of "); }));
    EXPECT_FALSE(pMissed->isHidden());
    EXPECT_TRUE(SpinUntil([&] { return pLanding->HeartbeatsMissedReadout()->text().startsWith("rx 0% of "); }));
    EXPECT_FALSE(pLanding->HeartbeatsMissedReadout()->isHidden());
}

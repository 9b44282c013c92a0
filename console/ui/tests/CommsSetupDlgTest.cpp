#include "UiTestSupport.h"
#include "cCommsSetupDlg.h"

#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

using namespace ui_test;

namespace
{
void Type(cCommsSetupDlg& dlg, cCommsSetupDlg::Box eBox, const QString& sText)
{
    QLineEdit* pBox = dlg.BoxEdit(eBox);
    QFocusEvent in(QEvent::FocusIn, Qt::TabFocusReason);
    QCoreApplication::sendEvent(pBox, &in);
    pBox->setText(sText);
    QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
    QCoreApplication::sendEvent(pBox, &out);
}

class CommsSetupDlgTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ClearUserSettings();
        m_Settings.nCommsMethod = CommsSettings::kUdp;
        m_Settings.sIpAddress = "10.0.0.7";
        m_Settings.bShowEoPorts = true;
    }
    void TearDown() override { ClearUserSettings(); }

    // The dialog after its first timer tick has filled the boxes.
    std::unique_ptr<cCommsSetupDlg> Shown()
    {
        auto pDlg = std::make_unique<cCommsSetupDlg>(&m_Settings);
        pDlg->show();
        EXPECT_TRUE(SpinUntil([&] { return !pDlg->RefreshPending() && !pDlg->BoxEdit(cCommsSetupDlg::kOctet1)->text().isEmpty(); }));
        return pDlg;
    }

    CommsSettings m_Settings;
};
} // namespace

// The first tick shows the settings and the mode; UDP makes the address and
// ports editable and the COM port read-only.
TEST_F(CommsSetupDlgTest, FirstTickFillsTheBoxes)
{
    auto pDlg = Shown();
    EXPECT_TRUE(pDlg->UdpButton()->isChecked());
    EXPECT_FALSE(pDlg->SerialButton()->isChecked());
    EXPECT_TRUE(pDlg->BoxEdit(cCommsSetupDlg::kComPort)->isReadOnly());
    const char* const kOctets[] = {"10", "0", "0", "7"};
    for (int n = 0; n < 4; ++n)
    {
        QLineEdit* pBox = pDlg->BoxEdit(static_cast<cCommsSetupDlg::Box>(cCommsSetupDlg::kOctet1 + n));
        EXPECT_EQ(pBox->text(), kOctets[n]);
        EXPECT_FALSE(pBox->isReadOnly());
    }
    EXPECT_EQ(pDlg->BoxEdit(cCommsSetupDlg::kRcTarget)->text(), "9876");
    EXPECT_EQ(pDlg->BoxEdit(cCommsSetupDlg::kEoHost)->text(), "9186");
    EXPECT_FALSE(pDlg->EoLabel()->isHidden());

    // Switching to serial swaps which boxes can be edited.
    pDlg->SerialButton()->click();
    EXPECT_EQ(m_Settings.nCommsMethod, CommsSettings::kSerial);
    EXPECT_TRUE(pDlg->SerialButton()->isChecked());
    EXPECT_FALSE(pDlg->UdpButton()->isChecked());
    EXPECT_FALSE(pDlg->BoxEdit(cCommsSetupDlg::kComPort)->isReadOnly());
    EXPECT_TRUE(pDlg->BoxEdit(cCommsSetupDlg::kRcHost)->isReadOnly());
    // Clicking the selected mode again leaves it selected.
    pDlg->SerialButton()->click();
    EXPECT_TRUE(pDlg->SerialButton()->isChecked());
}

// Each box lands in the settings as it is left; text that is not a whole
// number keeps the old value, except in the octets, where it counts as 0.
TEST_F(CommsSetupDlgTest, LeavingABoxEditsTheSettings)
{
    m_Settings.sIpAddress = "10.1.0.7";
    auto pDlg = Shown();
    Type(*pDlg, cCommsSetupDlg::kRcTarget, "abc");
    EXPECT_EQ(m_Settings.nTxPort, 9876);
    Type(*pDlg, cCommsSetupDlg::kRcTarget, "5000");
    EXPECT_EQ(m_Settings.nTxPort, 5000);
    Type(*pDlg, cCommsSetupDlg::kRcHost, "5001 ");
    EXPECT_EQ(m_Settings.nRxPort, 9879);
    Type(*pDlg, cCommsSetupDlg::kEoTarget, "6000");
    Type(*pDlg, cCommsSetupDlg::kEoHost, "6001");
    EXPECT_EQ(m_Settings.nEoTxPort, 6000);
    EXPECT_EQ(m_Settings.nEoRxPort, 6001);
    Type(*pDlg, cCommsSetupDlg::kOctet2, "x");
    EXPECT_EQ(m_Settings.sIpAddress, "10.0.0.7");
    Type(*pDlg, cCommsSetupDlg::kOctet4, "300");
    EXPECT_EQ(m_Settings.sIpAddress, "10.0.0.300");
    Type(*pDlg, cCommsSetupDlg::kComPort, "4");
    EXPECT_EQ(m_Settings.nComPort, 4);
}

// Enter in a box applies nothing; "OK" stores every entry per user, fires
// the signal and hides the dialog.
TEST_F(CommsSetupDlgTest, OnlyOkApplies)
{
    auto pDlg = Shown();
    QSignalSpy applied(pDlg.get(), &cCommsSetupDlg::sigSettingsApplied);
    QLineEdit* pBox = pDlg->BoxEdit(cCommsSetupDlg::kRcHost);
    pBox->setFocus();
    QTest::keyClicks(pBox, "7000");
    QTest::keyClick(pBox, Qt::Key_Return);
    QTest::keyClick(pBox, Qt::Key_Enter);
    EXPECT_EQ(applied.count(), 0);
    EXPECT_TRUE(pDlg->isVisible());
    EXPECT_FALSE(cAppIdentity::UserSettings()->contains("Comms Settings/RC Host Port"));

    Type(*pDlg, cCommsSetupDlg::kRcHost, "7000");
    QTest::mouseClick(pDlg->OkButton(), Qt::LeftButton);
    EXPECT_EQ(applied.count(), 1);
    EXPECT_FALSE(pDlg->isVisible());

    const std::unique_ptr<QSettings> pStore = cAppIdentity::UserSettings();
    QSettings& store = *pStore;
    store.beginGroup("Comms Settings");
    EXPECT_EQ(store.value("Comms Method").toInt(), 2);
    EXPECT_EQ(store.value("Com Port").toInt(), 1);
    EXPECT_EQ(store.value("IP Address").toString(), "10.0.0.7");
    EXPECT_EQ(store.value("RC Target Port").toInt(), 9876);
    EXPECT_EQ(store.value("RC Host Port").toInt(), 7000);
    EXPECT_EQ(store.value("EO Track Target Port").toInt(), 9886);
    EXPECT_EQ(store.value("EO Track Host Port").toInt(), 9186);
}

// Without the EO ports shown their row is hidden, yet they are still stored.
TEST_F(CommsSetupDlgTest, HiddenEoPortsAreStillStored)
{
    m_Settings.bShowEoPorts = false;
    m_Settings.nEoTxPort = 1234;
    auto pDlg = Shown();
    EXPECT_TRUE(pDlg->EoLabel()->isHidden());
    EXPECT_TRUE(pDlg->BoxEdit(cCommsSetupDlg::kEoTarget)->isHidden());
    pDlg->OnOk();
    EXPECT_EQ(cAppIdentity::UserSettings()->value("Comms Settings/EO Track Target Port").toInt(), 1234);
}

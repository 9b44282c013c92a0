#include "ConsoleSettings.h"
#include "LogCapture.h"
#include "RC_Frame.h"
#include "RC_ItemValue.h"
#include "RC_Payload.h"
#include "TempDir.h"
#include "UdpPeer.h"
#include "UiTestSupport.h"
#include "cLandingValues.h"
#include "cPageList.h"
#include "cRC_IO_Pages.h"
#include "cThimbrelLandingDlg.h"
#include "cVmsLandingDlg.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCheckBox>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>
#include <optional>

using namespace ui_test;
using namespace std::chrono_literals;

namespace
{
// One command as the remote system would read it: address, item and value bytes.
struct Command
{
    uint8_t nSubSystem = 0;
    uint8_t nIndex = 0;
    uint8_t nItem = 0;
    std::vector<uint8_t> value;

    bool Is(uint8_t nSub, uint8_t nIdx, uint8_t nItm, std::vector<uint8_t> bytes) const
    {
        return nSubSystem == nSub && nIndex == nIdx && nItem == nItm && value == bytes;
    }
};

std::ostream& operator<<(std::ostream& out, const Command& command)
{
    out << int(command.nSubSystem) << "/" << int(command.nIndex) << "/" << int(command.nItem) << " =";
    for (uint8_t b : command.value)
        out << " " << int(b);
    return out;
}

std::vector<uint8_t> U16(uint16_t n) { return {uint8_t(n >> 8), uint8_t(n)}; }
std::vector<uint8_t> S16(int16_t n) { return U16(static_cast<uint16_t>(n)); }
std::vector<uint8_t> S32(int32_t n)
{
    const auto u = static_cast<uint32_t>(n);
    return {uint8_t(u >> 24), uint8_t(u >> 16), uint8_t(u >> 8), uint8_t(u)};
}

void Focus(QWidget* pWidget, QEvent::Type eType, Qt::FocusReason eReason = Qt::MouseFocusReason)
{
    QFocusEvent event(eType, eReason);
    QCoreApplication::sendEvent(pWidget, &event);
}

// Moves a slider as a drag does: pressed, moved, released.
void Drag(QSlider* pSlider, int nPosition)
{
    pSlider->setSliderDown(true);
    pSlider->setSliderPosition(nPosition);
    pSlider->setSliderDown(false);
}

// A page protocol on 127.0.0.1 talking to a bare peer, without its own timer
// so that nothing goes out but what the dialog sends.
class LandingDlgTest : public ::testing::Test
{
protected:
    void Connect(RC_Variant eVariant)
    {
        m_eVariant = eVariant;
        m_Pages.AppendPage({}, "Empty", false, -1);
        m_nConsolePort = FreeUdpPort();
        CommsSettings settings;
        settings.nCommsMethod = CommsSettings::kUdp;
        settings.nTxPort = m_Peer.Port();
        settings.nRxPort = m_nConsolePort;
        m_pPages = std::make_unique<cRC_IO_Pages>(eVariant, false);
        ASSERT_TRUE(m_pPages->initialise(settings, "Kestrum"));
        m_pPages->m_pPageDefinitions = &m_Pages;
        m_pPages->RegisterItems();
        m_Peer.SetTimeout(5);
    }

    void TearDown() override { m_pPages.reset(); }

    template <typename Dlg>
    std::unique_ptr<Dlg> Make(const std::string& sLandingAttributes = "")
    {
        return std::make_unique<Dlg>(
            m_pPages.get(), ConsoleSettings().Attributes(ConsoleSettings::kLanding, sLandingAttributes).Write(m_Dir));
    }

    // The next command that reached the peer, past the periodic requests a
    // registration sends while the link is up.
    Command Next()
    {
        const size_t nHeader = m_eVariant == RC_Variant::ShortFrames ? 4 : 5;
        UdpPeer::Bytes frame = m_Peer.Receive();
        while (frame.size() > nHeader && frame[nHeader] == cRC_IO_Pages::kRate)
            frame = m_Peer.Receive();
        EXPECT_GT(frame.size(), nHeader + 1) << "no command arrived";
        Command command;
        if (frame.size() <= nHeader + 1)
            return command;
        command.nSubSystem = frame[1];
        command.nIndex = m_eVariant == RC_Variant::ShortFrames ? 0 : frame[2];
        command.nItem = frame[nHeader];
        command.value.assign(frame.begin() + static_cast<std::ptrdiff_t>(nHeader + 1), frame.end() - 1);
        return command;
    }

    // True when nothing arrives for a while.
    bool Quiet()
    {
        m_Peer.SetTimeout(0);
        bool bTimedOut = false;
        // The peer's timeout is in whole seconds; poll a few times instead.
        for (int n = 0; n < 30 && !bTimedOut; ++n)
        {
            const UdpPeer::Bytes frame = m_Peer.Receive(&bTimedOut);
            if (!bTimedOut)
            {
                m_Peer.SetTimeout(5);
                return false;
            }
            bTimedOut = false;
            std::this_thread::sleep_for(10ms);
        }
        m_Peer.SetTimeout(5);
        return true;
    }

    // A status frame from the remote system, waited for until decoded.
    void Receive(uint8_t nSubSystem, uint8_t nIndex, const RC_Payload& payload)
    {
        RC_Frame frame;
        frame.BuildStatus(m_eVariant, nSubSystem, nIndex, 0x40, payload.Data(), payload.Size());
        const int32_t nBefore = m_pPages->m_nRxCount;
        m_Peer.SendTo(m_nConsolePort, {frame.Data(), frame.Data() + frame.Size()});
        ASSERT_TRUE(SpinUntil([&] { return m_pPages->m_nRxCount > nBefore; }));
    }
    void ReceiveByte(const cLandingItemList::Address& address, uint8_t nValue)
    {
        RC_Payload payload;
        payload.AddByte(address.nItem, nValue);
        Receive(address.nSubSystem, address.nIndex, payload);
    }

    // Clicks every button of a group and checks what each sends.
    void ExpectGroupSends(QButtonGroup* pGroup, const cLandingItemList::Address& address)
    {
        for (QAbstractButton* pButton : pGroup->buttons())
        {
            pButton->click();
            const Command command = Next();
            EXPECT_TRUE(command.Is(address.nSubSystem, address.nIndex, address.nItem,
                                   {static_cast<uint8_t>(pGroup->id(pButton))}))
                << pButton->text().toStdString() << ": " << command;
        }
    }

    RC_Variant m_eVariant = RC_Variant::ShortFrames;
    TempDir m_Dir;
    cPageList m_Pages;
    UdpPeer m_Peer;
    uint16_t m_nConsolePort = 0;
    std::unique_ptr<cRC_IO_Pages> m_pPages;
};

std::vector<std::string> Captions(QButtonGroup* pGroup, bool bVisibleOnly)
{
    std::vector<std::string> captions;
    for (QAbstractButton* pButton : pGroup->buttons())
        if (!bVisibleOnly || !pButton->isHidden())
            captions.push_back(pButton->text().toStdString());
    return captions;
}
} // namespace

// Every button and radio group of the Thimbrel dialog sends its own item; the
// items go on an untitled page of their own and are registered.
TEST_F(LandingDlgTest, ThimbrelControlsSendTheirItems)
{
    Connect(RC_Variant::ShortFrames);
    auto pDlg = Make<cThimbrelLandingDlg>("bShowClassifierOptions=\"true\"");
    ASSERT_EQ(pDlg->LandingPage(), 1u);
    EXPECT_EQ(m_Pages.Title(1), "");
    EXPECT_EQ(m_Pages.Items(1).size(), 13u);
    EXPECT_EQ(m_pPages->HoldersRegistered(0 << 16 | 64), 1u);

    EXPECT_EQ(Captions(pDlg->DetectAlgorithmGroup(), true),
              (std::vector<std::string>{"Manual", "Hot Spot", "Motion", "Naval", "Classifier"}));
    ExpectGroupSends(pDlg->ChannelGroup(), cLandingItemList::kThimbrel.videoChannel);
    ExpectGroupSends(pDlg->DetectAlgorithmGroup(), cLandingItemList::kThimbrel.detectionAlgorithm);
    ExpectGroupSends(pDlg->DetectionPriorityGroup(), cLandingItemList::kThimbrel.detectionPriority);
    ExpectGroupSends(pDlg->PolarityGroup(), cLandingItemList::kThimbrel.detectionPolarity);
    ExpectGroupSends(pDlg->TrackAlgorithmGroup(), cLandingItemList::kThimbrel.trackAlgorithm);
    EXPECT_EQ(pDlg->DetectAlgorithmGroup()->id(pDlg->DetectAlgorithmGroup()->buttons().last()), 5);

    // "Track" starts tracking while acquiring, and goes back to acquiring once tracking.
    EXPECT_EQ(pDlg->TrackButton()->text(), "Track");
    pDlg->TrackButton()->click();
    EXPECT_TRUE(Next().Is(0, 0, 0, {1}));
    ReceiveByte(cLandingItemList::kThimbrel.trackingMode, 1);
    pDlg->Refresh();
    EXPECT_EQ(pDlg->TrackStatusReadout()->text(), "Track");
    EXPECT_EQ(pDlg->TrackButton()->text(), "Acquire");
    pDlg->TrackButton()->click();
    EXPECT_TRUE(Next().Is(0, 0, 0, {0}));
    ReceiveByte(cLandingItemList::kThimbrel.trackingMode, 2);
    pDlg->Refresh();
    EXPECT_EQ(pDlg->TrackStatusReadout()->text(), "Coast");
    pDlg->TrackButton()->click();
    EXPECT_TRUE(Next().Is(0, 0, 0, {0}));

    // The rate demand read-outs exist but are not shown.
    EXPECT_TRUE(pDlg->AzRateDemand()->isHidden());
    EXPECT_TRUE(Quiet());
}

// A slider sends where the operator leaves it, once per new position, however it got there.
TEST_F(LandingDlgTest, SlidersSendOncePerChangedPosition)
{
    Connect(RC_Variant::ShortFrames);
    auto pDlg = Make<cThimbrelLandingDlg>("nAcqSliderMinX=\"40\" nAcqSliderMaxX=\"400\"");
    QSlider* pX = pDlg->AcqSliderX();
    QSlider* pY = pDlg->AcqSliderY();
    EXPECT_EQ(pX->minimum(), 40);
    EXPECT_EQ(pX->maximum(), 400);
    EXPECT_EQ(pX->value(), 400);
    EXPECT_EQ(pY->minimum(), 24);
    EXPECT_EQ(pY->value(), 240);
    EXPECT_TRUE(Quiet());  // setting the sliders up sends nothing

    Drag(pX, 100);
    EXPECT_TRUE(Next().Is(0, 0, 18, U16(100)));
    Drag(pX, 100);
    Drag(pY, 240);  // the first release of Y sends, even at the start position
    EXPECT_TRUE(Next().Is(0, 0, 19, U16(240)));
    pX->triggerAction(QAbstractSlider::SliderPageStepAdd);  // a click beside the handle
    EXPECT_TRUE(Next().Is(0, 0, 18, U16(110)));
    EXPECT_TRUE(Quiet());

    // The read-out beside a slider shows what the remote system reports, not the slider.
    RC_Payload payload;
    payload.AddU16(18, 96);
    Receive(0, 0, payload);
    pDlg->Refresh();
    EXPECT_EQ(pDlg->AoiXReadout()->text(), "96");
    EXPECT_EQ(pX->value(), 110);
}

// The VMS dialog's controls: channels, system modes and detection groups at
// their VMS addresses, zoom for the selected sensor at the configured speed.
TEST_F(LandingDlgTest, VmsControlsSendTheirItems)
{
    Connect(RC_Variant::LongFrames);
    auto pDlg = Make<cVmsLandingDlg>("fZoomSpeed=\"0.5\"");
    EXPECT_EQ(m_Pages.Items(1).size(), 14u);
    ExpectGroupSends(pDlg->ChannelGroup(), cLandingItemList::kVms.videoChannel);
    ExpectGroupSends(pDlg->SystemModeGroup(), cLandingItemList::kVmsSystemMode);
    EXPECT_EQ(Captions(pDlg->SystemModeGroup(), false),
              (std::vector<std::string>{"Standby", "Manual", "Acquire", "Track", "Scan", "Park", "Designation", "Wash"}));
    ExpectGroupSends(pDlg->DetectAlgorithmGroup(), cLandingItemList::kVms.detectionAlgorithm);
    ExpectGroupSends(pDlg->DetectionPriorityGroup(), cLandingItemList::kVms.detectionPriority);
    ExpectGroupSends(pDlg->PolarityGroup(), cLandingItemList::kVms.detectionPolarity);
    ExpectGroupSends(pDlg->TrackAlgorithmGroup(), cLandingItemList::kVms.trackAlgorithm);

    // Zoom drives the camera of the primary sensor the remote system reports.
    ReceiveByte(cLandingItemList::kVms.videoChannel, 2);
    pDlg->Refresh();
    EXPECT_EQ(pDlg->PrimarySensor(), 2);
    EXPECT_TRUE(pDlg->ChannelButton(2)->isChecked());
    pDlg->ZoomInButton()->click();
    EXPECT_TRUE(Next().Is(3, 2, 6, S16(16384)));
    pDlg->ZoomOutButton()->click();
    EXPECT_TRUE(Next().Is(3, 2, 6, S16(-16384)));
    EXPECT_FALSE(pDlg->ZoomInButton()->isChecked());
    pDlg->ZoomOutButton()->click();  // switched off: stop
    EXPECT_TRUE(Next().Is(3, 2, 22, {1}));
    EXPECT_TRUE(Quiet());

    for (const auto& [sSpeed, nIn, nOut] : {std::tuple{"0", 1, -1}, std::tuple{"1.5", 32767, -32768}})
    {
        auto pOther = Make<cVmsLandingDlg>(std::string("fZoomSpeed=\"") + sSpeed + "\"");
        pOther->ZoomInButton()->click();
        EXPECT_TRUE(Next().Is(3, 0, 6, S16(static_cast<int16_t>(nIn)))) << sSpeed;
        pOther->ZoomOutButton()->click();
        EXPECT_TRUE(Next().Is(3, 0, 6, S16(static_cast<int16_t>(nOut)))) << sSpeed;
    }
}

// "Scale" keeps the window's shape: the Y slider goes, and every release of X
// sends both sizes.
TEST_F(LandingDlgTest, ScaleSendsBothSizesEveryTime)
{
    Connect(RC_Variant::LongFrames);
    auto pDlg = Make<cVmsLandingDlg>();
    pDlg->ScaleBox()->click();
    EXPECT_TRUE(pDlg->Scaling());
    EXPECT_TRUE(pDlg->AcqSliderY()->isHidden());
    for (int n = 0; n < 2; ++n)
    {
        Drag(pDlg->AcqSliderX(), 160);
        EXPECT_TRUE(Next().Is(5, 0, 18, U16(160)));
        EXPECT_TRUE(Next().Is(5, 0, 19, U16(120)));
    }
    pDlg->ScaleBox()->click();
    EXPECT_FALSE(pDlg->AcqSliderY()->isHidden());
    Drag(pDlg->AcqSliderX(), 160);  // already sent
    Drag(pDlg->AcqSliderX(), 200);
    EXPECT_TRUE(Next().Is(5, 0, 18, U16(200)));
    EXPECT_TRUE(Quiet());
}

// Positions are typed in degrees and sent as Fixed milliradians; what is not
// a sendable number sends nothing and the field shows the position again.
TEST_F(LandingDlgTest, PositionFieldsSendTypedDegreesOnly)
{
    Connect(RC_Variant::LongFrames);
    auto pDlg = Make<cVmsLandingDlg>();
    QLineEdit* pAz = pDlg->PositionField(cVmsLandingDlg::kAz);
    QLineEdit* pEl = pDlg->PositionField(cVmsLandingDlg::kEl);
    EXPECT_FALSE(pAz->isEnabled());  // until a mode that takes positions is reported
    ReceiveByte(cLandingItemList::kVmsSystemMode, 1);
    RC_Payload positions;
    positions.AddFixed(1, 1000.0f);  // milliradians
    positions.AddFixed(2, -500.0f);
    Receive(2, 0, positions);
    pDlg->Refresh();
    ASSERT_TRUE(pAz->isEnabled());
    EXPECT_TRUE(pDlg->SystemModeGroup()->button(1)->isChecked());
    EXPECT_EQ(pAz->text(), "57.295780");
    EXPECT_EQ(pEl->text(), "-28.647890");
    const QString sShownAz = pAz->text();

    auto type = [&](QLineEdit* pEdit, const QString& sText) {
        Focus(pEdit, QEvent::FocusIn);
        pEdit->setText(QString());
        QTest::keyClicks(pEdit, sText);
        Focus(pEdit, QEvent::FocusOut);
    };
    type(pAz, "90");
    EXPECT_TRUE(Next().Is(2, 0, 1, S32(6433982)));
    type(pEl, "-90");
    EXPECT_TRUE(Next().Is(2, 0, 2, S32(-6433982)));

    for (const char* szBad : {"9O", "", "40000"})
    {
        type(pAz, szBad);
        EXPECT_EQ(pAz->text(), sShownAz) << szBad;
    }
    // Visiting a field without typing is no demand.
    Focus(pAz, QEvent::FocusIn);
    Focus(pAz, QEvent::FocusOut);
    EXPECT_TRUE(Quiet());

    // Enter sends too; a position arriving while the operator types waits.
    Focus(pAz, QEvent::FocusIn);
    pAz->setText(QString());
    QTest::keyClicks(pAz, "12.5");
    Receive(2, 0, positions);
    pDlg->Refresh();
    EXPECT_EQ(pAz->text(), "12.5");
    QTest::keyClick(pAz, Qt::Key_Return);
    EXPECT_TRUE(Next().Is(2, 0, 1, S32(893608)));
    Receive(2, 0, positions);
    pDlg->Refresh();
    EXPECT_EQ(pAz->text(), sShownAz);
}

// What each received value does to the read-outs and buttons, and what it
// leaves alone.
TEST_F(LandingDlgTest, RefreshShowsReceivedValues)
{
    Connect(RC_Variant::LongFrames);
    LogCapture log;
    auto pDlg = Make<cVmsLandingDlg>("nNumberOfVideoChannels=\"2\"");
    EXPECT_FALSE(pDlg->ChannelButton(1)->isHidden());
    EXPECT_TRUE(pDlg->ChannelButton(2)->isHidden());
    EXPECT_TRUE(pDlg->ChannelButton(3)->isHidden());
    EXPECT_EQ(Captions(pDlg->DetectAlgorithmGroup(), true),
              (std::vector<std::string>{"Manual", "Hot Spot", "Motion", "Naval"}));

    RC_Payload tracker;
    tracker.AddByte(0, 1);     // tracking
    tracker.AddByte(1, 2);     // Motion
    tracker.AddByte(5, 3);     // Combined
    tracker.AddByte(6, 4);     // Scenelock
    tracker.AddByte(7, 1);     // Negative
    tracker.AddU16(18, 300);
    tracker.AddU16(19, 200);
    tracker.AddByte(64, 1);    // valid
    tracker.AddFixed(66, 320.5f);
    tracker.AddFixed(67, 240.25f);
    Receive(5, 0, tracker);
    pDlg->Refresh();
    EXPECT_EQ(pDlg->TrackStatusReadout()->text(), "Track");
    EXPECT_EQ(pDlg->DetectAlgorithmGroup()->checkedId(), 2);
    EXPECT_EQ(pDlg->DetectionPriorityGroup()->checkedId(), 3);
    EXPECT_EQ(pDlg->TrackAlgorithmGroup()->checkedId(), 4);
    EXPECT_EQ(pDlg->PolarityGroup()->checkedId(), 1);
    EXPECT_EQ(pDlg->AoiXReadout()->text(), "300");
    EXPECT_EQ(pDlg->AoiYReadout()->text(), "200");
    EXPECT_EQ(pDlg->TargetModeReadout()->text(), "Valid");
    EXPECT_EQ(pDlg->PositionXReadout()->text(), "320.500000");
    EXPECT_EQ(pDlg->PositionYReadout()->text(), "240.250000");
    // Each value shown once: its new-value flag is cleared.
    for (const PageItem& item : m_Pages.Items(pDlg->LandingPage()))
        EXPECT_FALSE(item.pValue->IsValid()) << item.sLabel;

    // An invalid target has no position; a value without a button unchecks its group.
    RC_Payload lost;
    lost.AddByte(64, 0);
    lost.AddByte(1, 4);
    Receive(5, 0, lost);
    pDlg->Refresh();
    EXPECT_EQ(pDlg->TargetModeReadout()->text(), "Invalid");
    EXPECT_EQ(pDlg->PositionXReadout()->text(), "----");
    EXPECT_EQ(pDlg->PositionYReadout()->text(), "----");
    EXPECT_EQ(pDlg->DetectAlgorithmGroup()->checkedId(), -1);
    RC_Payload position;
    position.AddFixed(66, 1.0f);
    Receive(5, 0, position);
    pDlg->Refresh();
    EXPECT_EQ(pDlg->PositionXReadout()->text(), "----");

    // System mode 5 is no mode of the VMS: buttons and fields stay as they were.
    ReceiveByte(cLandingItemList::kVmsSystemMode, 3);
    pDlg->Refresh();
    ReceiveByte(cLandingItemList::kVmsSystemMode, 5);
    pDlg->Refresh();
    EXPECT_EQ(pDlg->SystemModeGroup()->checkedId(), 3);
    EXPECT_TRUE(pDlg->PositionField(cVmsLandingDlg::kAz)->isEnabled());
    ReceiveByte(cLandingItemList::kVmsSystemMode, 6);
    pDlg->Refresh();
    EXPECT_EQ(pDlg->SystemModeGroup()->checkedId(), 6);
    EXPECT_FALSE(pDlg->PositionField(cVmsLandingDlg::kAz)->isEnabled());

    // The link read-outs.
    EXPECT_EQ(pDlg->StatusReadout()->text(), "OK");
    EXPECT_EQ(pDlg->RxReadout()->text(), QString::number(m_pPages->m_nRxCount.load()));
    EXPECT_EQ(pDlg->TxReadout()->text(), "0");
    EXPECT_EQ(pDlg->HeartbeatReadout()->text(), "Inactive - 3");
    EXPECT_FALSE(log.Contains("Not handled"));
}

// Without a page protocol nothing is sent or shown, and nothing breaks.
TEST_F(LandingDlgTest, WithoutPageProtocolEveryControlDoesNothing)
{
    m_Dir.Write("Kestrum.xml", "<VMS_Cfg/>");
    cVmsLandingDlg dlg(nullptr, m_Dir.File("Kestrum.xml"));
    dlg.ZoomInButton()->click();
    dlg.ChannelButton(0)->click();
    dlg.Refresh();
    EXPECT_EQ(dlg.LandingPage(), cLandingDlg::npos);
    EXPECT_TRUE(dlg.StatusReadout()->text().isEmpty());
    EXPECT_TRUE(dlg.HeartbeatReadout()->text().isEmpty());
}

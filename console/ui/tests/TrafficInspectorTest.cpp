// The traffic inspector against the console's real protocol objects, fed by
// a UDP peer standing in for the remote system.
#include "ConsoleSettings.h"
#include "RC_Frame.h"
#include "RC_ItemValue.h"
#include "RC_Payload.h"
#include "TempDir.h"
#include "UdpPeer.h"
#include "UiTestSupport.h"
#include "cConsoleSession.h"
#include "cMessageBox.h"
#include "cRC_IO_Pages.h"
#include "cTrafficInspectorDlg.h"
#include "cTrafficLogReader.h"
#include "cTrafficModel.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTableWidget>
#include <gtest/gtest.h>

using namespace ui_test;

namespace
{
const char* const kPages = R"(<PageDefinitions>
  <Page Title="Tracker">
    <Item SubSystem="5" Item="1" Access="RW" Label="Track Mode" Type="Byte"/>
    <Item SubSystem="5" Item="2" Access="RO" Label="Azimuth" Type="Fixed"/>
    <Item SubSystem="5" Item="3" Access="RO" Label="Camera Name" Type="String"/>
  </Page>
</PageDefinitions>
)";

class TrafficInspectorTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ClearUserSettings();
        cMessageBox::SetSink([this](const QString& sText) { m_Messages.push_back(sText.toStdString()); });
        m_nConsolePort = FreeUdpPort();
        m_Dir.Write("pages.xml", kPages);
        m_pSession = std::make_unique<cConsoleSession>(ConsoleSettings()
                                                           .Udp(m_Peer.Port(), m_nConsolePort)
                                                           .Main("nControllerType", 0)
                                                           .Main("sPageDefinitionsFile", m_Dir.File("pages.xml"))
                                                           .Write(m_Dir));
        ASSERT_TRUE(m_pSession->Load().bPagesRead);
        ASSERT_EQ(m_pSession->StartPages(), cConsoleSession::Result::kStarted);
    }
    void TearDown() override
    {
        m_pSession.reset();
        cMessageBox::SetSink({});
        ClearUserSettings();
    }

    // A status frame of subsystem 5 as the remote system sends it, its checksum spoilt on request.
    static std::vector<uint8_t> Frame(const RC_Payload& payload, bool bSpoil = false)
    {
        RC_Frame frame;
        frame.BuildStatus(RC_Variant::ShortFrames, 5, 0, 0x40, payload.Data(), payload.Size());
        std::vector<uint8_t> bytes(frame.Data(), frame.Data() + frame.Size());
        if (bSpoil)
            bytes.back() ^= 0x5A;
        return bytes;
    }
    void Send(const RC_Payload& payload, bool bSpoil = false) { m_Peer.SendTo(m_nConsolePort, Frame(payload, bSpoil)); }

    // The received rows of the table, as "items | checksum".
    static std::vector<std::string> ReceivedRows(cTrafficInspectorDlg& dlg)
    {
        std::vector<std::string> rows;
        cTrafficModel* pModel = dlg.Model();
        for (int nRow = 0; nRow < pModel->rowCount(); ++nRow)
        {
            if (pModel->index(nRow, cTrafficModel::kDirection).data().toString() != "Rx")
                continue;
            rows.push_back((pModel->index(nRow, cTrafficModel::kItems).data().toString() + " | " +
                            pModel->index(nRow, cTrafficModel::kChecksum).data().toString())
                               .toStdString());
        }
        return rows;
    }

    TempDir m_Dir;
    UdpPeer m_Peer;
    uint16_t m_nConsolePort = 0;
    std::unique_ptr<cConsoleSession> m_pSession;
    std::vector<std::string> m_Messages;
};
} // namespace

// What the peer sends shows row by row: the items by their labels with their
// values, a spoilt frame with its checksum marked bad, an item the pages do
// not define as unknown; above them the counts per subsystem and direction.
// Saved, the table reads back as a traffic log that vms-sim --replay plays.
TEST_F(TrafficInspectorTest, ShowsTheFramesOfThePageLinkDecoded)
{
    cTrafficInspectorDlg dlg(*m_pSession);
    dlg.show();
    EXPECT_TRUE(m_pSession->IsTrafficTapAttached());

    RC_Payload first;
    first.AddByte(1, 3);
    first.AddFixed(2, -12.5f);
    RC_Payload name;
    name.AddReported(3, RC_StringValue("EO/IR"));
    RC_Payload unknown;
    unknown.AddByte(1, 4);
    unknown.AddByte(77, 1);
    Send(first);
    Send(name, true);
    Send(unknown);
    ASSERT_TRUE(SpinUntil([&] {
        dlg.Refresh();
        return ReceivedRows(dlg).size() >= 3;
    }));
    const std::vector<std::string> rows = ReceivedRows(dlg);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0], "Track Mode = 3; Azimuth = -12.500000 | good");
    EXPECT_EQ(rows[1], "Camera Name = \"EO/IR\" | BAD");
    EXPECT_EQ(rows[2], "Track Mode = 4; unknown item 77 | good");
    cTrafficModel* pModel = dlg.Model();
    int nFirst = 0;
    while (pModel->index(nFirst, cTrafficModel::kDirection).data().toString() != "Rx")
        ++nFirst;
    EXPECT_EQ(pModel->index(nFirst, cTrafficModel::kKind).data().toString(), "short");
    EXPECT_EQ(pModel->index(nFirst, cTrafficModel::kAddress).data().toString(), "5");
    EXPECT_EQ(pModel->index(nFirst, cTrafficModel::kStatus).data().toString(), "0x40 periodic");
    EXPECT_TRUE(pModel->Details(nFirst).contains("Azimuth  (Fixed)  -12.500000"));

    // The figures: three frames received on subsystem 5.
    QTableWidget* pFigures = dlg.FiguresTable();
    bool bFound = false;
    for (int nRow = 0; nRow < pFigures->rowCount(); ++nRow)
        if (pFigures->item(nRow, 1)->text() == "Rx" && pFigures->item(nRow, 2)->text() == "5")
        {
            EXPECT_EQ(pFigures->item(nRow, 5)->text(), "3");
            bFound = true;
        }
    EXPECT_TRUE(bFound);
    EXPECT_TRUE(dlg.CountsReadout()->text().startsWith(QString::number(dlg.History().FramesCounted()) + " frames counted"));

    // Filters: the received frames whose items say "azimuth".
    dlg.DirectionFilter()->setCurrentIndex(1);
    dlg.TextFilter()->setText("azimuth");
    dlg.ApplyFilter();
    ASSERT_EQ(pModel->rowCount(), 1);
    EXPECT_EQ(pModel->index(0, cTrafficModel::kItems).data().toString(), "Track Mode = 3; Azimuth = -12.500000");

    const std::string sPath = m_Dir.File("saved.txt");
    ASSERT_TRUE(dlg.SaveTo(QString::fromStdString(sPath)));
    cTrafficLogReader reader;
    ASSERT_TRUE(reader.Read(sPath)) << reader.Error();
    const std::vector<cTrafficLogReader::Record> received = reader.Received();
    ASSERT_EQ(received.size(), 3u);
    EXPECT_EQ(received[0].bytes, Frame(first));
    EXPECT_EQ(received[1].bytes, Frame(name, true));
    EXPECT_EQ(received[2].bytes, Frame(unknown));
    EXPECT_FALSE(dlg.SaveTo(QString::fromStdString(m_Dir.File("missing/saved.txt"))));
    ASSERT_EQ(m_Messages.size(), 1u);

    // Hidden, the window takes its tap off the links.
    dlg.hide();
    EXPECT_FALSE(m_pSession->IsTrafficTapAttached());
    EXPECT_EQ(m_pSession->RC_IO_Pages()->TrafficTap(), nullptr);
}

// Paused, the table holds still while the frames are still counted, and says
// how many passed; resumed, the next frames show again; cleared, it is empty.
TEST_F(TrafficInspectorTest, PauseHoldsTheTableAndCountsWhatPasses)
{
    cTrafficInspectorDlg dlg(*m_pSession);
    dlg.show();
    dlg.DirectionFilter()->setCurrentIndex(1);
    dlg.ApplyFilter();
    RC_Payload payload;
    payload.AddByte(1, 1);
    Send(payload);
    ASSERT_TRUE(SpinUntil([&] {
        dlg.Refresh();
        return dlg.Model()->rowCount() == 1;
    }));

    dlg.PauseAction()->trigger();
    EXPECT_TRUE(dlg.IsPaused());
    const uint64_t nCounted = dlg.History().FramesCounted();
    Send(payload);
    Send(payload);
    ASSERT_TRUE(SpinUntil([&] {
        dlg.Refresh();
        return dlg.History().NotKept() == 2;
    }));
    EXPECT_EQ(dlg.Model()->rowCount(), 1);
    EXPECT_GE(dlg.History().FramesCounted(), nCounted + 2);
    EXPECT_TRUE(dlg.CountsReadout()->text().contains("2 passed while paused"));
    EXPECT_TRUE(dlg.CountsReadout()->text().contains("PAUSED"));

    dlg.SetPaused(false);
    Send(payload);
    ASSERT_TRUE(SpinUntil([&] {
        dlg.Refresh();
        return dlg.Model()->rowCount() == 2;
    }));
    dlg.Clear();
    EXPECT_EQ(dlg.Model()->rowCount(), 0);
    EXPECT_EQ(dlg.NotShown(), 0u);
}

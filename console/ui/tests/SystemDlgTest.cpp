#include "LogCapture.h"
#include "RC_ItemValue.h"
#include "TempDir.h"
#include "UdpPeer.h"
#include "UiTestSupport.h"
#include "cMessageBox.h"
#include "cPageList.h"
#include "cRC_IO_Pages.h"
#include "cRC_SystemDlg.h"

#include <QAction>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QTest>
#include <atomic>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <regex>
#include <thread>

using namespace ui_test;

namespace
{
constexpr uint8_t kSub = 5;

// One item of each type, in code order at items 1 to 12, plus a write-only one.
std::vector<PageItem> EveryType()
{
    std::vector<PageItem> items;
    for (const auto& entry : RC_DataTypesLookup)
    {
        const uint8_t nItem = static_cast<uint8_t>(static_cast<int>(entry.eType) + 1);
        const PageItem::Access nAccess = entry.eType == RC_DataType::U64 ? PageItem::kReadOnly : PageItem::kReadWrite;
        items.push_back(PageItem::Make(kSub, 0, nItem, entry.eType, nAccess, std::string("Item ") + entry.szName));
    }
    items.push_back(PageItem::Make(kSub, 0, 20, RC_DataType::Byte, PageItem::kWriteOnly, "Zoom stop"));
    return items;
}

void Focus(QWidget* pWidget, QEvent::Type eType)
{
    QFocusEvent event(eType, Qt::TabFocusReason);
    QCoreApplication::sendEvent(pWidget, &event);
}

std::string ReadAll(const std::string& sPath)
{
    std::ifstream in(sPath);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A page protocol on 127.0.0.1 talking to a bare peer, without its own timer
// so that nothing is sent but what the dialog sends.
class SystemDlgTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_Pages.AppendPage(EveryType(), "EO/IR", true, kSub);
        m_nConsolePort = FreeUdpPort();
        CommsSettings settings;
        settings.nCommsMethod = CommsSettings::kUdp;
        settings.nTxPort = m_Peer.Port();
        settings.nRxPort = m_nConsolePort;
        m_pPages = std::make_unique<cRC_IO_Pages>(RC_Variant::ShortFrames, false);
        ASSERT_TRUE(m_pPages->initialise(settings, "Kestrum"));
        m_pPages->m_pPageDefinitions = &m_Pages;
        m_pPages->RegisterItems();
        m_Peer.SetTimeout(5);
        cMessageBox::SetSink([this](const QString& sText) { m_Messages.push_back(sText.toStdString()); });
    }

    void TearDown() override
    {
        cMessageBox::SetSink({});
        m_pPages.reset();
    }

    std::unique_ptr<cRC_SystemDlg> MakeDialog(const std::string& sFolder = "logs", int nPage = 0)
    {
        auto pDlg = std::make_unique<cRC_SystemDlg>(m_pPages.get(), m_Pages.Items(static_cast<size_t>(nPage)),
                                                    m_Pages.Logging(static_cast<size_t>(nPage)),
                                                    m_Pages.LoggingSubsystem(static_cast<size_t>(nPage)), nPage, sFolder);
        pDlg->setWindowTitle(QString::fromStdString(m_Pages.Title(static_cast<size_t>(nPage))));
        pDlg->Refresh();
        return pDlg;
    }

    // Sends one status frame and waits until the console has decoded it.
    void Receive(uint8_t nSubSystem, const RC_Payload& payload)
    {
        const int32_t nBefore = m_pPages->m_nRxCount;
        m_Peer.SendTo(m_nConsolePort, StatusFrame(nSubSystem, payload));
        ASSERT_TRUE(SpinUntil([&] { return m_pPages->m_nRxCount > nBefore; }));
    }

    // Types text into a row's field (over what it shows) and leaves it.
    static void Type(cRC_SystemDlg& dlg, int nRow, const QString& sText)
    {
        Focus(dlg.Field(nRow), QEvent::FocusIn);
        dlg.Field(nRow)->selectAll();
        if (sText.isEmpty())
            QTest::keyClick(dlg.Field(nRow), Qt::Key_Delete);
        QTest::keyClicks(dlg.Field(nRow), sText);
        Focus(dlg.Field(nRow), QEvent::FocusOut);
    }

    // The same, returning the frame that reached the peer.
    UdpPeer::Bytes Edit(cRC_SystemDlg& dlg, int nRow, const QString& sText)
    {
        Type(dlg, nRow, sText);
        return m_Peer.Receive();
    }

    cPageList m_Pages;
    UdpPeer m_Peer;
    uint16_t m_nConsolePort = 0;
    std::unique_ptr<cRC_IO_Pages> m_pPages;
    std::vector<std::string> m_Messages;
};
} // namespace

// Every readable type is shown as received; write-only and U128 rows stay empty.
TEST_F(SystemDlgTest, ShowsReceivedValuesOfEveryType)
{
    auto pDlg = MakeDialog();
    ASSERT_TRUE(pDlg->IsLaidOut());
    EXPECT_TRUE(pDlg->isVisible());
    EXPECT_EQ(pDlg->Label(0)->text(), "Item Byte");
    EXPECT_TRUE(pDlg->Label(12)->isVisible());
    EXPECT_FALSE(pDlg->Label(13)->isVisible());
    EXPECT_TRUE(pDlg->Field(5)->isReadOnly());
    EXPECT_FALSE(pDlg->Field(0)->isReadOnly());

    RC_Payload payload;
    payload.AddByte(1, 200);
    payload.AddU16(2, 65000);
    payload.AddS16(3, -1234);
    payload.AddU32(4, 4000000000u);
    payload.AddS32(5, -70000);
    const uint8_t u64[] = {6, 0x00, 0x00, 0x00, 0x02, 0x54, 0x0B, 0xE4, 0x00};  // 10000000000
    payload.AddRaw(u64, sizeof(u64));
    const uint8_t s64[] = {7, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFE};  // -2
    payload.AddRaw(s64, sizeof(s64));
    const uint8_t u128[17] = {8, 1};
    payload.AddRaw(u128, sizeof(u128));
    payload.AddFixed(9, 1.5f);
    payload.AddString(10, "up 1.5 s");
    payload.AddFloat(11, 2.25f);
    const uint8_t dbl[] = {12, 0x40, 0x09, 0x21, 0xFB, 0x54, 0x44, 0x2D, 0x18};  // pi
    payload.AddRaw(dbl, sizeof(dbl));
    payload.AddByte(20, 9);
    Receive(kSub, payload);

    pDlg->Refresh();
    const char* const kExpected[] = {"200",    "65000",    "-1234",    "4000000000",        "-70000",   "10000000000",
                                     "-2",     "",         "1.500000", "up 1.5 s", "2.250000", "3.141593"};
    for (int n = 0; n < 12; ++n)
        EXPECT_EQ(pDlg->Field(n)->text().toStdString(), kExpected[n]) << "row " << n;
    EXPECT_EQ(pDlg->Field(12)->text(), "");
    for (const PageItem& item : m_Pages.Items(0))
    {
        if (item.nAccess != PageItem::kWriteOnly)
        {
            EXPECT_FALSE(item.pValue->IsValid()) << item.sLabel;
        }
    }
}

// With nobody calling Refresh, the timer lays the page out and shows it on
// its first tick, then shows each value the console receives.
TEST_F(SystemDlgTest, TimerShowsThePageAndItsValues)
{
    cRC_SystemDlg dlg(m_pPages.get(), m_Pages.Items(0), true, kSub, 0, "logs");
    EXPECT_FALSE(dlg.IsLaidOut());
    ASSERT_TRUE(SpinUntil([&] { return dlg.IsLaidOut() && dlg.isVisible(); }));
    EXPECT_EQ(dlg.Label(1)->text(), "Item U16");

    RC_Payload payload;
    payload.AddU16(2, 4321);
    Receive(kSub, payload);
    EXPECT_TRUE(SpinUntil([&] { return dlg.Field(1)->text() == "4321"; }));
    EXPECT_FALSE(m_Pages.Items(0)[1].pValue->IsValid());
}

// Leaving an edited field sends its value with the type's operation; text
// that does not parse whole, or does not fit, sends nothing and the field
// shows the last value received again.
TEST_F(SystemDlgTest, EditsSendTheTypedValue)
{
    auto pDlg = MakeDialog();

    // U16 300 on subsystem 5 item 2: 10 05 00 03 02 01 2C and the checksum.
    const UdpPeer::Bytes u16 = Edit(*pDlg, 1, "300");
    ASSERT_EQ(u16.size(), 8u);
    EXPECT_EQ((UdpPeer::Bytes(u16.begin(), u16.end() - 1)), (UdpPeer::Bytes{0x10, 0x05, 0x00, 0x03, 0x02, 0x01, 0x2C}));

    RC_Payload expected;
    expected.AddS32(9, 6144);
    EXPECT_EQ(Edit(*pDlg, 8, "1.5"), CommandFrame(kSub, expected));
    expected.Clear();
    expected.AddFloat(11, 2.5f);
    EXPECT_EQ(Edit(*pDlg, 10, "2.5"), CommandFrame(kSub, expected));
    expected.Clear();
    expected.AddString(10, "abc");
    EXPECT_EQ(Edit(*pDlg, 9, "abc"), CommandFrame(kSub, expected));
    expected.Clear();
    expected.AddS16(3, -32768);
    EXPECT_EQ(Edit(*pDlg, 2, "-32768"), CommandFrame(kSub, expected));
    expected.Clear();
    expected.AddU32(4, 4294967295u);
    EXPECT_EQ(Edit(*pDlg, 3, "4294967295"), CommandFrame(kSub, expected));
    expected.Clear();
    expected.AddByte(20, 1);
    EXPECT_EQ(Edit(*pDlg, 12, "1"), CommandFrame(kSub, expected));

    const int32_t nSent = m_pPages->m_nTxCount;
    Type(*pDlg, 1, "70000");
    Type(*pDlg, 1, "12a");
    Type(*pDlg, 0, "256");
    Type(*pDlg, 5, "5");     // read-only U64
    Type(*pDlg, 11, "1.0");  // Double is never sent
    Type(*pDlg, 1, "");
    EXPECT_EQ(m_pPages->m_nTxCount, nSent);
    m_Peer.SetTimeout(1);
    EXPECT_TRUE(m_Peer.Receive().empty());
    RC_Payload payload;
    payload.AddU16(2, 7);
    Receive(kSub, payload);
    pDlg->Refresh();
    Type(*pDlg, 1, "12a");
    EXPECT_EQ(pDlg->Field(1)->text(), "7");
}

// Return commits as leaving the field does, in the page dialog as in the
// landing dialog (one cEditCommit behind both): the field stays with the
// operator, and the next value received shows again.
TEST_F(SystemDlgTest, ReturnSendsTheTypedValue)
{
    auto pDlg = MakeDialog();
    QLineEdit* pField = pDlg->Field(1);
    Focus(pField, QEvent::FocusIn);
    QTest::keyClicks(pField, "301");
    QTest::keyClick(pField, Qt::Key_Return);
    RC_Payload expected;
    expected.AddU16(2, 301);
    EXPECT_EQ(m_Peer.Receive(), CommandFrame(kSub, expected));

    // Return again without typing, then leaving: nothing more is sent.
    QTest::keyClick(pField, Qt::Key_Return);
    Focus(pField, QEvent::FocusOut);
    m_Peer.SetTimeout(1);
    EXPECT_TRUE(m_Peer.Receive().empty());
    RC_Payload payload;
    payload.AddU16(2, 9);
    Receive(kSub, payload);
    pDlg->Refresh();
    EXPECT_EQ(pField->text(), "9");
}

// The focus a window gives its first field when it opens or comes back is not
// an edit: leaving the field sends nothing. Typing counts as editing however
// the field got the focus.
TEST_F(SystemDlgTest, FocusWithoutEditingSendsNothing)
{
    auto pDlg = MakeDialog();
    QLineEdit* pField = pDlg->Field(1);
    pField->setText("300");
    QFocusEvent in(QEvent::FocusIn, Qt::ActiveWindowFocusReason);
    QCoreApplication::sendEvent(pField, &in);
    QFocusEvent out(QEvent::FocusOut, Qt::ActiveWindowFocusReason);
    QCoreApplication::sendEvent(pField, &out);
    m_Peer.SetTimeout(1);
    EXPECT_TRUE(m_Peer.Receive().empty());

    QCoreApplication::sendEvent(pField, &in);
    pField->clear();
    QTest::keyClicks(pField, "301");
    RC_Payload payload;
    payload.AddU16(2, 7);
    Receive(kSub, payload);
    pDlg->Refresh();
    EXPECT_EQ(pField->text(), "301");
    QCoreApplication::sendEvent(pField, &out);
    RC_Payload expected;
    expected.AddU16(2, 301);
    EXPECT_EQ(m_Peer.Receive(), CommandFrame(kSub, expected));
}

// While the operator is in a field a received value does not replace the
// text; once the field is left the next value shows again.
TEST_F(SystemDlgTest, FieldBeingEditedIsNotOverwritten)
{
    auto pDlg = MakeDialog();
    QLineEdit* pField = pDlg->Field(1);
    Focus(pField, QEvent::FocusIn);
    QTest::keyClicks(pField, "42");

    RC_Payload payload;
    payload.AddU16(2, 7);
    Receive(kSub, payload);
    pDlg->Refresh();
    EXPECT_EQ(pField->text(), "42");
    EXPECT_FALSE(m_Pages.Items(0)[1].pValue->IsValid());

    Focus(pField, QEvent::FocusOut);
    EXPECT_FALSE(m_Peer.Receive().empty());
    payload.Clear();
    payload.AddU16(2, 9);
    Receive(kSub, payload);
    pDlg->Refresh();
    EXPECT_EQ(pField->text(), "9");
}

// The log of a page titled EO/IR: a header of the readable shown rows, one
// row per update of the logging subsystem and none for other subsystems.
TEST_F(SystemDlgTest, CsvLogHoldsHeaderAndOneRowPerUpdate)
{
    TempDir dir;
    auto pDlg = MakeDialog(dir.File("Logs"));
    ASSERT_TRUE(pDlg->LoggingAction()->isEnabled());
    pDlg->OnStartStopLogging();
    ASSERT_TRUE(pDlg->IsLogging());
    EXPECT_EQ(pDlg->LoggingAction()->text(), "Stop Logging");
    const std::string sPath = pDlg->LogPath();
    EXPECT_TRUE(std::regex_match(sPath, std::regex(dir.File("Logs") + R"(/EO_IR-\d{4}-\d\d-\d\d_\d\d-\d\d-\d\d\.csv)")))
        << sPath;

    RC_Payload payload;
    payload.AddByte(1, 17);
    payload.AddString(10, "a,b");
    Receive(kSub, payload);
    payload.Clear();
    payload.AddByte(1, 18);
    Receive(kSub + 1, payload);  // another subsystem: unknown item, no row
    payload.Clear();
    payload.AddFixed(9, -0.5f);
    Receive(kSub, payload);
    pDlg->OnStartStopLogging();
    EXPECT_FALSE(pDlg->IsLogging());
    EXPECT_EQ(pDlg->LoggingAction()->text(), "Start Logging");

    const std::string sText = ReadAll(sPath);
    const std::string sHeader = "Timestamp,Item Byte,Item U16,Item S16,Item U32,Item S32,Item U64,Item S64,Item U128,"
                                "Item Fixed,Item String,Item Float,Item Double,\n";
    const std::string sTime = R"(\d\d:\d\d:\d\d\.\d\d\d)";
    const std::string sRow1 = sTime + R"(,17,0,0,0,0,0,0,,0\.000000,"a,b",0\.000000,0\.000000,\n)";
    const std::string sRow2 = sTime + R"(,17,0,0,0,0,0,0,,-0\.500000,"a,b",0\.000000,0\.000000,\n)";
    const std::regex pattern("Log started at: " + sTime + "\n" + sHeader + sRow1 + sRow2 + "\nLog finished at: " + sTime);
    EXPECT_TRUE(std::regex_match(sText, pattern)) << sText;
}

// A page that may not log greys the command; a log that cannot be opened
// says so and leaves the command as it was.
TEST_F(SystemDlgTest, LoggingRefusedOrFailing)
{
    m_Pages.AppendPage({}, "Quiet", false, -1);
    auto pQuiet = MakeDialog("logs", 1);
    EXPECT_FALSE(pQuiet->LoggingAction()->isEnabled());
    EXPECT_FALSE(pQuiet->Label(0)->isVisible());

    TempDir dir;
    dir.Write("file", "x");
    auto pDlg = MakeDialog(dir.File("file"));
    pDlg->OnStartStopLogging();
    EXPECT_FALSE(pDlg->IsLogging());
    EXPECT_EQ(pDlg->LoggingAction()->text(), "Start Logging");
    ASSERT_EQ(m_Messages.size(), 1u);
    EXPECT_NE(m_Messages[0].find("Error opening log file"), std::string::npos);
}

// Only the first 24 items of a page are shown, logged or refreshed.
TEST_F(SystemDlgTest, ThirtyItemsShowTheFirstTwentyFour)
{
    std::vector<PageItem> items;
    for (int n = 0; n < 30; ++n)
        items.push_back(PageItem::Make(7, 0, static_cast<uint8_t>(n), RC_DataType::Byte, PageItem::kReadOnly,
                                       "Row " + std::to_string(n + 1)));
    m_Pages.AppendPage(std::move(items), "Long", true, 7);
    auto pDlg = MakeDialog("logs", 1);
    EXPECT_TRUE(pDlg->Label(23)->isVisible());
    EXPECT_EQ(pDlg->Label(23)->text(), "Row 24");

    TempDir dir;
    auto pLogging = std::make_unique<cRC_SystemDlg>(m_pPages.get(), m_Pages.Items(1), true, 7, 1, dir.Path());
    pLogging->setWindowTitle("Long");
    pLogging->OnStartStopLogging();
    const std::string sPath = pLogging->LogPath();
    pLogging.reset();  // closing the dialog finishes its log
    const std::string sText = ReadAll(sPath);
    EXPECT_NE(sText.find(",Row 24,\n"), std::string::npos);
    EXPECT_EQ(sText.find("Row 25"), std::string::npos);
    EXPECT_NE(sText.find("Log finished at: "), std::string::npos);
}

// Dialogs opened and closed while frames stream in, logging, with the timer
// refreshing: nothing runs on a dialog that has gone.
TEST_F(SystemDlgTest, ClosingWhileValuesArriveIsSafe)
{
    TempDir dir;
    std::atomic<bool> bStop{false};
    std::thread sender([&] {
        UdpPeer source;
        RC_Payload payload;
        uint8_t nValue = 0;
        while (!bStop)
        {
            payload.Clear();
            payload.AddByte(1, nValue++);
            payload.AddU16(2, nValue);
            source.SendTo(m_nConsolePort, StatusFrame(kSub, payload));
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    });
    for (int n = 0; n < 20; ++n)
    {
        QPointer<cRC_SystemDlg> pDlg = new cRC_SystemDlg(m_pPages.get(), m_Pages.Items(0), true, kSub, 0, dir.Path());
        pDlg->setWindowTitle("Stream");
        pDlg->OnStartStopLogging();
        Spin(std::chrono::milliseconds(n % 4 * 60));
        if (n % 2)
            pDlg->close();  // the close box: deleted later
        else
            delete pDlg.data();
        Spin(std::chrono::milliseconds(5));
        EXPECT_TRUE(pDlg.isNull());
    }
    bStop = true;
    sender.join();
    EXPECT_GT(m_pPages->m_nRxCount, 0);
}

// The close box (and Escape) reports the page index once and deletes the dialog.
TEST_F(SystemDlgTest, CloseReportsThePageIndex)
{
    QPointer<cRC_SystemDlg> pDlg = new cRC_SystemDlg(m_pPages.get(), m_Pages.Items(0), true, kSub, 3, "logs");
    int nClosed = -1;
    int nSignals = 0;
    QObject::connect(pDlg, &cRC_SystemDlg::sigClosed, [&](int nPage) {
        nClosed = nPage;
        ++nSignals;
    });
    pDlg->Refresh();
    pDlg->reject();
    pDlg->close();
    EXPECT_TRUE(SpinUntil([&] { return pDlg.isNull(); }));
    EXPECT_EQ(nClosed, 3);
    EXPECT_EQ(nSignals, 1);
}

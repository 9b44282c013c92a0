#include "RC_ItemValue.h"
#include "UdpPeer.h"
#include "UiTestSupport.h"
#include "TempDir.h"
#include "cPlotCanvas.h"
#include "cPlotManager.h"
#include "cPlotWindow.h"
#include "cPageList.h"
#include "cRC_IO_Pages.h"
#include "cRC_SystemDlg.h"

#include <QAction>
#include <QImage>
#include <QMenu>
#include <QPointer>
#include <atomic>
#include <fstream>
#include <gtest/gtest.h>
#include <thread>

using namespace ui_test;
using namespace std::chrono_literals;

namespace
{
constexpr uint8_t kSub = 6;

// A page of two numbers and a text, fed by a peer standing for the remote system.
class PlotTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        std::vector<PageItem> items;
        items.push_back(PageItem::Make(kSub, 0, 1, RC_DataType::U16, PageItem::kReadOnly, "Gate width"));
        items.push_back(PageItem::Make(kSub, 0, 2, RC_DataType::Float, PageItem::kReadOnly, "Az rate"));
        items.push_back(PageItem::Make(kSub, 0, 3, RC_DataType::String, PageItem::kReadOnly, "Mode name"));
        m_Pages.AppendPage(std::move(items), "Tracker", false, -1);
        m_nConsolePort = FreeUdpPort();
        CommsSettings settings;
        settings.nCommsMethod = CommsSettings::kUdp;
        settings.nTxPort = m_Peer.Port();
        settings.nRxPort = m_nConsolePort;
        m_pPages = std::make_unique<cRC_IO_Pages>(RC_Variant::ShortFrames, false);
        ASSERT_TRUE(m_pPages->initialise(settings, "Kestrum"));
        m_pPages->m_pPageDefinitions = &m_Pages;
        m_pPages->RegisterItems();
    }
    void TearDown() override { m_pPages.reset(); }

    const PageItem& Item(size_t n) const { return m_Pages.Items(0).at(n); }
    void Send(uint16_t nGate, float fRate)
    {
        RC_Payload payload;
        payload.AddU16(1, nGate);
        payload.AddFloat(2, fRate);
        m_Peer.SendTo(m_nConsolePort, StatusFrame(kSub, payload));
    }

    cPageList m_Pages;
    UdpPeer m_Peer;
    uint16_t m_nConsolePort = 0;
    std::unique_ptr<cRC_IO_Pages> m_pPages;
};
} // namespace

// Values streamed at 100 Hz reach the plot's data as they were sent, while
// the window redraws at most 15 times a second.
TEST_F(PlotTest, StreamedValuesAreStoredAndRedrawsStayCapped)
{
    cPlotWindow window(m_pPages.get(), "Plot 1", "logs");
    EXPECT_TRUE(window.AddItem(Item(0)));
    EXPECT_TRUE(window.AddItem(Item(1)));
    EXPECT_FALSE(window.AddItem(Item(0))) << "plotted twice";
    EXPECT_FALSE(window.AddItem(Item(2))) << "text plotted";
    window.show();

    std::atomic<bool> bStop{false};
    std::atomic<int> nSent{0};
    std::thread sender([&] {
        auto next = std::chrono::steady_clock::now();
        for (int n = 1; n <= 300 && !bStop; ++n)
        {
            Send(static_cast<uint16_t>(n), n * 0.5f);
            nSent = n;
            next += 10ms;
            std::this_thread::sleep_until(next);
        }
    });
    const uint64_t nRedrawsBefore = window.Redraws();
    const auto start = std::chrono::steady_clock::now();
    SpinUntil([&] { return nSent == 300; }, 30s);
    const double dSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    bStop = true;
    sender.join();
    const uint64_t nRedraws = window.Redraws() - nRedrawsBefore;
    EXPECT_LE(nRedraws, static_cast<uint64_t>(15 * dSeconds + 2)) << dSeconds << " s";
    EXPECT_GE(nRedraws, 3u);
    EXPECT_LE(window.Canvas()->Paints(), window.Redraws() + 3) << "paints follow the redraws";

    // Everything sent is in the store, in order, once the last frame is in.
    ASSERT_TRUE(SpinUntil([&] {
        const cPlotStore::Series* pGate = window.Store().Find(1);
        return pGate && !pGate->samples.empty() && pGate->samples.back().dValue == 300.0;
    }));
    const cPlotStore::Series* pGate = window.Store().Find(1);
    const cPlotStore::Series* pRate = window.Store().Find(2);
    ASSERT_TRUE(pGate && pRate);
    EXPECT_EQ(pGate->sLabel, "Gate width");
    EXPECT_EQ(pGate->samples.size(), 300u) << "loopback loses nothing at this rate";
    for (size_t n = 1; n < pGate->samples.size(); ++n)
        ASSERT_GE(pGate->samples[n].dValue, pGate->samples[n - 1].dValue);
    EXPECT_EQ(pRate->samples.back().dValue, 150.0);
}

// Paused, the picture stands while samples are still taken; the range chosen
// decides how far back the store keeps them. PNG and CSV are saved.
TEST_F(PlotTest, PauseRangeAndSaving)
{
    TempDir dir;
    cPlotWindow window(m_pPages.get(), "Plot 1", dir.Path());
    window.AddItem(Item(0));
    window.show();
    window.SetPaused(true);
    const uint64_t nRedraws = window.Redraws();
    const int32_t nBefore = m_pPages->m_nRxCount;
    Send(42, 1.0f);
    ASSERT_TRUE(SpinUntil([&] { return m_pPages->m_nRxCount > nBefore; }));
    Spin(300ms);
    EXPECT_EQ(window.Redraws(), nRedraws);
    ASSERT_EQ(window.Store().Find(1)->samples.size(), 1u) << "taken while paused";
    window.SetPaused(false);
    EXPECT_TRUE(SpinUntil([&] { return window.Redraws() > nRedraws; }));

    window.SetRange(10.0);
    EXPECT_EQ(window.RangeSeconds(), 10.0);
    EXPECT_TRUE(window.SavePng(QString::fromStdString(dir.File("plot.png"))));
    const QImage image(QString::fromStdString(dir.File("plot.png")));
    EXPECT_EQ(image.size(), window.Canvas()->size());
    EXPECT_TRUE(window.SaveCsv(QString::fromStdString(dir.File("plot.csv"))));
    const std::string sCsv = dir.Read("plot.csv");
    EXPECT_EQ(sCsv.rfind("Time,Gate width\n", 0), 0u) << sCsv;
    EXPECT_NE(sCsv.find(",42\n"), std::string::npos) << sCsv;
    EXPECT_FALSE(window.SaveCsv(QString::fromStdString(dir.File("no/such/folder/plot.csv"))));
}

// A number's context menu in the page dialog offers "Plot", then "Add to" the
// open plot; a text item offers neither. Closing all plots takes them away.
TEST_F(PlotTest, PageDialogMenuOffersPlotForNumbersOnly)
{
    QWidget owner;
    cPlotManager plots(&owner, [this] { return m_pPages.get(); }, "logs");
    cRC_SystemDlg dlg(m_pPages.get(), m_Pages.Items(0), false, -1, 0, "logs");
    dlg.SetItemMenuHook([&plots](QMenu& menu, const PageItem& item) { plots.AddMenuActions(menu, item); });
    dlg.Refresh();
    const auto actionNamed = [](QMenu* pMenu, const QString& sText) -> QAction* {
        for (QAction* pAction : pMenu->actions())
            if (pAction->text() == sText)
                return pAction;
        return nullptr;
    };

    std::unique_ptr<QMenu> pText(dlg.ItemMenu(2));
    EXPECT_EQ(actionNamed(pText.get(), "Plot"), nullptr);
    EXPECT_FALSE(pText->actions().isEmpty()) << "the field's own entries stay";

    std::unique_ptr<QMenu> pGate(dlg.ItemMenu(0));
    QAction* pPlot = actionNamed(pGate.get(), "Plot");
    ASSERT_NE(pPlot, nullptr);
    pPlot->trigger();
    ASSERT_EQ(plots.Windows().size(), 1u);
    QPointer<cPlotWindow> pWindow = plots.Windows()[0];
    EXPECT_EQ(pWindow->windowTitle(), "Plot 1");
    EXPECT_TRUE(pWindow->HasItem(Item(0)));

    std::unique_ptr<QMenu> pRate(dlg.ItemMenu(1));
    QAction* pAdd = actionNamed(pRate.get(), "Add to Plot 1");
    ASSERT_NE(pAdd, nullptr);
    pAdd->trigger();
    EXPECT_TRUE(pWindow->HasItem(Item(1)));
    std::unique_ptr<QMenu> pGateAgain(dlg.ItemMenu(0));
    EXPECT_EQ(actionNamed(pGateAgain.get(), "Add to Plot 1"), nullptr) << "already there";

    plots.CloseAll();
    EXPECT_TRUE(pWindow.isNull());
    EXPECT_TRUE(plots.Windows().empty());
}

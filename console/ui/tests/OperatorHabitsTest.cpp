// What every window owes the operator: a name for each control and read-out,
// for screen readers and UI automation, and keyboard shortcuts for the main
// commands, shown in the menus.
#include "ConsoleSettings.h"
#include "KestrumDlg.h"
#include "TempDir.h"
#include "UdpPeer.h"
#include "UiTestSupport.h"
#include "cAccessibleNames.h"
#include "cCommsSetupDlg.h"
#include "cMessageBox.h"
#include "cPlotManager.h"
#include "cPlotWindow.h"
#include "cRC_EoDataOutputDlg.h"
#include "cRC_SystemDlg.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <algorithm>
#include <gtest/gtest.h>

using namespace ui_test;

namespace
{
const char* const kPages = R"(<PageDefinitions>
  <Page Title="Tracker">
    <Item SubSystem="5" Index="0" Item="1" Access="RW" Label="Track Mode" Type="Byte"/>
    <Item SubSystem="5" Index="0" Item="2" Access="RO" Label="Azimuth" Type="Fixed"/>
  </Page>
  <Page Title="Camera">
    <Item SubSystem="3" Index="0" Item="1" Access="RW" Label="Zoom" Type="S16"/>
  </Page>
</PageDefinitions>
)";

// Every visible widget of every window that needs a name and has none, as
// "window: class (parent class) text".
std::vector<std::string> Unnamed()
{
    std::vector<std::string> missing;
    for (QWidget* pWindow : QApplication::topLevelWidgets())
    {
        if (!pWindow->isVisible())
            continue;
        for (QWidget* pWidget : pWindow->findChildren<QWidget*>())
        {
            if (pWidget->window() != pWindow || !pWidget->isVisibleTo(pWindow) || !cAccessibleNames::NeedsName(pWidget))
                continue;
            if (cAccessibleNames::NameOf(pWidget).isEmpty())
                missing.push_back(pWindow->windowTitle().toStdString() + ": " + pWidget->metaObject()->className() + " (in " +
                                  pWidget->parentWidget()->metaObject()->className() + ")");
        }
    }
    return missing;
}

QAction* FindAction(QMenuBar* pMenuBar, const QString& sText)
{
    for (QAction* pMenu : pMenuBar->actions())
        if (pMenu->menu())
            for (QAction* pAction : pMenu->menu()->actions())
                if (pAction->text() == sText)
                    return pAction;
    return nullptr;
}

class OperatorHabitsTest : public ::testing::TestWithParam<int>
{
protected:
    void SetUp() override
    {
        ClearUserSettings();
        cMessageBox::SetSink([](const QString&) {});
        m_Dir.Write("pages.xml", kPages);
    }
    void TearDown() override
    {
        cMessageBox::SetSink({});
        ClearUserSettings();
    }

    TempDir m_Dir;
    UdpPeer m_Peer;
    UdpPeer m_EoPeer;
};
} // namespace

// The main window with the landing dialog of each kind of remote system, and
// every window the console opens: no control or read-out goes without a name.
TEST_P(OperatorHabitsTest, EveryControlAndReadoutHasAName)
{
    const std::string sSettings = ConsoleSettings()
                                      .Udp(m_Peer.Port(), FreeUdpPort())
                                      .Main("nControllerType", GetParam())
                                      .Main("bDisplayLandingDialog", true)
                                      .Main("bShowEoTrackPage", true)
                                      .Main("bShowEoTagPage", true)
                                      .Main("bShowTestPage", true)
                                      .Main("sPageDefinitionsFile", m_Dir.File("pages.xml"))
                                      .Main("sLoggingDirectory", m_Dir.File("logs"))
                                      .Eo("nTxPort", m_EoPeer.Port())
                                      .Eo("nRxPort", FreeUdpPort())
                                      .Write(m_Dir);
    KestrumDlg dlg(sSettings);
    dlg.show();
    dlg.OnInitDialog();
    ASSERT_NE(dlg.LandingDialog(), nullptr);
    ASSERT_EQ(dlg.Session().Pages().Items(0).size(), 2u);
    for (QAction* pAction : dlg.ViewMenu()->actions())
        pAction->trigger();
    dlg.OnPageCommand(0);
    dlg.OnPageCommand(1);
    dlg.Plots()->NewPlot(dlg.Session().Pages().Items(0)[1])->show();
    cCommsSetupDlg setup(&const_cast<cConsoleSession&>(dlg.Session()).Comms());
    setup.show();
    ASSERT_TRUE(SpinUntil([&] { return dlg.PageDialog(1) && dlg.PageDialog(1)->IsLaidOut(); }));

    const std::vector<std::string> missing = Unnamed();
    EXPECT_TRUE(missing.empty()) << ::testing::PrintToString(missing);

    // Names come from the captions: a page's field, a landing read-out, a grid cell.
    EXPECT_EQ(cAccessibleNames::NameOf(dlg.PageDialog(0)->Field(1)), "Azimuth");
    EXPECT_EQ(cAccessibleNames::NameOf(setup.findChildren<QLineEdit*>()[cCommsSetupDlg::kRcHost]), "Remote Control Host");
    EXPECT_EQ(cAccessibleNames::NameOf(dlg.EoOutputDialog(false)->findChildren<QLineEdit*>()[0]), "Track Data Format");
    dlg.Shutdown();
}

INSTANTIATE_TEST_SUITE_P(BothLandingDialogs, OperatorHabitsTest, ::testing::Values(0, 1));

// The main commands have their shortcuts, shown in the menus: the standard
// Quit, a key per window of the View menu, Ctrl+1 to Ctrl+9 for the pages and
// Ctrl+L for logging wherever a window logs.
TEST(OperatorShortcuts, MainCommandsHaveShortcutsInTheirMenus)
{
    TempDir dir;
    UdpPeer peer;
    dir.Write("pages.xml", kPages);
    ClearUserSettings();
    KestrumDlg dlg(ConsoleSettings()
                       .Udp(peer.Port(), FreeUdpPort())
                       .Main("sPageDefinitionsFile", dir.File("pages.xml"))
                       .Main("bShowTestPage", true)
                       .Write(dir));
    cMessageBox::SetSink([](const QString&) {});
    dlg.OnInitDialog();
    QMenuBar* pMenuBar = dlg.menuBar();
    const std::pair<const char*, QKeySequence> expected[] = {
        {"Exit", QKeySequence(QKeySequence::Quit)},
        {"Traffic Inspector", QKeySequence(QStringLiteral("Ctrl+T"))},
        {"Joystick", QKeySequence(QStringLiteral("Ctrl+J"))},
        {"Test Data Dialog", QKeySequence(QStringLiteral("Ctrl+D"))},
        {"Comms Setup", QKeySequence(QStringLiteral("Ctrl+Shift+C"))},
        {"Tracker", QKeySequence(QStringLiteral("Ctrl+1"))},
        {"Camera", QKeySequence(QStringLiteral("Ctrl+2"))},
    };
    for (const auto& [szText, keys] : expected)
    {
        QAction* pAction = FindAction(pMenuBar, QString::fromLatin1(szText));
        ASSERT_NE(pAction, nullptr) << szText;
        EXPECT_EQ(pAction->shortcut(), keys) << szText;
    }
    // Every shortcut of the main window is its own.
    std::vector<QKeySequence> all;
    for (QAction* pMenu : pMenuBar->actions())
        for (QAction* pAction : pMenu->menu()->actions())
            if (!pAction->shortcut().isEmpty())
                all.push_back(pAction->shortcut());
    std::sort(all.begin(), all.end());
    EXPECT_EQ(std::adjacent_find(all.begin(), all.end()), all.end());

    dlg.OnPageCommand(0);
    ASSERT_NE(dlg.PageDialog(0), nullptr);
    EXPECT_EQ(dlg.PageDialog(0)->LoggingAction()->shortcut(), QKeySequence(QStringLiteral("Ctrl+L")));
    dlg.Shutdown();
    cMessageBox::SetSink({});
}

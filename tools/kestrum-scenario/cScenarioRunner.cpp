#include "cScenarioRunner.h"

#include "cRC_IO_Pages.h"
#include "cTestScenarioReader.h"
#include "cStopSignalMask.h"
#include "cTestStepper.h"
#include "cUserCommsSettingsFile.h"

#include <boost/asio/io_context.hpp>
#include <boost/asio/signal_set.hpp>
#include <boost/asio/steady_timer.hpp>
#include <chrono>
#include <csignal>
#include <functional>

namespace
{
const char* const kLogFolder = "TestLogs";  // as the test dialog's
const char* const kLogName = "Test";
} // namespace

cScenarioRunner::cScenarioRunner(const cScenarioOptions& options, std::FILE* pOut, std::FILE* pErr)
    : m_Options(options), m_pOut(pOut), m_pErr(pErr), m_Session(options.m_sSettingsPath)
{
}

cScenarioRunner::~cScenarioRunner() = default;

void cScenarioRunner::Print(const std::string& sLine)
{
    // Flushed line by line: a CI job or a test reading a pipe sees each as it happens.
    std::fputs(sLine.c_str(), m_pOut);
    std::fputc('\n', m_pOut);
    std::fflush(m_pOut);
}

void cScenarioRunner::Fail(const std::string& sMessage)
{
    std::fprintf(m_pErr, "kestrum-scenario: %s\n", sMessage.c_str());
    std::fflush(m_pErr);
}

bool cScenarioRunner::LoadSettings()
{
    // As in the console: a settings file that cannot be read leaves the defaults.
    const cConsoleSession::LoadReport report = m_Session.Load();
    if (!report.bSettingsRead)
        Fail("cannot read all of the settings file " + m_Options.m_sSettingsPath + "; defaults stand for the rest");
    if (!report.bUserSettingsRead)
        Fail("cannot read the per-user comms settings " + cUserCommsSettingsFile::DefaultPath());
    m_bPagesRead = report.bPagesRead;
    m_sScenarioPath =
        m_Options.m_sScenarioPath.empty() ? m_Session.Settings().sTestScenarioFile : m_Options.m_sScenarioPath;
    if (m_sScenarioPath.empty())
        m_sScenarioPath = "config/TestScenario.xml";
    return true;
}

bool cScenarioRunner::LoadScenario()
{
    std::string sError;
    if (cTestScenarioReader().Read(m_sScenarioPath, m_Scenario, &sError) == cTestScenarioReader::Result::kCannotOpen)
    {
        Fail("Error opening test scenario file " + m_sScenarioPath + ": " + sError);
        return false;
    }
    return true;
}

int32_t cScenarioRunner::ChooseTest() const
{
    if (m_Options.m_sTest.empty())
        return m_Scenario.TestCount() > 0 ? 0 : -1;
    return m_Scenario.Find(m_Options.m_sTest);
}

bool cScenarioRunner::Connect()
{
    // As the console does: every defined item is requested periodically, and
    // the heartbeat decides the link with a VMS that asks for it.
    if (m_Session.StartPages() == cConsoleSession::Result::kStarted)
        return true;
    Fail("cannot open the link to the remote system (see the settings and the debug log)");
    return false;
}

int cScenarioRunner::Run()
{
    LoadSettings();
    if (!LoadScenario())
        return kCannotRun;
    if (m_Options.m_bList)
    {
        for (const cTestScenario::Test& test : m_Scenario.Tests())
            Print(test.sName);
        return kDone;
    }
    const int32_t nTest = ChooseTest();
    if (nTest < 0)
    {
        Fail(m_Options.m_sTest.empty() ? "no tests in " + m_sScenarioPath
                                       : "no test named " + m_Options.m_sTest + " in " + m_sScenarioPath);
        return kCannotRun;
    }
    if (m_Options.m_bLog && !m_Log.Open(kLogFolder, kLogName))
    {
        Fail(std::string("Error opening log file in ") + kLogFolder);
        return kCannotRun;
    }
    // Without them the test still runs; only the answered values are not shown.
    if (!m_bPagesRead)
        Fail("Error opening page definition file " + m_Session.Settings().sPageDefinitionsFile +
             "; answers are not shown");
    const int nExit = RunTest(nTest);
    if (m_Log.IsOpen())
        m_Log.Close();
    return nExit;
}

int cScenarioRunner::RunTest(int32_t nTest)
{
    // The signals are ours before the page protocol starts its threads, and
    // this thread's alone.
    boost::asio::io_context io;
    boost::asio::signal_set signals(io, SIGINT, SIGTERM);
    cStopSignalMask workersIgnoreStops;
    if (!Connect())
        return kCannotRun;

    cTestStepper stepper(m_Session.RC_IO_Pages(), m_Scenario);
    stepper.SetStatusSink([this](const std::string& sText) { Print(sText); });
    if (m_Log.IsOpen())
        stepper.SetLog(&m_Log);
    stepper.Select(nTest);
    stepper.Start();

    bool bSignalled = false;
    signals.async_wait([&](const boost::system::error_code& ec, int) {
        if (ec)
            return;
        bSignalled = true;
        io.stop();
    });

    // Ticks keep their rhythm; one that comes late is not followed by a burst.
    using Clock = std::chrono::steady_clock;
    const Clock::duration period = std::chrono::milliseconds(m_Options.m_nTickMs);
    boost::asio::steady_timer timer(io);
    Clock::time_point next = Clock::now();
    std::function<void()> schedule = [&] {
        next += period;
        if (next + period < Clock::now())
            next = Clock::now();
        timer.expires_at(next);
        timer.async_wait([&](const boost::system::error_code& ec) {
            if (ec)
                return;
            if (Tick(stepper))
                io.stop();
            else
                schedule();
        });
    };
    schedule();
    workersIgnoreStops.Release();
    io.run();

    if (bSignalled)
    {
        stepper.Stop();
        m_nExit = kSignalled;
    }
    stepper.SetLog(nullptr);
    // Tells the remote system to stop the periodic requests.
    m_Session.Stop();
    return m_nExit;
}

bool cScenarioRunner::Tick(cTestStepper& stepper)
{
    PrintLink();
    PrintAnswers();
    const int32_t nCycles = m_Options.m_nCycles;
    if (nCycles > 0 && stepper.PassesCompleted() >= static_cast<size_t>(nCycles) && stepper.StepDue())
    {
        m_nExit = kDone;
        return true;
    }
    // A query is watched before it goes: an answer may come back before Tick returns.
    const TestStep* pDue = stepper.DueStep();
    if (pDue && pDue->nKind == TestStep::kTxQry)
        WatchAnswer(pDue->nSubSystem, pDue->nIndex, pDue->nItem);
    if (const TestStep* pStep = stepper.Tick(); pStep && pStep != pDue && pStep->nKind == TestStep::kTxQry)
        WatchAnswer(pStep->nSubSystem, pStep->nIndex, pStep->nItem);
    if (stepper.IsFinished() && stepper.Status() == "FINISHED")
    {
        m_nExit = kDone;
        return true;
    }
    return false;
}

void cScenarioRunner::WatchAnswer(uint8_t nSubSystem, uint8_t nIndex, uint8_t nItem)
{
    // Short frames carry no index: the pages hold those items at index 0.
    const bool bIndexed = m_Session.Settings().ControllerType() != RC_Variant::ShortFrames;
    const cPageList& pages = m_Session.Pages();
    for (size_t nPage = 0; nPage < pages.PageCount(); ++nPage)
    {
        for (const PageItem& item : pages.Items(nPage))
        {
            if (item.nSubSystem != nSubSystem || item.nItem != nItem || (bIndexed && item.nIndex != nIndex) ||
                item.nAccess == PageItem::kWriteOnly)
                continue;
            // Whatever arrives from now on answers the query.
            item.pValue->ClearValid();
            m_Pending.push_back(&item);
            return;
        }
    }
}

void cScenarioRunner::PrintAnswers()
{
    for (auto it = m_Pending.begin(); it != m_Pending.end();)
    {
        const PageItem& item = **it;
        if (!item.pValue->IsValid())
        {
            ++it;
            continue;
        }
        item.pValue->ClearValid();
        Print("  " + item.sLabel + " = " + item.pValue->ShownText());
        it = m_Pending.erase(it);
    }
}

void cScenarioRunner::PrintLink()
{
    const bool bActive = m_Session.RC_IO_Pages()->m_bLinkActive.load();
    if (bActive == m_bLinkActive)
        return;
    m_bLinkActive = bActive;
    Print(std::string("LINK : ") + (bActive ? "Active" : "Inactive"));
}

#pragma once
#include "cConsoleSession.h"
#include "cCsvLogFile.h"
#include "cScenarioOptions.h"
#include "cTestScenario.h"

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

class cTestStepper;
struct PageItem;

// kestrum-scenario after its options are read: loads the settings and the
// scenario, connects through a console session as the console does, ticks the
// stepper on this thread and prints what the test dialog would show. SIGINT
// and SIGTERM end the run through the same event loop, so nothing but the
// signal's delivery happens in a handler; the page protocol's own threads end
// with it, after it has stopped the periodic requests.
class cScenarioRunner
{
public:
    enum Exit : int
    {
        kDone = 0,
        kCannotRun = 1,
        kUsage = 2,
        kSignalled = 130,
    };

    cScenarioRunner(const cScenarioOptions& options, std::FILE* pOut, std::FILE* pErr);
    ~cScenarioRunner();

    int Run();

private:
    bool LoadSettings();
    bool LoadScenario();
    int32_t ChooseTest() const;
    bool Connect();
    int RunTest(int32_t nTest);
    // One tick: true when the run is over (m_nExit says how).
    bool Tick(cTestStepper& stepper);
    void WatchAnswer(uint8_t nSubSystem, uint8_t nIndex, uint8_t nItem);
    void PrintAnswers();
    void PrintLink();
    void Print(const std::string& sLine);
    void Fail(const std::string& sMessage);

    const cScenarioOptions& m_Options;
    std::FILE* const m_pOut;
    std::FILE* const m_pErr;
    std::string m_sScenarioPath;
    cConsoleSession m_Session;
    bool m_bPagesRead = false;
    cTestScenario m_Scenario;
    cCsvLogFile m_Log;
    std::vector<const PageItem*> m_Pending;  // queried items whose answer has not come yet
    bool m_bLinkActive = false;
    int m_nExit = kDone;
};

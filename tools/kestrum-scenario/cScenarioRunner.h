#pragma once
#include "cCsvLogFile.h"
#include "cKestrumSettings.h"
#include "cPageList.h"
#include "cScenarioOptions.h"
#include "cTestScenario.h"

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

class cRC_IO_Pages;
class cTestStepper;
struct PageItem;

// kestrum-scenario after its options are read: loads the settings and the
// scenario, connects through the page protocol as the console does, ticks the
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
    void LoadPageDefinitions();
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
    cKestrumSettings m_Settings;
    cTestScenario m_Scenario;
    cCsvLogFile m_Log;
    // Before the page protocol: the holders must outlive its receive thread.
    cPageList m_Pages;
    std::unique_ptr<cRC_IO_Pages> m_pRC_IO_Pages;
    std::vector<const PageItem*> m_Pending;  // queried items whose answer has not come yet
    bool m_bLinkActive = false;
    int m_nExit = kDone;
};

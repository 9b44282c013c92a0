#pragma once
#include "TestStep.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class cCsvLogFile;
class cRC_IO_Pages;
class cTestScenario;

// Runs one test of a scenario, one call of Tick per timer period (100 ms in
// the dialog): a step every 25 ticks, WAIT steps timed by the clock, FINISH
// holding the test at "FINISHED" until Stop. The tick counter is never reset,
// not by Stop or Pause either, so after a restart the first step waits for
// the counter's next multiple of 25. A test without FINISH repeats for ever.
// Not thread-safe: the owner ticks and presses the buttons on one thread.
class cTestStepper
{
public:
    static constexpr uint64_t kTicksPerStep = 25;

    enum class State
    {
        Stopped,
        Running,  // also while waiting or finished
        Paused,
    };

    // Seconds since the epoch; tests pass their own.
    using Clock = std::function<int64_t()>;
    // Each status text as it is shown; a text shown again on the next tick is
    // not repeated, a step's text always is.
    using StatusSink = std::function<void(const std::string&)>;

    // pPages may be null (nothing is sent); the scenario must outlive the stepper.
    cTestStepper(cRC_IO_Pages* pPages, const cTestScenario& scenario, Clock fnClock = SystemClock);

    void SetStatusSink(StatusSink fnSink) { m_fnStatus = std::move(fnSink); }
    // Where the sent commands and queries are logged; null while not logging.
    void SetLog(cCsvLogFile* pLog) { m_pLog = pLog; }

    // -1 selects nothing.
    void Select(int32_t nTest) { m_nSelected = nTest; }
    int32_t Selected() const { return m_nSelected; }

    void Start();
    void Pause();  // "PAUSED": position, wait and finished state kept
    void Stop();   // "STOPPED": back to the first step
    // One timer tick; the step it ran, or null.
    const TestStep* Tick();

    State GetState() const { return m_eState; }
    bool IsFinished() const { return m_bFinished; }
    bool IsWaiting() const { return m_bWaiting; }
    int64_t WaitEnd() const { return m_nWaitEnd; }
    size_t StepIndex() const { return m_nStep; }
    uint64_t TickCount() const { return m_nTicks; }
    // Times the test has wrapped from its last step to its first.
    size_t PassesCompleted() const { return m_nPasses; }
    // Whether the next Tick, if it came now, would run a step.
    bool StepDue() const;
    // The step the next Tick would run if it came now, or null.
    const TestStep* DueStep() const;
    const std::string& Status() const { return m_sStatus; }

    static int64_t SystemClock();

private:
    const std::vector<TestStep>* SelectedSteps() const;
    void Run(const TestStep& step);
    void Send(const TestStep& step);
    void Show(const std::string& sText, bool bAlways = false);

    cRC_IO_Pages* const m_pPages;
    const cTestScenario& m_Scenario;
    const Clock m_fnClock;
    StatusSink m_fnStatus;
    cCsvLogFile* m_pLog = nullptr;

    State m_eState = State::Stopped;
    int32_t m_nSelected = -1;
    size_t m_nStep = 0;
    bool m_bFinished = false;
    bool m_bWaiting = false;
    int64_t m_nWaitEnd = 0;
    uint64_t m_nTicks = 0;
    size_t m_nPasses = 0;
    std::string m_sStatus;
};

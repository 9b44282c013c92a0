#include "cTestStepper.h"

#include "cCsvLogFile.h"
#include "cRC_IO_Pages.h"
#include "cTestScenario.h"

#include <algorithm>
#include <cmath>
#include <ctime>

namespace
{
std::string Address(const TestStep& step)
{
    return step.sLabel + " " + std::to_string(step.nSubSystem) + " " + std::to_string(step.nIndex) + " " +
           std::to_string(step.nItem);
}
} // namespace

cTestStepper::cTestStepper(cRC_IO_Pages* pPages, const cTestScenario& scenario, Clock fnClock)
    : m_pPages(pPages), m_Scenario(scenario), m_fnClock(std::move(fnClock))
{
}

int64_t cTestStepper::SystemClock()
{
    return static_cast<int64_t>(std::time(nullptr));
}

void cTestStepper::Start()
{
    m_eState = State::Running;
}

void cTestStepper::Pause()
{
    m_eState = State::Paused;
    Show("PAUSED");
}

void cTestStepper::Stop()
{
    m_eState = State::Stopped;
    m_nStep = 0;
    m_bFinished = false;
    m_bWaiting = false;
    m_nWaitEnd = 0;
    Show("STOPPED");
}

const std::vector<TestStep>* cTestStepper::SelectedSteps() const
{
    if (m_nSelected < 0 || static_cast<size_t>(m_nSelected) >= m_Scenario.TestCount())
        return nullptr;
    const std::vector<TestStep>& steps = m_Scenario.GetTest(static_cast<size_t>(m_nSelected)).steps;
    return steps.empty() ? nullptr : &steps;
}

bool cTestStepper::StepDue() const
{
    return m_eState == State::Running && SelectedSteps() && !m_bFinished &&
           (!m_bWaiting || m_fnClock() >= m_nWaitEnd) && m_nTicks % kTicksPerStep == 0;
}

const TestStep* cTestStepper::DueStep() const
{
    if (!StepDue())
        return nullptr;
    const std::vector<TestStep>& steps = *SelectedSteps();
    return &steps[m_nStep < steps.size() ? m_nStep : 0];
}

const TestStep* cTestStepper::Tick()
{
    const std::vector<TestStep>* pSteps = SelectedSteps();
    if (m_eState != State::Running || !pSteps)
        return nullptr;
    if (m_bFinished)
    {
        Show("FINISHED");
        return nullptr;
    }
    if (m_bWaiting)
    {
        const int64_t nNow = m_fnClock();
        // A wait that ran out while paused shows 0, not a negative count.
        Show("WAIT : " + std::to_string(std::max<int64_t>(m_nWaitEnd - nNow, 0)));
        if (nNow < m_nWaitEnd)
            return nullptr;
        m_bWaiting = false;
        m_nWaitEnd = 0;
    }
    if (m_nTicks++ % kTicksPerStep != 0)
        return nullptr;

    // A test chosen while another was part-way through starts from its first step.
    if (m_nStep >= pSteps->size())
        m_nStep = 0;
    const TestStep& step = (*pSteps)[m_nStep];
    Run(step);
    if (++m_nStep >= pSteps->size())
    {
        m_nStep = 0;
        ++m_nPasses;
    }
    return &step;
}

void cTestStepper::Run(const TestStep& step)
{
    switch (step.nKind)
    {
    case TestStep::kFinish:
        m_bFinished = true;
        break;
    case TestStep::kTxMsg:
        Send(step);
        if (m_pLog)
            m_pLog->Write(cCsvLogFile::TimeOfDay() + " TX CMD: " + Address(step) + "\n");
        Show("COMMAND : " + step.sLabel, true);
        break;
    case TestStep::kTxQry:
        if (m_pPages)
            m_pPages->SendQuery(step.nSubSystem, step.nIndex, step.nItem);
        if (m_pLog)
            m_pLog->Write("QUERY: " + Address(step) + "\n");
        Show("QUERY : " + step.sLabel, true);
        break;
    case TestStep::kWait:
        m_bWaiting = true;
        m_nWaitEnd = m_fnClock() + step.Seconds();
        break;
    case TestStep::kNone:
        break;
    }
}

void cTestStepper::Send(const TestStep& step)
{
    if (!m_pPages || !step.pValue)
        return;
    // The results are not looked at: a failed send does not stop the test.
    const uint8_t nSub = step.nSubSystem;
    const uint8_t nIdx = step.nIndex;
    const uint8_t nItem = step.nItem;
    const RC_ItemValue& value = *step.pValue;
    switch (step.eType)
    {
    case RC_DataType::Byte:
        m_pPages->SendByte(nSub, nIdx, nItem, static_cast<const RC_ByteValue&>(value).Get());
        break;
    case RC_DataType::U16:
        m_pPages->SendU16(nSub, nIdx, nItem, static_cast<const RC_U16Value&>(value).Get());
        break;
    case RC_DataType::S16:
        m_pPages->SendS16(nSub, nIdx, nItem, static_cast<const RC_S16Value&>(value).Get());
        break;
    case RC_DataType::U32:
        m_pPages->SendU32(nSub, nIdx, nItem, static_cast<const RC_U32Value&>(value).Get());
        break;
    case RC_DataType::S32:
        m_pPages->SendS32(nSub, nIdx, nItem, static_cast<const RC_S32Value&>(value).Get());
        break;
    case RC_DataType::Fixed:
        // The real value x 4096 truncated, not the rounded raw value; the
        // reader made sure it fits.
        m_pPages->SendS32(nSub, nIdx, nItem, static_cast<int32_t>(std::trunc(step.dReal * 4096.0)));
        break;
    case RC_DataType::Float:
        m_pPages->SendFloat(nSub, nIdx, nItem, static_cast<const RC_FloatValue&>(value).Get());
        break;
    default:
        break;
    }
}

void cTestStepper::Show(const std::string& sText, bool bAlways)
{
    if (!bAlways && sText == m_sStatus)
        return;
    m_sStatus = sText;
    if (m_fnStatus)
        m_fnStatus(m_sStatus);
}

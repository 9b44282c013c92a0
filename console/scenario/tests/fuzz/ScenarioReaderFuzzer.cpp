// The test scenario file: whatever it holds, reading never crashes, a file
// that cannot be read yields no tests, and every step accepted is one the
// stepper can run (a message step carries a value of its declared type).
#include "FuzzInputFile.h"
#include "cTestScenario.h"
#include "cTestScenarioReader.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize)
{
    const char* szPath = FuzzInputFile::Write(pData, nSize);
    if (!szPath)
        return 0;
    cTestScenario scenario;
    std::string sError;
    if (cTestScenarioReader().Read(szPath, scenario, &sError) == cTestScenarioReader::Result::kCannotOpen &&
        scenario.TestCount() != 0)
        std::abort();
    for (const cTestScenario::Test& test : scenario.Tests())
    {
        for (const TestStep& step : test.steps)
        {
            if (step.nKind < TestStep::kNone || step.nKind > TestStep::kWait)
                std::abort();
            if (step.nKind == TestStep::kTxMsg && (!step.pValue || step.pValue->Type() != step.eType))
                std::abort();
        }
    }
    return 0;
}

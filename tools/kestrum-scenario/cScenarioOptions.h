#pragma once
#include "cToolOptions.h"

#include <cstdint>
#include <string>

// What kestrum-scenario was asked to do: which settings and scenario files,
// which test, how fast to tick, how many passes.
class cScenarioOptions : public cToolOptions
{
public:
    static constexpr int32_t kDefaultTickMs = 100;  // the test dialog's timer period

    eParse Parse(int argc, char* argv[]);
    static const char* Usage();

    std::string m_sSettingsPath = "config/Kestrum.xml";
    std::string m_sScenarioPath;  // empty: the settings' sTestScenarioFile
    std::string m_sTest;          // empty: the first test
    bool m_bList = false;
    bool m_bLog = false;
    bool m_bVersion = false;
    int32_t m_nTickMs = kDefaultTickMs;
    int32_t m_nCycles = 0;  // 0: no limit
};

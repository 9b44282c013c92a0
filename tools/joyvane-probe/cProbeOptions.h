#pragma once
#include "cToolOptions.h"

#include <cstdint>
#include <string>

// What the operator asked joyvane-probe for.
class cProbeOptions : public cToolOptions
{
public:
    eParse Parse(int argc, char* argv[]);
    static const char* Usage();

    int32_t m_nDevice = 0;
    std::string m_sSettings = "config/Kestrum.xml";
    std::string m_sPlugin = "libJoyvane.so";
    long m_nCount = 0;  // 0: until interrupted
    bool m_bChangesOnly = false;
};

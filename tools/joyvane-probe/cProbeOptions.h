#pragma once
#include <cstdint>
#include <string>

// What the operator asked joyvane-probe for.
class cProbeOptions
{
public:
    enum class eParse
    {
        Run,
        Help,
        Error,
    };

    eParse Parse(int argc, char* argv[]);
    const std::string& Error() const { return m_sError; }
    static const char* Usage();

    int32_t m_nDevice = 0;
    std::string m_sSettings = "config/Kestrum.xml";
    std::string m_sPlugin = "libJoyvane.so";
    long m_nCount = 0;  // 0: until interrupted
    bool m_bChangesOnly = false;

private:
    std::string m_sError;
};

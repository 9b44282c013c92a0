#pragma once
#include "cToolOptions.h"

#include <string>
#include <vector>

// What kestrum-dissector was asked to do: write the Wireshark dissector for
// a settings file and its page definitions, or turn traffic logs into a
// capture file (--pcap) with the same settings' ports.
class cDissectorOptions : public cToolOptions
{
public:
    eParse Parse(int argc, char* argv[]);
    static std::string Usage(const std::string& sSettingsFile);

    std::string m_sSettingsFile;  // empty: the file the console would choose
    std::string m_sPagesFile;     // empty: sPageDefinitionsFile of the settings
    std::string m_sOutput;        // empty: standard output (the dissector only)
    std::vector<std::string> m_PcapLogs;
    bool Converting() const { return !m_PcapLogs.empty(); }
};

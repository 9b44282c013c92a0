// The console's settings file: whatever it holds, reading it never crashes,
// and reading the same file twice gives the same settings.
#include "FuzzInputFile.h"
#include "cKestrumSettings.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize)
{
    const char* szPath = FuzzInputFile::Write(pData, nSize);
    if (!szPath)
        return 0;
    cKestrumSettings first;
    cKestrumSettings second;
    if (first.Read(szPath) != second.Read(szPath))
        std::abort();
    const CommsSettings& a = first.m_CommsSettings;
    const CommsSettings& b = second.m_CommsSettings;
    if (a.nCommsMethod != b.nCommsMethod || a.nTxPort != b.nTxPort || a.sIpAddress != b.sIpAddress ||
        a.sAllowedPeers != b.sAllowedPeers || first.sPageDefinitionsFile != second.sPageDefinitionsFile ||
        first.nControllerType != second.nControllerType)
        std::abort();
    return 0;
}

#include "cToolOptions.h"

#include "KestrumVersion.h"

#include <cerrno>
#include <cstdlib>
#include <getopt.h>

bool cToolOptions::ParseInteger(const char* szText, long nMinimum, long nMaximum, int nBase, long& nValue)
{
    char* pEnd = nullptr;
    errno = 0;
    const long nParsed = std::strtol(szText, &pEnd, nBase);
    if (errno != 0 || pEnd == szText || *pEnd != '\0' || nParsed < nMinimum || nParsed > nMaximum)
        return false;
    nValue = nParsed;
    return true;
}

cToolOptions::eParse cToolOptions::Fail(std::string sError)
{
    m_sError = std::move(sError);
    return eParse::Error;
}

cToolOptions::eParse cToolOptions::FailOption(int nOption, char* argv[])
{
    const std::string sOption = argv[optind - 1];
    return Fail(nOption == ':' ? sOption + " wants a value" : "unknown option " + sOption);
}

std::string cToolOptions::VersionText(const char* szProgram)
{
    return std::string(szProgram) + " (Kestrum) " KESTRUM_VERSION "\n";
}

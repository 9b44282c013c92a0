#pragma once
// What the measuring tools, the soak and the memory checks of the tests read
// of a process from /proc (Linux).
#include <dirent.h>
#include <fstream>
#include <sstream>
#include <string>

namespace ProcessFigures
{
// Clock ticks of user and system time in a /proc stat line (a process's, or
// a thread's /proc/self/task/<tid>/stat).
inline long long CpuTicks(const std::string& sStatPath = "/proc/self/stat")
{
    std::ifstream in(sStatPath);
    std::string sLine;
    std::getline(in, sLine);
    // The name in brackets may hold spaces; the fields count from after it.
    const size_t nClose = sLine.rfind(')');
    if (nClose == std::string::npos || nClose + 2 > sLine.size())
        return 0;
    std::istringstream fields(sLine.substr(nClose + 2));
    std::string sField;
    long long nTicks = 0;
    for (int n = 3; n <= 15 && fields >> sField; ++n)
    {
        if (n >= 14)
            nTicks += std::stoll(sField);
    }
    return nTicks;
}

inline long ResidentKb()
{
    std::ifstream in("/proc/self/status");
    std::string sLine;
    while (std::getline(in, sLine))
    {
        if (sLine.rfind("VmRSS:", 0) == 0)
            return std::stol(sLine.substr(6));
    }
    return 0;
}

inline int OpenDescriptors()
{
    int nCount = 0;
    if (DIR* pDir = opendir("/proc/self/fd"))
    {
        while (const dirent* pEntry = readdir(pDir))
            nCount += pEntry->d_name[0] != '.' ? 1 : 0;
        closedir(pDir);
        --nCount;  // the one opendir itself holds
    }
    return nCount;
}
} // namespace ProcessFigures

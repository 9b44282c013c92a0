#include "HexLine.h"

#include <cstdio>

void AppendCountAndBytes(std::string& sLine, const uint8_t* pData, int32_t nCount)
{
    static const char kHex[] = "0123456789abcdef";
    char szCount[16];
    std::snprintf(szCount, sizeof(szCount), "%03d", nCount);
    sLine += ',';
    sLine += szCount;
    const size_t nStart = sLine.size();
    sLine.resize(nStart + static_cast<size_t>(nCount > 0 ? nCount : 0) * 5);
    char* p = sLine.data() + nStart;
    for (int32_t i = 0; i < nCount; ++i)
    {
        *p++ = ',';
        *p++ = '0';
        *p++ = 'x';
        *p++ = kHex[pData[i] >> 4];
        *p++ = kHex[pData[i] & 0x0F];
    }
}

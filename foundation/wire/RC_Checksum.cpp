#include "RC_Checksum.h"

uint8_t RC_Checksum(const uint8_t* pData, size_t nCount)
{
    uint8_t nSum = 0;
    for (size_t i = 0; i < nCount; ++i)
        nSum = static_cast<uint8_t>(nSum + pData[i]);
    return nSum;
}

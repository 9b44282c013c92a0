#include "RC_Codec.h"

#include <cmath>
#include <limits>

bool RC_Codec::ReadU128(const uint8_t* pData, size_t nPos, size_t nEnd, uint64_t& nUpper, uint64_t& nLower)
{
    if (!Fits(nPos, nEnd, 16))
        return false;
    Read(pData, nPos, nEnd, nUpper);
    Read(pData, nPos + 8, nEnd, nLower);
    return true;
}

bool RC_Codec::ReadString(const uint8_t* pData, size_t nPos, size_t nEnd, std::string& sValue, size_t& nConsumed)
{
    uint8_t nLength = 0;
    if (!Read(pData, nPos, nEnd, nLength) || !Fits(nPos + 1, nEnd, nLength))
        return false;
    sValue.assign(reinterpret_cast<const char*>(pData + nPos + 1), nLength);
    nConsumed = static_cast<size_t>(nLength) + 1;
    return true;
}

int32_t RC_Codec::FixedToInt(int32_t nRaw)
{
    // |raw / 4096| is below 2^20, so the conversion back is always in range.
    return static_cast<int32_t>(FixedToFloat(nRaw));
}

int32_t RC_Codec::FloatToFixed(double dValue)
{
    const double dScaled = std::trunc(dValue * 4096.0);
    if (std::isnan(dScaled))
        return 0;
    if (dScaled >= static_cast<double>(std::numeric_limits<int32_t>::max()))
        return std::numeric_limits<int32_t>::max();
    if (dScaled <= static_cast<double>(std::numeric_limits<int32_t>::min()))
        return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(dScaled);
}

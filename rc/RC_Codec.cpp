#include "RC_Codec.h"

#include <bit>
#include <cmath>
#include <limits>

namespace
{
uint64_t ReadBigEndian(const uint8_t* p, size_t nSize)
{
    uint64_t nValue = 0;
    for (size_t i = 0; i < nSize; ++i)
        nValue = (nValue << 8) | p[i];
    return nValue;
}

void PutBigEndian(uint8_t* pOut, uint64_t nValue, size_t nSize)
{
    for (size_t i = 0; i < nSize; ++i)
        pOut[i] = static_cast<uint8_t>(nValue >> (8 * (nSize - 1 - i)));
}
} // namespace

bool RC_Codec::ReadU8(const uint8_t* pData, size_t nPos, size_t nEnd, uint8_t& nValue)
{
    if (!Fits(nPos, nEnd, 1))
        return false;
    nValue = pData[nPos];
    return true;
}

bool RC_Codec::ReadU16(const uint8_t* pData, size_t nPos, size_t nEnd, uint16_t& nValue)
{
    if (!Fits(nPos, nEnd, 2))
        return false;
    nValue = static_cast<uint16_t>(ReadBigEndian(pData + nPos, 2));
    return true;
}

bool RC_Codec::ReadU32(const uint8_t* pData, size_t nPos, size_t nEnd, uint32_t& nValue)
{
    if (!Fits(nPos, nEnd, 4))
        return false;
    nValue = static_cast<uint32_t>(ReadBigEndian(pData + nPos, 4));
    return true;
}

bool RC_Codec::ReadU64(const uint8_t* pData, size_t nPos, size_t nEnd, uint64_t& nValue)
{
    if (!Fits(nPos, nEnd, 8))
        return false;
    nValue = ReadBigEndian(pData + nPos, 8);
    return true;
}

bool RC_Codec::ReadU128(const uint8_t* pData, size_t nPos, size_t nEnd, uint64_t& nUpper, uint64_t& nLower)
{
    if (!Fits(nPos, nEnd, 16))
        return false;
    nUpper = ReadBigEndian(pData + nPos, 8);
    nLower = ReadBigEndian(pData + nPos + 8, 8);
    return true;
}

bool RC_Codec::ReadFixed(const uint8_t* pData, size_t nPos, size_t nEnd, int32_t& nRaw)
{
    uint32_t nBits = 0;
    if (!ReadU32(pData, nPos, nEnd, nBits))
        return false;
    nRaw = static_cast<int32_t>(nBits);
    return true;
}

bool RC_Codec::ReadFloat(const uint8_t* pData, size_t nPos, size_t nEnd, float& fValue)
{
    if (!Fits(nPos, nEnd, 4))
        return false;
    const uint8_t* p = pData + nPos;
    const uint32_t nBits = static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
                           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
    fValue = std::bit_cast<float>(nBits);
    return true;
}

bool RC_Codec::ReadDouble(const uint8_t* pData, size_t nPos, size_t nEnd, double& dValue)
{
    uint64_t nBits = 0;
    if (!ReadU64(pData, nPos, nEnd, nBits))
        return false;
    dValue = std::bit_cast<double>(nBits);
    return true;
}

bool RC_Codec::ReadString(const uint8_t* pData, size_t nPos, size_t nEnd, std::string& sValue, size_t& nConsumed)
{
    uint8_t nLength = 0;
    if (!ReadU8(pData, nPos, nEnd, nLength) || !Fits(nPos + 1, nEnd, nLength))
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

void RC_Codec::PutU16(uint8_t* pOut, uint16_t nValue)
{
    PutBigEndian(pOut, nValue, 2);
}

void RC_Codec::PutU32(uint8_t* pOut, uint32_t nValue)
{
    PutBigEndian(pOut, nValue, 4);
}

void RC_Codec::PutU64(uint8_t* pOut, uint64_t nValue)
{
    PutBigEndian(pOut, nValue, 8);
}

void RC_Codec::PutFloat(uint8_t* pOut, float fValue)
{
    const uint32_t nBits = std::bit_cast<uint32_t>(fValue);
    for (size_t i = 0; i < 4; ++i)
        pOut[i] = static_cast<uint8_t>(nBits >> (8 * i));
}

void RC_Codec::PutDouble(uint8_t* pOut, double dValue)
{
    PutBigEndian(pOut, std::bit_cast<uint64_t>(dValue), 8);
}

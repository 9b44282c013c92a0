#pragma once
#include <boost/endian/conversion.hpp>
#include <cstddef>
#include <cstdint>
#include <string>
#include <type_traits>

// Wire encodings of item values. Every reader takes the end of the bytes it may
// look at and refuses (false, output untouched, nothing consumed) a value that
// would reach past it. Big-endian throughout, except Float (little-endian).
class RC_Codec
{
public:
    static constexpr float kFixedScale = 0.000244140625f;  // 1 / 4096

    static bool Fits(size_t nPos, size_t nEnd, size_t nSize) { return nPos <= nEnd && nEnd - nPos >= nSize; }

    // Any number type of 1, 2, 4 or 8 bytes in its wire encoding; the named
    // readers and writers below say the wire size where the type alone does not.
    template <typename T>
    static void Put(uint8_t* pOut, T value)
    {
        boost::endian::endian_store<T, sizeof(T), kWireOrder<T>>(pOut, value);
    }
    template <typename T>
    static bool Read(const uint8_t* pData, size_t nPos, size_t nEnd, T& value)
    {
        if (!Fits(nPos, nEnd, sizeof(T)))
            return false;
        value = boost::endian::endian_load<T, sizeof(T), kWireOrder<T>>(pData + nPos);
        return true;
    }

    static bool ReadU32(const uint8_t* pData, size_t nPos, size_t nEnd, uint32_t& nValue)
    {
        return Read(pData, nPos, nEnd, nValue);
    }
    static bool ReadU64(const uint8_t* pData, size_t nPos, size_t nEnd, uint64_t& nValue)
    {
        return Read(pData, nPos, nEnd, nValue);
    }
    static bool ReadU128(const uint8_t* pData, size_t nPos, size_t nEnd, uint64_t& nUpper, uint64_t& nLower);
    static bool ReadFixed(const uint8_t* pData, size_t nPos, size_t nEnd, int32_t& nRaw)
    {
        return Read(pData, nPos, nEnd, nRaw);
    }
    // A length byte n then n characters; nConsumed is n + 1.
    static bool ReadString(const uint8_t* pData, size_t nPos, size_t nEnd, std::string& sValue, size_t& nConsumed);

    static float FixedToFloat(int32_t nRaw) { return static_cast<float>(nRaw) * kFixedScale; }
    // The whole part of a Fixed value, truncated toward zero (computed in single precision).
    static int32_t FixedToInt(int32_t nRaw);
    // f x 4096 truncated toward zero, saturated to the 32-bit range (NaN gives 0).
    static int32_t FloatToFixed(double dValue);

    static void PutU16(uint8_t* pOut, uint16_t nValue) { Put(pOut, nValue); }
    static void PutU32(uint8_t* pOut, uint32_t nValue) { Put(pOut, nValue); }
    static void PutU64(uint8_t* pOut, uint64_t nValue) { Put(pOut, nValue); }

private:
    template <typename T>
    static constexpr boost::endian::order kWireOrder =
        std::is_same_v<T, float> ? boost::endian::order::little : boost::endian::order::big;
};

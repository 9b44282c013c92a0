#include "RC_ItemValue.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>

namespace
{
template <typename T>
std::string Format(const char* szFormat, T value)
{
    char szText[64];
    std::snprintf(szText, sizeof(szText), szFormat, value);
    return szText;
}
} // namespace

std::unique_ptr<RC_ItemValue> RC_ItemValue::Create(RC_DataType eType)
{
    switch (eType)
    {
    case RC_DataType::Byte: return std::make_unique<RC_ByteValue>();
    case RC_DataType::U16: return std::make_unique<RC_U16Value>();
    case RC_DataType::S16: return std::make_unique<RC_S16Value>();
    case RC_DataType::U32: return std::make_unique<RC_U32Value>();
    case RC_DataType::S32: return std::make_unique<RC_S32Value>();
    case RC_DataType::U64: return std::make_unique<RC_U64Value>();
    case RC_DataType::S64: return std::make_unique<RC_S64Value>();
    case RC_DataType::U128: return std::make_unique<RC_U128Value>();
    case RC_DataType::Fixed: return std::make_unique<RC_FixedValue>();
    case RC_DataType::String: return std::make_unique<RC_StringValue>();
    case RC_DataType::Float: return std::make_unique<RC_FloatValue>();
    case RC_DataType::Double: return std::make_unique<RC_DoubleValue>();
    }
    return nullptr;
}

template <typename T, RC_DataType E>
bool RC_NumericValue<T, E>::Decode(const uint8_t* pData, size_t nPos, size_t nEnd, size_t& nConsumed)
{
    T value{};
    if (!RC_Codec::Read(pData, nPos, nEnd, value))
        return false;
    Set(value);
    nConsumed = sizeof(T);
    return true;
}

template <typename T, RC_DataType E>
size_t RC_NumericValue<T, E>::Encode(uint8_t* pOut, size_t nCapacity) const
{
    if (nCapacity < sizeof(T))
        return 0;
    RC_Codec::Put(pOut, Get());
    return sizeof(T);
}

template <typename T, RC_DataType E>
std::string RC_NumericValue<T, E>::ToText() const
{
    const T value = Get();
    if constexpr (E == RC_DataType::Float || E == RC_DataType::Double)
        return Format("%lf", static_cast<double>(value));
    else if constexpr (E == RC_DataType::U32)
        return Format("%u", static_cast<unsigned>(value));
    else if constexpr (E == RC_DataType::U64)
        return Format("%" PRIu64, static_cast<uint64_t>(value));
    else if constexpr (E == RC_DataType::S64)
        return Format("%" PRId64, static_cast<int64_t>(value));
    else
        return Format("%d", static_cast<int>(value));
}

template class RC_NumericValue<uint8_t, RC_DataType::Byte>;
template class RC_NumericValue<uint16_t, RC_DataType::U16>;
template class RC_NumericValue<int16_t, RC_DataType::S16>;
template class RC_NumericValue<uint32_t, RC_DataType::U32>;
template class RC_NumericValue<int32_t, RC_DataType::S32>;
template class RC_NumericValue<int32_t, RC_DataType::Fixed>;
template class RC_NumericValue<uint64_t, RC_DataType::U64>;
template class RC_NumericValue<int64_t, RC_DataType::S64>;
template class RC_NumericValue<float, RC_DataType::Float>;
template class RC_NumericValue<double, RC_DataType::Double>;

std::string RC_FixedValue::ToText() const
{
    return Format("%lf", static_cast<double>(Value()));
}

void RC_U128Value::Get(uint64_t& nUpper, uint64_t& nLower) const
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    nUpper = m_nUpper;
    nLower = m_nLower;
}

void RC_U128Value::Set(uint64_t nUpper, uint64_t nLower)
{
    {
        std::lock_guard<std::mutex> lock(m_Mutex);
        m_nUpper = nUpper;
        m_nLower = nLower;
    }
    MarkValid();
}

bool RC_U128Value::Decode(const uint8_t* pData, size_t nPos, size_t nEnd, size_t& nConsumed)
{
    uint64_t nUpper = 0;
    uint64_t nLower = 0;
    if (!RC_Codec::ReadU128(pData, nPos, nEnd, nUpper, nLower))
        return false;
    Set(nUpper, nLower);
    nConsumed = 16;
    return true;
}

size_t RC_U128Value::Encode(uint8_t* pOut, size_t nCapacity) const
{
    if (nCapacity < 16)
        return 0;
    uint64_t nUpper = 0;
    uint64_t nLower = 0;
    Get(nUpper, nLower);
    RC_Codec::PutU64(pOut, nUpper);
    RC_Codec::PutU64(pOut + 8, nLower);
    return 16;
}

std::string RC_StringValue::Get() const
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    return m_sValue;
}

void RC_StringValue::Set(const std::string& sValue)
{
    {
        std::lock_guard<std::mutex> lock(m_Mutex);
        m_sValue = sValue;
    }
    MarkValid();
}

bool RC_StringValue::Decode(const uint8_t* pData, size_t nPos, size_t nEnd, size_t& nConsumed)
{
    std::string sValue;
    size_t nUsed = 0;
    if (!RC_Codec::ReadString(pData, nPos, nEnd, sValue, nUsed))
        return false;
    Set(sValue);
    nConsumed = nUsed;
    return true;
}

size_t RC_StringValue::Encode(uint8_t* pOut, size_t nCapacity) const
{
    const std::string sValue = Get();
    const size_t nLength = sValue.size() > 255 ? 255 : sValue.size();
    if (nCapacity < nLength + 1)
        return 0;
    pOut[0] = static_cast<uint8_t>(nLength);
    std::memcpy(pOut + 1, sValue.data(), nLength);
    return nLength + 1;
}

size_t RC_StringValue::EncodeCommand(uint8_t* pOut, size_t nCapacity) const
{
    const std::string sValue = Get();
    const size_t nLength = std::min<size_t>(sValue.size(), 254);
    if (nCapacity < nLength + 2)
        return 0;
    pOut[0] = static_cast<uint8_t>(nLength + 1);
    std::memcpy(pOut + 1, sValue.data(), nLength);
    pOut[nLength + 1] = 0;
    return nLength + 2;
}

std::string RC_ItemValue::ShownText() const
{
    std::string sText = ToText();
    const size_t nNul = sText.find('\0');
    if (nNul != std::string::npos)
        sText.resize(nNul);
    return sText;
}

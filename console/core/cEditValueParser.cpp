#include "cEditValueParser.h"

#include <cerrno>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace
{
bool ParseWholeInteger(const std::string& sText, long long& nValue)
{
    if (sText.empty())
        return false;
    errno = 0;
    char* pEnd = nullptr;
    const long long nParsed = std::strtoll(sText.c_str(), &pEnd, 10);
    if (errno == ERANGE || pEnd == sText.c_str() || *pEnd != '\0')
        return false;
    // strtoll skips leading blanks; a text of blanks alone has no digits.
    nValue = nParsed;
    return true;
}

bool InRange(long long nValue, long long nMin, long long nMax)
{
    return nValue >= nMin && nValue <= nMax;
}

// A whole decimal integer within the range of the holder's type.
template <typename Holder>
std::unique_ptr<RC_ItemValue> ParseInteger(const std::string& sText)
{
    using T = typename Holder::ValueType;
    long long nParsed = 0;
    if (!ParseWholeInteger(sText, nParsed) ||
        !InRange(nParsed, std::numeric_limits<T>::min(), std::numeric_limits<T>::max()))
        return nullptr;
    return std::make_unique<Holder>(static_cast<T>(nParsed));
}
} // namespace

bool cEditValueParser::ParseWholeDecimal(const std::string& sText, int32_t& nValue)
{
    long long nParsed = 0;
    if (!ParseWholeInteger(sText, nParsed) || !InRange(nParsed, INT32_MIN, INT32_MAX))
        return false;
    nValue = static_cast<int32_t>(nParsed);
    return true;
}

bool cEditValueParser::ParseWholeReal(const std::string& sText, double& dValue)
{
    if (sText.empty())
        return false;
    errno = 0;
    char* pEnd = nullptr;
    const double dParsed = std::strtod(sText.c_str(), &pEnd);
    if (pEnd == sText.c_str() || *pEnd != '\0' || !std::isfinite(dParsed))
        return false;
    dValue = dParsed;
    return true;
}

std::unique_ptr<RC_ItemValue> cEditValueParser::ParseItem(RC_DataType eType, const std::string& sText)
{
    switch (eType)
    {
    case RC_DataType::Byte: return ParseInteger<RC_ByteValue>(sText);
    case RC_DataType::U16: return ParseInteger<RC_U16Value>(sText);
    case RC_DataType::S16: return ParseInteger<RC_S16Value>(sText);
    case RC_DataType::U32: return ParseInteger<RC_U32Value>(sText);
    case RC_DataType::S32: return ParseInteger<RC_S32Value>(sText);
    case RC_DataType::Fixed:
    {
        double dParsed = 0.0;
        if (!ParseWholeReal(sText, dParsed))
            return nullptr;
        // A value whose raw form does not fit 32 bits cannot be sent as typed.
        const double dRaw = std::trunc(dParsed * 4096.0);
        if (dRaw < static_cast<double>(INT32_MIN) || dRaw > static_cast<double>(INT32_MAX))
            return nullptr;
        return std::make_unique<RC_FixedValue>(static_cast<int32_t>(dRaw));
    }
    case RC_DataType::Float:
    {
        double dParsed = 0.0;
        if (!ParseWholeReal(sText, dParsed) || std::fabs(dParsed) > FLT_MAX)
            return nullptr;
        return std::make_unique<RC_FloatValue>(static_cast<float>(dParsed));
    }
    case RC_DataType::String: return std::make_unique<RC_StringValue>(sText);
    default: return nullptr;
    }
}

std::array<int32_t, 4> cEditValueParser::SplitAddress(const std::string& sAddress)
{
    std::array<int32_t, 4> octets{};
    size_t nStart = 0;
    for (size_t n = 0; n < octets.size() && nStart <= sAddress.size(); ++n)
    {
        const size_t nDot = sAddress.find('.', nStart);
        const std::string sPiece = sAddress.substr(nStart, nDot == std::string::npos ? std::string::npos : nDot - nStart);
        octets[n] = static_cast<int32_t>(std::strtol(sPiece.c_str(), nullptr, 10) & 0xFF);
        if (nDot == std::string::npos)
            break;
        nStart = nDot + 1;
    }
    return octets;
}

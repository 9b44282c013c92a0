#include "KlvFormat.h"

#include <algorithm>
#include <cmath>

namespace
{
using eBeyond = KlvMappedTag::eBeyond;

// Each row as the local set defines the tag; the last column is what a
// writer does with a value the range cannot hold.
constexpr KlvMappedTag kMappedTags[] = {
    {5, 2, false, 0.0, 360.0, eBeyond::Wrap, &KlvMetadata::dPlatformHeadingDeg},
    {6, 2, true, -20.0, 20.0, eBeyond::Indicator, &KlvMetadata::dPlatformPitchDeg},
    {7, 2, true, -50.0, 50.0, eBeyond::Indicator, &KlvMetadata::dPlatformRollDeg},
    {13, 4, true, -90.0, 90.0, eBeyond::Indicator, &KlvMetadata::dSensorLatitudeDeg},
    {14, 4, true, -180.0, 180.0, eBeyond::Wrap, &KlvMetadata::dSensorLongitudeDeg},
    {15, 2, false, -900.0, 19000.0, eBeyond::Clamp, &KlvMetadata::dSensorAltitudeM},  // no indicator to say more
    {16, 2, false, 0.0, 180.0, eBeyond::Clamp, &KlvMetadata::dHorizontalFovDeg},
    {17, 2, false, 0.0, 180.0, eBeyond::Clamp, &KlvMetadata::dVerticalFovDeg},
    {18, 4, false, 0.0, 360.0, eBeyond::Wrap, &KlvMetadata::dRelativeAzimuthDeg},
    {19, 4, true, -180.0, 180.0, eBeyond::Wrap, &KlvMetadata::dRelativeElevationDeg},
};

double MaxUnsigned(uint8_t nBytes)
{
    return std::ldexp(1.0, 8 * nBytes) - 1.0;
}

// The largest magnitude a signed value maps; one more is the indicator.
double MaxSigned(uint8_t nBytes)
{
    return std::ldexp(1.0, 8 * nBytes - 1) - 1.0;
}

void AppendBigEndian(std::vector<uint8_t>& bytes, uint64_t nValue, uint8_t nBytes)
{
    for (int i = nBytes - 1; i >= 0; --i)
        bytes.push_back(static_cast<uint8_t>(nValue >> (8 * i)));
}
} // namespace

uint16_t KlvChecksum(const uint8_t* pData, size_t nCount)
{
    uint16_t nSum = 0;
    for (size_t i = 0; i < nCount; ++i)
        nSum = static_cast<uint16_t>(nSum + (i % 2 == 0 ? pData[i] << 8 : pData[i]));
    return nSum;
}

eKlvField KlvReadBerLength(const uint8_t* pData, size_t& nPos, size_t nEnd, uint64_t& nLength)
{
    size_t nAt = nPos;
    if (nAt >= nEnd)
        return eKlvField::Short;
    const uint8_t nFirst = pData[nAt++];
    if (nFirst < 0x80)
    {
        nLength = nFirst;
        nPos = nAt;
        return eKlvField::Ok;
    }
    const size_t nCount = nFirst & 0x7F;
    if (nCount == 0 || nCount > 8)
        return eKlvField::Bad;
    if (nEnd - nAt < nCount)
        return eKlvField::Short;
    uint64_t nValue = 0;
    for (size_t i = 0; i < nCount; ++i)
        nValue = (nValue << 8) | pData[nAt++];
    nLength = nValue;
    nPos = nAt;
    return eKlvField::Ok;
}

eKlvField KlvReadTag(const uint8_t* pData, size_t& nPos, size_t nEnd, uint32_t& nTag)
{
    size_t nAt = nPos;
    uint32_t nValue = 0;
    for (int i = 0;; ++i)
    {
        if (i == 4)
            return eKlvField::Bad;
        if (nAt >= nEnd)
            return eKlvField::Short;
        const uint8_t nByte = pData[nAt++];
        nValue = (nValue << 7) | (nByte & 0x7F);
        if ((nByte & 0x80) == 0)
            break;
    }
    nTag = nValue;
    nPos = nAt;
    return eKlvField::Ok;
}

void KlvAppendBerLength(std::vector<uint8_t>& bytes, uint64_t nLength)
{
    if (nLength < 0x80)
    {
        bytes.push_back(static_cast<uint8_t>(nLength));
        return;
    }
    uint8_t nCount = 0;
    for (uint64_t nRest = nLength; nRest != 0; nRest >>= 8)
        ++nCount;
    bytes.push_back(static_cast<uint8_t>(0x80 | nCount));
    AppendBigEndian(bytes, nLength, nCount);
}

void KlvAppendTag(std::vector<uint8_t>& bytes, uint32_t nTag)
{
    int nGroups = 1;
    while (nGroups < 5 && (nTag >> (7 * nGroups)) != 0)
        ++nGroups;
    for (int i = nGroups - 1; i >= 0; --i)
        bytes.push_back(static_cast<uint8_t>(((nTag >> (7 * i)) & 0x7F) | (i > 0 ? 0x80 : 0)));
}

std::optional<double> KlvMappedTag::Decode(const uint8_t* pValue) const
{
    uint64_t nRaw = 0;
    for (uint8_t i = 0; i < nBytes; ++i)
        nRaw = (nRaw << 8) | pValue[i];
    if (!bSigned)
        return dMin + static_cast<double>(nRaw) * (dMax - dMin) / MaxUnsigned(nBytes);
    const uint64_t nSignBit = uint64_t{1} << (8 * nBytes - 1);
    if (nRaw == nSignBit)
        return std::nullopt;
    const int64_t nSigned = (nRaw & nSignBit) ? static_cast<int64_t>(nRaw) - static_cast<int64_t>(nSignBit << 1)
                                              : static_cast<int64_t>(nRaw);
    return static_cast<double>(nSigned) * dMax / MaxSigned(nBytes);
}

bool KlvMappedTag::Append(std::vector<uint8_t>& bytes, double dValue) const
{
    if (!std::isfinite(dValue))
        return false;
    if (dValue < dMin || dValue > dMax)
    {
        switch (eWriteBeyond)
        {
        case eBeyond::Wrap:
        {
            const double dSpan = dMax - dMin;
            dValue = dMin + std::fmod(std::fmod(dValue - dMin, dSpan) + dSpan, dSpan);
            break;
        }
        case eBeyond::Clamp:
            dValue = std::clamp(dValue, dMin, dMax);
            break;
        case eBeyond::Indicator:
            AppendBigEndian(bytes, uint64_t{1} << (8 * nBytes - 1), nBytes);
            return true;
        }
    }
    if (!bSigned)
    {
        const double dMaxRaw = MaxUnsigned(nBytes);
        const double dRaw = std::clamp(std::round((dValue - dMin) / (dMax - dMin) * dMaxRaw), 0.0, dMaxRaw);
        AppendBigEndian(bytes, static_cast<uint64_t>(dRaw), nBytes);
        return true;
    }
    const double dMaxRaw = MaxSigned(nBytes);
    const double dRaw = std::clamp(std::round(dValue / dMax * dMaxRaw), -dMaxRaw, dMaxRaw);
    AppendBigEndian(bytes, static_cast<uint64_t>(static_cast<int64_t>(dRaw)), nBytes);
    return true;
}

double KlvMappedTag::HalfStep() const
{
    return bSigned ? dMax / MaxSigned(nBytes) / 2.0 : (dMax - dMin) / MaxUnsigned(nBytes) / 2.0;
}

std::span<const KlvMappedTag> KlvMappedTags()
{
    return kMappedTags;
}

const KlvMappedTag* KlvFindMappedTag(uint32_t nTag)
{
    for (const KlvMappedTag& tag : kMappedTags)
        if (tag.nTag == nTag)
            return &tag;
    return nullptr;
}

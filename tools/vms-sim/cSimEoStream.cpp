#include "cSimEoStream.h"

#include "RC_Checksum.h"
#include "RC_Codec.h"
#include "RC_Frame.h"
#include "cSimTrackLife.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace
{
enum class eLayout
{
    None,
    Plain,      // 0, 8: Fixed positions
    WithRange,  // 1, 9
    Integers,   // 30, 31, 32: U32 positions
    Extra,      // 33: two extra Fixed values and 14 reserved bytes
};

eLayout LayoutOf(int32_t nFormat)
{
    switch (nFormat)
    {
    case 0:
    case 8: return eLayout::Plain;
    case 1:
    case 9: return eLayout::WithRange;
    case 30:
    case 31:
    case 32: return eLayout::Integers;
    case 33: return eLayout::Extra;
    default: return eLayout::None;
    }
}

void PutFixed(uint8_t* pOut, double dValue)
{
    RC_Codec::PutU32(pOut, static_cast<uint32_t>(RC_Codec::FloatToFixed(dValue)));
}
} // namespace

cSimEoStream::cSimEoStream(int32_t nFormat, int32_t nTargets, int32_t nTags, bool bComeAndGo, double dFormatSeconds)
    : m_nFormat(nFormat), m_nTargets(nTargets), m_nTags(nTags), m_bComeAndGo(bComeAndGo),
      m_dFormatSeconds(dFormatSeconds)
{
}

int32_t cSimEoStream::FormatAt(double dSeconds) const
{
    if (m_dFormatSeconds <= 0.0)
        return m_nFormat;
    const auto first = std::find(kFormats.begin(), kFormats.end(), m_nFormat);
    const size_t nFirst = first == kFormats.end() ? 0 : static_cast<size_t>(first - kFormats.begin());
    const auto nStep = static_cast<size_t>(std::max(0.0, dSeconds) / m_dFormatSeconds);
    return kFormats[(nFirst + nStep) % kFormats.size()];
}

int32_t cSimEoStream::MostTracksOfAnyFormat()
{
    int32_t nMost = 32;
    for (int32_t nFormat : kFormats)
        nMost = std::min(nMost, MostTracks(nFormat));
    return nMost;
}

size_t cSimEoStream::RecordSize(int32_t nFormat)
{
    switch (LayoutOf(nFormat))
    {
    case eLayout::Plain:
    case eLayout::Integers: return 28;
    case eLayout::WithRange: return 32;
    case eLayout::Extra: return 50;
    case eLayout::None: break;
    }
    return 0;
}

int32_t cSimEoStream::MostTracks(int32_t nFormat)
{
    const size_t nRecord = RecordSize(nFormat);
    if (nRecord == 0)
        return 0;
    const size_t nFit = (RC_Frame::kMaxFrame - kHeader - 1) / nRecord;
    return static_cast<int32_t>(nFit < 32 ? nFit : 32);
}

cSimEoStream::Target cSimEoStream::TargetAt(int32_t nIndex, double dSeconds)
{
    const int32_t nSpread = nIndex % 8;
    const double dAngle = 2.0 * std::numbers::pi * dSeconds / (20.0 + 5.0 * nIndex) + 1.3 * nIndex;
    Target target{};
    target.nId = static_cast<uint32_t>(nIndex + 1);
    target.dX = 320.0 + (200.0 - 15.0 * nSpread) * std::cos(dAngle);
    target.dY = 240.0 + (150.0 - 10.0 * nSpread) * std::sin(dAngle);
    target.dSizeX = 16.0 + 2.0 * nSpread + 4.0 * std::sin(dSeconds + nIndex);
    target.dSizeY = 12.0 + 2.0 * nSpread + 3.0 * std::cos(dSeconds + nIndex);
    target.dRange = 1500.0 + 250.0 * nIndex + 100.0 * std::sin(dSeconds / 7.0 + nIndex);
    target.dExtra1 = (target.dX - 320.0) * 0.05;
    target.dExtra2 = (240.0 - target.dY) * 0.05;
    target.nStatus = 1;  // tracking
    target.nConfidence = static_cast<uint8_t>(60 + std::lround(30.0 * std::sin(dSeconds / 3.0 + nIndex)));
    target.dLifetime = dSeconds;
    target.nPriority = static_cast<uint16_t>(nIndex + 1);
    target.nIndex = nIndex;
    return target;
}

std::vector<cSimEoStream::Target> cSimEoStream::TargetsAt(uint8_t nIdentifier, double dSeconds) const
{
    // The tag report carries the first targets, those alive among them when tracks come and go.
    const int32_t nCandidates = nIdentifier == kTagReport ? m_nTags : m_nTargets;
    std::vector<Target> targets;
    for (int32_t i = 0; i < nCandidates; ++i)
    {
        Target target = TargetAt(i, dSeconds);
        if (m_bComeAndGo)
        {
            const cSimTrackLife::State life = cSimTrackLife::At(i, dSeconds);
            if (!life.bPresent)
                continue;
            target.nId = life.nId;
            // A tag's ID carries its priority in the top byte.
            if (nIdentifier == kTagReport)
                target.nId |= static_cast<uint32_t>(i + 1) << 24;
            target.nStatus = life.nStatus;
            target.dLifetime = life.dAge;
        }
        targets.push_back(target);
    }
    return targets;
}

std::vector<uint8_t> cSimEoStream::BuildFrame(uint8_t nIdentifier, uint64_t nTimestampUs) const
{
    return BuildFrame(nIdentifier, nTimestampUs, TargetsAt(nIdentifier, static_cast<double>(nTimestampUs) / 1e6));
}

std::vector<uint8_t> cSimEoStream::BuildFrame(uint8_t nIdentifier, uint64_t nTimestampUs,
                                              const std::vector<Target>& targets) const
{
    const double dSeconds = static_cast<double>(nTimestampUs) / 1e6;
    const int32_t nFormat = FormatAt(dSeconds);
    const size_t nRecord = RecordSize(nFormat);
    // A designated track on top of the most targets a format holds leaves the last one out.
    const size_t nCount = std::min(targets.size(), static_cast<size_t>(MostTracks(nFormat)));

    const size_t nLength = kHeader + nRecord * nCount + 1;
    std::vector<uint8_t> frame(nLength, 0);
    frame[0] = RC_Frame::kEoSync;
    frame[1] = nIdentifier;
    RC_Codec::PutU16(&frame[2], static_cast<uint16_t>(nLength));
    frame[4] = static_cast<uint8_t>(nFormat);
    RC_Codec::PutU64(&frame[5], nTimestampUs);
    frame[13] = static_cast<uint8_t>(nCount);
    for (size_t i = 0; i < nCount; ++i)
        PutRecord(&frame[kHeader + nRecord * i], nFormat, targets[i]);
    frame.back() = RC_Checksum(frame.data(), nLength - 1);
    return frame;
}

void cSimEoStream::PutRecord(uint8_t* pOut, int32_t nFormat, const Target& target)
{
    const eLayout layout = LayoutOf(nFormat);
    RC_Codec::PutU32(pOut, target.nId);
    const double positions[] = {target.dX, target.dY, target.dSizeX, target.dSizeY};
    for (size_t i = 0; i < 4; ++i)
    {
        if (layout == eLayout::Integers)
            RC_Codec::PutU32(pOut + 4 + 4 * i, static_cast<uint32_t>(positions[i]));
        else
            PutFixed(pOut + 4 + 4 * i, positions[i]);
    }
    size_t nTail = 20;  // where Status sits
    if (layout == eLayout::WithRange)
    {
        PutFixed(pOut + 20, target.dRange);
        nTail = 24;
    }
    else if (layout == eLayout::Extra)
    {
        PutFixed(pOut + 20, target.dExtra1);
        PutFixed(pOut + 24, target.dExtra2);
        nTail = 28;  // 14 reserved bytes after Priority stay zero
    }
    pOut[nTail] = target.nStatus;
    pOut[nTail + 1] = target.nConfidence;
    PutFixed(pOut + nTail + 2, target.dLifetime);
    RC_Codec::PutU16(pOut + nTail + 6, target.nPriority);
}

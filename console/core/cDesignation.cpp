#include "cDesignation.h"

#include "cLandingItemList.h"
#include "cRC_IO_Pages.h"
#include "cVideoSettings.h"

#include <algorithm>
#include <cmath>

namespace
{
cLandingItemList::Address ModeAddress(RC_Variant eVariant)
{
    return eVariant == RC_Variant::LongFrames ? cLandingItemList::kVmsSystemMode
                                              : cLandingItemList::kThimbrel.trackingMode;
}
}  // namespace

cDesignation::cDesignation(const cVideoSettings& settings, RC_Variant eVariant)
    : m_nSubSystem(static_cast<uint8_t>(settings.nDesignateSubSystem)),
      m_nIndex(static_cast<uint8_t>(settings.nDesignateIndex)),
      m_nItemX(static_cast<uint8_t>(settings.nDesignateItemX)),
      m_nItemY(static_cast<uint8_t>(settings.nDesignateItemY)), m_nMode(settings.nDesignateMode),
      m_nCancelMode(settings.nDesignateCancelMode), m_nModeSubSystem(ModeAddress(eVariant).nSubSystem),
      m_nModeIndex(ModeAddress(eVariant).nIndex), m_nModeItem(ModeAddress(eVariant).nItem)
{
}

std::optional<cDesignation::Command> cDesignation::ModeCommand(int32_t nMode) const
{
    if (nMode < 0 || nMode > 255)
        return std::nullopt;
    return Command{Command::eKind::Mode,       m_nModeSubSystem, m_nModeIndex, m_nModeItem, 0, 0, 0,
                   static_cast<uint8_t>(nMode)};
}

std::vector<cDesignation::Command> cDesignation::At(double dX, double dY, int32_t nWidth, int32_t nHeight,
                                                    const cEoTrackPicture::Box* pTrack) const
{
    if (!std::isfinite(dX) || !std::isfinite(dY) || dX < 0 || dY < 0 || dX >= nWidth || dY >= nHeight)
        return {};
    int32_t nX = static_cast<int32_t>(std::floor(dX));
    int32_t nY = static_cast<int32_t>(std::floor(dY));
    if (pTrack)
    {
        nX = pTrack->centre.nX;
        nY = pTrack->centre.nY;
    }
    // A track may lie partly outside the picture; the point sent never does.
    nX = std::clamp(nX, 0, std::min(nWidth - 1, 65535));
    nY = std::clamp(nY, 0, std::min(nHeight - 1, 65535));
    std::vector<Command> commands{{Command::eKind::Point, m_nSubSystem, m_nIndex, m_nItemX, m_nItemY,
                                   static_cast<uint16_t>(nX), static_cast<uint16_t>(nY), 0}};
    if (const std::optional<Command> mode = ModeCommand(m_nMode))
        commands.push_back(*mode);
    return commands;
}

std::vector<cDesignation::Command> cDesignation::Cancel() const
{
    if (const std::optional<Command> mode = ModeCommand(m_nCancelMode))
        return {*mode};
    return {};
}

bool cDesignation::Send(cRC_IO_Pages& pages, const std::vector<Command>& commands)
{
    for (const Command& command : commands)
    {
        const bool bSent = command.eWhat == Command::eKind::Point
                               ? pages.SendU16Pair(command.nSubSystem, command.nIndex, command.nItem, command.nX,
                                                   command.nItem2, command.nY)
                               : pages.SendByte(command.nSubSystem, command.nIndex, command.nItem, command.nMode);
        if (!bSent)
            return false;
    }
    return true;
}

#include "cSimDesignation.h"

#include "cSimEventLog.h"
#include "cSimItemStore.h"
#include "cSimWorld.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace
{
// The acquisition window before the console sets one: the landing's start.
constexpr double kDefaultAoiX = 320.0;
constexpr double kDefaultAoiY = 240.0;

uint32_t Key(const cLandingItemList::Address& address)
{
    return cSimItemStore::Key(address.nSubSystem, address.nIndex, address.nItem);
}
} // namespace

cSimDesignation::cSimDesignation(RC_Variant eVariant, const cSimWorld& world, cSimEventLog& log,
                                 std::function<double()> fnSeconds)
    : m_eVariant(eVariant), m_World(world), m_Log(log), m_fnSeconds(std::move(fnSeconds))
{
}

void cSimDesignation::Install(cSimItemStore& items, const cLandingItemList::Address& x,
                              const cLandingItemList::Address& y)
{
    // Short frames carry no index: their items all sit at index 0.
    const bool bShort = m_eVariant == RC_Variant::ShortFrames;
    const cLandingItemList::Address atX{x.nSubSystem, bShort ? uint8_t(0) : x.nIndex, x.nItem};
    const cLandingItemList::Address atY{y.nSubSystem, bShort ? uint8_t(0) : y.nIndex, y.nItem};
    items.Add(atX.nSubSystem, atX.nIndex, atX.nItem, RC_DataType::U16, PageItem::kReadWrite, "Designate X");
    items.Add(atY.nSubSystem, atY.nIndex, atY.nItem, RC_DataType::U16, PageItem::kReadWrite, "Designate Y");
    const cLandingItemList::Common& common = cLandingItemList::For(m_eVariant);
    m_pAoiX = static_cast<const RC_U16Value*>(items.Holder(Key(common.aoiSizeX), RC_DataType::U16));
    m_pAoiY = static_cast<const RC_U16Value*>(items.Holder(Key(common.aoiSizeY), RC_DataType::U16));

    items.SetRule(Key(atX), [this](const RC_ItemValue& value) {
        if (value.Type() == RC_DataType::U16)
        {
            std::lock_guard<std::mutex> lock(m_Mutex);
            m_nPendingX = static_cast<const RC_U16Value&>(value).Get();
        }
        return cSimItemStore::eRule::Store;
    });
    items.SetRule(Key(atY), [this](const RC_ItemValue& value) {
        if (value.Type() != RC_DataType::U16)
            return cSimItemStore::eRule::Store;
        uint16_t nX = 0;
        {
            std::lock_guard<std::mutex> lock(m_Mutex);
            nX = m_nPendingX;
        }
        Designate(nX, static_cast<const RC_U16Value&>(value).Get(), m_fnSeconds());
        return cSimItemStore::eRule::Store;
    });
}

void cSimDesignation::Designate(double dX, double dY, double dSeconds)
{
    // Seen before the lock: the world asks the landing, which has a lock of its own.
    const std::vector<cSimEoStream::Target> seen = m_World.SeenAt(cSimEoStream::kTrackReport, dSeconds).targets;
    const double dHalfX = (m_pAoiX ? m_pAoiX->Get() : kDefaultAoiX) / 2.0;
    const double dHalfY = (m_pAoiY ? m_pAoiY->Get() : kDefaultAoiY) / 2.0;
    const cSimEoStream::Target* pNearest = nullptr;
    double dNearest = 0.0;
    for (const cSimEoStream::Target& target : seen)
    {
        const double dOffX = target.dX - dX;
        const double dOffY = target.dY - dY;
        if (std::abs(dOffX) > dHalfX || std::abs(dOffY) > dHalfY)
            continue;
        const double dDistance = std::hypot(dOffX, dOffY);
        if (!pNearest || dDistance < dNearest)
        {
            pNearest = &target;
            dNearest = dDistance;
        }
    }

    State state;
    state.bActive = true;
    state.dStart = dSeconds;
    state.dPointX = dX;
    state.dPointY = dY;
    if (pNearest)
    {
        state.track.nObject = pNearest->nIndex;
        state.track.record = *pNearest;
    }
    else
    {
        state.track.record.dX = dX;
        state.track.record.dY = dY;
        state.track.record.dSizeX = kPointSizeX;
        state.track.record.dSizeY = kPointSizeY;
        state.track.record.nIndex = -1;
    }
    state.track.nStatus = kAcquire;
    state.track.record.nStatus = kAcquire;
    state.track.record.dLifetime = 0.0;
    uint32_t nReplaced = 0;
    {
        std::lock_guard<std::mutex> lock(m_Mutex);
        if (m_State.bActive)
            nReplaced = m_State.track.nId;
        state.track.nId = m_nNextId++;
        state.track.record.nId = state.track.nId;
        m_State = state;
    }

    char szReplaced[48] = "";
    if (nReplaced != 0)
        std::snprintf(szReplaced, sizeof szReplaced, ", replacing track %u", nReplaced);
    if (pNearest)
        m_Log.Event("designation at %.0f, %.0f: object %d (track %u)%s", dX, dY, pNearest->nIndex + 1,
                    state.track.nId, szReplaced);
    else
        m_Log.Event("designation at %.0f, %.0f: nothing there: track %u on the point%s", dX, dY, state.track.nId,
                    szReplaced);
}

void cSimDesignation::Cancel(const char* szWhy)
{
    uint32_t nCancelled = 0;
    {
        std::lock_guard<std::mutex> lock(m_Mutex);
        if (!m_State.bActive)
            return;
        nCancelled = m_State.track.nId;
        m_State.bActive = false;
    }
    m_Log.Event("designated track %u cancelled: %s", nCancelled, szWhy);
}

void cSimDesignation::Advance(double dSeconds, const std::vector<cSimEoStream::Target>& seen, std::string& sDropped)
{
    if (!m_State.bActive)
        return;
    Track& track = m_State.track;
    const double dAge = dSeconds - m_State.dStart;
    char szDropped[96];
    if (track.nObject < 0)
    {
        // A tracker that found nothing keeps looking for a moment, then gives up.
        if (dAge >= kDropSeconds)
        {
            m_State.bActive = false;
            std::snprintf(szDropped, sizeof szDropped, "designated track %u dropped: nothing found at %.0f, %.0f",
                          track.nId, m_State.dPointX, m_State.dPointY);
            sDropped = szDropped;
            return;
        }
        track.nStatus = dAge < kSearchSeconds ? kAcquire : kCoast;
    }
    else
    {
        const auto object = std::find_if(seen.begin(), seen.end(), [&track](const cSimEoStream::Target& target) {
            return target.nIndex == track.nObject;
        });
        if (object != seen.end())
        {
            track.record = *object;
            track.record.nId = track.nId;
            m_State.dLostSince = -1.0;
            track.nStatus = dAge < kAcquireSeconds ? kAcquire : kTrack;
        }
        else
        {
            // Out of sight: held where it was last seen.
            if (m_State.dLostSince < 0.0)
                m_State.dLostSince = dSeconds;
            if (dSeconds - m_State.dLostSince >= kDropSeconds)
            {
                m_State.bActive = false;
                std::snprintf(szDropped, sizeof szDropped,
                              "designated track %u dropped: object %d out of the picture for %.0f s", track.nId,
                              track.nObject + 1, kDropSeconds);
                sDropped = szDropped;
                return;
            }
            track.nStatus = kCoast;
        }
    }
    track.record.nStatus = track.nStatus;
    track.record.dLifetime = std::max(0.0, dAge);
}

std::optional<cSimDesignation::Track> cSimDesignation::At(double dSeconds,
                                                          const std::vector<cSimEoStream::Target>& seen)
{
    std::optional<Track> track;
    std::string sDropped;
    {
        std::lock_guard<std::mutex> lock(m_Mutex);
        Advance(dSeconds, seen, sDropped);
        if (m_State.bActive)
            track = m_State.track;
    }
    if (!sDropped.empty())
        m_Log.Event("%s", sDropped.c_str());
    return track;
}

std::optional<cSimDesignation::Track> cSimDesignation::At(double dSeconds)
{
    return At(dSeconds, m_World.SeenAt(cSimEoStream::kTrackReport, dSeconds).targets);
}

std::vector<cSimEoStream::Target> cSimDesignation::Report(const std::vector<cSimEoStream::Target>& seen,
                                                          double dSeconds)
{
    const std::optional<Track> track = At(dSeconds, seen);
    std::vector<cSimEoStream::Target> report;
    report.reserve(seen.size() + 1);
    if (track)
        report.push_back(track->record);
    for (const cSimEoStream::Target& target : seen)
        if (!track || target.nIndex != track->nObject)
            report.push_back(target);
    return report;
}

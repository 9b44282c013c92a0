#include "cSimLanding.h"

#include "RC_Codec.h"
#include "RC_ItemValue.h"
#include "cLandingItemList.h"
#include "cSimDesignation.h"
#include "cSimEventLog.h"
#include "cSimItemStore.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <optional>

namespace
{
using Address = cLandingItemList::Address;

uint32_t Key(const Address& address)
{
    return cSimItemStore::Key(address.nSubSystem, address.nIndex, address.nItem);
}

// The platform's rate items, beside its positions on the VMS's platform page.
constexpr Address kAzRate{2, 0, 3};
constexpr Address kElRate{2, 0, 4};
constexpr uint8_t kZoomPositionItem = 7;
constexpr uint16_t kStartAoiX = 320;
constexpr uint16_t kStartAoiY = 240;
constexpr uint8_t kStandbySystemMode = 0;
constexpr uint8_t kManualSystemMode = 1;
constexpr uint8_t kTrackSystemMode = 3;
// The VMS tracker page's ID of the track it follows.
constexpr Address kVmsTrackId{5, 0, 70};
constexpr double kMilliradiansPerDegree = 1000.0 / 57.29577951308232;

template <typename Holder>
Holder* Typed(cSimItemStore& items, const Address& address, RC_DataType eType)
{
    return static_cast<Holder*>(items.Holder(Key(address), eType));
}
} // namespace

cSimLanding::cSimLanding(RC_Variant eVariant, cSimEventLog& log) : m_eVariant(eVariant), m_Log(log)
{
}

bool cSimLanding::IsSystemMode(uint8_t nMode)
{
    static constexpr uint8_t kModes[] = {0, 1, 2, 3, 4, 6, 8, 10};
    return std::find(std::begin(kModes), std::end(kModes), nMode) != std::end(kModes);
}

uint8_t cSimLanding::TargetModeAt(double dSeconds)
{
    const double dPhase = std::fmod(dSeconds, kTargetCycleSeconds);
    if (dPhase < 3.0)
        return 0;
    return dPhase < 9.0 ? 1 : 2;
}

void cSimLanding::Install(cSimItemStore& items, cSimDesignation* pDesignation)
{
    m_pItems = &items;
    m_pDesignation = pDesignation;
    for (const PageItem& item : cLandingItemList::Items(m_eVariant))
        items.Add(item.nSubSystem, item.nIndex, item.nItem, item.eType, item.nAccess, item.sLabel);
    const cLandingItemList::Common& common = cLandingItemList::For(m_eVariant);
    for (const Address& address : {common.targetMode, common.positionX, common.positionY})
        items.SetDriven(Key(address));
    // The tracker starts with the whole picture as its acquisition window.
    if (auto* pX = Typed<RC_U16Value>(items, common.aoiSizeX, RC_DataType::U16))
        pX->Set(kStartAoiX);
    if (auto* pY = Typed<RC_U16Value>(items, common.aoiSizeY, RC_DataType::U16))
        pY->Set(kStartAoiY);
    if (m_eVariant != RC_Variant::LongFrames)
        return;

    items.SetDriven(Key(common.trackingMode));
    if (items.Holder(Key(kVmsTrackId), RC_DataType::U32))
        items.SetDriven(Key(kVmsTrackId));
    items.SetRule(Key(cLandingItemList::kVmsSystemMode), [this](const RC_ItemValue& value) {
        const uint8_t nMode = value.Type() == RC_DataType::Byte ? static_cast<const RC_ByteValue&>(value).Get() : 0xFF;
        if (!IsSystemMode(nMode))
        {
            m_Log.Event("system mode %u is not a VMS mode", nMode);
            return cSimItemStore::eRule::Refuse;
        }
        // The console's "Cancel track".
        if (m_pDesignation && (nMode == kStandbySystemMode || nMode == kManualSystemMode))
            m_pDesignation->Cancel(nMode == kStandbySystemMode ? "system mode 0 (standby)" : "system mode 1 (manual)");
        return cSimItemStore::eRule::Store;
    });
    InstallPlatform(items);
    InstallCameras(items);
}

void cSimLanding::InstallPlatform(cSimItemStore& items)
{
    const Address positions[2] = {cLandingItemList::kVmsAzDeckPos, cLandingItemList::kVmsElDeckPos};
    const char* const names[2] = {"Az", "El"};
    for (size_t n = 0; n < 2; ++n)
    {
        if (!items.Holder(Key(positions[n]), RC_DataType::Fixed))
            continue;  // the pages gave it another type: left as they define it
        items.SetDriven(Key(positions[n]));
        items.SetRule(Key(positions[n]), [this, n, szName = names[n]](const RC_ItemValue& value) {
            const int32_t nRaw = static_cast<const RC_FixedValue&>(value).Raw();
            m_DeckDemand[n] = nRaw;
            m_Log.Event("%s deck demand %.3f deg: slewing at up to %.0f deg/s", szName,
                        RC_Codec::FixedToFloat(nRaw) / kMilliradiansPerDegree, kSlewDegreesPerSecond);
            return cSimItemStore::eRule::Keep;
        });
    }
    for (const Address& rate : {kAzRate, kElRate})
        if (items.Holder(Key(rate), RC_DataType::Fixed))
            items.SetDriven(Key(rate));
}

void cSimLanding::InstallCameras(cSimItemStore& items)
{
    for (uint8_t nCamera = 0; nCamera < kCameras; ++nCamera)
    {
        const Address speed{cLandingItemList::kCameraSubSystem, nCamera, cLandingItemList::kZoomSpeedItem};
        const Address stop{cLandingItemList::kCameraSubSystem, nCamera, cLandingItemList::kZoomStopItem};
        const Address position{cLandingItemList::kCameraSubSystem, nCamera, kZoomPositionItem};
        items.Add(speed.nSubSystem, speed.nIndex, speed.nItem, RC_DataType::S16, PageItem::kWriteOnly, "Zoom Speed");
        items.Add(stop.nSubSystem, stop.nIndex, stop.nItem, RC_DataType::Byte, PageItem::kWriteOnly, "Zoom Stop");
        items.Add(position.nSubSystem, position.nIndex, position.nItem, RC_DataType::U16, PageItem::kReadOnly,
                  "Zoom Position");
        if (items.Holder(Key(speed), RC_DataType::S16))
            items.SetRule(Key(speed), [this, nCamera](const RC_ItemValue& value) {
                m_ZoomSpeed[nCamera] = static_cast<const RC_S16Value&>(value).Get();
                return cSimItemStore::eRule::Store;
            });
        items.SetRule(Key(stop), [this, nCamera](const RC_ItemValue&) {
            m_ZoomSpeed[nCamera] = 0;
            return cSimItemStore::eRule::Store;
        });
        if (items.Holder(Key(position), RC_DataType::U16))
            items.SetDriven(Key(position));
    }
}

void cSimLanding::Advance(double dSeconds)
{
    if (!m_pItems)
        return;
    const double dStep = std::max(0.0, dSeconds - m_dLastSeconds);
    m_dLastSeconds = dSeconds;
    AdvanceTarget(dSeconds);
    if (m_eVariant != RC_Variant::LongFrames)
        return;
    AdvancePlatform(dStep);
    AdvanceCameras(dStep);

    const Address positions[2] = {cLandingItemList::kVmsAzDeckPos, cLandingItemList::kVmsElDeckPos};
    double degrees[2] = {0.0, 0.0};
    for (size_t n = 0; n < 2; ++n)
        if (const auto* pPosition = Typed<RC_FixedValue>(*m_pItems, positions[n], RC_DataType::Fixed))
            degrees[n] = pPosition->Raw() / 4096.0 / kMilliradiansPerDegree;
    std::lock_guard<std::mutex> lock(m_PointingMutex);
    m_dPointingSeconds = dSeconds;
    m_Pointing = Pointing{degrees[0], degrees[1], m_Zoom[0] / 65535.0};
}

cSimLanding::Pointing cSimLanding::PointingAt(double dSeconds) const
{
    Pointing pointing;
    double dSince = 0.0;
    {
        std::lock_guard<std::mutex> lock(m_PointingMutex);
        pointing = m_Pointing;
        // A tick that is late carries on no further than two ticks' worth.
        dSince = std::clamp(dSeconds - m_dPointingSeconds, 0.0, 0.2);
    }
    const double dMostStep = kSlewDegreesPerSecond * dSince;
    double* const slewed[2] = {&pointing.dAzDeg, &pointing.dElDeg};
    for (size_t n = 0; n < 2; ++n)
    {
        const double dDemand = m_DeckDemand[n].load() / 4096.0 / kMilliradiansPerDegree;
        *slewed[n] += std::clamp(dDemand - *slewed[n], -dMostStep, dMostStep);
    }
    pointing.dZoom =
        std::clamp(pointing.dZoom + m_ZoomSpeed[0].load() / 32767.0 * kZoomPerSecond * dSince / 65535.0, 0.0, 1.0);
    return pointing;
}

bool cSimLanding::FollowDesignation(double dSeconds)
{
    const std::optional<cSimDesignation::Track> track =
        m_pDesignation ? m_pDesignation->At(dSeconds) : std::optional<cSimDesignation::Track>();
    const bool bVms = m_eVariant == RC_Variant::LongFrames;
    if (bVms)
        if (auto* pId = Typed<RC_U32Value>(*m_pItems, kVmsTrackId, RC_DataType::U32))
            pId->Set(track ? track->nId : 0);
    if (!track)
        return false;
    const cLandingItemList::Common& common = cLandingItemList::For(m_eVariant);
    const bool bCoasting = track->nStatus == cSimDesignation::kCoast;
    if (auto* pMode = Typed<RC_ByteValue>(*m_pItems, common.targetMode, RC_DataType::Byte))
        pMode->Set(bCoasting ? 2 : 1);
    if (auto* pX = Typed<RC_FixedValue>(*m_pItems, common.positionX, RC_DataType::Fixed))
        pX->SetRaw(RC_Codec::FloatToFixed(track->record.dX));
    if (auto* pY = Typed<RC_FixedValue>(*m_pItems, common.positionY, RC_DataType::Fixed))
        pY->SetRaw(RC_Codec::FloatToFixed(track->record.dY));
    if (bVms)
        if (auto* pTracking = Typed<RC_ByteValue>(*m_pItems, common.trackingMode, RC_DataType::Byte))
            pTracking->Set(track->nStatus);
    return true;
}

void cSimLanding::AdvanceTarget(double dSeconds)
{
    if (FollowDesignation(dSeconds))
        return;
    const cLandingItemList::Common& common = cLandingItemList::For(m_eVariant);
    const uint8_t nMode = TargetModeAt(dSeconds);
    if (auto* pMode = Typed<RC_ByteValue>(*m_pItems, common.targetMode, RC_DataType::Byte))
        pMode->Set(nMode);
    if (nMode == 1)
    {
        // A target wandering about the middle of a 640 x 480 picture.
        const double dX = 320.0 + 160.0 * std::sin(2.0 * std::numbers::pi * dSeconds / 7.0);
        const double dY = 240.0 + 100.0 * std::sin(2.0 * std::numbers::pi * dSeconds / 5.0);
        if (auto* pX = Typed<RC_FixedValue>(*m_pItems, common.positionX, RC_DataType::Fixed))
            pX->SetRaw(RC_Codec::FloatToFixed(dX));
        if (auto* pY = Typed<RC_FixedValue>(*m_pItems, common.positionY, RC_DataType::Fixed))
            pY->SetRaw(RC_Codec::FloatToFixed(dY));
    }
    if (m_eVariant != RC_Variant::LongFrames)
        return;
    const auto* pSystemMode = Typed<RC_ByteValue>(*m_pItems, cLandingItemList::kVmsSystemMode, RC_DataType::Byte);
    uint8_t nTracking = 0;  // acquiring
    if (pSystemMode && pSystemMode->Get() == kTrackSystemMode)
        nTracking = nMode == 1 ? 1 : 2;
    if (auto* pTracking = Typed<RC_ByteValue>(*m_pItems, common.trackingMode, RC_DataType::Byte))
        pTracking->Set(nTracking);
}

void cSimLanding::AdvancePlatform(double dStep)
{
    const Address positions[2] = {cLandingItemList::kVmsAzDeckPos, cLandingItemList::kVmsElDeckPos};
    const Address rates[2] = {kAzRate, kElRate};
    const double dMostStep = kSlewDegreesPerSecond * kMilliradiansPerDegree * dStep * 4096.0;  // Fixed units
    for (size_t n = 0; n < 2; ++n)
    {
        auto* pPosition = Typed<RC_FixedValue>(*m_pItems, positions[n], RC_DataType::Fixed);
        if (!pPosition)
            continue;
        const double dNow = pPosition->Raw();
        const double dDemand = m_DeckDemand[n].load();
        const double dNext = dNow + std::clamp(dDemand - dNow, -dMostStep, dMostStep);
        pPosition->SetRaw(static_cast<int32_t>(std::llround(dNext)));
        if (auto* pRate = Typed<RC_FixedValue>(*m_pItems, rates[n], RC_DataType::Fixed))
            pRate->SetRaw(dStep > 0.0 ? RC_Codec::FloatToFixed((dNext - dNow) / 4096.0 / dStep) : 0);
    }
}

void cSimLanding::AdvanceCameras(double dStep)
{
    for (uint8_t nCamera = 0; nCamera < kCameras; ++nCamera)
    {
        const int16_t nSpeed = m_ZoomSpeed[nCamera];
        const Address position{cLandingItemList::kCameraSubSystem, nCamera, kZoomPositionItem};
        auto* pZoom = Typed<RC_U16Value>(*m_pItems, position, RC_DataType::U16);
        if (!pZoom || nSpeed == 0)
            continue;
        // Kept in fractions, so that the slowest speed moves the lens too.
        double& dZoom = m_Zoom[nCamera];
        dZoom = std::clamp(dZoom + nSpeed / 32767.0 * kZoomPerSecond * dStep, 0.0, 65535.0);
        pZoom->Set(static_cast<uint16_t>(std::lround(dZoom)));
    }
}

#include "cSimTrackLife.h"

#include <cmath>

double cSimTrackLife::Lifespan(int32_t nIndex)
{
    // 30 to 49 s, spread so that lives end at different moments.
    return 30.0 + std::fmod(11.0 * nIndex, 20.0);
}

double cSimTrackLife::Start(int32_t nIndex)
{
    return std::fmod(17.0 * nIndex, kPeriod);
}

cSimTrackLife::State cSimTrackLife::At(int32_t nIndex, double dSeconds)
{
    const double dSince = dSeconds - Start(nIndex);
    // Life -1 is the one running at the start for targets whose first start is later.
    const double dLife = std::floor(dSince / kPeriod);
    const double dAge = dSince - dLife * kPeriod;
    const double dSpan = Lifespan(nIndex);
    State state{};
    state.bPresent = dAge < dSpan;
    state.nId = static_cast<uint32_t>(nIndex + 1) + kIdStride * static_cast<uint32_t>(dLife + 1.0);
    state.dAge = dAge;
    const double dCoastFrom = 0.55 * dSpan;
    if (dAge < kAcquiring)
        state.nStatus = kAcquire;
    else if (dAge >= dCoastFrom && dAge < dCoastFrom + kCoasting)
        state.nStatus = kCoast;
    else
        state.nStatus = kTrack;
    return state;
}

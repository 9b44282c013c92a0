#include "StateText.h"

#include <cstdio>

namespace
{
void AppendAxis(std::string& sLine, const char* szName, double dValue, bool bPresent)
{
    char szPart[24];
    if (bPresent)
        std::snprintf(szPart, sizeof(szPart), " %s=%+.3f", szName, dValue);
    else
        std::snprintf(szPart, sizeof(szPart), " %s=--", szName);
    sLine += szPart;
}
} // namespace

std::string StateText(unsigned long nRecord, const ControllerState& state)
{
    char szHead[48];
    std::snprintf(szHead, sizeof(szHead), "#%-5lu %s", nRecord, state.bValid ? "ok   " : "stale");
    std::string sLine = szHead;
    const char* const szAxes[6] = {"X", "Y", "Z", "Rx", "Ry", "Rz"};
    const double dAxes[6] = {state.dX, state.dY, state.dZ, state.dRx, state.dRy, state.dRz};
    for (int i = 0; i < 6; ++i)
        AppendAxis(sLine, szAxes[i], dAxes[i], state.nAxisFlags & (1u << i));
    AppendAxis(sLine, "S0", state.dSlider0, true);
    AppendAxis(sLine, "S1", state.dSlider1, true);

    char szTail[64];
    std::snprintf(szTail, sizeof(szTail), " hat=%d buttons=0x%08x", state.nPOV, state.nButtons);
    sLine += szTail;
    std::string sPressed;
    for (int i = 0; i < 32; ++i)
    {
        if (state.nButtons & (1u << i))
            sPressed += (sPressed.empty() ? "" : " ") + std::to_string(i);
    }
    if (!sPressed.empty())
        sLine += " [" + sPressed + "]";
    return sLine;
}

bool SameReading(const ControllerState& a, const ControllerState& b)
{
    return a.dX == b.dX && a.dY == b.dY && a.dZ == b.dZ && a.dRx == b.dRx && a.dRy == b.dRy && a.dRz == b.dRz &&
           a.dSlider0 == b.dSlider0 && a.dSlider1 == b.dSlider1 && a.nPOV == b.nPOV && a.nButtons == b.nButtons &&
           a.bValid == b.bValid && a.nAxisFlags == b.nAxisFlags;
}

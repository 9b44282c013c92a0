#include "cJoystickMapping.h"

#include "DbgLog.h"
#include "RC_Codec.h"
#include "RC_DataType.h"
#include "cRC_IO_Pages.h"
#include "cUserControls.h"

#include <cmath>
#include <limits>

namespace
{
uint8_t Byte(int32_t nValue)
{
    return static_cast<uint8_t>(nValue & 0xFF);
}

int16_t LowS16(double dValue)
{
    return static_cast<int16_t>(static_cast<uint16_t>(cJoystickMapping::Truncate(dValue) & 0xFFFF));
}

// The value as a 32-bit float times 4096, truncated (saturating) to 32 bits.
int32_t Fixed(double dValue)
{
    return RC_Codec::FloatToFixed(static_cast<double>(static_cast<float>(dValue)));
}
} // namespace

cJoystickMapping::cJoystickMapping() = default;

cJoystickMapping::~cJoystickMapping()
{
    Disconnect();
}

int64_t cJoystickMapping::Truncate(double dValue)
{
    if (std::isnan(dValue))
        return 0;
    const double dTruncated = std::trunc(dValue);
    if (dTruncated >= 9223372036854775807.0)
        return std::numeric_limits<int64_t>::max();
    if (dTruncated <= -9223372036854775808.0)
        return std::numeric_limits<int64_t>::min();
    return static_cast<int64_t>(dTruncated);
}

void cJoystickMapping::Connect(cUserControls& controls)
{
    Disconnect();
    m_Connections.emplace_back(controls.m_sigXY.connect([this](float fX, float fY) { OnJoystickXY(fX, fY); }));
    m_Connections.emplace_back(controls.m_sigXYCentred.connect([this] { OnJoystickXY(0.0f, 0.0f); }));
    m_Connections.emplace_back(controls.m_sigButtonDown.connect([this](int nButton) { OnJoystickButtonDown(nButton); }));
    m_Connections.emplace_back(controls.m_sigButtonUp.connect([this](int nButton) { OnJoystickButtonUp(nButton); }));
}

void cJoystickMapping::Disconnect()
{
    m_Connections.clear();
}

bool cJoystickMapping::Paired() const
{
    const JoystickAxisDef& x = m_Definitions.axes[kSlotX];
    const JoystickAxisDef& y = m_Definitions.axes[kSlotY];
    // One frame carries one subsystem and index, and both values in the X
    // slot's encoding: anything else goes as two frames.
    return y.bValid && x.bPair && y.bPair && x.nSubsystem == y.nSubsystem && x.nIndex == y.nIndex &&
           x.nDataType == y.nDataType;
}

void cJoystickMapping::OnJoystickXY(float fX, float fY)
{
    if (!PageProtocol())
        return;
    if (m_Definitions.axes[kSlotX].bValid)
    {
        if (Paired())
        {
            SendAxisPair(fX, fY);
            return;
        }
        SendAxis(kSlotX, fX);
        if (m_Definitions.axes[kSlotY].bValid)
            SendAxis(kSlotY, fY);
    }
    else if (m_Definitions.axes[kSlotY].bValid)
    {
        SendAxis(kSlotY, fY);
    }
}

void cJoystickMapping::UpdateAxisValue(double dValue, int nSlot)
{
    const JoystickAxisDef& axis = m_Definitions.axes[static_cast<size_t>(nSlot)];
    std::atomic<double>& current = m_AxisValue[static_cast<size_t>(nSlot)];
    double dNew = axis.bIncremental ? current.load() + dValue * axis.dGain
                                    : (axis.dMax - axis.dMin) * 0.5 * dValue * axis.dGain + (axis.dMin + axis.dMax) * 0.5;
    if (dNew < axis.dMin)
        dNew = axis.dMin;
    if (dNew > axis.dMax)
        dNew = axis.dMax;
    current = dNew;
}

void cJoystickMapping::SendAxis(int nSlot, double dValue)
{
    UpdateAxisValue(dValue, nSlot);
    cRC_IO_Pages* pPages = PageProtocol();
    if (!pPages)
        return;
    const JoystickAxisDef& axis = m_Definitions.axes[static_cast<size_t>(nSlot)];
    const double dDemand = AxisValue(nSlot);
    switch (static_cast<RC_DataType>(axis.nDataType))
    {
    case RC_DataType::S16:
        pPages->SendS16(Byte(axis.nSubsystem), Byte(axis.nIndex), Byte(axis.nItem), LowS16(dDemand));
        break;
    case RC_DataType::Fixed:
        pPages->SendS32(Byte(axis.nSubsystem), Byte(axis.nIndex), Byte(axis.nItem), Fixed(dDemand));
        break;
    default:
        break;  // other types keep their demand but send nothing
    }
}

void cJoystickMapping::SendAxisPair(double dX, double dY)
{
    UpdateAxisValue(dX, kSlotX);
    UpdateAxisValue(dY, kSlotY);
    cRC_IO_Pages* pPages = PageProtocol();
    if (!pPages)
        return;
    const JoystickAxisDef& x = m_Definitions.axes[kSlotX];
    const JoystickAxisDef& y = m_Definitions.axes[kSlotY];
    const double dDemandX = AxisValue(kSlotX);
    const double dDemandY = AxisValue(kSlotY);
    switch (static_cast<RC_DataType>(x.nDataType))
    {
    case RC_DataType::S16:
        pPages->SendS16Pair(Byte(x.nSubsystem), Byte(x.nIndex), Byte(x.nItem), LowS16(dDemandX), Byte(y.nItem),
                            LowS16(dDemandY));
        break;
    case RC_DataType::Fixed:
        pPages->SendFixedPair(Byte(x.nSubsystem), Byte(x.nIndex), Byte(x.nItem), static_cast<float>(dDemandX),
                              Byte(y.nItem), static_cast<float>(dDemandY));
        break;
    default:
        break;
    }
}

void cJoystickMapping::OnJoystickButtonDown(int nButton)
{
    if (!PageProtocol() || nButton < 0 || nButton >= JoystickDefinitions::kButtons)
        return;
    const JoystickButtonDef& button = m_Definitions.buttons[static_cast<size_t>(nButton)];
    if (button.bPress)
    {
        ExecuteJoystickFunction(button.nPressFunction);
    }
    else if (button.bCycle)
    {
        std::atomic<int32_t>& position = m_CyclePosition[static_cast<size_t>(nButton)];
        int32_t nPosition = position.load();
        if (nPosition < 0 || static_cast<size_t>(nPosition) >= button.cycle.size())
            nPosition = 0;
        const int32_t nFunction = button.cycle[static_cast<size_t>(nPosition)];
        position = static_cast<size_t>(nPosition + 1) < button.cycle.size() ? nPosition + 1 : 0;
        ExecuteJoystickFunction(nFunction);
    }
}

void cJoystickMapping::OnJoystickButtonUp(int nButton)
{
    if (!PageProtocol() || nButton < 0 || nButton >= JoystickDefinitions::kButtons)
        return;
    const JoystickButtonDef& button = m_Definitions.buttons[static_cast<size_t>(nButton)];
    if (button.bRelease)
        ExecuteJoystickFunction(button.nReleaseFunction);
}

void cJoystickMapping::ExecuteJoystickFunction(int32_t nFunction)
{
    cRC_IO_Pages* pPages = PageProtocol();
    if (!pPages || nFunction < 1 || nFunction > JoystickDefinitions::kFunctions)
        return;
    const std::vector<JoystickFunctionItem>& items = m_Definitions.functions[static_cast<size_t>(nFunction)];
    DbgLog(DBG_DBG, "KestrumDlg::ExecuteJoystickFunction", __LINE__,
           DbgLogFormat("Function %d: %zu settings", nFunction, items.size()));
    for (const JoystickFunctionItem& item : items)
    {
        const uint8_t nSub = Byte(item.nSubsystem);
        const uint8_t nIndex = Byte(item.nIndex);
        const uint8_t nItem = Byte(item.nItem);
        const int64_t nWhole = Truncate(item.dValue);
        switch (static_cast<RC_DataType>(item.nDataType))
        {
        case RC_DataType::Byte:
            pPages->SendByte(nSub, nIndex, nItem, static_cast<uint8_t>(nWhole & 0xFF));
            break;
        case RC_DataType::U16:
            pPages->SendU16(nSub, nIndex, nItem, static_cast<uint16_t>(nWhole & 0xFFFF));
            break;
        case RC_DataType::S16:
            pPages->SendS16(nSub, nIndex, nItem, LowS16(item.dValue));
            break;
        case RC_DataType::U32:
            pPages->SendU32(nSub, nIndex, nItem, static_cast<uint32_t>(nWhole & 0xFFFFFFFF));
            break;
        case RC_DataType::S32:
            pPages->SendS32(nSub, nIndex, nItem, static_cast<int32_t>(static_cast<uint32_t>(nWhole & 0xFFFFFFFF)));
            break;
        case RC_DataType::Fixed:
            pPages->SendS32(nSub, nIndex, nItem, Fixed(item.dValue));
            break;
        case RC_DataType::Float:
            pPages->SendFloat(nSub, nIndex, nItem, static_cast<float>(item.dValue));
            break;
        default:
            break;  // 64- and 128-bit values and texts are not sent from the stick
        }
    }
}

double cJoystickMapping::AxisValue(int nSlot) const
{
    if (nSlot < 0 || nSlot >= JoystickDefinitions::kSlots)
        return 0.0;
    return m_AxisValue[static_cast<size_t>(nSlot)].load();
}

int32_t cJoystickMapping::CyclePosition(int nButton) const
{
    if (nButton < 0 || nButton >= JoystickDefinitions::kButtons)
        return 0;
    return m_CyclePosition[static_cast<size_t>(nButton)].load();
}

int32_t cJoystickMapping::NextPressFunction(int nButton) const
{
    if (nButton < 0 || nButton >= JoystickDefinitions::kButtons)
        return 0;
    const JoystickButtonDef& button = m_Definitions.buttons[static_cast<size_t>(nButton)];
    if (button.bPress)
        return button.nPressFunction;
    if (!button.bCycle)
        return 0;
    const int32_t nPosition = CyclePosition(nButton);
    return button.cycle[static_cast<size_t>(nPosition) < button.cycle.size() ? static_cast<size_t>(nPosition) : 0];
}

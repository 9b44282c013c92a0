#include "cJoystickDecoder.h"

#include <algorithm>
#include <cstring>

namespace
{
// Codes that become the two sliders, first found first.
constexpr uint16_t kSliderCodes[] = {ABS_THROTTLE, ABS_RUDDER, ABS_WHEEL, ABS_GAS, ABS_BRAKE, ABS_MISC};
// A frame this long without its end is applied as it stands.
constexpr size_t kMaxPending = 1024;

int32_t* AxisField(JoystickState& state, int nIndex)
{
    int32_t* const fields[6] = {&state.lX, &state.lY, &state.lZ, &state.lRx, &state.lRy, &state.lRz};
    return fields[nIndex];
}
} // namespace

int32_t cJoystickDecoder::Scale(int32_t nValue, int32_t nMinimum, int32_t nMaximum)
{
    if (nMaximum <= nMinimum)
        return 0;
    const int64_t nRange = static_cast<int64_t>(nMaximum) - nMinimum;
    const int64_t nOffset = std::clamp<int64_t>(static_cast<int64_t>(nValue) - nMinimum, 0, nRange);
    // Rounded to the nearest step, halves away from the minimum.
    return static_cast<int32_t>((nOffset * 2000 + nRange / 2) / nRange - 1000);
}

int32_t cJoystickDecoder::HatDegrees(int32_t nX, int32_t nY)
{
    const int nColumn = nX < 0 ? 0 : (nX == 0 ? 1 : 2);
    const int nRow = nY < 0 ? 0 : (nY == 0 ? 1 : 2);
    static const int32_t kDegrees[3][3] = {
        {31500, 0, 4500},      // up-left, up, up-right
        {27000, -1, 9000},     // left, centred, right
        {22500, 18000, 13500}, // down-left, down, down-right
    };
    return kDegrees[nRow][nColumn];
}

void cJoystickDecoder::Start(const JoystickCapabilities& caps, JoystickState& state)
{
    std::fill(std::begin(m_Abs), std::end(m_Abs), AbsMapping{});
    std::memset(m_ButtonOf, 0, sizeof(m_ButtonOf));
    std::memset(m_HatX, 0, sizeof(m_HatX));
    std::memset(m_HatY, 0, sizeof(m_HatY));
    m_nAxisFlags = 0;
    m_nButtons = 0;
    m_Pending.clear();

    std::memset(&state, 0, sizeof(state));
    std::fill(std::begin(state.rgdwPOV), std::end(state.rgdwPOV), -1);

    int nSliders = 0;
    for (const uint16_t nSliderCode : kSliderCodes)
    {
        for (const JoystickAxis& axis : caps.axes)
        {
            if (axis.nCode == nSliderCode && nSliders < 2)
                m_Abs[axis.nCode] = {eTarget::Slider, static_cast<uint8_t>(nSliders++), axis.nMinimum, axis.nMaximum};
        }
    }
    for (const JoystickAxis& axis : caps.axes)
    {
        if (axis.nCode >= ABS_CNT)
            continue;
        if (axis.nCode <= ABS_RZ)
        {
            m_Abs[axis.nCode] = {eTarget::Axis, static_cast<uint8_t>(axis.nCode), axis.nMinimum, axis.nMaximum};
            m_nAxisFlags |= static_cast<uint8_t>(1u << axis.nCode);
        }
        else if (axis.nCode >= ABS_HAT0X && axis.nCode <= ABS_HAT3Y)
        {
            const uint8_t nHat = static_cast<uint8_t>((axis.nCode - ABS_HAT0X) / 2);
            const bool bX = (axis.nCode - ABS_HAT0X) % 2 == 0;
            m_Abs[axis.nCode] = {bX ? eTarget::HatX : eTarget::HatY, nHat, axis.nMinimum, axis.nMaximum};
        }
        SetAbs(axis.nCode, axis.nValue, state);
    }

    // Button numbers: joystick, gamepad and later codes first, then BTN_MISC..
    std::vector<bool> present(KEY_CNT, false);
    for (const JoystickButton& button : caps.buttons)
    {
        if (button.nCode < KEY_CNT)
            present[button.nCode] = true;
    }
    auto number = [&](int nFirst, int nEnd) {
        for (int nCode = nFirst; nCode < nEnd && m_nButtons < kMaxButtons; ++nCode)
        {
            if (present[nCode])
                m_ButtonOf[nCode] = static_cast<int16_t>(++m_nButtons);
        }
    };
    number(BTN_JOYSTICK, KEY_CNT);
    number(BTN_MISC, BTN_JOYSTICK);
    for (const JoystickButton& button : caps.buttons)
    {
        if (button.nCode < KEY_CNT && m_ButtonOf[button.nCode])
            state.rgbButtons[m_ButtonOf[button.nCode] - 1] = button.bPressed ? 0x80 : 0;
    }
}

void cJoystickDecoder::Apply(const input_event& event, JoystickState& state)
{
    if (event.type == EV_SYN)
    {
        if (event.code == SYN_REPORT)
        {
            for (const input_event& pending : m_Pending)
                ApplyNow(pending, state);
            m_Pending.clear();
        }
        else if (event.code == SYN_DROPPED)
        {
            m_Pending.clear();  // the source brings the device state up to date after this
        }
        return;
    }
    if (event.type != EV_ABS && event.type != EV_KEY)
        return;
    m_Pending.push_back(event);
    if (m_Pending.size() >= kMaxPending)
    {
        for (const input_event& pending : m_Pending)
            ApplyNow(pending, state);
        m_Pending.clear();
    }
}

void cJoystickDecoder::ApplyNow(const input_event& event, JoystickState& state)
{
    if (event.type == EV_ABS)
    {
        SetAbs(event.code, event.value, state);
    }
    else if (event.type == EV_KEY && event.code < KEY_CNT && m_ButtonOf[event.code])
    {
        state.rgbButtons[m_ButtonOf[event.code] - 1] = event.value ? 0x80 : 0;  // 2 is auto-repeat: still down
    }
}

// Hats usually run -1..1; one with another range is centred on its middle.
int32_t cJoystickDecoder::HatOffset(int32_t nValue, const AbsMapping& mapping)
{
    if (mapping.nMaximum <= mapping.nMinimum)
        return nValue;
    return nValue - static_cast<int32_t>((static_cast<int64_t>(mapping.nMinimum) + mapping.nMaximum) / 2);
}

void cJoystickDecoder::SetAbs(uint16_t nCode, int32_t nValue, JoystickState& state)
{
    if (nCode >= ABS_CNT)
        return;
    const AbsMapping& mapping = m_Abs[nCode];
    switch (mapping.target)
    {
    case eTarget::Axis:
        *AxisField(state, mapping.nIndex) = Scale(nValue, mapping.nMinimum, mapping.nMaximum);
        break;
    case eTarget::Slider:
        state.rglSlider[mapping.nIndex] = Scale(nValue, mapping.nMinimum, mapping.nMaximum);
        break;
    case eTarget::HatX:
        m_HatX[mapping.nIndex] = HatOffset(nValue, mapping);
        state.rgdwPOV[mapping.nIndex] = HatDegrees(m_HatX[mapping.nIndex], m_HatY[mapping.nIndex]);
        break;
    case eTarget::HatY:
        m_HatY[mapping.nIndex] = HatOffset(nValue, mapping);
        state.rgdwPOV[mapping.nIndex] = HatDegrees(m_HatX[mapping.nIndex], m_HatY[mapping.nIndex]);
        break;
    case eTarget::None:
        break;
    }
}

#pragma once
#include "JoystickDefinitions.h"

#include <array>
#include <atomic>
#include <boost/signals2/connection.hpp>
#include <cstdint>
#include <vector>

class cRC_IO_Pages;
class cUserControls;

// Turns joystick events into item settings sent through the page protocol,
// as the joystick definitions say. The handlers run on the controller's
// polling thread: the definitions are fixed before the controller connects,
// and what they change (axis demands, cycle positions) is atomic so that a
// monitor on the UI thread can read it. The page protocol may appear later
// than the controller; until it does, events are ignored.
class cJoystickMapping
{
public:
    static constexpr int kSlotX = 0;
    static constexpr int kSlotY = 1;

    cJoystickMapping();
    ~cJoystickMapping();
    cJoystickMapping(const cJoystickMapping&) = delete;
    cJoystickMapping& operator=(const cJoystickMapping&) = delete;

    // Filled before Connect; read-only afterwards.
    JoystickDefinitions& Definitions() { return m_Definitions; }
    const JoystickDefinitions& Definitions() const { return m_Definitions; }
    // Where the settings go; null stops them. The protocol object must stay
    // alive until the controller is released or this is set to null.
    void SetPageProtocol(cRC_IO_Pages* pRC_IO_Pages) { m_pRC_IO_Pages = pRC_IO_Pages; }

    // Stick and centre events to OnJoystickXY, presses and releases to the button handlers.
    void Connect(cUserControls& controls);
    void Disconnect();

    void OnJoystickXY(float fX, float fY);
    void OnJoystickButtonDown(int nButton);
    void OnJoystickButtonUp(int nButton);
    void ExecuteJoystickFunction(int32_t nFunction);
    void UpdateAxisValue(double dValue, int nSlot);
    void SendAxis(int nSlot, double dValue);
    void SendAxisPair(double dX, double dY);

    // For a monitor, from any thread: the current demand of a slot, and the
    // function a button runs on its next press (0: none).
    double AxisValue(int nSlot) const;
    int32_t NextPressFunction(int nButton) const;
    int32_t CyclePosition(int nButton) const;

    // Truncation toward zero that stays defined for any value (saturating at
    // the ends of the 64-bit range); the sends take their low bits from it.
    static int64_t Truncate(double dValue);

private:
    bool Paired() const;
    cRC_IO_Pages* PageProtocol() const { return m_pRC_IO_Pages.load(); }

    JoystickDefinitions m_Definitions;
    std::atomic<cRC_IO_Pages*> m_pRC_IO_Pages{nullptr};  // written by the owner's thread
    std::array<std::atomic<double>, JoystickDefinitions::kSlots> m_AxisValue{};            // polling thread writes
    std::array<std::atomic<int32_t>, JoystickDefinitions::kButtons> m_CyclePosition{};     // polling thread writes
    std::vector<boost::signals2::scoped_connection> m_Connections;
};

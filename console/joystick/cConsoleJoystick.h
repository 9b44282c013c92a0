#pragma once
#include "Portelle.h"
#include "RC_Variant.h"
#include "cJoystickMapping.h"
#include "cUserControls.h"

#include <cstdint>
#include <string>

class cRC_IO_Pages;

// The console's joystick: the definitions file, the mapping that turns the
// controller's events into item settings, and the controller opened through
// Portelle. The mapping sends from the controller's polling thread, so Stop
// releases the controller (which waits for that thread) and forgets the page
// protocol before the protocol may go.
class cConsoleJoystick
{
public:
    cConsoleJoystick() = default;
    ~cConsoleJoystick();
    cConsoleJoystick(const cConsoleJoystick&) = delete;
    cConsoleJoystick& operator=(const cConsoleJoystick&) = delete;

    // No file named: no mapping, and every event finds nothing to do.
    void ReadDefinitions(const std::string& sPath, RC_Variant eVariant);
    // The mapping listens before the controller opens, so that no event of the
    // first records is missed. False when no controller could be opened.
    bool Start(const std::string& sPlugin, NxValue hWindow, const std::string& sSettingsPath, uint32_t nRetryPeriodMs);
    // Where the settings go from now on; null stops them.
    void SetPageProtocol(cRC_IO_Pages* pRC_IO_Pages) { m_Mapping.SetPageProtocol(pRC_IO_Pages); }
    void Stop();

    // The operator's word on the device, for the status bar.
    const char* StatusText() const;

    const cUserControls& Controller() const { return m_Controller; }
    const cJoystickMapping& Mapping() const { return m_Mapping; }

private:
    // The mapping before the controller: the polling thread calls into the
    // mapping until the controller is released.
    cJoystickMapping m_Mapping;
    cUserControls m_Controller;
};

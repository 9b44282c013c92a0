#include "cConsoleJoystick.h"

#include "cJoystickDefinitionsReader.h"

cConsoleJoystick::~cConsoleJoystick()
{
    Stop();
}

void cConsoleJoystick::ReadDefinitions(const std::string& sPath, RC_Variant eVariant)
{
    if (!sPath.empty())
        cJoystickDefinitionsReader(eVariant).Read(sPath, m_Mapping.Definitions());
}

bool cConsoleJoystick::Start(const std::string& sPlugin, NxValue hWindow, const std::string& sSettingsPath,
                             uint32_t nRetryPeriodMs)
{
    m_Mapping.Connect(m_Controller);
    return m_Controller.InitController(sPlugin, hWindow, sSettingsPath, nRetryPeriodMs, 0);
}

void cConsoleJoystick::Stop()
{
    m_Controller.ReleaseController();
    m_Mapping.SetPageProtocol(nullptr);
}

const char* cConsoleJoystick::StatusText() const
{
    switch (m_Controller.GetLinkState())
    {
    case cUserControls::LinkState::kNotConnected:
        return "Joystick: not connected";
    case cUserControls::LinkState::kWaiting:
    case cUserControls::LinkState::kLive:
        return "Joystick: connected";
    case cUserControls::LinkState::kNotAnswering:
        return "Joystick: not answering";
    }
    return "Joystick: not connected";
}

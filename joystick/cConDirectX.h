#pragma once
#include "DXInputJoystick.h"
#include "cControlIF.h"

#include <memory>

// A controller instance on one game controller of this machine (named after
// the design's DirectInput device; it reads an evdev device).
class cConDirectX : public cControlIF
{
public:
    cConDirectX();
    ~cConDirectX() override;

    // 0 opened; 7 no configuration path; 1 no device at that index.
    int32_t init(const char* szConfigPath, int32_t nDevice, NxValue hWnd) override;
    void uninit() override;
    bool readConfigFile(const char* szConfigPath, int32_t nDevice) override;
    bool isDeviceValid() override;
    bool poll() override;
    void getState(ControllerState* pState) override;

private:
    std::unique_ptr<DXInputJoystick> m_pJoystick;
};

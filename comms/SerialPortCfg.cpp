#include "SerialPortCfg.h"

std::string SerialPortCfg::DevicePath() const
{
    if (!sDevice.empty())
        return sDevice;
    return "/dev/ttyS" + std::to_string(nPortNumber - 1);
}

#pragma once
#include "Configuration.h"

#include <cstdint>
#include <string>

// Serial line settings. The port number names COMn, which is /dev/ttyS<n-1>
// here; a non-empty sDevice names the device directly and wins.
class SerialPortCfg : public Configuration
{
public:
    int32_t nPortEnabled = 0;
    int32_t nPortNumber = 1;
    int32_t nBaudRate = 9600;
    int32_t nParity = 0;      // 0 none, 1 odd, 2 even, anything else none
    int32_t nCharSize = 8;
    int32_t nStopBits = 0;    // 0 one, 2 two, anything else one and a half
    int32_t nReadTimeout = 0; // ms; 0: byte-by-byte reception
    int32_t nRtsControl = 0;  // 0 leave alone, 1 on, 2 handshake, 3 toggle
    std::string sDevice;

    // The device path these settings open.
    std::string DevicePath() const;
};

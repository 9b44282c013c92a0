#pragma once
#include <cstdint>
#include <string>

// Connection settings: owned by the main dialog, lent to the protocol objects
// and to the comms setup dialog, which edits them in place.
struct CommsSettings
{
    static constexpr int32_t kSerial = 0;
    static constexpr int32_t kUdp = 2;

    int32_t nCommsMethod = kSerial;
    bool bEnablePort = false;
    bool bShowEoPorts = false;  // the setup dialog shows the EO track ports only when set
    int32_t nComPort = 1;
    int32_t nBaudRate = 115200;
    int32_t nParity = 0;
    int32_t nTxPort = 9876;
    int32_t nRxPort = 9879;
    int32_t nEoTxPort = 9886;
    int32_t nEoRxPort = 9186;
    std::string sIpAddress = "127.0.0.1";
    bool bLogRx = false;
    bool bLogTx = false;
    std::string sSerialDevice;  // names the serial device directly; wins over nComPort
};

#pragma once
#include <cstdint>
#include <string>

// Connection settings: owned by the main dialog, lent to the protocol objects
// and to the comms setup dialog, which edits them in place.
struct CommsSettings
{
    // The transports, by the numbers the settings file and the registry hold.
    enum Method : int32_t
    {
        kSerial = 0,
        kUdp = 2,
    };

    // Defaults, which the simulator mirrors from the other end of the link.
    static constexpr int32_t kDefaultBaudRate = 115200;
    static constexpr int32_t kDefaultTxPort = 9876;
    static constexpr int32_t kDefaultRxPort = 9879;
    static constexpr int32_t kDefaultEoTxPort = 9886;
    static constexpr int32_t kDefaultEoRxPort = 9186;
    static constexpr const char* kDefaultIpAddress = "127.0.0.1";

    int32_t nCommsMethod = kSerial;  // as read: may hold a number that names no method
    bool bEnablePort = false;
    bool bShowEoPorts = false;  // the setup dialog shows the EO track ports only when set
    int32_t nComPort = 1;
    int32_t nBaudRate = kDefaultBaudRate;
    int32_t nParity = 0;
    int32_t nTxPort = kDefaultTxPort;
    int32_t nRxPort = kDefaultRxPort;
    int32_t nEoTxPort = kDefaultEoTxPort;
    int32_t nEoRxPort = kDefaultEoRxPort;
    std::string sIpAddress = kDefaultIpAddress;
    bool bLogRx = false;
    bool bLogTx = false;
    std::string sSerialDevice;  // names the serial device directly; wins over nComPort
    // Who may send to the console over UDP (cPeerFilter's text), for the page
    // protocol and the EO link: empty takes the target address when it is one host.
    std::string sAllowedPeers;
    std::string sEoAllowedPeers;
};

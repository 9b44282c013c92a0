#pragma once
#include <boost/asio/ip/udp.hpp>
#include <cstdint>
#include <poll.h>
#include <sys/socket.h>
#include <vector>

// A plain socket on 127.0.0.1 (or another loopback address: the loopback
// interface answers on all of 127.0.0.0/8) standing in for the far end in tests.
class UdpPeer
{
public:
    using Bytes = std::vector<uint8_t>;

    explicit UdpPeer(const char* szAddress = "127.0.0.1", uint16_t nPort = 0)
        : m_Socket(m_Io, boost::asio::ip::udp::endpoint(boost::asio::ip::make_address(szAddress), nPort))
    {
    }
    uint16_t Port() const { return m_Socket.local_endpoint().port(); }
    // How long Receive waits for a datagram.
    void SetTimeout(int nSeconds) { m_nTimeoutMs = nSeconds * 1000; }
    void SendTo(uint16_t nPort, const Bytes& bytes)
    {
        m_Socket.send_to(boost::asio::buffer(bytes),
                         boost::asio::ip::udp::endpoint(boost::asio::ip::make_address("127.0.0.1"), nPort));
    }
    // One datagram, or an empty vector (with *pTimedOut set) after the timeout.
    Bytes Receive(bool* pTimedOut = nullptr)
    {
        pollfd descriptor{m_Socket.native_handle(), POLLIN, 0};
        const bool bReady = poll(&descriptor, 1, m_nTimeoutMs) > 0;
        if (pTimedOut)
            *pTimedOut = !bReady;
        if (!bReady)
            return {};
        Bytes buffer(9000);
        const ssize_t n = recv(m_Socket.native_handle(), buffer.data(), buffer.size(), 0);
        buffer.resize(n > 0 ? static_cast<size_t>(n) : 0);
        return buffer;
    }
    void Close() { m_Socket.close(); }

private:
    boost::asio::io_context m_Io;
    boost::asio::ip::udp::socket m_Socket;
    int m_nTimeoutMs = 10000;
};

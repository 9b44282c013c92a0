#pragma once
#include <boost/asio/ip/udp.hpp>
#include <chrono>
#include <cstdint>
#include <optional>
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
        std::optional<Bytes> datagram = ReceiveWithin(std::chrono::milliseconds(m_nTimeoutMs));
        if (pTimedOut)
            *pTimedOut = !datagram;
        return datagram ? std::move(*datagram) : Bytes{};
    }
    // One datagram (an empty one too), or nothing after the limit.
    std::optional<Bytes> ReceiveWithin(std::chrono::milliseconds limit)
    {
        // Asio's blocking receive would wait past any limit, so poll first.
        pollfd descriptor{m_Socket.native_handle(), POLLIN, 0};
        if (poll(&descriptor, 1, static_cast<int>(limit.count() > 0 ? limit.count() : 0)) <= 0)
            return std::nullopt;
        Bytes buffer(9000);
        const ssize_t n = recv(m_Socket.native_handle(), buffer.data(), buffer.size(), 0);
        if (n < 0)
            return std::nullopt;
        buffer.resize(static_cast<size_t>(n));
        return buffer;
    }
    void Close() { m_Socket.close(); }

private:
    boost::asio::io_context m_Io;
    boost::asio::ip::udp::socket m_Socket;
    int m_nTimeoutMs = 10000;
};

// A port of 127.0.0.1 that was free a moment ago, for a receiver the test
// does not make itself (the console's, the simulator's target).
inline uint16_t FreeUdpPort()
{
    return UdpPeer().Port();
}

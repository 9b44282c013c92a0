#pragma once
#include "IPEndPoint.h"

#include <array>
#include <atomic>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/udp.hpp>
#include <boost/signals2/signal.hpp>
#include <cstdint>
#include <string>

namespace nx::http
{
// One UDP socket on its own I/O service: one receive outstanding at a time
// into a reused 8192-byte buffer (longer datagrams arrive cut), and
// asynchronous sends that copy their bytes. Completions run on whichever
// thread runs the service (see UDPServerThread).
class UDPServer
{
public:
    using ReceivedSignal = boost::signals2::signal<void(const uint8_t*, uint32_t, const IPEndPoint&)>;
    using ErrorSignal = boost::signals2::signal<void(const IPEndPoint&, const boost::system::error_code&)>;

    static constexpr size_t kReceiveBufferSize = 8192;
    static constexpr int kReceiveBatch = 64;  // datagrams taken per trip through the service

    UDPServer();
    virtual ~UDPServer();
    UDPServer(const UDPServer&) = delete;
    UDPServer& operator=(const UDPServer&) = delete;

    virtual bool Open(const IPEndPoint& localEndPoint, const std::string& sMulticastAddress);
    virtual bool Open(const IPEndPoint& localEndPoint);
    virtual void Close();
    virtual void Run();
    virtual void Stop();
    virtual void received(const uint8_t* pData, uint32_t nLength, const IPEndPoint& sender);
    virtual void error(const IPEndPoint& sender, const boost::system::error_code& ec);

    // Starts sending one datagram and returns at once; the bytes are copied.
    void SendTo(const IPEndPoint& destination, const uint8_t* pData, size_t nLength);
    uint16_t LocalPort() const;

    ReceivedSignal sigReceived;
    ErrorSignal sigError;

protected:
    void callback_error(const boost::system::error_code& ec);

    boost::asio::io_context m_IoService;
    std::atomic<bool> m_bRunning{false};
    int32_t m_nLastRxError = 0;               // receive completions only
    std::atomic<int32_t> m_nLastTxError{0};  // send completions only
    boost::asio::ip::udp::socket m_Socket;
    boost::asio::ip::udp::endpoint m_SenderEndPoint;
    std::array<uint8_t, kReceiveBufferSize> m_RxBuffer{};

private:
    void OpenSocket(const boost::asio::ip::udp::endpoint& local);
    void StartReceive();
    void HandleReceive(const boost::system::error_code& ec, size_t nBytes);
    // Hands on one received datagram or error; false once the socket is closing.
    bool Deliver(const boost::system::error_code& ec, size_t nBytes);
    void DrainErrorQueue();
};
} // namespace nx::http

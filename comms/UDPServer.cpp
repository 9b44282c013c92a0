#include "UDPServer.h"

#include "DbgLog.h"
#include "HttpLog.h"
#include "UDPServerEndPoint.h"

#include <boost/asio/ip/multicast.hpp>
#include <boost/asio/post.hpp>
#include <cerrno>
#include <memory>
#include <netinet/in.h>
#include <sys/socket.h>
#include <vector>

namespace nx::http
{
UDPServer::UDPServer() : m_Socket(m_IoService)
{
}

UDPServer::~UDPServer()
{
    boost::system::error_code ec;
    m_Socket.close(ec);
}

void UDPServer::OpenSocket(const boost::asio::ip::udp::endpoint& local)
{
    m_Socket.open(local.protocol());
    // Report ICMP errors (port unreachable) on this unconnected socket too, so
    // that a refused destination shows up as a receive error.
    const int nOn = 1;
    if (local.address().is_v4())
        setsockopt(m_Socket.native_handle(), IPPROTO_IP, IP_RECVERR, &nOn, sizeof(nOn));
    else
        setsockopt(m_Socket.native_handle(), IPPROTO_IPV6, IPV6_RECVERR, &nOn, sizeof(nOn));
    m_Socket.bind(local);
    m_Socket.non_blocking(true);  // receives taken outside the service must not wait
}

bool UDPServer::Open(const IPEndPoint& localEndPoint)
{
    try
    {
        OpenSocket(localEndPoint.endPoint());
        m_Socket.set_option(boost::asio::socket_base::reuse_address(true));
        StartReceive();
        return true;
    }
    catch (const boost::system::system_error&)
    {
        boost::system::error_code ec;
        m_Socket.close(ec);
        DbgLog(DBG_ERR, "nx::http::UDPServer::Open", 78, "Cannot Open UDP Server", CAT_HTTP);
        return false;
    }
}

bool UDPServer::Open(const IPEndPoint& localEndPoint, const std::string& sMulticastAddress)
{
    try
    {
        // Linux delivers a group's datagrams only to sockets bound to the
        // wildcard (or the group) address: bind the wildcard at the local port,
        // and let the local address choose the interface that joins.
        const boost::asio::ip::address local = localEndPoint.endPoint().address();
        const boost::asio::ip::udp::endpoint wildcard(
            local.is_v4() ? boost::asio::ip::address(boost::asio::ip::address_v4::any())
                          : boost::asio::ip::address(boost::asio::ip::address_v6::any()),
            localEndPoint.port());
        OpenSocket(wildcard);
        const boost::asio::ip::address group = boost::asio::ip::make_address(sMulticastAddress);
        if (group.is_v4() && local.is_v4())
            m_Socket.set_option(boost::asio::ip::multicast::join_group(group.to_v4(), local.to_v4()));
        else
            m_Socket.set_option(boost::asio::ip::multicast::join_group(group));
        m_Socket.set_option(boost::asio::socket_base::reuse_address(true));
        StartReceive();
        return true;
    }
    catch (const boost::system::system_error& e)
    {
        boost::system::error_code ec;
        m_Socket.close(ec);
        DbgLog(DBG_ERR, "nx::http::UDPServer::Open", 101,
               DbgLogFormat("Caught exception while trying to initialise socket (%d, %s)", e.code().value(), e.what()),
               CAT_HTTP);
        return false;
    }
}

void UDPServer::Close()
{
    Stop();
    boost::system::error_code ec;
    m_Socket.close(ec);
    if (ec)
        throw boost::system::system_error(ec, "close");
}

void UDPServer::Run()
{
    m_bRunning = true;
    m_IoService.run();
    m_bRunning = false;
    m_IoService.restart();
}

void UDPServer::Stop()
{
    if (m_bRunning)
        m_IoService.stop();
}

void UDPServer::received(const uint8_t* pData, uint32_t nLength, const IPEndPoint& sender)
{
    sigReceived(pData, nLength, sender);
}

void UDPServer::error(const IPEndPoint& sender, const boost::system::error_code& ec)
{
    sigError(sender, ec);
}

uint16_t UDPServer::LocalPort() const
{
    boost::system::error_code ec;
    const auto local = m_Socket.local_endpoint(ec);
    return ec ? 0 : local.port();
}

void UDPServer::StartReceive()
{
    if (!m_Socket.is_open())
        return;
    try
    {
        m_Socket.async_receive_from(boost::asio::buffer(m_RxBuffer), m_SenderEndPoint,
                                    [this](const boost::system::error_code& ec, size_t nBytes) { HandleReceive(ec, nBytes); });
    }
    catch (const boost::system::system_error& e)
    {
        HTTP_ERROR(DbgLogFormat("Cannot Open UDP Server on port %d (%d:%s)\n", LocalPort(), e.code().value(),
                                e.code().message().c_str()));
    }
}

void UDPServer::HandleReceive(const boost::system::error_code& ec, size_t nBytes)
{
    // Take what else is already waiting before going back through the
    // service: the same datagrams in the same order, with far fewer wake-ups
    // under load.
    boost::system::error_code result = ec;
    for (int nTaken = 0;; ++nTaken)
    {
        if (!Deliver(result, nBytes))
            return;
        if (nTaken + 1 >= kReceiveBatch)
            break;
        nBytes = m_Socket.receive_from(boost::asio::buffer(m_RxBuffer), m_SenderEndPoint, 0, result);
        if (result == boost::asio::error::would_block || result == boost::asio::error::try_again)
            break;
    }
    StartReceive();
}

bool UDPServer::Deliver(const boost::system::error_code& ec, size_t nBytes)
{
    if (!ec || ec == boost::asio::error::message_size)
    {
        received(m_RxBuffer.data(), static_cast<uint32_t>(nBytes), UDPServerEndPoint(m_SenderEndPoint));
        if (m_nLastRxError != 0)
        {
            m_nLastRxError = 0;
            HTTP_INFO(DbgLogFormat("UDP Server now receiving from %s::%d \n",
                                   m_SenderEndPoint.address().to_string().c_str(), m_SenderEndPoint.port()));
        }
        return true;
    }
    // The socket is being closed: no further receive can succeed.
    if (ec == boost::asio::error::operation_aborted || ec == boost::asio::error::bad_descriptor)
        return false;

    if (m_nLastRxError == 0)
    {
        HTTP_ERROR(DbgLogFormat("UDP Server receive error (%d:%s)\n", ec.value(), ec.message().c_str()));
        m_nLastRxError = ec.value();
    }
    if (ec == boost::asio::error::connection_refused)
        DrainErrorQueue();
    error(UDPServerEndPoint(m_SenderEndPoint), ec);
    return true;
}

// The reports behind a receive error stay queued on the socket (and count
// against its receive buffer) until read; read and drop them.
void UDPServer::DrainErrorQueue()
{
    uint8_t buffer[256];
    uint8_t control[512];
    for (int i = 0; i < 64; ++i)
    {
        iovec io{buffer, sizeof(buffer)};
        msghdr message{};
        message.msg_iov = &io;
        message.msg_iovlen = 1;
        message.msg_control = control;
        message.msg_controllen = sizeof(control);
        if (recvmsg(m_Socket.native_handle(), &message, MSG_ERRQUEUE | MSG_DONTWAIT) < 0)
            break;
    }
}

void UDPServer::SendTo(const IPEndPoint& destination, const uint8_t* pData, size_t nLength)
{
    auto pBytes = std::make_shared<std::vector<uint8_t>>(pData, pData + nLength);
    const boost::asio::ip::udp::endpoint target = destination.endPoint();
    // The socket belongs to the service thread: start the send there.
    boost::asio::post(m_IoService, [this, pBytes, target] {
        m_Socket.async_send_to(boost::asio::buffer(*pBytes), target, [this, pBytes, target](const boost::system::error_code& ec, size_t) {
            callback_error(ec);
            // A refusal reported for an earlier datagram may surface on this
            // send rather than on the pending receive: treat it the same way.
            if (ec == boost::asio::error::connection_refused)
            {
                DrainErrorQueue();
                error(UDPServerEndPoint(target), ec);
            }
        });
    });
}

void UDPServer::callback_error(const boost::system::error_code& ec)
{
    const int32_t nCode = ec.value();
    if (nCode == m_nLastTxError.load())
        return;
    HTTP_ERROR(DbgLogFormat("UDPServer::callback_error (%d)\n", nCode));
    m_nLastTxError = nCode;
}
} // namespace nx::http

#include "UDPServer.h"

#include "DbgLog.h"
#include "HttpLog.h"
#include "UDPServerEndPoint.h"

#include <boost/asio/ip/multicast.hpp>
#include <boost/asio/post.hpp>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <netinet/in.h>
#include <sys/socket.h>
#include <vector>

namespace nx::http
{
UDPServer::UDPServer()
    : m_Socket(m_IoService),
      // Left uninitialised: the kernel writes each buffer before it is read.
      m_pRxBuffers(std::make_unique_for_overwrite<uint8_t[]>(kReceiveBufferSize * kReceiveBatch)),
      m_pSlots(std::make_unique<Slot[]>(kReceiveBatch)),
      m_pMessages(std::make_unique<mmsghdr[]>(kReceiveBatch)),
      m_pVectors(std::make_unique<iovec[]>(kReceiveBatch))
{
    for (int i = 0; i < kReceiveBatch; ++i)
    {
        m_pVectors[i].iov_base = m_pRxBuffers.get() + static_cast<size_t>(i) * kReceiveBufferSize;
        m_pVectors[i].iov_len = kReceiveBufferSize;
        msghdr& header = m_pMessages[i].msg_hdr;
        header.msg_iov = &m_pVectors[i];
        header.msg_iovlen = 1;
        header.msg_name = &m_pSlots[i].sender;
        header.msg_control = m_pSlots[i].control;
    }
}

UDPServer::~UDPServer()
{
    boost::system::error_code ec;
    CloseSocket(ec);
}

void UDPServer::CloseSocket(boost::system::error_code& ec)
{
    std::lock_guard<std::mutex> lock(m_SendMutex);
    m_nSendHandle = -1;
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
    // Each receive says how many datagrams the kernel has dropped so far.
    setsockopt(m_Socket.native_handle(), SOL_SOCKET, SO_RXQ_OVFL, &nOn, sizeof(nOn));
    // Room for bursts; the kernel caps it at its own maximum.
    const int nBuffer = kSocketReceiveBuffer;
    setsockopt(m_Socket.native_handle(), SOL_SOCKET, SO_RCVBUF, &nBuffer, sizeof(nBuffer));
    m_Socket.bind(local);
    m_Socket.non_blocking(true);  // receives are taken only when readable and must not wait
    std::lock_guard<std::mutex> lock(m_SendMutex);
    m_nSendHandle = m_Socket.native_handle();
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
        CloseSocket(ec);
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
        CloseSocket(ec);
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
    CloseSocket(ec);
    if (ec)
        throw boost::system::system_error(ec, "close");
}

void UDPServer::Run()
{
    m_bRunning = true;
    m_IoService.run();
    {
        // Under the send lock: once Run has returned, no send goes out directly.
        std::lock_guard<std::mutex> lock(m_SendMutex);
        m_bRunning = false;
    }
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

void UDPServer::SetReceiveBatch(int nDatagrams)
{
    m_nBatch = nDatagrams < 1 ? 1 : nDatagrams > kReceiveBatch ? kReceiveBatch : nDatagrams;
}

void UDPServer::StartReceive()
{
    if (!m_Socket.is_open())
        return;
    try
    {
        m_Socket.async_wait(boost::asio::socket_base::wait_read,
                            [this](const boost::system::error_code& ec) { HandleReadable(ec); });
    }
    catch (const boost::system::system_error& e)
    {
        HTTP_ERROR(DbgLogFormat("Cannot Open UDP Server on port %d (%d:%s)\n", LocalPort(), e.code().value(),
                                e.code().message().c_str()));
    }
}

void UDPServer::HandleReadable(const boost::system::error_code& ec)
{
    if (ec == boost::asio::error::operation_aborted || ec == boost::asio::error::bad_descriptor)
        return;  // the socket is closing
    bool bClosing = false;
    if (ec)
    {
        if (!DeliverError(ec))
            return;
    }
    else
    {
        // Take what is waiting, batch after batch; a batch that comes back
        // short found the queue empty. A steady stream still gives the
        // service (and the sends queued on it) a turn every few batches.
        for (int nBatches = 0; nBatches < kBatchesPerWake && ReceiveBatch(bClosing); ++nBatches)
        {
        }
        if (bClosing)
            return;
    }
    StartReceive();
}

bool UDPServer::ReceiveBatch(bool& bClosing)
{
    const int nBatch = m_nBatch;
    for (int i = 0; i < nBatch; ++i)
    {
        // The kernel rewrites these lengths on every call.
        msghdr& header = m_pMessages[i].msg_hdr;
        header.msg_namelen = sizeof(sockaddr_storage);
        header.msg_controllen = sizeof(Slot::control);
        header.msg_flags = 0;
    }
    int nTaken = 0;
    do
    {
        nTaken = recvmmsg(m_Socket.native_handle(), m_pMessages.get(), static_cast<unsigned>(nBatch), MSG_DONTWAIT,
                          nullptr);
    } while (nTaken < 0 && errno == EINTR);
    m_nReceiveCalls.fetch_add(1, std::memory_order_relaxed);
    if (nTaken < 0)
    {
        const int nError = errno;
        if (nError == EAGAIN || nError == EWOULDBLOCK)
            return false;
        bClosing = !DeliverError(boost::system::error_code(nError, boost::system::system_category()));
        return false;
    }
    for (int i = 0; i < nTaken; ++i)
        DeliverDatagram(i, m_pMessages[i].msg_len, m_pMessages[i].msg_hdr.msg_flags);
    if (nTaken > 0)
        NoteDrops(m_pMessages[nTaken - 1].msg_hdr);
    // One datagram per wake-up when asked for single receives.
    return nTaken == nBatch && nBatch > 1;
}

void UDPServer::DeliverDatagram(int nSlot, uint32_t nLength, int nFlags)
{
    const msghdr& header = m_pMessages[nSlot].msg_hdr;
    const size_t nNameLength = std::min<size_t>(header.msg_namelen, m_SenderEndPoint.capacity());
    std::memcpy(m_SenderEndPoint.data(), &m_pSlots[nSlot].sender, nNameLength);
    m_SenderEndPoint.resize(nNameLength);
    m_nDatagrams.fetch_add(1, std::memory_order_relaxed);
    if (nFlags & MSG_TRUNC)
    {
        // A datagram longer than the buffer: what fits is delivered, the rest
        // is gone. Reported at the 1st, 2nd, 4th, 8th... time, so that a
        // stream of them cannot flood the log.
        const uint32_t nCount = m_nTruncated.fetch_add(1, std::memory_order_relaxed) + 1;
        if ((nCount & (nCount - 1)) == 0)
            DbgLog(DBG_WRN, "nx::http::UDPServer::received", __LINE__,
                   DbgLogFormat("Datagram from %s:%d longer than %zu bytes, cut (%u so far)",
                                m_SenderEndPoint.address().to_string().c_str(), m_SenderEndPoint.port(),
                                kReceiveBufferSize, nCount),
                   CAT_HTTP);
    }
    received(static_cast<const uint8_t*>(m_pVectors[nSlot].iov_base), nLength, UDPServerEndPoint(m_SenderEndPoint));
    if (m_nLastRxError != 0)
    {
        // The end of a run of errors: said once, with how many there were.
        m_nLastRxError = 0;
        HTTP_INFO(DbgLogFormat("UDP Server now receiving from %s::%d after %u errors\n",
                               m_SenderEndPoint.address().to_string().c_str(), m_SenderEndPoint.port(), m_nRxErrorsInRun));
        m_nRxErrorsInRun = 0;
    }
}

void UDPServer::NoteDrops(const msghdr& message)
{
    for (const cmsghdr* pControl = CMSG_FIRSTHDR(const_cast<msghdr*>(&message)); pControl;
         pControl = CMSG_NXTHDR(const_cast<msghdr*>(&message), const_cast<cmsghdr*>(pControl)))
    {
        if (pControl->cmsg_level == SOL_SOCKET && pControl->cmsg_type == SO_RXQ_OVFL)
        {
            uint32_t nDropped = 0;
            std::memcpy(&nDropped, CMSG_DATA(pControl), sizeof(nDropped));
            m_nDropped.store(nDropped, std::memory_order_relaxed);  // the kernel's running total
        }
    }
}

bool UDPServer::DeliverError(const boost::system::error_code& ec)
{
    // The socket is being closed: no further receive can succeed.
    if (ec == boost::asio::error::operation_aborted || ec == boost::asio::error::bad_descriptor)
        return false;
    NoteRxError(ec);
    if (ec == boost::asio::error::connection_refused)
        DrainErrorQueue();
    error(UDPServerEndPoint(m_SenderEndPoint), ec);
    return true;
}

void UDPServer::NoteRxError(const boost::system::error_code& ec)
{
    // A run of errors (every datagram sent to a closed port brings one back)
    // is logged as it begins and counted until a datagram arrives.
    if (m_nLastRxError == 0)
    {
        HTTP_ERROR(DbgLogFormat("UDP Server receive error (%d:%s)\n", ec.value(), ec.message().c_str()));
        m_nLastRxError = ec.value();
    }
    ++m_nRxErrorsInRun;
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
    const boost::asio::ip::udp::endpoint target = destination.endPoint();
    {
        std::lock_guard<std::mutex> lock(m_SendMutex);
        if (m_nSendHandle < 0)
            return;  // closed: nothing would send it
        // Straight to the kernel while the service runs and no earlier
        // datagram waits its turn: no copy, and no wake-up of the service
        // thread per datagram. Otherwise queued, to go when the service runs.
        if (m_nQueuedSends == 0 && m_bRunning.load())
        {
            const ssize_t nSent =
                ::sendto(m_nSendHandle, pData, nLength, MSG_DONTWAIT | MSG_NOSIGNAL, target.data(), target.size());
            if (nSent >= 0)
            {
                if (m_nLastTxError.load() != 0)
                    callback_error(boost::system::error_code());
                return;
            }
            if (errno != EAGAIN && errno != EWOULDBLOCK)
            {
                const boost::system::error_code ec(errno, boost::asio::error::get_system_category());
                boost::asio::post(m_IoService, [this, ec, target] { SendFailed(ec, target); });
                return;
            }
        }
        ++m_nQueuedSends;
    }
    auto pBytes = std::make_shared<std::vector<uint8_t>>(pData, pData + nLength);
    // The socket belongs to the service thread: start the send there.
    boost::asio::post(m_IoService, [this, pBytes, target] {
        m_Socket.async_send_to(boost::asio::buffer(*pBytes), target, [this, pBytes, target](const boost::system::error_code& ec, size_t) {
            {
                std::lock_guard<std::mutex> lock(m_SendMutex);
                --m_nQueuedSends;
            }
            if (ec)
                SendFailed(ec, target);
            else
                callback_error(ec);
        });
    });
}

void UDPServer::SendFailed(const boost::system::error_code& ec, const boost::asio::ip::udp::endpoint& target)
{
    // A refusal reported for an earlier datagram may surface on this send
    // rather than on the pending receive: treat it the same way, as part of
    // the same run (and not as a send error that the next send would end).
    if (ec == boost::asio::error::connection_refused)
    {
        NoteRxError(ec);
        DrainErrorQueue();
        error(UDPServerEndPoint(target), ec);
        return;
    }
    callback_error(ec);
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

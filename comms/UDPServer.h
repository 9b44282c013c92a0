#pragma once
#include "IPEndPoint.h"

#include <atomic>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/udp.hpp>
#include <boost/signals2/signal.hpp>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <sys/socket.h>

namespace nx::http
{
// One UDP socket on its own I/O service, and asynchronous sends that copy
// their bytes. Receiving waits for the socket to become readable, then takes
// what is waiting in batches of up to kReceiveBatch datagrams per system call
// (recvmmsg), in arrival order, before going back to the service. Each
// datagram has a buffer of 8192 bytes: a longer one arrives cut, is counted
// and reported. Completions run on whichever thread runs the service (see
// UDPServerThread).
class UDPServer
{
public:
    using ReceivedSignal = boost::signals2::signal<void(const uint8_t*, uint32_t, const IPEndPoint&)>;
    using ErrorSignal = boost::signals2::signal<void(const IPEndPoint&, const boost::system::error_code&)>;

    static constexpr size_t kReceiveBufferSize = 8192;
    static constexpr int kReceiveBatch = 64;      // datagrams per system call at most
    static constexpr int kBatchesPerWake = 16;    // then other work of the service gets its turn
    static constexpr int kSocketReceiveBuffer = 1 << 20;  // bytes asked of the kernel for bursts

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

    // Sends one datagram without waiting, from the calling thread when the
    // service runs and the kernel takes it at once; otherwise (service not
    // running, socket buffer full, earlier sends still waiting) the bytes are
    // copied and queued to the service thread, so datagrams leave in the order
    // of the calls. Errors are handled on the service thread. Any thread.
    void SendTo(const IPEndPoint& destination, const uint8_t* pData, size_t nLength);
    uint16_t LocalPort() const;

    // Datagrams taken per system call: 1 takes a single datagram per wake-up,
    // as a plain receive would. Set before the service runs.
    void SetReceiveBatch(int nDatagrams);

    // Counters, readable from any thread.
    uint32_t DatagramsReceived() const { return m_nDatagrams.load(std::memory_order_relaxed); }
    uint32_t DatagramsTruncated() const { return m_nTruncated.load(std::memory_order_relaxed); }
    // Datagrams the kernel dropped because the socket's buffer was full.
    uint32_t DatagramsDropped() const { return m_nDropped.load(std::memory_order_relaxed); }
    uint32_t ReceiveCalls() const { return m_nReceiveCalls.load(std::memory_order_relaxed); }

    ReceivedSignal sigReceived;
    ErrorSignal sigError;

protected:
    void callback_error(const boost::system::error_code& ec);

    boost::asio::io_context m_IoService;
    std::atomic<bool> m_bRunning{false};
    // A run of receive errors and refused sends, on the service thread: the
    // first error's code (0: no run) and how many there have been.
    int32_t m_nLastRxError = 0;
    uint32_t m_nRxErrorsInRun = 0;
    std::atomic<int32_t> m_nLastTxError{0};  // send completions only
    boost::asio::ip::udp::socket m_Socket;
    boost::asio::ip::udp::endpoint m_SenderEndPoint;  // sender of the last datagram or error

private:
    // One slot per datagram of a batch: its buffer, sender and control data.
    struct Slot
    {
        sockaddr_storage sender;
        alignas(cmsghdr) uint8_t control[64];
    };

    void OpenSocket(const boost::asio::ip::udp::endpoint& local);
    void StartReceive();
    void HandleReadable(const boost::system::error_code& ec);
    // Takes one batch; false when the service should be given back (nothing
    // more waiting, an error, or the socket closing).
    bool ReceiveBatch(bool& bClosing);
    void DeliverDatagram(int nSlot, uint32_t nLength, int nFlags);
    // Hands on a receive error; false once the socket is closing.
    bool DeliverError(const boost::system::error_code& ec);
    // Logs the first error of a run, counts the rest; on the service thread.
    void NoteRxError(const boost::system::error_code& ec);
    void NoteDrops(const msghdr& message);
    void DrainErrorQueue();
    void CloseSocket(boost::system::error_code& ec);
    // What a send that failed with ec leads to; on the service thread.
    void SendFailed(const boost::system::error_code& ec, const boost::asio::ip::udp::endpoint& target);

    // The socket's descriptor for sends from other threads, and the sends queued
    // to the service thread; -1 while closed. Guarded by m_SendMutex, which
    // also keeps the descriptor from being closed under a send.
    std::mutex m_SendMutex;
    int m_nSendHandle = -1;
    uint32_t m_nQueuedSends = 0;

    std::unique_ptr<uint8_t[]> m_pRxBuffers;  // kReceiveBatch buffers of kReceiveBufferSize
    std::unique_ptr<Slot[]> m_pSlots;
    std::unique_ptr<mmsghdr[]> m_pMessages;
    std::unique_ptr<iovec[]> m_pVectors;
    int m_nBatch = kReceiveBatch;
    std::atomic<uint32_t> m_nDatagrams{0};
    std::atomic<uint32_t> m_nTruncated{0};
    std::atomic<uint32_t> m_nDropped{0};
    std::atomic<uint32_t> m_nReceiveCalls{0};
};
} // namespace nx::http

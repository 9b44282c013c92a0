// Receiving in batches (many datagrams per system call) hands on exactly what
// single receives do: the same datagrams, whole or cut the same way, in the
// same order, with the same counts.
#include "LogCapture.h"
#include "UdpPeer.h"
#include "WaitFor.h"
#include "cUdpIF.h"

#include <gtest/gtest.h>
#include <mutex>
#include <random>
#include <vector>

using nx::http::cUdpIF;

namespace
{
using Bytes = std::vector<uint8_t>;

// A transport whose socket is bound but whose service has not started, so
// that datagrams queue up in the kernel until Start.
class QueuedReceiver
{
public:
    explicit QueuedReceiver(int nBatch) : m_Udp("Batch")
    {
        m_Udp.SetReceiveBatch(nBatch);
        EXPECT_TRUE(m_Udp.initialise(0, "", 0, "127.0.0.1", false, false, cUdpIF::kNoLearning));
        m_Udp.m_sigRawRx.connect([this](const unsigned char* pData, unsigned int nCount, long long) {
            std::lock_guard<std::mutex> lock(m_Mutex);
            m_Datagrams.emplace_back(pData, pData + nCount);
        });
    }
    ~QueuedReceiver() { m_Udp.Terminate(); }
    uint16_t Port() const { return m_Udp.LocalPort(); }
    bool StartAndWait(size_t nCount)
    {
        return m_Udp.startRx() && WaitFor([&] {
                   std::lock_guard<std::mutex> lock(m_Mutex);
                   return m_Datagrams.size() >= nCount;
               });
    }
    std::vector<Bytes> Datagrams()
    {
        std::lock_guard<std::mutex> lock(m_Mutex);
        return m_Datagrams;
    }
    cUdpIF& Udp() { return m_Udp; }

private:
    cUdpIF m_Udp;
    std::mutex m_Mutex;
    std::vector<Bytes> m_Datagrams;
};

Bytes Pattern(size_t nSize, uint8_t nSeed)
{
    Bytes bytes(nSize);
    for (size_t i = 0; i < nSize; ++i)
        bytes[i] = static_cast<uint8_t>(nSeed + i * 7);
    return bytes;
}
} // namespace

// The same sequence (empty datagrams, every size up to past the buffer, the
// largest UDP datagram, from two senders) through a batch receiver and a
// single-datagram receiver: identical deliveries and counters, fewer calls.
TEST(UdpBatchReceive, BatchesDeliverWhatSingleReceivesDeliver)
{
    LogCapture log;
    std::vector<Bytes> sent;
    std::mt19937 random(7);
    for (int i = 0; i < 300; ++i)
        sent.push_back(Pattern(random() % 1500, static_cast<uint8_t>(i)));
    sent.insert(sent.begin() + 10, Bytes{});
    sent.insert(sent.begin() + 100, Pattern(8192, 1));
    sent.insert(sent.begin() + 150, Pattern(8193, 2));
    sent.insert(sent.begin() + 200, Pattern(65507, 3));
    sent.push_back(Bytes{});

    QueuedReceiver batch(cUdpIF::kReceiveBatch);
    QueuedReceiver single(1);
    UdpPeer first("127.0.0.1");
    UdpPeer second("127.0.0.2");
    for (size_t i = 0; i < sent.size(); ++i)
    {
        UdpPeer& sender = i % 3 == 0 ? second : first;
        sender.SendTo(batch.Port(), sent[i]);
        sender.SendTo(single.Port(), sent[i]);
    }
    ASSERT_TRUE(batch.StartAndWait(sent.size()));
    ASSERT_TRUE(single.StartAndWait(sent.size()));

    std::vector<Bytes> expected = sent;
    for (Bytes& datagram : expected)
        if (datagram.size() > cUdpIF::kReceiveBufferSize)
            datagram.resize(cUdpIF::kReceiveBufferSize);
    EXPECT_EQ(batch.Datagrams(), expected);
    EXPECT_EQ(single.Datagrams(), expected);
    for (QueuedReceiver* pReceiver : {&batch, &single})
    {
        EXPECT_EQ(pReceiver->Udp().DatagramsReceived(), sent.size());
        EXPECT_EQ(pReceiver->Udp().DatagramsTruncated(), 2u);
        EXPECT_EQ(pReceiver->Udp().DatagramsDropped(), 0u);
    }
    EXPECT_GE(single.Udp().ReceiveCalls(), sent.size());
    EXPECT_LE(batch.Udp().ReceiveCalls(), sent.size() / 10);
    // The cut datagrams are reported, not passed over in silence.
    EXPECT_EQ(log.Count("longer than 8192 bytes, cut (1 so far)", DBG_WRN), 2) << log.Dump();
    EXPECT_EQ(log.Count("longer than 8192 bytes, cut (2 so far)", DBG_WRN), 2);
}

// A datagram the kernel could not queue (socket buffer full) is counted as
// dropped, so that what was sent, delivered and dropped adds up. The kernel
// tells the count with the next datagram it does queue.
TEST(UdpBatchReceive, KernelDropsAreCounted)
{
    QueuedReceiver receiver(cUdpIF::kReceiveBatch);
    UdpPeer sender;
    // Far more than the socket buffer holds while nobody reads.
    const Bytes datagram = Pattern(1400, 9);
    constexpr uint32_t kSent = 5000;
    for (uint32_t i = 0; i < kSent; ++i)
        sender.SendTo(receiver.Port(), datagram);
    ASSERT_TRUE(receiver.Udp().startRx());
    // A marker, sent again until one gets in once the queue has room.
    const Bytes marker = Pattern(10, 1);
    uint32_t nMarkers = 0;
    ASSERT_TRUE(WaitFor([&] {
        sender.SendTo(receiver.Port(), marker);
        ++nMarkers;
        return WaitFor(
            [&] {
                const std::vector<Bytes> datagrams = receiver.Datagrams();
                return !datagrams.empty() && datagrams.back() == marker;
            },
            std::chrono::milliseconds(200));
    }));
    EXPECT_EQ(receiver.Udp().DatagramsReceived() + receiver.Udp().DatagramsDropped(), kSent + nMarkers);
    EXPECT_GT(receiver.Udp().DatagramsDropped(), 0u);
}

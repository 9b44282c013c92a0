#include "FrameCollector.h"
#include "LogCapture.h"
#include "TempDir.h"
#include "WaitFor.h"
#include "cCommsIF.h"
#include "cRingBuffer.h"

#include <gtest/gtest.h>
#include <mutex>
#include <vector>

namespace
{
using Bytes = std::vector<uint8_t>;

// A transport without a wire: records what it is asked to send.
class LoopbackTransport : public cCommsIF
{
public:
    LoopbackTransport() : cCommsIF("RC") {}
    ~LoopbackTransport() override { cCommsIF::Terminate(); }

    bool startRx() override { return true; }
    bool stopRx() override { return true; }
    int messageSend(const uint8_t* pData, int32_t nCount) override
    {
        std::lock_guard<std::mutex> lock(m_Mutex);
        m_Sent.emplace_back(pData, pData + nCount);
        logTx(pData, nCount, nullptr);
        return m_nResult;
    }
    bool isOpen() override { return true; }
    bool purgeRx() override { return true; }
    bool purgeTx() override { return true; }
    bool purgeRxTx() override { return true; }

    std::vector<Bytes> Sent()
    {
        std::lock_guard<std::mutex> lock(m_Mutex);
        return m_Sent;
    }
    int m_nResult = 0;

private:
    std::mutex m_Mutex;
    std::vector<Bytes> m_Sent;
};
} // namespace

TEST(RingBuffer, KeepsOneByteFreeAndWrapsIntact)
{
    cRingBuffer ring(10);
    const uint8_t data[] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    EXPECT_FALSE(ring.write(data, 10 - 0));  // would fill it completely
    ASSERT_TRUE(ring.write(data, 9));
    EXPECT_EQ(ring.usedBytes(), 9);
    EXPECT_EQ(ring.freeBytes(), 1);
    uint8_t out[9] = {};
    ASSERT_TRUE(ring.read(out, 7));
    ASSERT_TRUE(ring.write(data, 6));  // wraps around the end
    EXPECT_EQ(ring.usedBytes(), 8);
    ASSERT_TRUE(ring.read(out, 2));
    ASSERT_TRUE(ring.read(out, 6));
    EXPECT_EQ(Bytes(out, out + 6), Bytes(data, data + 6));
    EXPECT_FALSE(ring.read(out, 1));
    EXPECT_EQ(ring.usedBytes(), 0);
}

// The buffered transmit path: records of n + 1 bytes, refused when they would
// fill the ring, the whole ring emptied by a failed bufferMessage.
TEST(TxBuffer, RecordsFillRingAndOverflowEmptiesIt)
{
    LogCapture log;
    FrameCollector io;
    const Bytes message(255, 0xAB);
    ASSERT_TRUE(io.bufferMsgNoEvent(message.data(), 255));
    EXPECT_EQ(io.bufferedBytes(), 256);
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(io.bufferMsgNoEvent(message.data(), 255));
    EXPECT_EQ(io.bufferedBytes(), 1024);
    EXPECT_FALSE(io.bufferMsgNoEvent(message.data(), 255));
    EXPECT_TRUE(log.Contains("(FrameCollector) buffer overflow", DBG_WRN));
    EXPECT_EQ(io.bufferedBytes(), 1024);

    EXPECT_FALSE(io.bufferMessage(message.data(), 255));
    EXPECT_EQ(io.bufferedBytes(), 0);

    const Bytes tooLong(256, 0);
    EXPECT_FALSE(io.bufferMsgNoEvent(tooLong.data(), 256));
    EXPECT_TRUE(log.Contains("cCommsIO::bufferMsgNoEvent (326): (FrameCollector) supplied message too long", DBG_WRN));

    uint8_t out[256];
    EXPECT_EQ(io.getNextMessage(out, 256), 0);
    EXPECT_TRUE(log.Contains("(FrameCollector) no data in TxBuffer", DBG_INF));
}

// Buffered records are read back intact, including across the ring's end, and
// the transmit thread sends them through the transport.
TEST(TxBuffer, TransmitThreadSendsBufferedRecords)
{
    LoopbackTransport transport;
    FrameCollector io;
    ASSERT_TRUE(io.setCommsIF(&transport));
    ASSERT_TRUE(io.initialise(50));
    ASSERT_TRUE(io.startTx());
    std::vector<Bytes> expected;
    for (int i = 0; i < 12; ++i)  // more than the ring holds at once: it wraps
    {
        Bytes message(200, static_cast<uint8_t>(i));
        expected.push_back(message);
        ASSERT_TRUE(io.bufferMessage(message.data(), 200));
        ASSERT_TRUE(WaitFor([&] { return transport.Sent().size() == expected.size(); }));
    }
    io.stopTx();
    EXPECT_EQ(transport.Sent(), expected);
    io.clearCommsIF();
}

TEST(CommsIO, SetCommsIFKeepsTheFirstTransport)
{
    LoopbackTransport first;
    LoopbackTransport second;
    FrameCollector io;
    EXPECT_FALSE(io.setCommsIF(nullptr));
    EXPECT_TRUE(io.setCommsIF(&first));
    EXPECT_FALSE(io.setCommsIF(&second));
    EXPECT_EQ(io.getCommsIF(), &first);
    EXPECT_TRUE(io.sendMessage(reinterpret_cast<const uint8_t*>("ab"), 2));
    first.m_nResult = 1;
    EXPECT_FALSE(io.sendMessage(reinterpret_cast<const uint8_t*>("ab"), 2));
    io.clearCommsIF();
    EXPECT_FALSE(io.sendMessage(reinterpret_cast<const uint8_t*>("ab"), 2));
}

// Received blocks go through the framer, counted; an empty block flushes; with
// a raw-receive slot connected the framer is bypassed.
TEST(CommsIF, ReceivePathCountsAndRawSignalBypassesFramer)
{
    LoopbackTransport transport;
    FrameCollector io;
    ASSERT_TRUE(io.setCommsIF(&transport));
    ASSERT_TRUE(io.initialise(1000));
    const Bytes block = {0x00, 0x01, 0x10, 0x05, 0x00, 0x01, 0x85, 0x9B, 0x10, 0x05};
    transport.processRxDataDefault(block.data(), static_cast<int32_t>(block.size()));
    EXPECT_EQ(io.Count(), 1u);
    EXPECT_EQ(transport.BytesReceived(), 10);
    EXPECT_EQ(transport.BytesDiscarded(), 2);
    EXPECT_EQ(transport.getProtocol()->Collected(), 2);
    transport.processRxDataDefault(nullptr, 0);  // flush: not allowed for this kind, so kept
    EXPECT_EQ(io.Count(), 1u);

    std::vector<Bytes> raw;
    boost::signals2::scoped_connection connection =
        transport.m_sigRawRx.connect([&](const unsigned char* p, unsigned int n, long long) { raw.emplace_back(p, p + n); });
    const Bytes frame = {0x10, 0x05, 0x00, 0x01, 0x85, 0x9B};
    transport.processRxDataDefault(frame.data(), 6);
    EXPECT_EQ(raw.size(), 1u);
    EXPECT_EQ(io.Count(), 1u);
    EXPECT_EQ(transport.BytesReceived(), 10);
    io.clearCommsIF();
}

// Sent frames are logged with "Tx," and the send label in the transport's
// traffic log, named after the transport.
TEST(CommsIF, SentFramesAreLoggedWithTheirLabel)
{
    TempDir dir;
    ScopedChdir cwd(dir.Path());
    {
        LoopbackTransport transport;
        transport.enableLogging(true);
        const uint8_t bytes[] = {0x01, 0x0A, 0xFF};
        transport.sendLabelled(bytes, 3, "");
        transport.sendLabelled(bytes, 1, "query");
        EXPECT_EQ(transport.BytesSent(), 4);
        transport.Terminate();
    }
    const std::string sLog = dir.Read("RC_CommsLog.DEBUG.txt");
    EXPECT_NE(sLog.find(",Tx,,003,0x01,0x0a,0xff\n"), std::string::npos) << sLog;
    EXPECT_NE(sLog.find(",Tx,query,001,0x01\n"), std::string::npos) << sLog;
}

TEST(CommsIO, HeartbeatClassification)
{
    LogCapture log;
    FrameCollector io;
    const Bytes server = {0x99, 0x00, 0x01, 0x00, 0x02, 0x03, 0x00, 0x9F};
    const Bytes client = {0xEE, 0x99, 0x00, 0x01, 0x00, 0x02, 0x03, 0x00, 0x9F};
    const Bytes wrongAddress = {0x99, 0x05, 0x01, 0x00, 0x02, 0x03, 0x00, 0xA4};
    io.setExpectedHeartbeatRole(2);
    EXPECT_EQ(io.ValidateNxHeartbeat(server.data(), static_cast<int32_t>(server.size())), 2);
    EXPECT_EQ(io.ValidateNxHeartbeat(wrongAddress.data(), static_cast<int32_t>(wrongAddress.size())), 0);
    EXPECT_EQ(io.ValidateNxHeartbeat(client.data(), static_cast<int32_t>(client.size())), 0);
    EXPECT_TRUE(log.Contains("Unexpected heartbeat received, expected : 2", DBG_WRN));
    io.setExpectedHeartbeatRole(1);
    EXPECT_EQ(io.ValidateNxHeartbeat(client.data(), static_cast<int32_t>(client.size())), 1);
    EXPECT_EQ(io.ValidateNxHeartbeat(client.data(), 2), 0);
    EXPECT_EQ(io.ValidateNxHeartbeat(nullptr, 5), 0);
}

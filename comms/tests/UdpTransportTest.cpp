#include "FrameCollector.h"
#include "LogCapture.h"
#include "UdpPeer.h"
#include "WaitFor.h"
#include "cMultiCommsIF.h"
#include "cUdpIF.h"

#include <boost/asio/ip/multicast.hpp>
#include <boost/asio/ip/udp.hpp>
#include <gtest/gtest.h>
#include <atomic>
#include <thread>
#include <vector>

using nx::http::cUdpIF;
using udp = boost::asio::ip::udp;

namespace
{
using Bytes = std::vector<uint8_t>;

const Bytes kQuery = {0x10, 0x05, 0x00, 0x01, 0x85, 0x9B};
const Bytes kStatus = {0x10, 0x05, 0x00, 0x03, 0x03, 0x00, 0x2A, 0x45};

// A UDP transport with a collector bound to it, as a protocol object would have.
struct Endpoint
{
    explicit Endpoint(const char* szName = "RC") : udp(szName) {}
    ~Endpoint() { collector.close(); }

    bool Start(int32_t nTargetPort, const std::string& sTarget, int32_t nMode = cUdpIF::kLearnOnce)
    {
        return udp.initialise(nTargetPort, sTarget, 0, "127.0.0.1", true, false, nMode) && collector.setCommsIF(&udp) &&
               collector.initialise(1000);
    }
    uint16_t Port() const { return udp.LocalPort(); }

    cUdpIF udp;
    FrameCollector collector;
};
} // namespace

// Two transports on 127.0.0.1: the one without a destination learns it from
// the first datagram (once, in mode 1) and answers there.
TEST(UdpTransport, TransportsExchangeFramesAndLearnTheReplyAddress)
{
    LogCapture log;
    Endpoint server;
    ASSERT_TRUE(server.Start(0, ""));
    Endpoint client;
    ASSERT_TRUE(client.Start(server.Port(), "127.0.0.1"));
    EXPECT_TRUE(log.Contains("Non multicast address 127.0.0.1 supplied, ignoring"));

    EXPECT_EQ(client.udp.messageSend(kQuery.data(), 6), 0);
    ASSERT_TRUE(server.collector.WaitForFrames(1));
    EXPECT_EQ(server.collector.Frames()[0], kQuery);
    ASSERT_TRUE(WaitFor([&] { return !server.udp.LearningArmed(); }));
    EXPECT_EQ(server.udp.RemoteEndPoint().port(), client.Port());
    EXPECT_EQ(log.Count("Set End point to 127.0.0.1:" + std::to_string(client.Port())), 1);

    EXPECT_EQ(server.udp.messageSend(kStatus.data(), 8), 0);
    ASSERT_TRUE(client.collector.WaitForFrames(1));
    EXPECT_EQ(client.collector.Frames()[0], kStatus);

    // Mode 1 learns once: a datagram from another sender changes nothing.
    UdpPeer stranger;
    stranger.SendTo(server.Port(), kQuery);
    ASSERT_TRUE(server.collector.WaitForFrames(2));
    EXPECT_EQ(server.udp.RemoteEndPoint().port(), client.Port());
    EXPECT_EQ(log.Count("Set End point to"), 2);  // the client learned too
}

// A datagram is framed on its own: two frames in one are both delivered, but
// a frame never spans datagrams. Whatever a datagram leaves unfinished is
// given up (counted as discarded) when the next one arrives, so junk that ends
// like the start of a frame cannot swallow the good frame after it.
TEST(UdpTransport, FramesDoNotCrossDatagramBorders)
{
    Endpoint server;
    ASSERT_TRUE(server.Start(0, ""));
    UdpPeer peer;
    Bytes two = kQuery;
    two.insert(two.end(), kStatus.begin(), kStatus.end());
    peer.SendTo(server.Port(), two);
    peer.SendTo(server.Port(), {0x00, 0x42, 0x42});          // 3 discarded
    peer.SendTo(server.Port(), {0x10, 0x05, 0x00, 0x20});    // claims 37 bytes: 4 given up
    peer.SendTo(server.Port(), kStatus);
    for (uint8_t b : kQuery)                                  // split: all 6 lost
        peer.SendTo(server.Port(), {b});
    peer.SendTo(server.Port(), kQuery);
    ASSERT_TRUE(server.collector.WaitForFrames(4));
    EXPECT_EQ(server.collector.Frames(), (std::vector<Bytes>{kQuery, kStatus, kStatus, kQuery}));
    EXPECT_TRUE(WaitFor([&] { return server.udp.BytesDiscarded() == 3 + 4 + 6; })) << server.udp.BytesDiscarded();
    EXPECT_EQ(server.udp.BytesReceived(), 14 + 3 + 4 + 8 + 6 + 6);
}

// A datagram larger than the receive buffer arrives cut to 8192 bytes, is
// counted and reported, and the transport goes on receiving.
TEST(UdpTransport, OversizedDatagramIsCutNotDropped)
{
    LogCapture log;
    Endpoint server;
    ASSERT_TRUE(server.Start(0, ""));
    std::vector<size_t> sizes;
    std::mutex mutex;
    server.udp.m_sigRawRx.connect([&](const unsigned char*, unsigned int n, long long) {
        std::lock_guard<std::mutex> lock(mutex);
        sizes.push_back(n);
    });
    UdpPeer peer;
    peer.SendTo(server.Port(), Bytes(9000, 0x11));
    peer.SendTo(server.Port(), Bytes(10, 0x22));
    ASSERT_TRUE(WaitFor([&] {
        std::lock_guard<std::mutex> lock(mutex);
        return sizes.size() == 2;
    }));
    EXPECT_EQ(sizes, (std::vector<size_t>{8192, 10}));
    EXPECT_EQ(server.udp.DatagramsTruncated(), 1u);
    EXPECT_TRUE(log.Contains("Datagram from 127.0.0.1:" + std::to_string(peer.Port()) + " longer than 8192 bytes, cut",
                             DBG_WRN));
}

TEST(UdpTransport, PortInUseFailsInitialise)
{
    LogCapture log;
    UdpPeer holder;
    cUdpIF udp("Busy");
    EXPECT_FALSE(udp.initialise(9876, "127.0.0.1", holder.Port(), "127.0.0.1", true, false, 1));
    EXPECT_TRUE(log.Contains("nx::http::UDPServer::Open (78): Cannot Open UDP Server", DBG_ERR));
    EXPECT_TRUE(log.Contains("(Busy) m_UdpIF.Open failed", DBG_ERR));
}

// An address text that is no address raises out of the transport; the
// transport selection turns that into a logged failure.
TEST(UdpTransport, UnparsableAddressFailsSelectionWithoutException)
{
    LogCapture log;
    cUdpIF udp("Bad");
    EXPECT_THROW(udp.initialise(9876, "vms.local.", 0, "0.0.0.0", true, false, 1), boost::system::system_error);
    cMultiCommsIF factory("Kestrum");
    EXPECT_FALSE(factory.InitUdp(9876, "300.1.2.3", 0, "0.0.0.0"));
    EXPECT_EQ(factory.GetCurrent(), nullptr);
    EXPECT_TRUE(log.Contains("cMultiCommsIF::InitUdp (37): UDP Initialise failed", DBG_ERR)) << log.Dump();
    EXPECT_TRUE(factory.InitUdp(0, "127.0.0.1", 0, "0.0.0.0"));
    EXPECT_NE(factory.GetCurrent(), nullptr);
}

// A destination that refuses (closed port) puts the transport back on its
// configured destination and re-arms learning. Repeated refusals are logged
// once, and the next good datagram says receiving has resumed.
TEST(UdpTransport, ConnectionRefusedRearmsLearning)
{
    LogCapture log;
    uint16_t nClosedPort = 0;
    {
        UdpPeer gone;
        nClosedPort = gone.Port();
    }
    Endpoint console;
    ASSERT_TRUE(console.Start(nClosedPort, "127.0.0.1"));
    auto peer = std::make_unique<UdpPeer>();
    peer->SendTo(console.Port(), kQuery);
    ASSERT_TRUE(console.collector.WaitForFrames(1));
    ASSERT_TRUE(WaitFor([&] { return console.udp.RemoteEndPoint().port() == peer->Port(); }));
    ASSERT_FALSE(console.udp.LearningArmed());

    const uint16_t nPeerPort = peer->Port();
    peer->Close();
    // Send until the refusal comes back, and no more: every extra datagram to
    // the closed port brings a later refusal that would re-arm learning again.
    for (int i = 0; i < 3 && !console.udp.LearningArmed(); ++i)
    {
        console.udp.messageSend(kStatus.data(), 8);
        WaitFor([&] { return console.udp.LearningArmed(); }, std::chrono::milliseconds(2000));
    }
    ASSERT_TRUE(WaitFor([&] { return console.udp.LearningArmed(); }));
    EXPECT_EQ(console.udp.RemoteEndPoint().port(), nClosedPort);
    // The refusal surfaces on the receive or on a later send, whichever asks
    // the socket first; either way a run of them is logged once as it begins
    // and once as it ends.
    EXPECT_EQ(log.Count("UDP Server receive error (111:Connection refused)", DBG_ERR), 1) << log.Dump();
    EXPECT_EQ(log.Count("UDPServer::callback_error"), 0);
    // Counted, with where the refused datagrams went: the learnt destination.
    EXPECT_GE(console.udp.Refusals(), 1u);
    EXPECT_EQ(console.udp.RefusedDestination(), "127.0.0.1:" + std::to_string(nPeerPort));

    UdpPeer newcomer;
    newcomer.SendTo(console.Port(), kQuery);
    ASSERT_TRUE(console.collector.WaitForFrames(2));
    ASSERT_TRUE(WaitFor([&] { return console.udp.RemoteEndPoint().port() == newcomer.Port(); }));
    EXPECT_TRUE(WaitFor([&] {
        return log.Contains("UDP Server now receiving from 127.0.0.1::" + std::to_string(newcomer.Port()) + " after ",
                            DBG_INF);
    })) << log.Dump();
    console.udp.messageSend(kStatus.data(), 8);
    EXPECT_EQ(newcomer.Receive(), kStatus);
}

// A datagram in which the framer finds no frame is counted by what its first
// bytes look like, and its first bytes kept; one that holds a frame anywhere,
// and an empty one, are not counted.
TEST(UdpTransport, DatagramsWithoutAFrameAreCountedByWhatTheyLookLike)
{
    Endpoint console;
    ASSERT_TRUE(console.Start(0, ""));
    UdpPeer peer;
    auto counted = [&](RC_DatagramKind eKind) { return console.udp.UnframedDatagrams(eKind); };
    const Bytes longStatus = {0x99, 0x05, 0x02, 0x00, 0x00, 0x09, 0x03, 0x00, 0x2A, 0x00};
    const Bytes text = {'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd'};
    Bytes junkThenFrame = {0x00, 0x01};
    junkThenFrame.insert(junkThenFrame.end(), kStatus.begin(), kStatus.end());

    for (const Bytes& datagram : {kStatus, longStatus, longStatus, text, Bytes{}, junkThenFrame, Bytes{0x00, 0xFF}})
        peer.SendTo(console.Port(), datagram);
    // The last one is junk: once it is counted, all before it were taken.
    ASSERT_TRUE(WaitFor([&] { return counted(RC_DatagramKind::Other) == 1; }));
    EXPECT_EQ(console.collector.Count(), 2u);
    EXPECT_EQ(counted(RC_DatagramKind::Long), 2u);
    EXPECT_EQ(counted(RC_DatagramKind::Text), 1u);
    EXPECT_EQ(counted(RC_DatagramKind::Short), 0u);
    EXPECT_EQ(counted(RC_DatagramKind::Eo), 0u);
    EXPECT_EQ(console.udp.UnframedSample(RC_DatagramKind::Text), 0x6F77206F6C6C6568ull);  // "hello wo"
    EXPECT_EQ(console.udp.UnframedSample(RC_DatagramKind::Other), 0xFF00ull);
}

// Sends from several threads at once all arrive (the send path is shared by
// the dialogs and the heartbeat timer).
TEST(UdpTransport, ConcurrentSendsAllArrive)
{
    Endpoint server;
    ASSERT_TRUE(server.Start(0, ""));
    Endpoint client;
    ASSERT_TRUE(client.Start(server.Port(), "127.0.0.1"));
    std::vector<std::thread> senders;
    for (int t = 0; t < 3; ++t)
        senders.emplace_back([&] {
            // Few enough to stay well inside the receiver's socket buffer.
            for (int i = 0; i < 30; ++i)
                client.collector.sendMessage(kQuery.data(), 6);
        });
    for (std::thread& sender : senders)
        sender.join();
    ASSERT_TRUE(server.collector.WaitForFrames(90));
    EXPECT_EQ(server.collector.Frames(), std::vector<Bytes>(90, kQuery));
}

// A multicast destination joins the group; datagrams sent to the group arrive.
TEST(UdpTransport, MulticastDestinationJoinsGroup)
{
    LogCapture log;
    cUdpIF udp("Mcast");
    FrameCollector collector;
    if (!udp.initialise(0, "239.255.42.99", 0, "127.0.0.1", true, false, 1))
        GTEST_SKIP() << "this machine cannot join a multicast group on the loopback interface (no multicast route)";
    ASSERT_TRUE(collector.setCommsIF(&udp));
    ASSERT_TRUE(collector.initialise(1000));
    EXPECT_TRUE(log.Contains("Found and using multicast address 239.255.42.99"));

    boost::asio::io_context io;
    udp::socket sender(io, udp::endpoint(udp::v4(), 0));
    sender.set_option(boost::asio::ip::multicast::outbound_interface(boost::asio::ip::make_address_v4("127.0.0.1")));
    sender.set_option(boost::asio::ip::multicast::enable_loopback(true));
    boost::system::error_code ec;
    sender.send_to(boost::asio::buffer(kQuery), udp::endpoint(boost::asio::ip::make_address("239.255.42.99"), udp.LocalPort()), 0, ec);
    if (ec)
        GTEST_SKIP() << "this machine has no route for multicast on loopback: " << ec.message();
    ASSERT_TRUE(collector.WaitForFrames(1));
    EXPECT_EQ(collector.Frames()[0], kQuery);
    collector.close();
}

// Sends from another thread while the transport terminates: those before
// Terminate returns arrive, none after it, and nothing crashes.
TEST(UdpTransport, SendsRacingTerminateStopWithIt)
{
    UdpPeer peer;
    cUdpIF udp("Race");
    ASSERT_TRUE(udp.initialise(peer.Port(), "127.0.0.1", 0, "127.0.0.1", true, false, cUdpIF::kNoLearning));
    ASSERT_TRUE(udp.startRx());
    std::atomic<int> nSends{0};
    std::atomic<bool> bStop{false};
    std::thread sender([&] {
        while (!bStop)
        {
            udp.messageSend(kQuery.data(), 6);
            ++nSends;
        }
    });
    ASSERT_TRUE(WaitFor([&] { return nSends > 50; }));
    udp.Terminate();
    auto drain = [&] {
        peer.SetTimeout(0);
        int nCount = 0;
        for (bool bTimedOut = false; peer.Receive(&bTimedOut), !bTimedOut;)
            ++nCount;
        return nCount;
    };
    EXPECT_GT(drain(), 0);
    const int nAtTerminate = nSends;
    ASSERT_TRUE(WaitFor([&] { return nSends > nAtTerminate + 200; }));
    bStop = true;
    sender.join();
    EXPECT_EQ(drain(), 0);
}

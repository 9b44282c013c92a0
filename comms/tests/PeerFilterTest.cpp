#include "FrameCollector.h"
#include "LogCapture.h"
#include "UdpPeer.h"
#include "WaitFor.h"
#include "cMultiCommsIF.h"
#include "cPeerFilter.h"
#include "cUdpIF.h"

#include <gtest/gtest.h>

using nx::http::cUdpIF;

namespace
{
using Bytes = std::vector<uint8_t>;
const Bytes kQuery = {0x10, 0x05, 0x00, 0x01, 0x85, 0x9B};

boost::asio::ip::address Address(const char* szText)
{
    return boost::asio::ip::make_address(szText);
}

// A transport filtering its senders, with a collector for its frames.
struct FilteredEndpoint
{
    FilteredEndpoint(const std::string& sAllowed, const std::string& sTarget, int32_t nTargetPort) : udp("RC")
    {
        udp.SetAllowedPeers(sAllowed);
        EXPECT_TRUE(udp.initialise(nTargetPort, sTarget, 0, "0.0.0.0", true, false, cUdpIF::kLearnOnce));
        EXPECT_TRUE(collector.setCommsIF(&udp));
        EXPECT_TRUE(collector.initialise(1000));
    }
    ~FilteredEndpoint() { collector.close(); }
    uint16_t Port() const { return udp.LocalPort(); }

    cUdpIF udp;
    FrameCollector collector;
};
} // namespace

// What the setting text means, with the target address it goes with.
TEST(PeerFilter, SettingTextAndTargetDecideWhoIsAllowed)
{
    struct Case
    {
        const char* szAllowed;
        const char* szTarget;
        const char* szDescribed;
    };
    const Case cases[] = {
        {"", "127.0.0.1", "127.0.0.1"},           // empty: the unicast target
        {"", "", "any"},                          // no target: anyone (learning finds the peer)
        {"", "239.1.2.3", "any"},                 // multicast target: the senders are others
        {"", "255.255.255.255", "any"},
        {"", "0.0.0.0", "any"},
        {" Any ", "127.0.0.1", "any"},
        {"10.0.0.7, 10.0.0.8", "127.0.0.1", "10.0.0.7, 10.0.0.8"},
        {"not-an-address, 10.0.0.8", "", "10.0.0.8"},
        {"junk", "192.168.1.10", "192.168.1.10"},  // nothing usable: the empty rule
        {"junk", "", "any"},
        {"::1,,", "", "::1"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(cPeerFilter(c.szAllowed, c.szTarget).Describe(), c.szDescribed) << c.szAllowed << " / " << c.szTarget;

    const cPeerFilter filter("10.0.0.7", "");
    EXPECT_TRUE(filter.Allows(Address("10.0.0.7")));
    EXPECT_TRUE(filter.Allows(Address("::ffff:10.0.0.7")));
    EXPECT_FALSE(filter.Allows(Address("10.0.0.70")));
    EXPECT_TRUE(cPeerFilter().Allows(Address("10.9.9.9")));

    LogCapture log;
    cPeerFilter("10.0.0.1, vms.local", "", "Kestrum");
    EXPECT_TRUE(log.Contains("(Kestrum) sAllowedPeers entry 'vms.local' is not an address, left out", DBG_ERR));
}

// With the target 127.0.0.1, a stranger on 127.0.0.2 that speaks first is
// neither heard nor learned from; it is counted and reported once. The
// configured peer, from a port of its own choosing, is then learned.
TEST(PeerFilter, StrangerIsIgnoredAndNeverLearned)
{
    LogCapture log;
    FilteredEndpoint console("", "127.0.0.1", 9);
    UdpPeer stranger("127.0.0.2");
    for (int i = 0; i < 5; ++i)
        stranger.SendTo(console.Port(), kQuery);
    ASSERT_TRUE(WaitFor([&] { return console.udp.PeerRejects() == 5; }));
    EXPECT_EQ(console.collector.Count(), 0u);
    EXPECT_TRUE(console.udp.LearningArmed());
    EXPECT_EQ(console.udp.RemoteEndPoint().port(), 9);
    EXPECT_EQ(log.Count("(RC) datagrams from 127.0.0.2 are not taken (allowed: 127.0.0.1)", DBG_WRN), 1) << log.Dump();

    UdpPeer peer("127.0.0.1");
    peer.SendTo(console.Port(), kQuery);
    ASSERT_TRUE(console.collector.WaitForFrames(1));
    EXPECT_FALSE(console.udp.LearningArmed());
    EXPECT_EQ(console.udp.RemoteEndPoint().port(), peer.Port());
    stranger.SendTo(console.Port(), kQuery);
    ASSERT_TRUE(WaitFor([&] { return console.udp.PeerRejects() == 6; }));
    EXPECT_EQ(console.udp.RemoteEndPoint().port(), peer.Port());
}

// "any" is the transport's behaviour without a filter: the first sender,
// whoever it is, becomes the destination. The transport selection passes the
// setting through.
TEST(PeerFilter, AnyRestoresLearningFromAnySender)
{
    FilteredEndpoint console("any", "127.0.0.1", 9);
    UdpPeer stranger("127.0.0.2");
    stranger.SendTo(console.Port(), kQuery);
    ASSERT_TRUE(console.collector.WaitForFrames(1));
    EXPECT_EQ(console.udp.RemoteEndPoint().addressText(), "127.0.0.2");
    EXPECT_EQ(console.udp.PeerRejects(), 0u);

    cMultiCommsIF factory("Kestrum");
    ASSERT_TRUE(factory.InitUdp(9, "127.0.0.1", 0, "0.0.0.0", "127.0.0.3"));
    EXPECT_EQ(static_cast<cUdpIF*>(factory.GetCurrent())->AllowedPeers(), "127.0.0.3");
    ASSERT_TRUE(factory.InitUdp(9, "127.0.0.1", 0, "0.0.0.0"));
    EXPECT_EQ(static_cast<cUdpIF*>(factory.GetCurrent())->AllowedPeers(), "any");
}

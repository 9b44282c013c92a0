#pragma once
#include <boost/asio/ip/address.hpp>
#include <string>
#include <vector>

// Which senders a UDP transport takes datagrams from, by address (any port).
// Built from a setting text: a comma-separated list of addresses; "any" for
// every sender; empty for the configured target address when that is one
// host (unicast), every sender otherwise (no target, multicast, broadcast).
// Entries that are not addresses are left out with an error line; with none
// left the empty rule applies, so a typo never opens the link to everyone
// when a unicast target is configured.
class cPeerFilter
{
public:
    cPeerFilter() = default;  // every sender
    cPeerFilter(const std::string& sAllowed, const std::string& sTargetAddress, const char* szName = "");

    bool AllowsAny() const { return m_bAny; }
    bool Allows(const boost::asio::ip::address& sender) const;
    // "any", or the addresses in the order given.
    std::string Describe() const;

private:
    static bool IsSingleHost(const boost::asio::ip::address& address);
    static boost::asio::ip::address Normalised(const boost::asio::ip::address& address);

    bool m_bAny = true;
    std::vector<boost::asio::ip::address> m_Allowed;
};

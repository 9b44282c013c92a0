#pragma once
#include <boost/asio/ip/udp.hpp>
#include <cstdint>
#include <string>

namespace nx::http
{
// An IPv4 or IPv6 address with a port. Address text that parses as neither
// raises boost::system::system_error from the constructor.
class IPEndPoint
{
public:
    IPEndPoint() : m_EndPoint(boost::asio::ip::address_v4::any(), 0) {}
    IPEndPoint(const std::string& sAddress, uint16_t nPort);
    explicit IPEndPoint(const boost::asio::ip::udp::endpoint& endPoint) : m_EndPoint(endPoint) {}
    virtual ~IPEndPoint() = default;
    IPEndPoint(const IPEndPoint&) = default;
    IPEndPoint& operator=(const IPEndPoint&) = default;

    virtual void address(std::string& sAddress) const;
    virtual uint16_t port() const { return m_EndPoint.port(); }

    std::string addressText() const;
    const boost::asio::ip::udp::endpoint& endPoint() const { return m_EndPoint; }
    void setPort(uint16_t nPort) { m_EndPoint.port(nPort); }

private:
    boost::asio::ip::udp::endpoint m_EndPoint;
};
} // namespace nx::http

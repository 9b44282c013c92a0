#include "IPEndPoint.h"

#include <boost/asio/ip/address.hpp>
#include <boost/system/system_error.hpp>

namespace nx::http
{
IPEndPoint::IPEndPoint(const std::string& sAddress, uint16_t nPort)
{
    boost::system::error_code ec;
    const boost::asio::ip::address_v6 v6 = boost::asio::ip::make_address_v6(sAddress, ec);
    if (!ec)
    {
        m_EndPoint = boost::asio::ip::udp::endpoint(v6, nPort);
        return;
    }
    // Throws on text that is neither form; "255.255.255.255" is the broadcast address.
    m_EndPoint = boost::asio::ip::udp::endpoint(boost::asio::ip::make_address_v4(sAddress), nPort);
}

void IPEndPoint::address(std::string& sAddress) const
{
    sAddress = m_EndPoint.address().to_string();
}

std::string IPEndPoint::addressText() const
{
    return m_EndPoint.address().to_string();
}
} // namespace nx::http

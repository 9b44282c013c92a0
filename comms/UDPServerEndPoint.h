#pragma once
#include "IPEndPoint.h"

namespace nx::http
{
// The sender of a received datagram.
class UDPServerEndPoint : public IPEndPoint
{
public:
    explicit UDPServerEndPoint(const boost::asio::ip::udp::endpoint& endPoint) : IPEndPoint(endPoint) {}
};
} // namespace nx::http

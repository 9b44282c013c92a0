#include "cPeerFilter.h"

#include "DbgLog.h"

#include <algorithm>
#include <boost/algorithm/string/case_conv.hpp>
#include <boost/algorithm/string/split.hpp>
#include <boost/algorithm/string/trim.hpp>

cPeerFilter::cPeerFilter(const std::string& sAllowed, const std::string& sTargetAddress, const char* szName)
{
    const std::string sText = boost::algorithm::trim_copy(sAllowed);
    if (boost::algorithm::to_lower_copy(sText) == "any")
        return;
    std::vector<std::string> entries;
    boost::algorithm::split(entries, sText, [](char c) { return c == ','; });
    for (std::string& sEntry : entries)
    {
        boost::algorithm::trim(sEntry);
        if (sEntry.empty())
            continue;
        boost::system::error_code ec;
        const boost::asio::ip::address address = boost::asio::ip::make_address(sEntry, ec);
        if (ec)
        {
            DbgLog(DBG_ERR, "cPeerFilter::cPeerFilter", __LINE__,
                   DbgLogFormat("(%s) sAllowedPeers entry '%s' is not an address, left out", szName ? szName : "",
                                sEntry.c_str()),
                   CAT_COMMS);
            continue;
        }
        m_Allowed.push_back(Normalised(address));
    }
    if (m_Allowed.empty())
    {
        boost::system::error_code ec;
        const boost::asio::ip::address target = boost::asio::ip::make_address(sTargetAddress, ec);
        if (ec || !IsSingleHost(target))
            return;
        m_Allowed.push_back(Normalised(target));
    }
    m_bAny = false;
}

bool cPeerFilter::IsSingleHost(const boost::asio::ip::address& address)
{
    if (address.is_unspecified() || address.is_multicast())
        return false;
    return !(address.is_v4() && address.to_v4() == boost::asio::ip::address_v4::broadcast());
}

// An IPv4 sender seen through an IPv6 socket is the same host.
boost::asio::ip::address cPeerFilter::Normalised(const boost::asio::ip::address& address)
{
    if (address.is_v6() && address.to_v6().is_v4_mapped())
        return boost::asio::ip::make_address_v4(boost::asio::ip::v4_mapped, address.to_v6());
    return address;
}

bool cPeerFilter::Allows(const boost::asio::ip::address& sender) const
{
    if (m_bAny)
        return true;
    return std::find(m_Allowed.begin(), m_Allowed.end(), Normalised(sender)) != m_Allowed.end();
}

std::string cPeerFilter::Describe() const
{
    if (m_bAny)
        return "any";
    std::string sText;
    for (const boost::asio::ip::address& address : m_Allowed)
        sText += (sText.empty() ? "" : ", ") + address.to_string();
    return sText;
}

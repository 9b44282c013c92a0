#include "cTrafficFilter.h"

#include <algorithm>
#include <cctype>

namespace
{
bool HoldsIgnoringCase(const std::string& sText, const std::string& sWanted)
{
    const auto it = std::search(sText.begin(), sText.end(), sWanted.begin(), sWanted.end(), [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
    });
    return it != sText.end();
}
} // namespace

bool cTrafficFilter::Accepts(const cTrafficHistory::Record& record, const cTrafficDecoder& decoder) const
{
    if (direction && record.eDirection != *direction)
        return false;
    const uint8_t* pBytes = record.bytes.data();
    const size_t nSize = record.bytes.size();
    if (kind && cTrafficDecoder::KindOf(pBytes, nSize) != *kind)
        return false;
    if (subSystem && (nSize < 2 || pBytes[1] != *subSystem))
        return false;
    if (sText.empty())
        return true;
    const cTrafficDecoder::Decoded decoded = decoder.Decode(pBytes, nSize, record.eDirection);
    return HoldsIgnoringCase(cTrafficDecoder::ItemsText(decoded), sText) ||
           HoldsIgnoringCase(decoded.sNote, sText) ||
           std::any_of(decoded.items.begin(), decoded.items.end(),
                       [&](const cTrafficDecoder::Item& item) { return HoldsIgnoringCase(item.sType, sText); });
}

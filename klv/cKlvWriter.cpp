#include "cKlvWriter.h"

#include "KlvFormat.h"

namespace
{
void AppendItem(std::vector<uint8_t>& items, uint32_t nTag, const uint8_t* pValue, size_t nCount)
{
    KlvAppendTag(items, nTag);
    KlvAppendBerLength(items, nCount);
    items.insert(items.end(), pValue, pValue + nCount);
}
} // namespace

std::vector<uint8_t> cKlvWriter::Write(const KlvMetadata& metadata)
{
    std::vector<uint8_t> items;
    items.reserve(96);

    uint8_t timeStamp[8];
    for (int i = 0; i < 8; ++i)
        timeStamp[i] = static_cast<uint8_t>(metadata.nTimeUs >> (8 * (7 - i)));
    AppendItem(items, kKlvTagTimeStamp, timeStamp, sizeof timeStamp);

    std::vector<uint8_t> value;
    for (const KlvMappedTag& tag : KlvMappedTags())
    {
        const std::optional<double>& dField = metadata.*tag.pField;
        value.clear();
        if (dField && tag.Append(value, *dField))
            AppendItem(items, tag.nTag, value.data(), value.size());
    }
    AppendItem(items, kKlvTagVersion, &metadata.nVersion, 1);

    std::vector<uint8_t> packet(kKlvUasLocalSetKey.begin(), kKlvUasLocalSetKey.end());
    packet.reserve(kKlvUasLocalSetKey.size() + 3 + items.size() + 4);
    KlvAppendBerLength(packet, items.size() + 4);
    packet.insert(packet.end(), items.begin(), items.end());
    packet.push_back(static_cast<uint8_t>(kKlvTagChecksum));
    packet.push_back(2);
    const uint16_t nChecksum = KlvChecksum(packet.data(), packet.size());
    packet.push_back(static_cast<uint8_t>(nChecksum >> 8));
    packet.push_back(static_cast<uint8_t>(nChecksum));
    return packet;
}

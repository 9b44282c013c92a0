#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

// Packets put together byte by byte from the format's definition, without the
// library's own helpers.
namespace KlvTestPackets
{
using Bytes = std::vector<uint8_t>;

inline const Bytes kKey = {0x06, 0x0E, 0x2B, 0x34, 0x02, 0x0B, 0x01, 0x01,
                           0x0E, 0x01, 0x03, 0x01, 0x01, 0x00, 0x00, 0x00};

// Bytes at even positions are the high byte of a 16-bit word.
inline uint16_t SumOfWords(const Bytes& bytes)
{
    uint32_t nSum = 0;
    for (size_t i = 0; i < bytes.size(); ++i)
        nSum += i % 2 == 0 ? bytes[i] << 8 : bytes[i];
    return static_cast<uint16_t>(nSum);
}

inline Bytes Cat(std::initializer_list<Bytes> parts)
{
    Bytes all;
    for (const Bytes& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

// Key, the length field given, the items, then the checksum item.
inline Bytes PacketWithLengthField(const Bytes& lengthField, const Bytes& items)
{
    Bytes packet = Cat({kKey, lengthField, items, {0x01, 0x02}});
    const uint16_t nSum = SumOfWords(packet);
    packet.push_back(static_cast<uint8_t>(nSum >> 8));
    packet.push_back(static_cast<uint8_t>(nSum));
    return packet;
}

// The same with a short-form length.
inline Bytes Packet(const Bytes& items)
{
    return PacketWithLengthField({static_cast<uint8_t>(items.size() + 4)}, items);
}

// Tag 2 with 1 700 000 000 123 456 us.
inline const Bytes kTimeItem = {0x02, 0x08, 0x00, 0x06, 0x0A, 0x24, 0x18, 0x20, 0x22, 0x40};
inline constexpr uint64_t kTimeUs = 1700000000123456ull;
} // namespace KlvTestPackets

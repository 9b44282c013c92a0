#pragma once
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <vector>

// Reads an MPEG transport stream as a receiver would, datagram by datagram,
// and keeps what the video tests check: packets whose sync byte is wrong, the
// programme's streams from the PAT and PMT (type, registration format), and
// per stream the PES packets begun, their presentation times and the start of
// each PES payload. Never reads outside the packet it is given.
class TsInspector
{
public:
    static constexpr size_t kPacket = 188;
    static constexpr uint8_t kStreamTypeH264 = 0x1B;

    struct Stream
    {
        uint8_t nType = 0;
        uint32_t nRegistration = 0;  // format identifier of a registration descriptor ("KLVA"), 0 if none
        size_t nPesStarts = 0;
        std::vector<uint64_t> pts;                  // 90 kHz, of each PES that carries one
        std::vector<std::vector<uint8_t>> payloads;  // each PES payload's bytes in its first packet
    };

    void Datagram(const uint8_t* pData, size_t nSize)
    {
        for (size_t nAt = 0; nAt + kPacket <= nSize; nAt += kPacket)
            Packet(pData + nAt);
        if (nSize % kPacket != 0)
            ++m_nBadSync;
    }

    size_t Packets() const { return m_nPackets; }
    size_t BadSync() const { return m_nBadSync; }
    std::optional<uint16_t> PmtPid() const { return m_nPmtPid; }
    const std::map<uint16_t, Stream>& Streams() const { return m_Streams; }
    // The first stream of the type, or nullptr.
    const Stream* OfType(uint8_t nType) const
    {
        for (const auto& [nPid, stream] : m_Streams)
            if (stream.nType == nType)
                return &stream;
        return nullptr;
    }
    const Stream* Other(uint8_t nNotType) const
    {
        for (const auto& [nPid, stream] : m_Streams)
            if (stream.nType != nNotType)
                return &stream;
        return nullptr;
    }

private:
    void Packet(const uint8_t* p)
    {
        ++m_nPackets;
        if (p[0] != 0x47)
        {
            ++m_nBadSync;
            return;
        }
        const bool bStart = (p[1] & 0x40) != 0;
        const uint16_t nPid = static_cast<uint16_t>((p[1] & 0x1F) << 8 | p[2]);
        const uint8_t nControl = (p[3] >> 4) & 3;
        size_t nPayload = 4;
        if (nControl & 2)
            nPayload += 1 + p[4];
        if (!(nControl & 1) || nPayload >= kPacket)
            return;
        const uint8_t* pPayload = p + nPayload;
        const size_t nLength = kPacket - nPayload;
        if (nPid == 0 && bStart)
            Pat(pPayload, nLength);
        else if (m_nPmtPid && nPid == *m_nPmtPid && bStart)
            Pmt(pPayload, nLength);
        else if (bStart && m_Streams.count(nPid))
            Pes(m_Streams[nPid], pPayload, nLength);
    }

    // The section after the pointer field, or nullptr; nSection its length up to its CRC.
    static const uint8_t* Section(const uint8_t* p, size_t nLength, uint8_t nTable, size_t& nSection)
    {
        if (nLength < 1 || 1u + p[0] + 3 > nLength)
            return nullptr;
        const uint8_t* s = p + 1 + p[0];
        const size_t nLeft = nLength - 1 - p[0];
        const size_t nSectionLength = static_cast<size_t>((s[1] & 0x0F) << 8 | s[2]);
        if (s[0] != nTable || nSectionLength < 4 || 3 + nSectionLength > nLeft)
            return nullptr;
        nSection = 3 + nSectionLength - 4;
        return s;
    }

    void Pat(const uint8_t* p, size_t nLength)
    {
        size_t nEnd = 0;
        const uint8_t* s = Section(p, nLength, 0x00, nEnd);
        for (size_t n = 8; s && n + 4 <= nEnd; n += 4)
            if ((s[n] << 8 | s[n + 1]) != 0)
                m_nPmtPid = static_cast<uint16_t>((s[n + 2] & 0x1F) << 8 | s[n + 3]);
    }

    void Pmt(const uint8_t* p, size_t nLength)
    {
        size_t nEnd = 0;
        const uint8_t* s = Section(p, nLength, 0x02, nEnd);
        if (!s || nEnd < 12)
            return;
        size_t n = 12 + static_cast<size_t>((s[10] & 0x0F) << 8 | s[11]);
        while (n + 5 <= nEnd)
        {
            const uint16_t nPid = static_cast<uint16_t>((s[n + 1] & 0x1F) << 8 | s[n + 2]);
            const size_t nInfo = static_cast<size_t>((s[n + 3] & 0x0F) << 8 | s[n + 4]);
            Stream& stream = m_Streams[nPid];
            stream.nType = s[n];
            for (size_t d = n + 5; d + 2 <= std::min(n + 5 + nInfo, nEnd); d += 2u + s[d + 1])
                if (s[d] == 0x05 && s[d + 1] >= 4 && d + 6 <= nEnd)
                    stream.nRegistration = static_cast<uint32_t>(s[d + 2]) << 24 | s[d + 3] << 16 | s[d + 4] << 8 |
                                           s[d + 5];
            n += 5 + nInfo;
        }
    }

    static void Pes(Stream& stream, const uint8_t* p, size_t nLength)
    {
        if (nLength < 9 || p[0] != 0 || p[1] != 0 || p[2] != 1)
            return;
        ++stream.nPesStarts;
        const size_t nHeader = 9u + p[8];
        if ((p[7] & 0x80) && nLength >= 14)
            stream.pts.push_back(static_cast<uint64_t>(p[9] & 0x0E) << 29 | static_cast<uint64_t>(p[10]) << 22 |
                                 static_cast<uint64_t>(p[11] & 0xFE) << 14 | static_cast<uint64_t>(p[12]) << 7 |
                                 p[13] >> 1);
        if (nHeader < nLength)
            stream.payloads.emplace_back(p + nHeader, p + nLength);
    }

    size_t m_nPackets = 0;
    size_t m_nBadSync = 0;
    std::optional<uint16_t> m_nPmtPid;
    std::map<uint16_t, Stream> m_Streams;
};

#pragma once
#include "KlvMetadata.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

// Checks and decodes UAS Datalink Local Set packets of one stream. It reads
// the one packet at the start of the bytes given, as far as its BER length
// says (padding or a second packet may follow), and never past nSize. A
// packet is taken only whole: key, length, every item's length, the checksum
// last and right, the time stamp present; tags it does not know are skipped.
// A run of bad packets is logged twice: the first one's reason as it begins,
// and how many there were when a good packet ends it.
// Read runs on one thread (a streaming thread); the counters are atomic and
// read from any thread.
class cKlvReader
{
public:
    enum class eResult
    {
        Ok,
        Short,        // fewer bytes than the key and the packet's length need
        WrongKey,     // not a UAS Datalink Local Set
        BadLength,    // a packet length the format does not allow
        BadChecksum,  // no checksum item at the end, or it disagrees
        BadItem,      // an item's tag or length does not fit, or the time stamp is missing
    };

    explicit cKlvReader(std::string sName = "KLV");

    // On Ok, metadata holds the packet's values and nothing else; otherwise it
    // is left as it was.
    eResult Read(const uint8_t* pData, size_t nSize, KlvMetadata& metadata);
    uint64_t GoodPackets() const { return m_nGoodPackets.load(std::memory_order_relaxed); }
    uint64_t RejectedPackets() const { return m_nRejectedPackets.load(std::memory_order_relaxed); }
    // Bytes of the last packet read Ok (key to checksum): where a following one starts.
    size_t LastPacketSize() const { return m_nLastPacketSize; }
    static const char* ResultText(eResult eResult);

private:
    // The checks and the decoding; on a failure m_szDetail says what was found.
    eResult Parse(const uint8_t* pData, size_t nSize, KlvMetadata& metadata);
    eResult Fail(eResult eResult, const char* szFormat, ...) __attribute__((format(printf, 3, 4)));

    const std::string m_sName;
    std::atomic<uint64_t> m_nGoodPackets{0};      // Read's thread writes
    std::atomic<uint64_t> m_nRejectedPackets{0};  // Read's thread writes
    // Read's thread only:
    uint64_t m_nRunRejected = 0;  // bad packets since the last good one
    size_t m_nLastPacketSize = 0;
    char m_szDetail[128] = {};
};

#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

// Decides whether what a video source delivers has the shape of the stream
// it should be: MPEG transport stream packets (a sync byte 0x47 every 188
// bytes) or RTP (version 2). The demuxer and depayloader drop anything else
// without a word, so without this check a wrong sender would look like
// silence. A run of misfits is one lasting condition: it begins after a few
// buffers in a row do not fit (a single spoilt datagram is loss, not a wrong
// stream) and ends with the first one that fits. Called on one streaming
// thread only.
class cStreamShape
{
public:
    enum class eExpect
    {
        TransportStream,
        Rtp
    };
    static constexpr int kMisfitsToBegin = 8;

    explicit cStreamShape(eExpect eExpected) : m_eExpected(eExpected) {}

    static constexpr uint64_t kFollows = ~uint64_t{0};

    // One buffer as the source delivered it. bContinuous: the bytes are part
    // of one byte stream (a file read in blocks) rather than a datagram of
    // their own; nAt is where in that stream they lie, or kFollows when they
    // continue the previous buffer. A demuxer that pulls from a file reads
    // where it likes (the end first, for the duration), so the offset is
    // the buffer's own. Returns true when the condition began or ended with it.
    bool Feed(const uint8_t* pData, size_t nSize, bool bContinuous, uint64_t nAt = kFollows);
    bool IsMisfit() const { return m_bMisfit; }
    // What the condition says while it lasts.
    std::string Describe() const;

    static bool FitsTransportStream(const uint8_t* pData, size_t nSize, size_t nFirstPacket);
    static bool FitsRtp(const uint8_t* pData, size_t nSize);

private:
    const eExpect m_eExpected;
    uint64_t m_nOffset = 0;  // bytes of a continuous stream so far
    int m_nMisfitsInRow = 0;
    bool m_bMisfit = false;
};

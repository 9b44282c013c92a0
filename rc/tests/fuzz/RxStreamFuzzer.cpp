// Feeds arbitrary bytes, cut into arbitrary blocks, through a transport's
// receive path into the framer and the protocol object's checksum check, and
// compares the block path with a byte-by-byte framer on the same stream.
#include "NullTransport.h"
#include "cCommsIF.h"
#include "cRC_IO.h"
#include "cRxProtocol.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace
{
// All three frame kinds, as the page protocol and the track receiver load them.
bool LoadAllKinds(cRxProtocol& framer, cCommsIO* pOwner)
{
    framer.m_nDefaultSync = 0x10;
    if (framer.LoadMsgDescriptor(MsgDescriptor::kOneByteLength, 3, 5, pOwner) != 0)
        return false;
    framer.m_nDefaultSync = 0x99;
    if (framer.LoadMsgDescriptor(MsgDescriptor::kTwoByteLength, 5, 0, pOwner) != 0)
        return false;
    framer.m_nDefaultSync = 0x77;
    return framer.LoadMsgDescriptor(MsgDescriptor::kTwoByteLength, 3, 0, pOwner) == 0;
}

class Protocol : public cRC_IO
{
public:
    Protocol() : cRC_IO("Fuzz") {}
    ~Protocol() override { clearCommsIF(); }
    bool loadRxMsgDescriptors() override
    {
        return getCommsIF()->loadProtocol(nullptr) && LoadAllKinds(*getCommsIF()->getProtocol(), this);
    }
    void handleMessage(const uint8_t* pFrame, int32_t nLength, int64_t) override
    {
        // Touch every byte the framer claims to hand over.
        for (int32_t i = 0; i < nLength; ++i)
            m_nSum += pFrame[i];
        ++m_nFrames;
    }
    uint64_t m_nSum = 0;
    size_t m_nFrames = 0;
};

// Counts every frame (checksum or not) for the comparison.
class Counter : public cRC_IO
{
public:
    Counter() : cRC_IO("Count") {}
    bool loadRxMsgDescriptors() override { return true; }
    void VerifyChecksum(const uint8_t*, int32_t nLength, int64_t) override { m_Lengths.push_back(nLength); }
    void handleMessage(const uint8_t*, int32_t, int64_t) override {}
    std::vector<int32_t> m_Lengths;
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize)
{
    NullTransport transport;
    Protocol protocol;
    if (!protocol.setCommsIF(&transport) || !protocol.initialise(1000))
        std::abort();

    Counter blockCount;
    Counter byteCount;
    cRxProtocol blockFramer;
    cRxProtocol byteFramer;
    LoadAllKinds(blockFramer, &blockCount);
    LoadAllKinds(byteFramer, &byteCount);

    // The first byte chooses the block sizes, as datagram borders would.
    const size_t nBlock = nSize > 0 ? (pData[0] % 64) + 1 : 1;
    for (size_t nPos = 0; nPos < nSize; nPos += nBlock)
    {
        const size_t nCount = nSize - nPos < nBlock ? nSize - nPos : nBlock;
        transport.processRxDataDefault(pData + nPos, static_cast<int32_t>(nCount));
        transport.processRxData(pData + nPos, static_cast<int32_t>(nCount), &blockFramer);
        for (size_t i = 0; i < nCount; ++i)
            byteFramer.ProcessByte(pData[nPos + i]);
    }
    transport.processRxDataDefault(nullptr, 0);
    if (blockCount.m_Lengths != byteCount.m_Lengths)
        std::abort();
    for (int32_t nLength : blockCount.m_Lengths)
        if (nLength < 5 || nLength > 1022)
            std::abort();
    return 0;
}

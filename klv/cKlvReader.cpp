#include "cKlvReader.h"

#include "DbgLog.h"
#include "KlvFormat.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <utility>

cKlvReader::cKlvReader(std::string sName) : m_sName(std::move(sName))
{
}

const char* cKlvReader::ResultText(eResult eResult)
{
    switch (eResult)
    {
    case eResult::Ok:
        return "ok";
    case eResult::Short:
        return "short packet";
    case eResult::WrongKey:
        return "wrong key";
    case eResult::BadLength:
        return "bad length";
    case eResult::BadChecksum:
        return "bad checksum";
    case eResult::BadItem:
        return "bad item";
    }
    return "unknown result";
}

cKlvReader::eResult cKlvReader::Read(const uint8_t* pData, size_t nSize, KlvMetadata& metadata)
{
    KlvMetadata decoded;
    const eResult eOutcome = Parse(pData, nSize, decoded);
    if (eOutcome != eResult::Ok)
    {
        m_nRejectedPackets.fetch_add(1, std::memory_order_relaxed);
        if (m_nRunRejected++ == 0)
            DbgLog(DBG_WRN, "cKlvReader::Read", __LINE__,
                   DbgLogFormat("(%s) KLV packet rejected, %s: %s; rejections are counted until a good packet",
                                m_sName.c_str(), ResultText(eOutcome), m_szDetail),
                   CAT_COMMS);
        return eOutcome;
    }
    if (m_nRunRejected != 0)
    {
        DbgLog(DBG_INF, "cKlvReader::Read", __LINE__,
               DbgLogFormat("(%s) good KLV packets again after %llu rejected", m_sName.c_str(),
                            static_cast<unsigned long long>(m_nRunRejected)),
               CAT_COMMS);
        m_nRunRejected = 0;
    }
    m_nGoodPackets.fetch_add(1, std::memory_order_relaxed);
    metadata = decoded;
    return eResult::Ok;
}

cKlvReader::eResult cKlvReader::Fail(eResult eResult, const char* szFormat, ...)
{
    va_list args;
    va_start(args, szFormat);
    std::vsnprintf(m_szDetail, sizeof m_szDetail, szFormat, args);
    va_end(args);
    return eResult;
}

cKlvReader::eResult cKlvReader::Parse(const uint8_t* pData, size_t nSize, KlvMetadata& metadata)
{
    const size_t nKey = kKlvUasLocalSetKey.size();
    if (nSize < nKey)
        return Fail(eResult::Short, "%zu bytes, fewer than the 16-byte key", nSize);
    if (!std::equal(kKlvUasLocalSetKey.begin(), kKlvUasLocalSetKey.end(), pData))
        return Fail(eResult::WrongKey, "key starts %02X %02X %02X %02X %02X %02X", pData[0], pData[1], pData[2],
                    pData[3], pData[4], pData[5]);

    size_t nPos = nKey;
    uint64_t nLength = 0;
    switch (KlvReadBerLength(pData, nPos, nSize, nLength))
    {
    case eKlvField::Short:
        return Fail(eResult::Short, "%zu bytes end inside the packet's length field", nSize);
    case eKlvField::Bad:
        return Fail(eResult::BadLength, "length field starts 0x%02X", pData[nKey]);
    case eKlvField::Ok:
        break;
    }
    if (nLength > nSize - nPos)
        return Fail(eResult::Short, "length says %llu bytes after the key, %zu given",
                    static_cast<unsigned long long>(nLength), nSize - nPos);
    // The smallest packet holds the checksum item alone.
    if (nLength < 4)
        return Fail(eResult::BadLength, "length %llu cannot hold the checksum",
                    static_cast<unsigned long long>(nLength));

    const size_t nEnd = nPos + static_cast<size_t>(nLength);
    const size_t nChecksumItem = nEnd - 4;
    if (pData[nChecksumItem] != kKlvTagChecksum || pData[nChecksumItem + 1] != 2)
        return Fail(eResult::BadChecksum, "the last item is not the checksum (starts %02X %02X)", pData[nChecksumItem],
                    pData[nChecksumItem + 1]);
    const uint16_t nComputed = KlvChecksum(pData, nChecksumItem + 2);
    const uint16_t nSent = static_cast<uint16_t>(pData[nEnd - 2] << 8 | pData[nEnd - 1]);
    if (nComputed != nSent)
        return Fail(eResult::BadChecksum, "computed 0x%04X, the packet says 0x%04X", nComputed, nSent);

    bool bTimeStamp = false;
    metadata.nVersion = 0;
    while (nPos < nChecksumItem)
    {
        const size_t nItem = nPos;
        uint32_t nTag = 0;
        uint64_t nItemLength = 0;
        if (KlvReadTag(pData, nPos, nChecksumItem, nTag) != eKlvField::Ok)
            return Fail(eResult::BadItem, "tag at byte %zu does not fit", nItem);
        if (KlvReadBerLength(pData, nPos, nChecksumItem, nItemLength) != eKlvField::Ok)
            return Fail(eResult::BadItem, "length of tag %u at byte %zu does not fit", nTag, nItem);
        if (nItemLength > nChecksumItem - nPos)
            return Fail(eResult::BadItem, "tag %u at byte %zu: %llu bytes, %zu left before the checksum", nTag, nItem,
                        static_cast<unsigned long long>(nItemLength), nChecksumItem - nPos);
        const uint8_t* pValue = pData + nPos;
        nPos += static_cast<size_t>(nItemLength);

        if (nTag == kKlvTagChecksum)
            return Fail(eResult::BadItem, "a checksum item at byte %zu before the last", nItem);
        if (nTag == kKlvTagTimeStamp)
        {
            if (nItemLength != 8)
                return Fail(eResult::BadItem, "time stamp of %llu bytes", static_cast<unsigned long long>(nItemLength));
            metadata.nTimeUs = 0;
            for (int i = 0; i < 8; ++i)
                metadata.nTimeUs = (metadata.nTimeUs << 8) | pValue[i];
            bTimeStamp = true;
        }
        else if (nTag == kKlvTagVersion)
        {
            if (nItemLength != 1)
                return Fail(eResult::BadItem, "version of %llu bytes", static_cast<unsigned long long>(nItemLength));
            metadata.nVersion = pValue[0];
        }
        else if (const KlvMappedTag* pTag = KlvFindMappedTag(nTag))
        {
            if (nItemLength != pTag->nBytes)
                return Fail(eResult::BadItem, "tag %u of %llu bytes, not %u", nTag,
                            static_cast<unsigned long long>(nItemLength), pTag->nBytes);
            metadata.*pTag->pField = pTag->Decode(pValue);
        }
    }
    if (!bTimeStamp)
        return Fail(eResult::BadItem, "no time stamp (tag 2)");
    m_nLastPacketSize = nEnd;
    return eResult::Ok;
}

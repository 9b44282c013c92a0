// Feeds arbitrary bytes to the KLV reader. What it takes must survive a trip
// through the writer: read again, the same values within the quantisation.
#include "KlvFormat.h"
#include "cKlvReader.h"
#include "cKlvWriter.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize)
{
    cKlvReader reader;
    KlvMetadata first;
    if (reader.Read(pData, nSize, first) != cKlvReader::eResult::Ok)
    {
        if (reader.RejectedPackets() != 1 || reader.GoodPackets() != 0)
            std::abort();
        return 0;
    }
    if (reader.LastPacketSize() > nSize)
        std::abort();

    const std::vector<uint8_t> packet = cKlvWriter::Write(first);
    KlvMetadata second;
    if (reader.Read(packet.data(), packet.size(), second) != cKlvReader::eResult::Ok ||
        reader.LastPacketSize() != packet.size())
        std::abort();
    if (second.nTimeUs != first.nTimeUs || second.nVersion != first.nVersion)
        std::abort();
    for (const KlvMappedTag& tag : KlvMappedTags())
    {
        const std::optional<double>& dFirst = first.*tag.pField;
        const std::optional<double>& dSecond = second.*tag.pField;
        if (dFirst.has_value() != dSecond.has_value())
            std::abort();
        if (dFirst && !(std::fabs(*dFirst - *dSecond) <= tag.HalfStep()))
            std::abort();
    }
    return 0;
}

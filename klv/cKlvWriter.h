#pragma once
#include "KlvMetadata.h"

#include <cstdint>
#include <vector>

// Builds one UAS Datalink Local Set packet: the time stamp, the tags that hold
// a value, the version, in ascending tag order, then the checksum. A value the
// tag's range cannot hold is wrapped (angles around a circle), clamped, or
// sent as the tag's "out of range" value, whichever the tag allows; a value
// that is not a number is left out.
class cKlvWriter
{
public:
    static std::vector<uint8_t> Write(const KlvMetadata& metadata);
};

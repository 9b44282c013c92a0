#pragma once
#include "cTrafficDecoder.h"
#include "cTrafficHistory.h"

#include <optional>
#include <string>

// Which frames the traffic inspector's table shows: by direction, kind,
// subsystem (a page frame's subsystem or an EO report's identifier) and a
// text that the frame's decoded items, labels, values or notes must hold
// (any case). Only a text asks for the frame to be decoded.
class cTrafficFilter
{
public:
    std::optional<cTrafficTap::Direction> direction;
    std::optional<cTrafficDecoder::Kind> kind;
    std::optional<uint8_t> subSystem;
    std::string sText;

    bool Accepts(const cTrafficHistory::Record& record, const cTrafficDecoder& decoder) const;
    bool IsEmpty() const { return !direction && !kind && !subSystem && sText.empty(); }
};

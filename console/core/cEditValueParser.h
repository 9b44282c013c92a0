#pragma once
#include "RC_DataType.h"
#include "RC_ItemValue.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>

// Turns what the operator typed into a value to send. Numbers are taken only
// when the whole text parses and fits the item's type; anything else sends
// nothing.
class cEditValueParser
{
public:
    // The value to send for the text typed into a field of the type, as a
    // holder of that type (Fixed: the real value x 4096 truncated). Nothing
    // for text that does not parse, is out of range, or a type that is never sent.
    static std::unique_ptr<RC_ItemValue> ParseItem(RC_DataType eType, const std::string& sText);

    // A base-10 integer filling the whole text (leading blanks and a sign allowed).
    static bool ParseWholeDecimal(const std::string& sText, int32_t& nValue);
    // A real number filling the whole text; false for NaN and infinities.
    static bool ParseWholeReal(const std::string& sText, double& dValue);

    // The four octets shown for an address text: the leading decimal number of
    // each dotted piece (0 when there is none), low 8 bits.
    static std::array<int32_t, 4> SplitAddress(const std::string& sAddress);
};

#pragma once
#include "RC_DataType.h"

#include <array>
#include <cstdint>
#include <string>

// Turns what the operator typed into a value to send. Numbers are taken only
// when the whole text parses and fits the item's type; anything else sends
// nothing.
class cEditValueParser
{
public:
    struct Value
    {
        int64_t nInteger = 0;  // Byte to S32; Fixed as its raw value (x 4096)
        float fReal = 0.0f;    // Float
        std::string sText;     // String
    };

    // False for text that does not parse, is out of range, or a type that is never sent.
    static bool ParseItem(RC_DataType eType, const std::string& sText, Value& value);

    // A base-10 integer filling the whole text (leading blanks and a sign allowed).
    static bool ParseWholeDecimal(const std::string& sText, int32_t& nValue);
    // A real number filling the whole text; false for NaN and infinities.
    static bool ParseWholeReal(const std::string& sText, double& dValue);

    // The four octets shown for an address text: the leading decimal number of
    // each dotted piece (0 when there is none), low 8 bits.
    static std::array<int32_t, 4> SplitAddress(const std::string& sAddress);
};

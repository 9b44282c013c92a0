#pragma once
#include <cstdint>
#include <string>

namespace tinyxml2
{
class XMLElement;
}

// The attribute rules every settings reader follows. Each Read returns true
// when the attribute was present (and the output written), false when the
// element or the attribute is missing (output unchanged).
//  - integers: present but not numeric reads as 0;
//  - booleans: a value beginning with true/yes/1 or false/no/0 (any case) is
//    taken, any other value leaves the output unchanged and returns false;
//  - reals: parsed as "%lf", non-numeric reads as 0.
class cXmlAttributes
{
public:
    static bool ReadInt(const tinyxml2::XMLElement* pElement, const char* szName, int& nValue);         // "%d"
    static bool ReadIntAnyBase(const tinyxml2::XMLElement* pElement, const char* szName, int& nValue);  // "%i"
    static bool ReadUInt(const tinyxml2::XMLElement* pElement, const char* szName, uint32_t& nValue);   // "%u"
    static bool ReadBool(const tinyxml2::XMLElement* pElement, const char* szName, bool& bValue);
    static bool ReadReal(const tinyxml2::XMLElement* pElement, const char* szName, double& dValue);
    static bool ReadText(const tinyxml2::XMLElement* pElement, const char* szName, std::string& sValue);

    // The boolean rule on its own: true when szText decides, with the result in bValue.
    static bool ParseBool(const char* szText, bool& bValue);
};

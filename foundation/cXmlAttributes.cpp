#include "cXmlAttributes.h"

#include <cstdio>
#include <strings.h>
#include <tinyxml2.h>

namespace
{
const char* Attribute(const tinyxml2::XMLElement* pElement, const char* szName)
{
    if (!pElement || !szName || !*szName)
        return nullptr;
    return pElement->Attribute(szName);
}

template <typename T>
bool Scan(const tinyxml2::XMLElement* pElement, const char* szName, const char* szFormat, T& value)
{
    const char* szText = Attribute(pElement, szName);
    if (!szText)
        return false;
    T parsed{};
    if (std::sscanf(szText, szFormat, &parsed) != 1)
        parsed = T{};
    value = parsed;
    return true;
}

bool BeginsWith(const char* szText, const char* szPrefix)
{
    return strncasecmp(szText, szPrefix, std::char_traits<char>::length(szPrefix)) == 0;
}
} // namespace

bool cXmlAttributes::ReadInt(const tinyxml2::XMLElement* pElement, const char* szName, int& nValue)
{
    return Scan(pElement, szName, "%d", nValue);
}

bool cXmlAttributes::ReadIntAnyBase(const tinyxml2::XMLElement* pElement, const char* szName, int& nValue)
{
    return Scan(pElement, szName, "%i", nValue);
}

bool cXmlAttributes::ReadUInt(const tinyxml2::XMLElement* pElement, const char* szName, uint32_t& nValue)
{
    unsigned int nParsed = nValue;
    const bool bPresent = Scan(pElement, szName, "%u", nParsed);
    nValue = nParsed;
    return bPresent;
}

bool cXmlAttributes::ReadReal(const tinyxml2::XMLElement* pElement, const char* szName, double& dValue)
{
    return Scan(pElement, szName, "%lf", dValue);
}

bool cXmlAttributes::ParseBool(const char* szText, bool& bValue)
{
    if (!szText)
        return false;
    if (BeginsWith(szText, "true") || BeginsWith(szText, "yes") || BeginsWith(szText, "1"))
    {
        bValue = true;
        return true;
    }
    if (BeginsWith(szText, "false") || BeginsWith(szText, "no") || BeginsWith(szText, "0"))
    {
        bValue = false;
        return true;
    }
    return false;
}

bool cXmlAttributes::ReadBool(const tinyxml2::XMLElement* pElement, const char* szName, bool& bValue)
{
    return ParseBool(Attribute(pElement, szName), bValue);
}

bool cXmlAttributes::ReadText(const tinyxml2::XMLElement* pElement, const char* szName, std::string& sValue)
{
    const char* szText = Attribute(pElement, szName);
    if (!szText)
        return false;
    sValue = szText;
    return true;
}

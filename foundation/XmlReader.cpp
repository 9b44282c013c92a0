#include "XmlReader.h"

#include "cXmlAttributes.h"

#include <tinyxml2.h>

XmlReader::XmlReader(bool bCreate, bool bReport, const char* szRootName) : XmlWriter(bCreate, bReport, szRootName)
{
}

bool XmlReader::GetCfgInt(const char* szAttribute, int& nValue) const
{
    return cXmlAttributes::ReadInt(m_hCfg, szAttribute, nValue);
}

bool XmlReader::GetAttrInt(hCfg hElement, const char* szAttribute, int& nValue) const
{
    return cXmlAttributes::ReadIntAnyBase(hElement, szAttribute, nValue);
}

bool XmlReader::GetAttrString(hCfg hElement, const char* szAttribute, std::string& sValue) const
{
    return cXmlAttributes::ReadText(hElement, szAttribute, sValue);
}

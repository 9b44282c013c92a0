#pragma once
#include "XmlWriter.h"

#include <string>

// Typed getters for attributes. Each returns false, output untouched, when the
// element or attribute is missing; a present but non-numeric integer reads as 0.
class XmlReader : public XmlWriter
{
public:
    XmlReader(bool bCreateIfMissing, bool bReportErrors, const char* szRootName);

    bool GetCfgInt(const char* szAttribute, int& nValue) const;                 // "%d"
    bool GetAttrInt(hCfg hElement, const char* szAttribute, int& nValue) const;  // "%i"
    bool GetAttrString(hCfg hElement, const char* szAttribute, std::string& sValue) const;
};

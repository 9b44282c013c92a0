#pragma once
#include "PageItem.h"
#include "RC_Variant.h"

#include <cstdint>
#include <string>

class cPageList;
namespace tinyxml2
{
class XMLElement;
}

// Reads the page definitions file into a page list. Invalid items are dropped
// with their log line; a file that cannot be opened or parsed is reported to
// the caller, who tells the operator.
class cPageDefinitionsReader
{
public:
    enum class Result
    {
        kRead,
        kCannotOpen,  // missing or malformed: the caller shows "Error opening page definition file"
    };

    explicit cPageDefinitionsReader(RC_Variant nControllerType) : m_nControllerType(nControllerType) {}

    Result Read(const std::string& sPath, cPageList& pages) const;
    // Validates one Item element; true (and the item filled) when it is accepted.
    bool ProcessItem(const tinyxml2::XMLElement* pElement, PageItem& item) const;

private:
    RC_Variant m_nControllerType;
};

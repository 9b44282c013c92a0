#include "cPageDefinitionsReader.h"

#include "DbgLog.h"
#include "cPageList.h"
#include "cXmlAttributes.h"

#include <cstring>
#include <tinyxml2.h>

namespace
{
const char* const kFunction = "KestrumDlg::ProcessItem";

// An integer attribute read with "%i": false when it is missing or not a number.
bool ReadNumber(const tinyxml2::XMLElement* pElement, const char* szName, int& nValue)
{
    const char* szText = pElement->Attribute(szName);
    if (!szText)
        return false;
    char cExtra = 0;
    return std::sscanf(szText, "%i%c", &nValue, &cExtra) >= 1;
}

bool ReadByteAttribute(const tinyxml2::XMLElement* pElement, const char* szName, int nMax, uint8_t& nOut)
{
    int nValue = 0;
    if (!ReadNumber(pElement, szName, nValue))
    {
        DbgLog(DBG_ERR, kFunction, __LINE__, DbgLogFormat("Failed to find '%s' attribute", szName));
        return false;
    }
    if (nValue < 0 || nValue > nMax)
    {
        DbgLog(DBG_ERR, kFunction, __LINE__, DbgLogFormat("'%s' attribute is invalid = %d", szName, nValue));
        return false;
    }
    nOut = static_cast<uint8_t>(nValue);
    return true;
}

bool IsElementNamed(const tinyxml2::XMLElement* pElement, const char* szName)
{
    return pElement && std::strcmp(pElement->Name(), szName) == 0;
}
} // namespace

cPageDefinitionsReader::Result cPageDefinitionsReader::Read(const std::string& sPath, cPageList& pages) const
{
    tinyxml2::XMLDocument document;
    if (document.LoadFile(sPath.c_str()) != tinyxml2::XML_SUCCESS)
    {
        DbgLog(DBG_ERR, "KestrumDlg::ReadPageDefinitions", __LINE__,
               DbgLogFormat("Error opening page definition file %s: %s", sPath.c_str(), document.ErrorStr()));
        return Result::kCannotOpen;
    }
    const tinyxml2::XMLElement* pRoot = document.FirstChildElement("PageDefinitions");
    if (!pRoot)
    {
        // Most likely another kind of file named by mistake: say so, or the
        // console would simply come up without pages.
        const tinyxml2::XMLElement* pOther = document.RootElement();
        DbgLog(DBG_WRN, "KestrumDlg::ReadPageDefinitions", __LINE__,
               DbgLogFormat("%s has no PageDefinitions element (its root is %s): no pages", sPath.c_str(),
                            pOther ? pOther->Name() : "missing"));
        return Result::kRead;
    }

    // Pages are taken while the children are Page elements, items while they
    // are Item elements; any other element ends that scan.
    for (const tinyxml2::XMLElement* pPage = pRoot->FirstChildElement(); IsElementNamed(pPage, "Page");
         pPage = pPage->NextSiblingElement())
    {
        std::string sTitle;
        cXmlAttributes::ReadText(pPage, "Title", sTitle);
        bool bLogging = false;
        cXmlAttributes::ReadBool(pPage, "Logging", bLogging);
        int nLoggingSubsystem = -1;
        cXmlAttributes::ReadIntAnyBase(pPage, "LoggingSubsystem", nLoggingSubsystem);

        std::vector<PageItem> items;
        for (const tinyxml2::XMLElement* pItem = pPage->FirstChildElement(); IsElementNamed(pItem, "Item");
             pItem = pItem->NextSiblingElement())
        {
            PageItem item;
            if (ProcessItem(pItem, item))
                items.push_back(std::move(item));
        }
        pages.AppendPage(std::move(items), sTitle, bLogging, nLoggingSubsystem);
    }
    return Result::kRead;
}

bool cPageDefinitionsReader::ProcessItem(const tinyxml2::XMLElement* pElement, PageItem& item) const
{
    if (!pElement)
        return false;
    uint8_t nSubSystem = 0;
    uint8_t nIndex = 0;
    uint8_t nItem = 0;
    if (!ReadByteAttribute(pElement, "SubSystem", 255, nSubSystem))
        return false;
    if (m_nControllerType != RC_Variant::ShortFrames && !ReadByteAttribute(pElement, "Index", 255, nIndex))
        return false;
    if (!ReadByteAttribute(pElement, "Item", 127, nItem))
        return false;

    const char* szAccess = pElement->Attribute("Access");
    if (!szAccess)
    {
        DbgLog(DBG_ERR, kFunction, __LINE__, "Failed to find 'Access' attribute");
        return false;
    }
    PageItem::Access nAccess = PageItem::kReadOnly;
    if (std::strcmp(szAccess, "RO") == 0)
        nAccess = PageItem::kReadOnly;
    else if (std::strcmp(szAccess, "WO") == 0)
        nAccess = PageItem::kWriteOnly;
    else if (std::strcmp(szAccess, "RW") == 0)
        nAccess = PageItem::kReadWrite;
    else
    {
        DbgLog(DBG_ERR, kFunction, __LINE__, "'Access' attribute has invalid value");
        return false;
    }

    std::string sLabel = "No Label";
    if (!cXmlAttributes::ReadText(pElement, "Label", sLabel))
        DbgLog(DBG_ERR, kFunction, __LINE__, "Failed to find 'Label' attribute");

    const char* szType = pElement->Attribute("Type");
    if (!szType)
    {
        DbgLog(DBG_ERR, kFunction, __LINE__, "Failed to find 'Type' attribute");
        return false;
    }
    RC_DataType eType{};
    if (!RC_FindDataType(szType, eType))
    {
        DbgLog(DBG_ERR, kFunction, __LINE__, "'Type' attribute has invalid value");
        return false;
    }
    item = PageItem::Make(nSubSystem, nIndex, nItem, eType, nAccess, sLabel);
    return true;
}

#include "cJoystickDefinitionsReader.h"

#include "DbgLog.h"
#include "RC_DataType.h"
#include "XmlReader.h"
#include "cXmlAttributes.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <tinyxml2.h>

namespace
{
const char* const kFunction = "KestrumDlg::ReadJoystickDefinitions";

void Warn(int32_t nLine, const tinyxml2::XMLElement* pElement, const std::string& sWhat)
{
    DbgLog(DBG_WRN, kFunction, nLine, DbgLogFormat("%s: %s", pElement->Name(), sWhat.c_str()));
}

bool AllSpace(const char* sz)
{
    while (*sz == ' ' || *sz == '\t')
        ++sz;
    return *sz == '\0';
}

// An integer in "%i" form (decimal, 0x hexadecimal, 0 octal); the whole text
// must be the number, so "2x" is not taken for 2.
bool ParseInt(const char* szText, int32_t& nValue)
{
    if (!szText || !*szText)
        return false;
    char* pEnd = nullptr;
    errno = 0;
    const long nParsed = std::strtol(szText, &pEnd, 0);
    if (pEnd == szText || errno == ERANGE || !AllSpace(pEnd) || nParsed < INT32_MIN || nParsed > INT32_MAX)
        return false;
    nValue = static_cast<int32_t>(nParsed);
    return true;
}

// A finite real, the whole text: a demand of "nan" would poison every value after it.
bool ParseReal(const char* szText, double& dValue)
{
    if (!szText || !*szText)
        return false;
    char* pEnd = nullptr;
    const double dParsed = std::strtod(szText, &pEnd);
    if (pEnd == szText || !AllSpace(pEnd) || !std::isfinite(dParsed))
        return false;
    dValue = dParsed;
    return true;
}

bool ReadInt(const tinyxml2::XMLElement* pElement, const char* szName, int32_t& nValue, int32_t nLine)
{
    const char* szText = pElement->Attribute(szName);
    if (!szText)
    {
        Warn(nLine, pElement, std::string("no ") + szName);
        return false;
    }
    if (!ParseInt(szText, nValue))
    {
        Warn(nLine, pElement, std::string(szName) + " \"" + szText + "\" is not an integer");
        return false;
    }
    return true;
}

bool ReadInRange(const tinyxml2::XMLElement* pElement, const char* szName, int32_t nMax, int32_t& nValue)
{
    if (!ReadInt(pElement, szName, nValue, __LINE__))
        return false;
    if (nValue < 0 || nValue > nMax)
    {
        Warn(__LINE__, pElement, DbgLogFormat("%s %d is outside 0 to %d", szName, nValue, nMax));
        return false;
    }
    return true;
}

bool ReadReal(const tinyxml2::XMLElement* pElement, const char* szName, double& dValue)
{
    const char* szText = pElement->Attribute(szName);
    if (!szText)
    {
        Warn(__LINE__, pElement, std::string("no ") + szName);
        return false;
    }
    if (!ParseReal(szText, dValue))
    {
        Warn(__LINE__, pElement, std::string(szName) + " \"" + szText + "\" is not a number");
        return false;
    }
    return true;
}

// A type the mapping can name: every type but Double.
bool ReadType(const tinyxml2::XMLElement* pElement, int32_t& nType)
{
    const char* szText = pElement->Attribute("sType");
    if (!szText)
    {
        Warn(__LINE__, pElement, "no sType");
        return false;
    }
    RC_DataType eType{};
    if (!RC_FindDataType(szText, eType) || eType == RC_DataType::Double)
    {
        Warn(__LINE__, pElement, std::string("sType \"") + szText + "\" is not accepted");
        return false;
    }
    nType = static_cast<int32_t>(eType);
    return true;
}

// Only presence is required: a value that decides nothing reads as false.
bool ReadFlag(const tinyxml2::XMLElement* pElement, const char* szName, bool& bValue)
{
    const char* szText = pElement->Attribute(szName);
    if (!szText)
    {
        Warn(__LINE__, pElement, std::string("no ") + szName);
        return false;
    }
    bValue = false;
    cXmlAttributes::ParseBool(szText, bValue);
    return true;
}

std::string Numbered(const char* szPrefix, int n)
{
    return szPrefix + std::to_string(n);
}

// nFunction of a Press, Release or Press%d element; false when it has none.
bool ReadFunctionNumber(const tinyxml2::XMLElement* pElement, int32_t& nFunction)
{
    const char* szText = pElement->Attribute("nFunction");
    if (!szText)
        return false;
    if (!ParseInt(szText, nFunction))
    {
        Warn(__LINE__, pElement, std::string("nFunction \"") + szText + "\" is not an integer");
        return false;
    }
    return true;
}
} // namespace

bool cJoystickDefinitionsReader::Read(const std::string& sPath, JoystickDefinitions& definitions) const
{
    XmlReader reader(false, true, "VMS_Cfg");
    if (!reader.LoadConfigFile(sPath.c_str(), "Joystick"))
    {
        DbgLog(DBG_ERR, kFunction, 1120, DbgLogFormat("Failed to find %s in %s", "Joystick", sPath.c_str()));
        return false;
    }
    // The definitions are the root itself; a "Joystick" section of a settings file is not one.
    const tinyxml2::XMLElement* pRoot = reader.GetCfg("Joystick", nullptr, "");
    if (!pRoot)
    {
        DbgLog(DBG_ERR, kFunction, __LINE__,
               DbgLogFormat("%s is not a joystick definitions file: its Joystick is not the root", sPath.c_str()));
        return false;
    }

    const tinyxml2::XMLElement* pAxes = pRoot->FirstChildElement("Axes");
    if (!pAxes)
    {
        DbgLog(DBG_WRN, kFunction, __LINE__, DbgLogFormat("No Axes in %s: nothing after it is read", sPath.c_str()));
        return true;
    }
    for (int n = 1; n <= JoystickDefinitions::kSlots; ++n)
    {
        const tinyxml2::XMLElement* pAxis = pAxes->FirstChildElement(Numbered("Axis", n).c_str());
        int nSlot = 0;
        JoystickAxisDef axis;
        if (pAxis && ReadAxis(pAxis, nSlot, axis))
            definitions.axes[static_cast<size_t>(nSlot)] = axis;  // a later axis of the same name wins
    }

    const tinyxml2::XMLElement* pFunctions = pRoot->FirstChildElement("Functions");
    if (!pFunctions)
    {
        DbgLog(DBG_WRN, kFunction, __LINE__, DbgLogFormat("No Functions in %s: nothing after it is read", sPath.c_str()));
        return true;
    }
    for (int n = 1; n <= JoystickDefinitions::kFunctions; ++n)
    {
        const tinyxml2::XMLElement* pFunction = pFunctions->FirstChildElement(Numbered("Function", n).c_str());
        if (!pFunction)
            continue;
        std::vector<JoystickFunctionItem>& items = definitions.functions[static_cast<size_t>(n)];
        items.clear();
        for (int nItem = 1;; ++nItem)
        {
            const tinyxml2::XMLElement* pItem = pFunction->FirstChildElement(Numbered("Item", nItem).c_str());
            if (!pItem)
                break;
            JoystickFunctionItem item;
            if (!ReadFunctionItem(pItem, item))
            {
                Warn(__LINE__, pFunction, "emptied by its " + Numbered("Item", nItem));
                items.clear();
                break;
            }
            items.push_back(item);
        }
    }

    const tinyxml2::XMLElement* pButtons = pRoot->FirstChildElement("Buttons");
    if (!pButtons)
    {
        DbgLog(DBG_WRN, kFunction, __LINE__, DbgLogFormat("No Buttons in %s", sPath.c_str()));
        return true;
    }
    for (int n = 1; n <= JoystickDefinitions::kButtons; ++n)
    {
        if (const tinyxml2::XMLElement* pButton = pButtons->FirstChildElement(Numbered("Button", n).c_str()))
            ReadButton(pButton, definitions.buttons[static_cast<size_t>(n - 1)]);
    }
    return true;
}

bool cJoystickDefinitionsReader::ReadAddress(const tinyxml2::XMLElement* pElement, int32_t& nSubsystem,
                                             int32_t& nIndex, int32_t& nItem) const
{
    if (!ReadInRange(pElement, "nSubsystem", 255, nSubsystem))
        return false;
    nIndex = 0;
    if (m_nControllerType == RC_Variant::LongFrames && !ReadInRange(pElement, "nIndex", 255, nIndex))
        return false;
    // Item numbers above 127 would turn the setting into a query on the wire.
    return ReadInRange(pElement, "nItem", 127, nItem);
}

bool cJoystickDefinitionsReader::ReadAxis(const tinyxml2::XMLElement* pAxis, int& nSlot, JoystickAxisDef& axis) const
{
    const char* szName = pAxis->Attribute("sAxisName");
    if (!szName || (std::strcmp(szName, "X") != 0 && std::strcmp(szName, "Y") != 0))
    {
        Warn(__LINE__, pAxis, "sAxisName must be X or Y");
        return false;
    }
    nSlot = szName[0] == 'X' ? 0 : 1;
    axis.nAxis = nSlot;
    if (!ReadAddress(pAxis, axis.nSubsystem, axis.nIndex, axis.nItem) || !ReadReal(pAxis, "dMin", axis.dMin) ||
        !ReadReal(pAxis, "dMax", axis.dMax) || !ReadType(pAxis, axis.nDataType) ||
        !ReadFlag(pAxis, "bPair", axis.bPair) || !ReadFlag(pAxis, "bIsIncremental", axis.bIncremental) ||
        !ReadReal(pAxis, "dGain", axis.dGain))
        return false;
    // Demands are clamped to [dMin, dMax]; an empty range has nothing to clamp to.
    if (axis.dMin > axis.dMax)
    {
        Warn(__LINE__, pAxis, "dMin is above dMax");
        return false;
    }
    axis.bValid = true;
    return true;
}

bool cJoystickDefinitionsReader::ReadFunctionItem(const tinyxml2::XMLElement* pItem, JoystickFunctionItem& item) const
{
    return ReadAddress(pItem, item.nSubsystem, item.nIndex, item.nItem) && ReadType(pItem, item.nDataType) &&
           ReadReal(pItem, "dValue", item.dValue);
}

void cJoystickDefinitionsReader::ReadButton(const tinyxml2::XMLElement* pButton, JoystickButtonDef& button) const
{
    if (const tinyxml2::XMLElement* pPress = pButton->FirstChildElement("Press"))
    {
        button.bPress = ReadFunctionNumber(pPress, button.nPressFunction);
        // A release is read even when the press names no function.
        if (const tinyxml2::XMLElement* pRelease = pButton->FirstChildElement("Release"))
            button.bRelease = ReadFunctionNumber(pRelease, button.nReleaseFunction);
        return;
    }
    button.cycle.clear();
    for (int n = 1;; ++n)
    {
        const tinyxml2::XMLElement* pPress = pButton->FirstChildElement(Numbered("Press", n).c_str());
        if (!pPress)
            break;
        int32_t nFunction = 0;
        if (!ReadFunctionNumber(pPress, nFunction))
        {
            Warn(__LINE__, pButton, "cycle dropped: " + Numbered("Press", n) + " names no function");
            button.cycle.clear();
            break;
        }
        button.cycle.push_back(nFunction);
    }
    button.bCycle = !button.cycle.empty();
}

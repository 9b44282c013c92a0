#include "cTestScenarioReader.h"

#include "DbgLog.h"
#include "cTestScenario.h"

#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <tinyxml2.h>

namespace
{
const char* const kProcessCmdItem = "cRC_SystemTestDlg::ProcessCmdItem";

// A number at the start of the text, as sscanf reads it: leading blanks
// skipped, anything after the digits ignored. nBase 0 is "%i" (0x.. hex,
// 0.. octal), 10 is "%d". False when no digit starts the text. Saturates
// instead of overflowing; the caller keeps the low bits it needs.
bool ScanInteger(const char* szText, int nBase, long long& nValue)
{
    if (!szText)
        return false;
    char* pEnd = nullptr;
    const long long nParsed = std::strtoll(szText, &pEnd, nBase);
    if (pEnd == szText)
        return false;
    nValue = nParsed;
    return true;
}

// "%lf": a real number at the start of the text.
bool ScanReal(const char* szText, double& dValue)
{
    if (!szText)
        return false;
    char* pEnd = nullptr;
    const double dParsed = std::strtod(szText, &pEnd);
    if (pEnd == szText)
        return false;
    dValue = dParsed;
    return true;
}

// SubSystem, Index, Id and Seconds: "%i", kept in 8 bits. A missing or
// unreadable attribute leaves nValue as it was, so the caller's cascade holds.
void ReadByteAttribute(const tinyxml2::XMLElement* pElement, const char* szName, long long& nValue)
{
    ScanInteger(pElement->Attribute(szName), 0, nValue);
}

uint8_t LowByte(long long nValue)
{
    return static_cast<uint8_t>(static_cast<unsigned long long>(nValue) & 0xFFu);
}

// The low bits of the number in the integer type T, as storing an int there does.
template <typename T>
T LowBits(long long nValue)
{
    return static_cast<T>(static_cast<unsigned long long>(nValue));
}

// The value of a TX_MSG step from its Data attribute, by type.
bool ReadData(const tinyxml2::XMLElement* pElement, TestStep& step)
{
    const char* szData = pElement->Attribute("Data");
    if (!szData)
    {
        // Nothing sensible to send: the step is dropped rather than sending 0.
        DbgLog(DBG_ERR, kProcessCmdItem, __LINE__, "Failed to find 'Data' attribute");
        return false;
    }
    long long nNumber = 0;
    double dNumber = 0.0;
    bool bRead = false;
    switch (step.eType)
    {
    case RC_DataType::Byte:
    case RC_DataType::S16:
    case RC_DataType::S32:
        bRead = ScanInteger(szData, 0, nNumber);
        break;
    case RC_DataType::U16:
    case RC_DataType::U32:
        bRead = ScanInteger(szData, 10, nNumber);
        break;
    default:
        bRead = ScanReal(szData, dNumber);
        break;
    }
    if (!bRead)
    {
        DbgLog(DBG_ERR, kProcessCmdItem, __LINE__, DbgLogFormat("'Data' attribute is not a number: %s", szData));
        return false;
    }

    switch (step.eType)
    {
    case RC_DataType::Byte:
        step.pValue = std::make_unique<RC_ByteValue>(LowBits<uint8_t>(nNumber));
        return true;
    case RC_DataType::U16:
        step.pValue = std::make_unique<RC_U16Value>(LowBits<uint16_t>(nNumber));
        return true;
    case RC_DataType::S16:
        step.pValue = std::make_unique<RC_S16Value>(LowBits<int16_t>(nNumber));
        return true;
    case RC_DataType::U32:
        step.pValue = std::make_unique<RC_U32Value>(LowBits<uint32_t>(nNumber));
        return true;
    case RC_DataType::S32:
        step.pValue = std::make_unique<RC_S32Value>(LowBits<int32_t>(nNumber));
        return true;
    case RC_DataType::Fixed:
    {
        // The raw value must be a 32-bit number; the bound also keeps the
        // truncated value sent in range.
        const double dRaw = dNumber * 4096.0;
        if (!std::isfinite(dRaw) || !(dRaw > -2147483648.5 && dRaw < 2147483647.5))
        {
            DbgLog(DBG_ERR, kProcessCmdItem, __LINE__,
                   DbgLogFormat("'Data' attribute %s does not fit the type Fixed", szData));
            return false;
        }
        step.dReal = dNumber;
        step.pValue = std::make_unique<RC_FixedValue>(static_cast<int32_t>(std::llround(dRaw)));
        return true;
    }
    case RC_DataType::Float:
        if (!std::isfinite(dNumber) || std::fabs(dNumber) > FLT_MAX)
        {
            DbgLog(DBG_ERR, kProcessCmdItem, __LINE__,
                   DbgLogFormat("'Data' attribute %s does not fit the type Float", szData));
            return false;
        }
        step.dReal = dNumber;
        step.pValue = std::make_unique<RC_FloatValue>(static_cast<float>(dNumber));
        return true;
    default:
        return false;
    }
}

bool IsAccepted(RC_DataType eType)
{
    switch (eType)
    {
    case RC_DataType::Byte:
    case RC_DataType::U16:
    case RC_DataType::S16:
    case RC_DataType::U32:
    case RC_DataType::S32:
    case RC_DataType::Fixed:
    case RC_DataType::Float:
        return true;
    default:
        return false;
    }
}
} // namespace

cTestScenarioReader::Result cTestScenarioReader::Read(const std::string& sPath, cTestScenario& scenario,
                                                      std::string* pError) const
{
    tinyxml2::XMLDocument document;
    if (document.LoadFile(sPath.c_str()) != tinyxml2::XML_SUCCESS)
    {
        DbgLog(DBG_ERR, "cRC_SystemTestDlg::OnInitDialog", __LINE__,
               DbgLogFormat("Error opening test scenario file %s: %s", sPath.c_str(), document.ErrorStr()));
        if (pError)
            *pError = document.ErrorStr();
        return Result::kCannotOpen;
    }
    const tinyxml2::XMLElement* pRoot = document.FirstChildElement("CommandDefinitions");
    if (!pRoot)
    {
        // Most likely another kind of file named by mistake: say so, or the
        // dialog would simply list no tests.
        const tinyxml2::XMLElement* pOther = document.RootElement();
        DbgLog(DBG_WRN, "cRC_SystemTestDlg::OnInitDialog", __LINE__,
               DbgLogFormat("%s has no CommandDefinitions element (its root is %s): no tests", sPath.c_str(),
                            pOther ? pOther->Name() : "missing"));
        return Result::kRead;
    }

    for (const tinyxml2::XMLElement* pChild = pRoot->FirstChildElement(); pChild;
         pChild = pChild->NextSiblingElement())
    {
        const char* szName = pChild->Name();
        const char* szTest = std::strstr(szName, "Test");
        if (!szTest)
        {
            DbgLog(DBG_ERR, "cRC_SystemTestDlg::ProcessTestList", __LINE__, "Not found");
            continue;
        }
        if (szTest != szName)
            break;

        cTestScenario::Test test;
        test.sName = szName;
        for (const tinyxml2::XMLElement* pItem = pChild->FirstChildElement();
             pItem && std::strcmp(pItem->Name(), "Item") == 0; pItem = pItem->NextSiblingElement())
        {
            TestStep step;
            if (ProcessCmdItem(pItem, step))
                test.steps.push_back(std::move(step));
            else
                DbgLog(DBG_ERR, "cRC_SystemTestDlg::ProcessCmdList", __LINE__, "Failed to ProcessCmdItem()");
        }
        scenario.Append(std::move(test));
    }
    return Result::kRead;
}

bool cTestScenarioReader::ProcessCmdItem(const tinyxml2::XMLElement* pElement, TestStep& step) const
{
    if (!pElement)
        return false;
    const char* szCmd = pElement->Attribute("CMD");
    if (!szCmd)
    {
        step.nKind = TestStep::kNone;
        return true;
    }

    const auto readAddress = [&] {
        const char* szLabel = pElement->Attribute("Label");
        step.sLabel = szLabel ? szLabel : "";
        // A missing Index takes the SubSystem read, a missing Id the Index.
        long long nNumber = 0;
        ReadByteAttribute(pElement, "SubSystem", nNumber);
        step.nSubSystem = LowByte(nNumber);
        ReadByteAttribute(pElement, "Index", nNumber);
        step.nIndex = LowByte(nNumber);
        ReadByteAttribute(pElement, "Id", nNumber);
        step.nItem = LowByte(nNumber);
    };

    if (std::strcmp(szCmd, "FINISH") == 0)
    {
        step.nKind = TestStep::kFinish;
        step.sLabel = "FINISH";
        return true;
    }
    if (std::strcmp(szCmd, "WAIT") == 0)
    {
        step.nKind = TestStep::kWait;
        step.sLabel = "WAIT";
        long long nSeconds = 0;
        ReadByteAttribute(pElement, "Seconds", nSeconds);
        step.nSubSystem = LowByte(nSeconds);
        return true;
    }
    if (std::strcmp(szCmd, "TX_QRY") == 0)
    {
        step.nKind = TestStep::kTxQry;
        readAddress();
        return true;
    }
    if (std::strcmp(szCmd, "TX_MSG") != 0)
    {
        DbgLog(DBG_ERR, kProcessCmdItem, __LINE__, "Could not find CMD string");
        return false;
    }

    step.nKind = TestStep::kTxMsg;
    readAddress();
    const char* szType = pElement->Attribute("Type");
    if (!szType)
    {
        DbgLog(DBG_ERR, kProcessCmdItem, __LINE__, "Failed to find 'Type' attribute");
        return false;
    }
    if (!RC_FindDataType(szType, step.eType))
    {
        DbgLog(DBG_ERR, kProcessCmdItem, __LINE__, DbgLogFormat("Could not find '%s' in RC_DataTypesLookup", szType));
        return false;
    }
    if (!IsAccepted(step.eType))
    {
        DbgLog(DBG_ERR, kProcessCmdItem, __LINE__,
               DbgLogFormat("This 'Type' attribute (%d) has not been handled", static_cast<int>(step.eType)));
        return false;
    }
    return ReadData(pElement, step);
}

#include "cSimItemStore.h"

#include "cPageDefinitionsReader.h"
#include "cPageList.h"

#include <cmath>
#include <cstdio>
#include <numbers>

namespace
{
constexpr double kSinePeriod = 10.0;  // seconds

// A read-only value as a whole number: steps of 100 ms (ramp, wrapping in the
// item's own type), a sine about a centre, or whole seconds (counter).
template <typename T>
T Whole(cSimItemStore::ePattern ePattern, double dSeconds, double dPhase, double dCentre, double dSwing)
{
    switch (ePattern)
    {
    case cSimItemStore::ePattern::Ramp:
        return static_cast<T>(static_cast<uint64_t>(dSeconds * 10.0));
    case cSimItemStore::ePattern::Sine:
        return static_cast<T>(
            std::llround(dCentre + dSwing * std::sin(2.0 * std::numbers::pi * dSeconds / kSinePeriod + dPhase)));
    case cSimItemStore::ePattern::Counter:
        break;
    }
    return static_cast<T>(static_cast<uint64_t>(dSeconds));
}

// A read-only real value: a 0 to 100 saw over 10 s, a sine of 100, or whole seconds.
double Real(cSimItemStore::ePattern ePattern, double dSeconds, double dPhase)
{
    switch (ePattern)
    {
    case cSimItemStore::ePattern::Ramp:
        return std::fmod(dSeconds, kSinePeriod) * 10.0;
    case cSimItemStore::ePattern::Sine:
        return 100.0 * std::sin(2.0 * std::numbers::pi * dSeconds / kSinePeriod + dPhase);
    case cSimItemStore::ePattern::Counter:
        break;
    }
    return std::floor(dSeconds);
}
} // namespace

bool cSimItemStore::Load(const std::string& sPath, RC_Variant eVariant, std::string& sError)
{
    cPageList pages;
    if (cPageDefinitionsReader(eVariant).Read(sPath, pages) != cPageDefinitionsReader::Result::kRead)
    {
        sError = "cannot open or parse page definitions file " + sPath;
        return false;
    }
    for (size_t nPage = 0; nPage < pages.PageCount(); ++nPage)
        for (const PageItem& item : pages.Items(nPage))
            Add(item.nSubSystem, item.nIndex, item.nItem, item.eType, item.nAccess, item.sLabel);
    return true;
}

bool cSimItemStore::Add(uint8_t nSubSystem, uint8_t nIndex, uint8_t nItem, RC_DataType eType, PageItem::Access nAccess,
                        const std::string& sLabel)
{
    const uint32_t nKey = Key(nSubSystem, nIndex, nItem);
    auto it = m_Items.find(nKey);
    if (it != m_Items.end())
    {
        // The same item on two pages is normal; two types for one item is not.
        if (it->second.eType != eType)
            m_Conflicts.push_back(nKey);
        else if (nAccess != it->second.nAccess)
            it->second.nAccess = PageItem::kReadWrite;  // pages that differ: allow both ways
        return false;
    }
    m_Items.emplace(nKey, Entry{eType, nAccess, RC_ItemValue::Create(eType), sLabel, {}, false});
    return true;
}

void cSimItemStore::SetRule(uint32_t nKey, Rule fnRule)
{
    auto it = m_Items.find(nKey);
    if (it != m_Items.end())
        it->second.fnRule = std::move(fnRule);
}

void cSimItemStore::SetDriven(uint32_t nKey)
{
    auto it = m_Items.find(nKey);
    if (it != m_Items.end())
        it->second.bDriven = true;
}

RC_ItemValue* cSimItemStore::Holder(uint32_t nKey, RC_DataType eType)
{
    auto it = m_Items.find(nKey);
    return it != m_Items.end() && it->second.eType == eType ? it->second.pValue.get() : nullptr;
}

bool cSimItemStore::Find(uint32_t nKey, RC_DataType& eType, PageItem::Access& nAccess) const
{
    auto it = m_Items.find(nKey);
    if (it == m_Items.end())
        return false;
    eType = it->second.eType;
    nAccess = it->second.nAccess;
    return true;
}

cSimItemStore::eSet cSimItemStore::Set(uint32_t nKey, const uint8_t* pData, size_t nPos, size_t nEnd,
                                       size_t& nConsumed)
{
    auto it = m_Items.find(nKey);
    if (it == m_Items.end())
        return eSet::Unknown;
    Entry& entry = it->second;
    if (entry.nAccess == PageItem::kReadOnly)
    {
        // Decoded only to learn where the next entry starts.
        std::unique_ptr<RC_ItemValue> pScratch = RC_ItemValue::Create(entry.eType);
        return pScratch->Decode(pData, nPos, nEnd, nConsumed) ? eSet::ReadOnly : eSet::Truncated;
    }
    if (entry.fnRule)
    {
        std::unique_ptr<RC_ItemValue> pCandidate = RC_ItemValue::Create(entry.eType);
        if (!pCandidate->Decode(pData, nPos, nEnd, nConsumed))
            return eSet::Truncated;
        switch (entry.fnRule(*pCandidate))
        {
        case eRule::Refuse: return eSet::Refused;
        case eRule::Keep: return eSet::Set;
        case eRule::Store: break;
        }
    }
    return entry.pValue->Decode(pData, nPos, nEnd, nConsumed) ? eSet::Set : eSet::Truncated;
}

size_t cSimItemStore::Encode(uint32_t nKey, uint8_t* pOut, size_t nCapacity) const
{
    auto it = m_Items.find(nKey);
    return it == m_Items.end() ? 0 : it->second.pValue->Encode(pOut, nCapacity);
}

std::string cSimItemStore::Text(uint32_t nKey) const
{
    auto it = m_Items.find(nKey);
    if (it == m_Items.end())
        return {};
    if (it->second.eType == RC_DataType::U128)
    {
        uint64_t nUpper = 0;
        uint64_t nLower = 0;
        static_cast<const RC_U128Value&>(*it->second.pValue).Get(nUpper, nLower);
        char szText[48];
        std::snprintf(szText, sizeof(szText), "0x%016llx%016llx", static_cast<unsigned long long>(nUpper),
                      static_cast<unsigned long long>(nLower));
        return szText;
    }
    if (it->second.eType == RC_DataType::String)
    {
        // Control characters (the console's closing NUL among them) shown as \xNN.
        std::string sText = "\"";
        for (const char c : it->second.pValue->ToText())
        {
            const unsigned char nByte = static_cast<unsigned char>(c);
            if (nByte >= 0x20 && nByte != 0x7F)
            {
                sText += c;
                continue;
            }
            char szByte[8];
            std::snprintf(szByte, sizeof(szByte), "\\x%02X", nByte);
            sText += szByte;
        }
        return sText + "\"";
    }
    return it->second.pValue->ToText();
}

void cSimItemStore::Advance(double dSeconds)
{
    for (auto& [nKey, entry] : m_Items)
        if (entry.nAccess == PageItem::kReadOnly && !entry.bDriven)
            Animate(static_cast<uint8_t>(nKey & 0xFF), *entry.pValue, dSeconds);
}

void cSimItemStore::Animate(uint8_t nItem, RC_ItemValue& value, double dSeconds)
{
    const ePattern ePattern = PatternOf(nItem);
    const double dPhase = 0.5 * nItem;  // items of one page do not move in step
    switch (value.Type())
    {
    case RC_DataType::Byte:
        static_cast<RC_ByteValue&>(value).Set(Whole<uint8_t>(ePattern, dSeconds, dPhase, 127.5, 127.0));
        break;
    case RC_DataType::U16:
        static_cast<RC_U16Value&>(value).Set(Whole<uint16_t>(ePattern, dSeconds, dPhase, 32767.0, 32000.0));
        break;
    case RC_DataType::S16:
        static_cast<RC_S16Value&>(value).Set(Whole<int16_t>(ePattern, dSeconds, dPhase, 0.0, 1000.0));
        break;
    case RC_DataType::U32:
        static_cast<RC_U32Value&>(value).Set(Whole<uint32_t>(ePattern, dSeconds, dPhase, 1e6, 1e6));
        break;
    case RC_DataType::S32:
        static_cast<RC_S32Value&>(value).Set(Whole<int32_t>(ePattern, dSeconds, dPhase, 0.0, 1e5));
        break;
    case RC_DataType::U64:
        static_cast<RC_U64Value&>(value).Set(Whole<uint64_t>(ePattern, dSeconds, dPhase, 1e9, 1e9));
        break;
    case RC_DataType::S64:
        static_cast<RC_S64Value&>(value).Set(Whole<int64_t>(ePattern, dSeconds, dPhase, 0.0, 1e9));
        break;
    case RC_DataType::U128:
        static_cast<RC_U128Value&>(value).Set(0, Whole<uint64_t>(ePattern, dSeconds, dPhase, 1e9, 1e9));
        break;
    case RC_DataType::Fixed:
        static_cast<RC_FixedValue&>(value).SetRaw(RC_Codec::FloatToFixed(Real(ePattern, dSeconds, dPhase)));
        break;
    case RC_DataType::Float:
        static_cast<RC_FloatValue&>(value).Set(static_cast<float>(Real(ePattern, dSeconds, dPhase)));
        break;
    case RC_DataType::Double:
        static_cast<RC_DoubleValue&>(value).Set(Real(ePattern, dSeconds, dPhase));
        break;
    case RC_DataType::String:
    {
        char szText[32];
        std::snprintf(szText, sizeof(szText), "up %.1f s", dSeconds);
        static_cast<RC_StringValue&>(value).Set(szText);
        break;
    }
    }
}

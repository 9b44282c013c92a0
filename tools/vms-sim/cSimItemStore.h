#pragma once
#include "PageItem.h"
#include "RC_DataType.h"
#include "RC_ItemValue.h"
#include "RC_Variant.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

// One value per item of the page definitions, keyed as the console keys them
// (SubSystem << 16 | Index << 8 | Item). The set of items is fixed before the
// simulator starts; afterwards only values change, in holders that are safe
// to write on one thread and read on another. Read-only items follow a
// pattern in time (ramp, sine or counter, chosen by the item number) so that
// the console shows live data; the others keep what the console set.
class cSimItemStore
{
public:
    enum class eSet
    {
        Set,
        Unknown,
        ReadOnly,   // refused; nConsumed still says how far the value reached
        Truncated,  // the value runs past the end of the payload
        Refused,    // the item's rule refused the value; nConsumed says how far it reached
    };

    // What an item's rule makes of a value the console sets.
    enum class eRule
    {
        Store,   // the item takes it
        Keep,    // accepted, but the item keeps its value (the rule acts on it instead)
        Refuse,  // not a value this item takes
    };
    using Rule = std::function<eRule(const RC_ItemValue& value)>;

    enum class ePattern
    {
        Ramp,
        Sine,
        Counter,
    };

    static uint32_t Key(uint8_t nSubSystem, uint8_t nIndex, uint8_t nItem)
    {
        return static_cast<uint32_t>(nSubSystem) << 16 | static_cast<uint32_t>(nIndex) << 8 | nItem;
    }

    // Reads the page definitions as the console of that variant does. False
    // (with the reason) when the file cannot be opened or parsed.
    bool Load(const std::string& sPath, RC_Variant eVariant, std::string& sError);
    // Adds one item; a second definition of a key keeps the first (false).
    bool Add(uint8_t nSubSystem, uint8_t nIndex, uint8_t nItem, RC_DataType eType, PageItem::Access nAccess,
             const std::string& sLabel);

    size_t Count() const { return m_Items.size(); }
    bool Contains(uint32_t nKey) const { return m_Items.count(nKey) != 0; }
    bool Find(uint32_t nKey, RC_DataType& eType, PageItem::Access& nAccess) const;
    // Keys that Add refused because the first definition had another type.
    const std::vector<uint32_t>& Conflicts() const { return m_Conflicts; }

    // Before the simulator starts: sets of the item pass fnRule first (it runs
    // on the receive thread).
    void SetRule(uint32_t nKey, Rule fnRule);
    // Before the simulator starts: the item's value is kept by someone else
    // through Holder, and Advance leaves it alone.
    void SetDriven(uint32_t nKey);
    // The item's holder, to write from one thread while others read; null
    // when the item is unknown or of another type.
    RC_ItemValue* Holder(uint32_t nKey, RC_DataType eType);

    // Decodes the value at pData[nPos] (nothing read at or after nEnd) into the item.
    eSet Set(uint32_t nKey, const uint8_t* pData, size_t nPos, size_t nEnd, size_t& nConsumed);
    // The item's value in its wire encoding; 0 when unknown or it does not fit.
    size_t Encode(uint32_t nKey, uint8_t* pOut, size_t nCapacity) const;
    std::string Text(uint32_t nKey) const;

    // Moves every read-only item to its value at dSeconds after start.
    void Advance(double dSeconds);
    static ePattern PatternOf(uint8_t nItem) { return static_cast<ePattern>(nItem % 3); }

private:
    struct Entry
    {
        RC_DataType eType;
        PageItem::Access nAccess;
        std::unique_ptr<RC_ItemValue> pValue;
        std::string sLabel;
        Rule fnRule;
        bool bDriven = false;
    };

    static void Animate(uint8_t nItem, RC_ItemValue& value, double dSeconds);

    std::map<uint32_t, Entry> m_Items;
    std::vector<uint32_t> m_Conflicts;
};

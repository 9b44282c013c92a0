#pragma once
#include "RC_DataType.h"
#include "cTrafficTap.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

class cPageList;

// Turns one frame the traffic tap took into what the inspector shows: its
// kind, subsystem and index, status byte, and each item with its label from
// the page definitions, its type and its value, decoded as the console
// decodes it (RC_ItemValue, RC_FrameView, RC_EoFrameView). A status frame's
// items carry no length of their own, so the first item the definitions do
// not know ends the decoding there, as it ends the console's. Reads nothing
// outside the bytes it is given.
class cTrafficDecoder
{
public:
    enum class Kind : uint8_t
    {
        kShort,
        kLong,
        kHeartbeat,
        kEo,
        kOther,  // not a frame of the protocol: its first byte is no sync byte
    };

    struct Item
    {
        uint8_t nItem = 0;
        bool bKnown = true;   // false: "unknown item", and nothing after it is decoded
        bool bQuery = false;  // a command asking for the item's value
        std::string sLabel;
        std::string sType;
        std::string sValue;
    };

    struct Decoded
    {
        Kind eKind = Kind::kOther;
        bool bWhole = false;  // long enough for its header and checksum
        bool bHasIndex = false;
        bool bHasStatus = false;
        uint8_t nSubSystem = 0;  // the report's identifier for EO frames
        uint8_t nIndex = 0;
        uint8_t nStatus = 0;
        std::vector<Item> items;
        std::string sNote;  // what stopped the decoding, if anything did
    };

    // Labels and types of every item the pages define (the first definition
    // of an address wins, as the first holder registered decodes first).
    void SetPages(const cPageList& pages);
    size_t KnownItems() const { return m_Items.size(); }

    Decoded Decode(const uint8_t* pFrame, size_t nSize, cTrafficTap::Direction eDirection) const;

    static Kind KindOf(const uint8_t* pFrame, size_t nSize);
    static const char* KindText(Kind eKind);
    // "5", "5/1" for frames with an index, "EO 7" for EO reports.
    static std::string AddressText(const Decoded& decoded);
    // The status byte and what it says: "0x40 periodic", "0x08 error 2".
    static std::string StatusText(uint8_t nStatus);
    // Every item in one line: "Label = value; Other = ?".
    static std::string ItemsText(const Decoded& decoded);

private:
    struct Definition
    {
        std::string sLabel;
        RC_DataType eType;
    };

    void DecodePage(const uint8_t* pFrame, size_t nSize, cTrafficTap::Direction eDirection, Decoded& decoded) const;
    void DecodeItems(const uint8_t* pPayload, size_t nSize, bool bCommand, Decoded& decoded) const;
    static void DecodeEo(const uint8_t* pFrame, size_t nSize, Decoded& decoded);

    std::unordered_map<uint32_t, Definition> m_Items;
};

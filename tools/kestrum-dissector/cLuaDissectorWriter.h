#pragma once
#include "CommsSettings.h"
#include "PageItem.h"
#include "RC_DataType.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

// Writes the Wireshark dissector (Lua) for the remote-control protocol: the
// items the console knows by address with their labels and types, and the
// UDP ports of both links, ahead of the fixed dissector code
// (DissectorBody.lua), which decodes every value as the console does. The
// first definition of an address gives its label, as the console's first
// registered holder fixes how its value is read.
class cLuaDissectorWriter
{
public:
    struct Item
    {
        RC_DataType eType = RC_DataType::Byte;
        std::string sLabel;
    };

    // Returns how many addresses were new.
    size_t AddItems(const std::vector<PageItem>& items);
    void SetPorts(const CommsSettings& settings) { m_Comms = settings; }
    // Lines of the opening comment: where the definitions came from, when.
    void AddComment(const std::string& sLine) { m_Comments.push_back(sLine); }

    const std::map<uint32_t, Item>& Items() const { return m_Items; }
    std::string Text() const;

    // A Lua string literal holding exactly these bytes.
    static std::string LuaString(const std::string& sText);

private:
    std::map<uint32_t, Item> m_Items;  // by nItemKey
    CommsSettings m_Comms;
    std::vector<std::string> m_Comments;
};

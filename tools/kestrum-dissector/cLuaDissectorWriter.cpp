#include "cLuaDissectorWriter.h"

#include "DissectorBody.h"

#include <cstdio>
#include <string>

size_t cLuaDissectorWriter::AddItems(const std::vector<PageItem>& items)
{
    size_t nAdded = 0;
    for (const PageItem& item : items)
    {
        // The console never registers an item with the query bit set.
        if (item.nItem >= 0x80)
            continue;
        if (m_Items.emplace(item.Key(), Item{item.eType, item.sLabel}).second)
            ++nAdded;
    }
    return nAdded;
}

std::string cLuaDissectorWriter::LuaString(const std::string& sText)
{
    std::string sOut = "\"";
    for (const char c : sText)
    {
        const unsigned char u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\')
        {
            sOut += '\\';
            sOut += c;
        }
        else if (u < 0x20 || u == 0x7f)
        {
            // Three digits always, so that a digit after it cannot join in.
            char szEscape[8];
            std::snprintf(szEscape, sizeof(szEscape), "\\%03u", static_cast<unsigned>(u));
            sOut += szEscape;
        }
        else
            sOut += c;  // UTF-8 passes as it is
    }
    return sOut + "\"";
}

std::string cLuaDissectorWriter::Text() const
{
    std::string sText;
    for (const std::string& sLine : m_Comments)
    {
        // Each comment stays on its one line.
        std::string sClean = sLine;
        for (char& c : sClean)
            if (c == '\n' || c == '\r')
                c = ' ';
        sText += "-- " + sClean + "\n";
    }
    sText += "\n";
    sText += "-- The console's ports: it sends to page_tx and listens on page_rx; EO reports come to eo_rx.\n";
    sText += "local PORTS = { page_tx = " + std::to_string(m_Comms.nTxPort) + ", page_rx = " + std::to_string(m_Comms.nRxPort) +
             ", eo_tx = " + std::to_string(m_Comms.nEoTxPort) + ", eo_rx = " + std::to_string(m_Comms.nEoRxPort) + " }\n";
    char szLine[80];
    sText += "-- Items by SubSystem << 16 | Index << 8 | Item.\nlocal ITEMS = {\n";
    for (const auto& [nKey, item] : m_Items)
    {
        std::snprintf(szLine, sizeof(szLine), "    [0x%06x] = { type = \"%s\", label = ", static_cast<unsigned>(nKey),
                      RC_DataTypeText(item.eType));
        sText += szLine + LuaString(item.sLabel) + " },\n";
    }
    sText += "}\n\n";
    sText += kDissectorBody;
    return sText;
}

#include "ConsoleSettings.h"

#include "TempDir.h"

#include <regex>

namespace
{
std::string Escaped(const std::string& sValue)
{
    std::string sText;
    for (const char c : sValue)
    {
        switch (c)
        {
        case '&': sText += "&amp;"; break;
        case '<': sText += "&lt;"; break;
        case '>': sText += "&gt;"; break;
        case '"': sText += "&quot;"; break;
        default: sText += c; break;
        }
    }
    return sText;
}
} // namespace

ConsoleSettings& ConsoleSettings::Udp(uint16_t nTxPort, uint16_t nRxPort)
{
    return Main("nCommsMethod", 2).Main("sIpAddress", "127.0.0.1").Main("nTxPort", nTxPort).Main("nRxPort", nRxPort);
}

ConsoleSettings& ConsoleSettings::Attributes(const std::string& sSection, const std::string& sText)
{
    Find(sSection);
    const std::regex attribute(R"re((\w+)="([^"]*)")re");
    for (std::sregex_iterator it(sText.begin(), sText.end(), attribute), end; it != end; ++it)
        SetWritten(sSection, (*it)[1], (*it)[2]);
    return *this;
}

ConsoleSettings::Section& ConsoleSettings::Find(const std::string& sSection)
{
    for (Section& section : m_Sections)
    {
        if (section.sName == sSection)
            return section;
    }
    return m_Sections.emplace_back(Section{sSection, {}});
}

ConsoleSettings& ConsoleSettings::SetText(const std::string& sSection, const std::string& sName, const std::string& sValue)
{
    return SetWritten(sSection, sName, Escaped(sValue));
}

ConsoleSettings& ConsoleSettings::SetWritten(const std::string& sSection, const std::string& sName,
                                             const std::string& sWritten)
{
    auto& attributes = Find(sSection).attributes;
    for (auto& [sHeld, sValue] : attributes)
    {
        if (sHeld == sName)
        {
            sValue = sWritten;
            return *this;
        }
    }
    attributes.emplace_back(sName, sWritten);
    return *this;
}

std::string ConsoleSettings::Text() const
{
    std::string sText = "<VMS_Cfg>\n";
    for (const Section& section : m_Sections)
    {
        sText += "  <" + section.sName;
        for (const auto& [sName, sValue] : section.attributes)
            sText += " " + sName + "=\"" + sValue + "\"";
        sText += "/>\n";
    }
    return sText + "</VMS_Cfg>\n";
}

std::string ConsoleSettings::Write(const TempDir& dir, const std::string& sName) const
{
    dir.Write(sName, Text());
    return dir.File(sName);
}

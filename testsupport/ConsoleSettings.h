#pragma once
#include <cstdint>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

class TempDir;

// A console settings file (Kestrum.xml) as the tests need it: the main
// section and EoTrackData always, further sections (LandingDlg, a plug-in's)
// once they have an attribute. An attribute set again replaces its value, so
// a test can start from common values and change one.
class ConsoleSettings
{
public:
    static constexpr const char* kMain = "Kestrum";
    static constexpr const char* kEo = "EoTrackData";
    static constexpr const char* kLanding = "LandingDlg";

    // The page protocol over UDP to 127.0.0.1: sent to nTxPort, received on nRxPort.
    ConsoleSettings& Udp(uint16_t nTxPort, uint16_t nRxPort);

    template <typename Value>
    ConsoleSettings& Main(const std::string& sName, const Value& value)
    {
        return Set(kMain, sName, value);
    }
    template <typename Value>
    ConsoleSettings& Eo(const std::string& sName, const Value& value)
    {
        return Set(kEo, sName, value);
    }
    template <typename Value>
    ConsoleSettings& Landing(const std::string& sName, const Value& value)
    {
        return Set(kLanding, sName, value);
    }
    // Numbers as digits, flags as true or false, text as it is.
    template <typename Value>
    ConsoleSettings& Set(const std::string& sSection, const std::string& sName, const Value& value)
    {
        if constexpr (std::is_same_v<Value, bool>)
            return SetText(sSection, sName, value ? "true" : "false");
        else if constexpr (std::is_arithmetic_v<Value>)
            return SetText(sSection, sName, std::to_string(value));
        else
            return SetText(sSection, sName, std::string(value));
    }
    // Attributes as a settings file holds them (name="value" ...), for tests
    // that take them as text; the section is written even when there are none.
    ConsoleSettings& Attributes(const std::string& sSection, const std::string& sText);

    std::string Text() const;
    // Writes the file into the folder and returns its path.
    std::string Write(const TempDir& dir, const std::string& sName = "Kestrum.xml") const;

private:
    struct Section
    {
        std::string sName;
        std::vector<std::pair<std::string, std::string>> attributes;  // values as written, escaped
    };
    Section& Find(const std::string& sSection);
    ConsoleSettings& SetText(const std::string& sSection, const std::string& sName, const std::string& sValue);
    ConsoleSettings& SetWritten(const std::string& sSection, const std::string& sName, const std::string& sWritten);

    std::vector<Section> m_Sections = {{kMain, {}}, {kEo, {}}};
};

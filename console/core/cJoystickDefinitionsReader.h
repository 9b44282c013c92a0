#pragma once
#include "JoystickDefinitions.h"
#include "RC_Variant.h"

#include <string>

namespace tinyxml2
{
class XMLElement;
}

// Reads a joystick definitions file (root "Joystick") into the records the
// mapping uses. Entries that cannot be used are dropped with a warning naming
// what was wrong; an item that cannot be used empties its whole function, so
// that a function never runs half of its settings. The sections are read in
// the order Axes, Functions, Buttons, and a missing one ends the reading
// there: a file without Axes maps no buttons either.
class cJoystickDefinitionsReader
{
public:
    explicit cJoystickDefinitionsReader(RC_Variant nControllerType) : m_nControllerType(nControllerType) {}

    // False when the file cannot be read or its root is not "Joystick"
    // (nothing is mapped then); true otherwise, with what could be read.
    bool Read(const std::string& sPath, JoystickDefinitions& definitions) const;

private:
    // The slot named by sAxisName and the filled record, or false.
    bool ReadAxis(const tinyxml2::XMLElement* pAxis, int& nSlot, JoystickAxisDef& axis) const;
    bool ReadFunctionItem(const tinyxml2::XMLElement* pItem, JoystickFunctionItem& item) const;
    void ReadButton(const tinyxml2::XMLElement* pButton, JoystickButtonDef& button) const;
    // Subsystem, index (long frames only) and item, in range for the wire.
    bool ReadAddress(const tinyxml2::XMLElement* pElement, int32_t& nSubsystem, int32_t& nIndex,
                     int32_t& nItem) const;

    RC_Variant m_nControllerType;
};

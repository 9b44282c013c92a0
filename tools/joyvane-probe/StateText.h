#pragma once
#include "Portelle.h"

#include <string>

// One controller record as a line for the operator.
std::string StateText(unsigned long nRecord, const ControllerState& state);
// Same reading (what --changes compares).
bool SameReading(const ControllerState& a, const ControllerState& b);

// Texts of automation values as the runtime writes them for an en-US user.
#pragma once

#include <string>

#include "zanole/zanole.h"

namespace zanole {

std::string RealText(double value, int significantDigits);
std::string CurrencyText(CY value);
std::string DecimalText(const DECIMAL& value);
// False for a date outside the runtime's range (years 100 to 9999).
bool DateText(DATE value, std::string* text);

}  // namespace zanole

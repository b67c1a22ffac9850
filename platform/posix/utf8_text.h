// UTF-16 names and texts as the UTF-8 that the C library and the loader
// take, for the services that hand them on.
#pragma once

#include <string>

#include "zanole/zanole.h"

namespace zanole {

// False for text that is not valid UTF-16 (a lone surrogate).
bool Utf8FromWide(const WCHAR* text, std::string* out);
// The UTF-16 form of a UTF-8 text (a path the C library handed back).
std::basic_string<WCHAR> WideFromUtf8(const std::string& text);
// Lenient form for display: invalid units become U+FFFD.
std::string Utf8ForDisplay(const WCHAR* text, size_t length);

}  // namespace zanole

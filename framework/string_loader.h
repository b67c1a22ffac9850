// One string of a module's string table. The text is never null: it is
// empty whenever nothing was found, and no operation reports an error.
#pragma once

#include "zanole/zanole.h"
#include "zanole/wstr.h"

class CStringLoader {
 public:
  CStringLoader() = default;
  // In the system's default language.
  CStringLoader(UINT id, HINSTANCE instance) { LoadFromBlock(id, GetSystemDefaultLangID(), instance); }
  CStringLoader(UINT id, LANGID language, HINSTANCE instance) { LoadFromBlock(id, language, instance); }
  virtual ~CStringLoader() = default;

  // Reads the string-table block of one language itself; there is no
  // fallback to another language. True when the string was found.
  bool LoadFromBlock(UINT id, LANGID language, HINSTANCE instance) noexcept;
  // Through LoadStringW, growing the buffer while the string may have been
  // cut. True when a non-empty string was loaded.
  bool LoadFromTable(UINT id, HINSTANCE instance) noexcept;
  void SetText(const WCHAR* text) noexcept;

  const WCHAR* Text() const { return text_.c_str(); }

 private:
  WString text_;
};

// A string that owns one BSTR and offers the text operations with which
// lines are taken apart. The recorded length (SysStringLen) may run past the
// first NUL; each operation says which of the two it works on. A failed
// allocation raises E_OUTOFMEMORY.
#pragma once

#include "base/unique_bstr.h"

class CBstrText {
 public:
  CBstrText() = default;
  explicit CBstrText(const OLECHAR* text) : s_(zan::UniqueBstr::FromText(text)) {}
  CBstrText(const OLECHAR* units, UINT count) : s_(zan::UniqueBstr::FromUnits(units, count)) {}
  static CBstrText Attach(BSTR owned) {
    CBstrText t;
    t.s_.reset(owned);
    return t;
  }

  // Byte-exact copies, embedded NULs and odd byte lengths included.
  CBstrText(const CBstrText& other);
  CBstrText& operator=(const CBstrText& other);
  CBstrText(CBstrText&&) noexcept = default;
  CBstrText& operator=(CBstrText&&) noexcept = default;

  BSTR get() const { return s_.get(); }
  BSTR Detach() { return s_.release(); }
  int Length() const { return static_cast<int>(s_.length()); }
  bool IsEmpty() const { return Length() == 0; }

  // First occurrence of pattern at or after start within the text up to its
  // first NUL; -1 when absent, for a null pattern or text, an empty text, or
  // a start not below the recorded length.
  int Find(const OLECHAR* pattern, int start = 0) const;
  CBstrText Mid(int start, int count) const;
  CBstrText Mid(int start) const { return Mid(start, Length() - start); }
  CBstrText Left(int n) const;
  CBstrText Right(int n) const;
  void TrimLeft();
  void TrimRight();
  // The text becomes the complete result of wide formatting (%s is wide);
  // a format the platform refuses raises E_INVALIDARG.
  void Format(const OLECHAR* format, ...);
  // Replaces every occurrence of oldText, left to right without overlap,
  // within the recorded length; a null newText counts as empty.
  int Replace(const OLECHAR* oldText, const OLECHAR* newText);

 private:
  zan::UniqueBstr s_;
};

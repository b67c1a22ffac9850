// Cuts a text into lines at CR and LF the way wcstok_s does: runs of line
// breaks separate lines, breaks at either end are dropped, and no line is
// empty. The text is taken up to its first NUL.
#pragma once

#include <vector>

#include "zanole/zanole.h"

class CLineSplitter {
 public:
  // Copies text (raises std::bad_alloc when the copy cannot be made).
  explicit CLineSplitter(const OLECHAR* text);

  bool IsEmptyText() const { return buffer_.size() == 1; }
  // The lines in order; they point into this object's copy of the text.
  const std::vector<const OLECHAR*>& Lines() const { return lines_; }

 private:
  std::vector<OLECHAR> buffer_;
  std::vector<const OLECHAR*> lines_;
};

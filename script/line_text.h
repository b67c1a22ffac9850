// The text a line object holds under a key, and the script as one text:
// every line's text (and comment) followed by LF, collected in one growing
// buffer so the cost is linear in the script's length.
#pragma once

#include "base/unique_bstr.h"
#include "line_array.h"

// All line texts, each followed by LF; with comments, each text directly
// followed by its comment. A line that is null or not a dictionary gives a
// lone LF. *out is null for a script without lines. A failing line
// dictionary's failure is returned (nothing written to *out); a text that
// cannot be held raises E_OUTOFMEMORY.
HRESULT ConcatenateLines(const CLineArray& lines, bool withComments, zan::UniqueBstr* out);

// One line of a saved script file: the script text, then, when the line has
// information to save, the marker " @@ " and one key "_;_" value "_;_" pair
// per piece of information. There is no escaping: a key or value holding
// either mark does not read back as written.
#pragma once

#include <vector>

#include "dictionary/zan_dictionary.h"
#include "line_view.h"

inline constexpr const OLECHAR* kLineInfoMarker = OLESTR(" @@ ");
inline constexpr const OLECHAR* kPairSeparator = OLESTR("_;_");

// The file line of a line object. Its text is the item under the source
// key (as text; empty when it has none); a pair is written for every string
// key whose item is a non-empty string, except the source key and the keys
// never saved ("with id"), in the dictionary's key order. Texts, keys and
// values end at their first NUL. Raises E_OUTOFMEMORY; a failing
// dictionary's own failure is returned.
HRESULT RenderSavedLine(const CLineView& line, WString* out);

// Narrows [*begin, *end) to drop white space (IsWSpace) at its ends: both,
// or the end only.
void TrimBlanks(const OLECHAR** begin, const OLECHAR** end);
void TrimTrailingBlanks(const OLECHAR* begin, const OLECHAR** end);


// A read file line (length units, then a NUL) cut into its script text and
// the information after the last marker. The marker belongs to the text when
// what follows it holds no pair separator and is not blank; otherwise the
// text is what precedes it, without trailing blanks, unless nothing at all
// follows the marker: a save puts such a marker behind a text that would
// otherwise read back cut, and what precedes it is that text as it was.
struct SavedLineParts {
  const OLECHAR* text = nullptr;  // the text: [text, textEnd) of the parsed line
  const OLECHAR* textEnd = nullptr;
  const OLECHAR* info = nullptr;  // into the parsed line; null for none
  bool pairs = false;             // whether the information holds a pair separator
};
SavedLineParts SplitSavedLine(const OLECHAR* line, size_t length);

// The entries of a read file line (length units, then a NUL): the text
// under the source key, then each complete pair, trimmed at both ends, in
// the order they stand (a later pair wins; an unclosed pair and what
// follows it are dropped). They point into line.
void ParseSavedLine(const OLECHAR* line, size_t length, std::vector<LineTextEntry>* entries);

// A new line dictionary holding a read file line, in one allocation;
// entries is the caller's buffer, reused from line to line.
HRESULT MakeSavedLine(const OLECHAR* line, size_t length, std::vector<LineTextEntry>* entries,
                      Scripting::IDictionary** out);

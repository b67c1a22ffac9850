#include "saved_line.h"

#include <algorithm>
#include <cstring>

#include "base/result_macros.h"
#include "base/unique_bstr.h"
#include "base/unique_variant.h"
#include "script_keys.h"

namespace {

constexpr size_t kMarkerLength = 4;
constexpr size_t kSeparatorLength = 3;

// A text, key or value as a file holds it: up to its first NUL, where
// every reader of the system ends it.
UINT TextLength(BSTR text) { return text ? static_cast<UINT>(WcsLen(text)) : 0; }

// The keys never written to files, matched unit by unit.
bool IsNeverSaved(BSTR key) {
  const UINT length = TextLength(key);
  return length == WcsLen(kWithIdKey) && WString(key, length) == kWithIdKey;
}

bool IsSourceKey(BSTR key, BSTR sourceKey) {
  const UINT length = TextLength(key);
  if (length == SysStringLen(sourceKey) && std::memcmp(key, sourceKey, length * sizeof(OLECHAR)) == 0) return true;
  if (length == SysStringLen(key)) return VarBstrCmp(key, sourceKey, LOCALE_USER_DEFAULT, 0) == VARCMP_EQ;
  zan::UniqueBstr cut = zan::UniqueBstr::FromUnits(key, length);
  return VarBstrCmp(cut.get(), sourceKey, LOCALE_USER_DEFAULT, 0) == VARCMP_EQ;
}

bool IsBlank(const OLECHAR* text) {
  for (; *text; ++text)
    if (!IsWSpace(*text)) return false;
  return true;
}

// Appends one pair of the saved information unless the format leaves it
// out: a key or value that is no string, an empty value, the text's own
// key and the key that is never saved.
void AppendPair(const VARIANT* key, const VARIANT* item, BSTR sourceKey, bool* marked, WString* out) {
  if (V_VT(key) != VT_BSTR || V_VT(item) != VT_BSTR || TextLength(V_BSTR(item)) == 0) return;
  if (IsSourceKey(V_BSTR(key), sourceKey) || IsNeverSaved(V_BSTR(key))) return;
  if (!*marked) out->append(kLineInfoMarker);
  *marked = true;
  out->append(V_BSTR(key), TextLength(V_BSTR(key)));
  out->append(kPairSeparator);
  out->append(V_BSTR(item), TextLength(V_BSTR(item)));
  out->append(kPairSeparator);
}

// A text with no information after it that would read back cut at a
// marker of its own (" @@ " followed by a pair separator, by blanks only,
// or by nothing) gets a marker of its own at the end, with nothing after
// it: the reader then takes all that precedes that one, the whole text.
void KeepTextWhole(bool marked, WString* out) {
  // Most texts hold no at sign at all: one quick pass rules them out.
  if (marked || std::find(out->begin(), out->end(), OLECHAR('@')) == out->end()) return;
  if (SplitSavedLine(out->c_str(), out->size()).info) out->append(kLineInfoMarker);
}

}  // namespace

HRESULT RenderSavedLine(const CLineView& line, WString* out) {
  out->clear();
  zan::UniqueVariant sourceKey = zan::MakeVariantBstr(kSourceKey);
  BSTR text = nullptr;
  bool hasText = false;
  if (line.PeekText(sourceKey.get(), &text, &hasText)) {
    if (text) out->append(text, TextLength(text));
  } else {
    zan::UniqueBstr value;
    HRESULT hr = line.Text(sourceKey.get(), &value);
    ZAN_RETURN_IF_FAILED(hr);
    hasText = hr == S_OK;
    if (value.get()) out->append(value.get(), TextLength(value.get()));
  }
  // A line that holds its text alone, the common case, has nothing more.
  bool marked = false;
  LONG count = 0;
  if (FAILED(line.Count(&count)) || count > (hasText ? 1 : 0)) {
    HRESULT hr = line.ForEachEntry([&](const VARIANT* key, const VARIANT* item) {
      AppendPair(key, item, V_BSTR(sourceKey.get()), &marked, out);
    });
    ZAN_RETURN_IF_FAILED(hr);
  }
  KeepTextWhole(marked, out);
  return S_OK;
}

void TrimTrailingBlanks(const OLECHAR* begin, const OLECHAR** end) {
  while (*end > begin && IsWSpace((*end)[-1])) --*end;
}

void TrimBlanks(const OLECHAR** begin, const OLECHAR** end) {
  while (*begin < *end && IsWSpace(**begin)) ++*begin;
  TrimTrailingBlanks(*begin, end);
}

namespace {

// The last marker in [line, line + length), or null.
const OLECHAR* LastLineInfoMarker(const OLECHAR* line, size_t length) {
  // From the end backwards: one pass over a line that has no marker.
  for (size_t at = length >= kMarkerLength ? length - kMarkerLength + 1 : 0; at-- > 0;)
    if (line[at] == kLineInfoMarker[0] &&
        std::memcmp(line + at, kLineInfoMarker, kMarkerLength * sizeof(OLECHAR)) == 0)
      return line + at;
  return nullptr;
}

}  // namespace

SavedLineParts SplitSavedLine(const OLECHAR* line, size_t length) {
  SavedLineParts parts;
  const OLECHAR* marker = LastLineInfoMarker(line, length);
  const OLECHAR* rest = marker ? marker + kMarkerLength : nullptr;
  parts.text = line;
  parts.pairs = rest && WcsStr(rest, kPairSeparator);
  if (!marker || (!parts.pairs && !IsBlank(rest))) {
    parts.textEnd = line + length;
    return parts;
  }
  // A marker with nothing after it is the one a save puts behind a text
  // that would read back cut: what precedes it is that text, blanks and all.
  const OLECHAR* end = marker;
  if (*rest) TrimTrailingBlanks(line, &end);
  parts.textEnd = end;
  parts.info = rest;
  return parts;
}

void ParseSavedLine(const OLECHAR* line, size_t length, std::vector<LineTextEntry>* entries) {
  entries->clear();
  SavedLineParts parts = SplitSavedLine(line, length);
  auto add = [entries](const OLECHAR* key, const OLECHAR* keyEnd, const OLECHAR* value, const OLECHAR* valueEnd) {
    entries->push_back({key, static_cast<UINT>(keyEnd - key), value, static_cast<UINT>(valueEnd - value)});
  };
  add(kSourceKey, kSourceKey + WcsLen(kSourceKey), parts.text, parts.textEnd);
  if (!parts.pairs) return;
  const OLECHAR* rest = parts.info;
  while (const OLECHAR* keyEnd = WcsStr(rest, kPairSeparator)) {
    const OLECHAR* value = keyEnd + kSeparatorLength;
    const OLECHAR* valueEnd = WcsStr(value, kPairSeparator);
    if (!valueEnd) break;  // an unclosed pair ends the information
    const OLECHAR* next = valueEnd + kSeparatorLength;
    const OLECHAR* key = rest;
    TrimBlanks(&key, &keyEnd);
    TrimBlanks(&value, &valueEnd);
    add(key, keyEnd, value, valueEnd);
    rest = next;
  }
}

HRESULT MakeSavedLine(const OLECHAR* line, size_t length, std::vector<LineTextEntry>* entries,
                      Scripting::IDictionary** out) {
  ParseSavedLine(line, length, entries);
  return CreateLineDictionary(entries->data(), static_cast<UINT>(entries->size()), out);
}

#include "saved_line.h"

#include <algorithm>
#include <cstring>

#include "base/unique_bstr.h"
#include "base/com_ptr.h"
#include "base/unique_variant.h"
#include "dictionary/line_entries.h"
#include "line_text.h"
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

// Keys and items of a dictionary as two arrays, index by index.
class DictionaryArrays {
 public:
  HRESULT Read(Scripting::IDictionary* line) {
    HRESULT hr = line->Keys(keys_.get());
    if (SUCCEEDED(hr)) hr = line->Items(items_.get());
    if (FAILED(hr)) return hr;
    if (V_VT(keys_.get()) != (VT_ARRAY | VT_VARIANT) || V_VT(items_.get()) != (VT_ARRAY | VT_VARIANT)) return E_FAIL;
    LONG lower = 0, upper = -1;
    SafeArrayGetLBound(V_ARRAY(keys_.get()), 1, &lower);
    SafeArrayGetUBound(V_ARRAY(keys_.get()), 1, &upper);
    lower_ = lower;
    count_ = upper - lower + 1;
    return S_OK;
  }
  LONG count() const { return count_; }
  HRESULT Get(LONG i, zan::UniqueVariant* key, zan::UniqueVariant* item) {
    LONG at = lower_ + i;
    HRESULT hr = SafeArrayGetElement(V_ARRAY(keys_.get()), &at, key->get());
    return SUCCEEDED(hr) ? SafeArrayGetElement(V_ARRAY(items_.get()), &at, item->get()) : hr;
  }

 private:
  zan::UniqueVariant keys_, items_;
  LONG lower_ = 0, count_ = 0;
};

bool IsBlank(const OLECHAR* text) {
  for (; *text; ++text)
    if (!IsWSpace(*text)) return false;
  return true;
}

// Stores [value, valueEnd) under [key, keyEnd): in place into a line of
// our own, else through IDictionary.
HRESULT Store(Scripting::IDictionary* into, ILineEntries* ours, const OLECHAR* key, const OLECHAR* keyEnd,
              const OLECHAR* value, const OLECHAR* valueEnd) {
  zan::UniqueBstr text = zan::UniqueBstr::FromUnits(value, static_cast<UINT>(valueEnd - value));
  if (ours) return ours->PutText(key, static_cast<UINT>(keyEnd - key), text.release());
  zan::UniqueVariant k = zan::MakeVariantBstr(WString(key, keyEnd).c_str());
  VARIANT v = zan::VariantRefBstr(text.get());
  return into->put_Item(k.get(), &v);
}

}  // namespace

namespace {

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
  if (SplitSavedLine(out->c_str()).info) out->append(kLineInfoMarker);
}

}  // namespace

HRESULT RenderSavedLine(Scripting::IDictionary* line, WString* out) {
  out->clear();
  zan::UniqueVariant sourceKey = zan::MakeVariantBstr(kSourceKey);
  bool marked = false;
  // Our own lines are read in place, when their text is a string; any
  // other line through its IDictionary.
  ILineEntries* ours = OwnLineEntries(line);
  const VARIANT* text = ours ? ours->PeekItem(sourceKey.get()) : nullptr;
  if (ours && (!text || V_VT(text) == VT_BSTR)) {
    if (text) out->append(V_BSTR(text) ? V_BSTR(text) : OLESTR(""), TextLength(V_BSTR(text)));
    for (UINT i = 0, n = ours->EntryCount(); i < n; ++i) {
      const VARIANT* key = nullptr;
      const VARIANT* item = nullptr;
      ours->EntryAt(i, &key, &item);
      AppendPair(key, item, V_BSTR(sourceKey.get()), &marked, out);
    }
    KeepTextWhole(marked, out);
    return S_OK;
  }
  zan::UniqueBstr value;
  HRESULT hr = LineValueText(line, sourceKey.get(), &value);
  if (FAILED(hr)) return hr;
  if (value.get()) out->append(value.get(), TextLength(value.get()));
  // A line that holds its text alone, the common case, has nothing more.
  LONG count = 0;
  if (SUCCEEDED(line->get_Count(&count)) && count <= (hr == S_OK ? 1 : 0)) {
    KeepTextWhole(false, out);
    return S_OK;
  }
  DictionaryArrays arrays;
  hr = arrays.Read(line);
  if (FAILED(hr)) return hr;
  for (LONG i = 0; i < arrays.count(); ++i) {
    zan::UniqueVariant key, item;
    hr = arrays.Get(i, &key, &item);
    if (FAILED(hr)) return hr;
    AppendPair(key.get(), item.get(), V_BSTR(sourceKey.get()), &marked, out);
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

const OLECHAR* LastLineInfoMarker(const OLECHAR* line) {
  // From the end backwards: one pass over a line that has no marker.
  const size_t length = WcsLen(line);
  for (size_t at = length >= kMarkerLength ? length - kMarkerLength + 1 : 0; at-- > 0;)
    if (std::memcmp(line + at, kLineInfoMarker, kMarkerLength * sizeof(OLECHAR)) == 0) return line + at;
  return nullptr;
}

SavedLineParts SplitSavedLine(const OLECHAR* line) {
  SavedLineParts parts;
  const size_t length = WcsLen(line);
  const OLECHAR* marker = LastLineInfoMarker(line);
  const OLECHAR* rest = marker ? marker + kMarkerLength : nullptr;
  parts.text = line;
  if (!marker || (!WcsStr(rest, kPairSeparator) && !IsBlank(rest))) {
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

HRESULT ParseSavedLine(const OLECHAR* line, Scripting::IDictionary* into) {
  SavedLineParts parts = SplitSavedLine(line);
  ILineEntries* ours = OwnLineEntries(into);
  const OLECHAR* source = kSourceKey;
  HRESULT hr = Store(into, ours, source, source + WcsLen(source), parts.text, parts.textEnd);
  if (FAILED(hr) || !parts.info) return hr;
  const OLECHAR* rest = parts.info;
  while (const OLECHAR* keyEnd = WcsStr(rest, kPairSeparator)) {
    const OLECHAR* value = keyEnd + kSeparatorLength;
    const OLECHAR* valueEnd = WcsStr(value, kPairSeparator);
    if (!valueEnd) break;  // an unclosed pair ends the information
    const OLECHAR* next = valueEnd + kSeparatorLength;
    const OLECHAR* key = rest;
    TrimBlanks(&key, &keyEnd);
    TrimBlanks(&value, &valueEnd);
    hr = Store(into, ours, key, keyEnd, value, valueEnd);
    if (FAILED(hr)) return hr;
    rest = next;
  }
  return S_OK;
}

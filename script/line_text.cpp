#include "line_text.h"

#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

#include "base/com_ptr.h"
#include "base/result_macros.h"
#include "base/unique_variant.h"
#include "line_view.h"
#include "script_keys.h"

namespace {

size_t Units(const OLECHAR* text) { return text ? WcsLen(text) : 0; }

// A value's text up to its first NUL, found within its recorded length.
size_t TextUnits(BSTR text) { return text ? WcsNLen(text, SysStringLen(text)) : 0; }

// A line of our own whose text (and comment) are strings: read in place,
// with no call out of the module. False for any other line.
bool PeekLine(const CLineView& line, bool withComments, VARIANT* sourceKey, VARIANT* commentKey, BSTR* text,
              BSTR* comment) {
  bool hasText = false, hasComment = false;
  if (!line.PeekText(sourceKey, text, &hasText)) return false;
  // A comment is rendered only behind a text, with nothing between.
  *comment = nullptr;
  return !hasText || !withComments || line.PeekText(commentKey, comment, &hasComment);
}

// Any line, each value asked once, in order; a line that is null or no
// dictionary adds nothing.
HRESULT AppendLine(const CLineView& line, bool withComments, VARIANT* sourceKey, VARIANT* commentKey,
                   WString* joined) {
  zan::UniqueBstr part;
  HRESULT hr = line.Text(sourceKey, &part);
  ZAN_RETURN_IF_FAILED(hr);
  const bool hasText = hr == S_OK;
  joined->append(part.get() ? part.get() : OLESTR(""), Units(part.get()));
  if (withComments && hasText) {
    hr = line.Text(commentKey, &part);
    ZAN_RETURN_IF_FAILED(hr);
    joined->append(part.get() ? part.get() : OLESTR(""), Units(part.get()));
  }
  return S_OK;
}

// Raised, as a failed append was: the callers map it as they catch it.
void CheckLength(uint64_t total) {
  if (total >= 0x7FFFFFFF / sizeof(OLECHAR)) zan::ThrowHr(E_OUTOFMEMORY);
}

}  // namespace

// A script of our own lines is measured in place, then written straight
// into the one string handed out, allocated at its exact size and not
// filled first: nothing calls out of the module between the passes, so
// both see the same text, and each piece is looked up and measured once.
// Once a line needs a call out (a host's line, a value to convert), the
// whole text is built in one pass instead, so that each line is asked
// once, in order, and a failing call ends the concatenation with exactly
// the calls before it made.
HRESULT ConcatenateLines(const CLineArray& lines, bool withComments, zan::UniqueBstr* out) {
  zan::UniqueVariant sourceKey = zan::MakeVariantBstr(kSourceKey);
  zan::UniqueVariant commentKey = zan::MakeVariantBstr(kCommentKey);
  BSTR text = nullptr;
  BSTR comment = nullptr;
  // Each piece counts up to its first NUL; a line of no text has none.
  struct Piece {
    const OLECHAR* units;
    size_t length;
  };
  std::vector<Piece> pieces;
  pieces.reserve(static_cast<size_t>(lines.size()) * (withComments ? 2 : 1));
  uint64_t total = 0;
  LONG i = 0;
  for (; i < lines.size(); ++i) {
    IDispatch* object = lines.at(i);
    if (!object) {
      pieces.push_back({nullptr, 0});
      if (withComments) pieces.push_back({nullptr, 0});
    } else if (OwnDictionary(object) &&  // a host's line is not even asked for an interface here
               PeekLine(CLineView(object), withComments, sourceKey.get(), commentKey.get(), &text, &comment)) {
      pieces.push_back({text, TextUnits(text)});
      total += pieces.back().length;
      if (withComments) {
        pieces.push_back({comment, TextUnits(comment)});
        total += pieces.back().length;
      }
    } else {
      break;
    }
    total += 1;
  }
  out->reset();
  if (i < lines.size()) {
    std::vector<Piece>().swap(pieces);
    WString joined;
    for (i = 0; i < lines.size(); ++i) {
      // Held: a host's line may take itself out of the script while it is asked.
      zan::ComPtr<IDispatch> object(lines.at(i));
      CLineView line(object.get());
      if (PeekLine(line, withComments, sourceKey.get(), commentKey.get(), &text, &comment)) {
        joined.append(text ? text : OLESTR(""), Units(text));
        joined.append(comment ? comment : OLESTR(""), Units(comment));
      } else {
        ZAN_RETURN_IF_FAILED(AppendLine(line, withComments, sourceKey.get(), commentKey.get(), &joined));
      }
      joined.push_back(OLESTR('\n'));
    }
    CheckLength(joined.size());
    *out = zan::UniqueBstr::FromUnits(joined.data(), static_cast<UINT>(joined.size()));
    return S_OK;
  }
  if (total == 0) return S_OK;
  CheckLength(total);
  zan::UniqueBstr joined(SysAllocStringLen(nullptr, static_cast<UINT>(total)));
  if (!joined.get()) zan::ThrowHr(E_OUTOFMEMORY);
  OLECHAR* at = joined.get();
  const size_t perLine = withComments ? 2 : 1;
  for (size_t p = 0; p < pieces.size(); p += perLine) {
    for (size_t k = p; k < p + perLine; ++k) {
      if (pieces[k].length) std::memcpy(at, pieces[k].units, pieces[k].length * sizeof(OLECHAR));
      at += pieces[k].length;
    }
    *at++ = OLESTR('\n');
  }
  *out = std::move(joined);
  return S_OK;
}

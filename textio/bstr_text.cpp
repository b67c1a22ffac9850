#include "bstr_text.h"

#include <algorithm>
#include <cstdint>
#include <cstdarg>
#include <vector>

namespace {

// The longest text a BSTR can hold: its byte length is a 32-bit count.
constexpr uint64_t kMaxBstrUnits = 0x3FFFFFF0u;

zan::UniqueBstr CopyBytes(BSTR s) {
  if (!s) return zan::UniqueBstr();
  BSTR copy = SysAllocStringByteLen(reinterpret_cast<LPCSTR>(s), SysStringByteLen(s));
  if (!copy) zan::ThrowHr(E_OUTOFMEMORY);
  return zan::UniqueBstr(copy);
}

}  // namespace

CBstrText::CBstrText(const CBstrText& other) : s_(CopyBytes(other.get())) {}

CBstrText& CBstrText::operator=(const CBstrText& other) {
  if (this != &other) s_ = CopyBytes(other.get());
  return *this;
}

int CBstrText::Find(const OLECHAR* pattern, int start) const {
  BSTR text = get();
  if (!pattern || !text || Length() == 0 || start >= Length()) return -1;
  if (start < 0) start = 0;
  if (static_cast<size_t>(start) > WcsLen(text)) return -1;
  const OLECHAR* hit = WcsStr(text + start, pattern);
  return hit ? static_cast<int>(hit - text) : -1;
}

CBstrText CBstrText::Mid(int start, int count) const {
  int length = Length();
  start = std::max(start, 0);
  count = std::max(count, 0);
  if (start >= length || count == 0) return CBstrText(OLESTR(""));
  count = std::min(count, length - start);
  return CBstrText(get() + start, static_cast<UINT>(count));
}

CBstrText CBstrText::Left(int n) const { return Mid(0, std::clamp(n, 0, Length())); }

CBstrText CBstrText::Right(int n) const {
  if (n >= Length()) return *this;
  return Mid(Length() - n, n);
}

void CBstrText::TrimLeft() {
  BSTR text = get();
  if (!text || Length() == 0 || !IsWSpace(text[0])) return;
  const OLECHAR* p = text;
  while (*p && IsWSpace(*p)) ++p;
  s_ = zan::UniqueBstr::FromUnits(p, static_cast<UINT>(WcsLen(p)));
}

void CBstrText::TrimRight() {
  BSTR text = get();
  if (!text) return;
  size_t end = WcsLen(text);
  size_t keep = end;
  while (keep > 0 && IsWSpace(text[keep - 1])) --keep;
  if (keep == end) return;
  s_ = zan::UniqueBstr::FromUnits(text, static_cast<UINT>(keep));
}

void CBstrText::Format(const OLECHAR* format, ...) {
  va_list args;
  va_start(args, format);
  va_list sizing;
  va_copy(sizing, args);
  int needed = VSWPrintfCount(format, sizing);
  va_end(sizing);
  if (needed < 0) {
    va_end(args);
    zan::ThrowHr(E_INVALIDARG);
  }
  zan::UniqueBstr result(SysAllocStringLen(nullptr, static_cast<UINT>(needed)));
  if (!result.get()) {
    va_end(args);
    zan::ThrowHr(E_OUTOFMEMORY);
  }
  int written = VSWPrintf(result.get(), static_cast<size_t>(needed) + 1, format, args);
  va_end(args);
  if (written != needed) zan::ThrowHr(E_INVALIDARG);
  s_ = std::move(result);
}

int CBstrText::Replace(const OLECHAR* oldText, const OLECHAR* newText) {
  BSTR text = get();
  if (!oldText || !*oldText || !text) return 0;
  const size_t oldLen = WcsLen(oldText);
  const size_t newLen = newText ? WcsLen(newText) : 0;
  const size_t length = static_cast<size_t>(Length());
  std::vector<size_t> hits;
  for (size_t i = 0; i + oldLen <= length;) {
    if (std::equal(oldText, oldText + oldLen, text + i)) {
      hits.push_back(i);
      i += oldLen;
    } else {
      ++i;
    }
  }
  if (hits.empty()) return 0;
  // In 64 bits: on a 32-bit target hits * newLen wraps in size_t long before
  // a result that large could be allocated.
  const uint64_t hitCount = hits.size();
  const uint64_t resultLen64 = uint64_t{length} - hitCount * oldLen + hitCount * newLen;
  if (resultLen64 > kMaxBstrUnits) zan::ThrowHr(E_OUTOFMEMORY);
  const size_t resultLen = static_cast<size_t>(resultLen64);
  zan::UniqueBstr result(SysAllocStringLen(nullptr, static_cast<UINT>(resultLen)));
  if (!result.get()) zan::ThrowHr(E_OUTOFMEMORY);
  OLECHAR* out = result.get();
  size_t from = 0;
  for (size_t hit : hits) {
    out = std::copy(text + from, text + hit, out);
    if (newLen) out = std::copy(newText, newText + newLen, out);
    from = hit + oldLen;
  }
  std::copy(text + from, text + length, out);
  s_ = std::move(result);
  return static_cast<int>(hits.size());
}

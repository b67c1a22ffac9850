#include "string_loader.h"

#include <memory>
#include <new>

namespace {
constexpr UINT kStringsPerBlock = 16;
constexpr int kBufferStep = 256;
}  // namespace

bool CStringLoader::LoadFromBlock(UINT id, LANGID language, HINSTANCE instance) noexcept {
  text_.clear();
  // A block: 16 entries, each a count of UTF-16 units and then the units.
  HRSRC found = FindResourceExW(instance, RT_STRING, MAKEINTRESOURCEW(id / kStringsPerBlock + 1), language);
  DWORD bytes = found ? SizeofResource(instance, found) : 0;
  HGLOBAL loaded = bytes ? LoadResource(instance, found) : nullptr;
  const WCHAR* p = loaded ? static_cast<const WCHAR*>(LockResource(loaded)) : nullptr;
  if (!p) return false;
  const WCHAR* end = p + bytes / sizeof(WCHAR);
  for (UINT i = 0; i < id % kStringsPerBlock && p < end; ++i) p += 1 + *p;
  if (p >= end || *p == 0 || *p >= end - p) return false;
  try {
    text_.assign(p + 1, *p);
  } catch (...) {
    // No room for the text (the only thing assign raises): not loaded.
    text_.clear();
    return false;
  }
  return true;
}

bool CStringLoader::LoadFromTable(UINT id, HINSTANCE instance) noexcept {
  text_.clear();
  int size = kBufferStep;
  std::unique_ptr<WCHAR[]> buffer(new (std::nothrow) WCHAR[size]);
  if (!buffer) return false;
  int count = LoadStringW(instance, id, buffer.get(), size);
  // A string that fills the buffer may have been cut: try a larger one.
  while (count >= size - 1) {
    size += kBufferStep;
    buffer.reset(new (std::nothrow) WCHAR[size]);
    if (!buffer) return false;
    count = LoadStringW(instance, id, buffer.get(), size);
  }
  if (count < 0) count = 0;
  buffer[count] = 0;
  SetText(buffer.get());
  return count > 0;
}

void CStringLoader::SetText(const WCHAR* text) noexcept {
  try {
    text_ = text ? text : OLESTR("");
  } catch (...) {
    // No room for the text: the loader holds none rather than a part.
    text_.clear();
  }
}
